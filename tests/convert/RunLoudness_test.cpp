#include "ConversionRig.h"
#include "GainReadBack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sys/inotify.h>
#include <unistd.h>

namespace tunevale::test
{
namespace
{

struct OutputCase {
    FileFormat format;
    std::string extension;
};

// The lossy outputs made now; a format added later joins the list.
const std::vector<OutputCase> kTaggedOutputs{
    {FileFormat::MP3, "mp3"},  {FileFormat::OGG, "ogg"},   {FileFormat::WMA, "wma"},
    {FileFormat::Ipod, "mp3"}, {FileFormat::FLAC, "flac"}, {FileFormat::AAC, "m4a"},
    {FileFormat::ALAC, "m4a"}, {FileFormat::AIFF, "aiff"}, {FileFormat::WavPack, "wv"}};

// A stereo 1 kHz sine of this peak level, seconds long, as FLAC; extra: more ffmpeg arguments.
std::filesystem::path makeSine(const std::filesystem::path& file, double peakDbfs, double seconds,
                               const std::vector<std::string>& extra = {})
{
    const std::string wave = std::to_string(std::pow(10.0, peakDbfs / 20.0)) + "*sin(2*PI*1000*t)";
    std::vector<std::string> arguments{"-f", "lavfi", "-i",
                                       "aevalsrc=" + wave + "|" + wave + ":s=44100:d=" + std::to_string(seconds)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    arguments.insert(arguments.end(), {"-c:a", "flac", "-sample_fmt", "s16", file.string()});
    ffmpeg(arguments);
    return file;
}

double matched(const std::string& text, const std::string& pattern)
{
    std::smatch match;
    EXPECT_TRUE(std::regex_search(text, match, std::regex(pattern))) << pattern << "\n" << text;
    return match.empty() ? 0 : std::stod(match[1]);
}

struct FfmpegLoudness {
    double integrated = 0;
    double truePeakDb = 0;
};

// The `ffmpeg` program's ebur128 filter over the files played one after the other.
FfmpegLoudness ffmpegMeasures(const std::vector<std::filesystem::path>& files)
{
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-hide_banner", "-nostats"};
    std::string inputs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        argv.insert(argv.end(), {"-i", files[i].string()});
        inputs += "[" + std::to_string(i) + ":a]";
    }
    argv.insert(argv.end(),
                {"-filter_complex",
                 inputs + "concat=n=" + std::to_string(files.size()) + ":v=0:a=1,ebur128=peak=true:dualmono=true", "-f",
                 "null", "-"});
    const auto run = runProgram(argv);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::string summary = run.output.substr(run.output.rfind("Summary:"));
    return {matched(summary, R"(I:\s+(-?[0-9.]+) LUFS)"), matched(summary, R"(Peak:\s+(-?[0-9.]+) dBFS)")};
}

double gainOf(const GainMap& gains, const std::string& name)
{
    const auto found = gains.find(name);
    EXPECT_NE(found, gains.end()) << name;
    if (found == gains.end())
        return NAN;
    EXPECT_TRUE(found->second.ends_with(" dB")) << found->second;
    return std::stod(found->second);
}

// The gains of an output as TagLib reads them, after checking that ffprobe reads the same.
GainMap readGains(const std::filesystem::path& file)
{
    const GainMap taglib = taglibGains(file);
    EXPECT_EQ(probedGains(file), taglib) << file;
    return taglib;
}

// A FLAC at -23 dBFS (-23 LUFS) that carries an old, wrong gain of its own, converted to each lossy
// format: the outputs carry the measured gain (+5 dB to -18 LUFS) and peak, never the source's.
TEST(RunLoudness, OutputsCarryTheMeasuredTrackGainInsteadOfTheSourcesOwn)
{
    ConversionRig rig;
    const auto source = makeSine(rig.dir / "in" / "tone.flac", -23, 3,
                                 {"-metadata", "REPLAYGAIN_TRACK_GAIN=-9.99 dB", "-metadata",
                                  "REPLAYGAIN_TRACK_PEAK=1.000000", "-metadata", "REPLAYGAIN_ALBUM_GAIN=-9.99 dB"});
    const FfmpegLoudness reference = ffmpegMeasures({source});
    EXPECT_NEAR(reference.integrated, -23.0, 0.1);
    for (const OutputCase& c : kTaggedOutputs) {
        SCOPED_TRACE(c.extension);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        rig.addJob(source);
        rig.chooseFormat(c.format);
        rig.convert();
        ASSERT_EQ(rig.status(0), "Complete") << rig.jobs.rsJobs().at(0).Failure;
        const GainMap gains = readGains(rig.out("tone." + c.extension));
        EXPECT_NEAR(gainOf(gains, "REPLAYGAIN_TRACK_GAIN"), -18.0 - reference.integrated, 0.1);
        ASSERT_EQ(gains.count("REPLAYGAIN_TRACK_PEAK"), 1u);
        EXPECT_NEAR(20 * std::log10(std::stod(gains.at("REPLAYGAIN_TRACK_PEAK"))), reference.truePeakDb, 0.2);
        // A lone untagged track forms no album, and the source's album gain is not carried over.
        EXPECT_EQ(gains.count("REPLAYGAIN_ALBUM_GAIN"), 0u);
    }
    EXPECT_EQ(rig.logLines(), 0u);

    // Turned off: no gains at all, and still none of the source's.
    rig.settings.chkReplayGain.value = false;
    std::filesystem::remove_all(rig.dir / "out");
    rig.jobs.replaceTable(JobList::NewJobTable());
    rig.addJob(source);
    rig.chooseFormat(FileFormat::MP3);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    EXPECT_TRUE(readGains(rig.out("tone.mp3")).empty());
}

TEST(RunLoudness, SamplePeakWhenChosen)
{
    ConversionRig rig;
    // A quarter of the rate at 45 degrees: every sample lies 3 dB below the true peak.
    const auto source = rig.dir / "in" / "intersample.flac";
    ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.5*sin(PI/2*n+PI/4)|0.5*sin(PI/2*n+PI/4):s=44100:d=5", "-c:a", "flac",
            "-sample_fmt", "s16", source.string()});
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.chkTruePeak.value = false;
    rig.addJob(source);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    const double peak = std::stod(readGains(rig.out("intersample.ogg")).at("REPLAYGAIN_TRACK_PEAK"));
    EXPECT_NEAR(peak, 0.5 * std::sqrt(0.5), 0.001);
}

// Three untagged tracks of one folder at different levels: one album, its gain measured over all
// of them together (as ffmpeg measures them played one after the other), the same in every output
// and the same whether two jobs run at once or one after the other.
TEST(RunLoudness, AlbumGainOverAllTracksTogetherWhateverTheJobsAtOnce)
{
    ConversionRig rig;
    const std::vector<std::filesystem::path> sources{makeSine(rig.dir / "in" / "1.flac", -14, 7),
                                                     makeSine(rig.dir / "in" / "2.flac", -26, 4),
                                                     makeSine(rig.dir / "in" / "3.flac", -31, 5)};
    const FfmpegLoudness reference = ffmpegMeasures(sources);
    rig.chooseFormat(FileFormat::MP3);
    std::map<unsigned, std::vector<GainMap>> byJobs;
    for (const unsigned jobsAtOnce : {2u, 1u}) {
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        for (const auto& source : sources)
            rig.addJob(source);
        rig.controller.setParallelJobs(jobsAtOnce);
        rig.convert();
        for (std::size_t i = 0; i < sources.size(); ++i) {
            ASSERT_EQ(rig.status(i), "Complete");
            byJobs[jobsAtOnce].push_back(readGains(rig.out(std::to_string(i + 1) + ".mp3")));
        }
    }
    const std::vector<GainMap>& serial = byJobs[1];
    EXPECT_EQ(byJobs[2], serial);
    const std::string albumGain = serial[0].at("REPLAYGAIN_ALBUM_GAIN");
    for (const GainMap& gains : serial) {
        EXPECT_EQ(gains.at("REPLAYGAIN_ALBUM_GAIN"), albumGain);
        EXPECT_EQ(gains.at("REPLAYGAIN_ALBUM_PEAK"), serial[0].at("REPLAYGAIN_TRACK_PEAK"));
    }
    EXPECT_NEAR(gainOf(serial[0], "REPLAYGAIN_ALBUM_GAIN"), -18.0 - reference.integrated, 0.1);
    EXPECT_NEAR(gainOf(serial[1], "REPLAYGAIN_TRACK_GAIN"), 8.0, 0.1);
    EXPECT_NEAR(gainOf(serial[2], "REPLAYGAIN_TRACK_GAIN"), 13.0, 0.1);
}

// Tagged albums are told apart by their tags even in one folder; a track of an album that fails
// leaves its album with track gains only, while the other album gets its album gain.
TEST(RunLoudness, AFailedTrackLeavesItsAlbumWithoutAlbumGain)
{
    ConversionRig rig;
    const auto tagged = [&](const std::string& name, const std::string& album, double level) {
        return makeSine(rig.dir / "in" / name, level, 3,
                        {"-metadata", "album=" + album, "-metadata", "album_artist=Someone"});
    };
    const auto a1 = tagged("a1.flac", "Whole", -20);
    const auto a2 = tagged("a2.flac", "Whole", -24);
    const auto b1 = tagged("b1.flac", "Broken", -20);
    // The second track of the broken album: its tags read, its audio cut off after a second.
    const auto b2 = tagged("b2.flac", "Broken", -24);
    const std::string whole = readFile(b2);
    writeFile(b2, whole.substr(0, whole.size() / 3));
    rig.chooseFormat(FileFormat::OGG);
    for (const auto& source : {a1, b1, a2, b2})
        rig.addJob(source);
    rig.controller.setParallelJobs(2);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    ASSERT_EQ(rig.status(1), "Complete");
    ASSERT_EQ(rig.status(2), "Complete");
    ASSERT_EQ(rig.status(3), "Error");
    const GainMap wholeGains = readGains(rig.out("a1.ogg"));
    EXPECT_EQ(wholeGains.count("REPLAYGAIN_ALBUM_GAIN"), 1u);
    EXPECT_EQ(readGains(rig.out("a2.ogg")).at("REPLAYGAIN_ALBUM_GAIN"), wholeGains.at("REPLAYGAIN_ALBUM_GAIN"));
    const GainMap brokenGains = readGains(rig.out("b1.ogg"));
    EXPECT_EQ(brokenGains.count("REPLAYGAIN_ALBUM_GAIN"), 0u);
    EXPECT_EQ(brokenGains.at("REPLAYGAIN_TRACK_GAIN"), wholeGains.at("REPLAYGAIN_TRACK_GAIN"));
}

// Digital silence and a file shorter than one 400 ms block have no loudness: gains of 0 dB.
TEST(RunLoudness, SilenceAndAVeryShortFileGetNoCorrection)
{
    ConversionRig rig;
    const auto silence = rig.dir / "in" / "silence.flac";
    ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "3", "-c:a", "flac", silence.string()});
    const auto blip = makeSine(rig.dir / "in" / "blip.flac", -6, 0.1);
    rig.chooseFormat(FileFormat::MP3);
    rig.addJob(silence);
    rig.addJob(blip);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    ASSERT_EQ(rig.status(1), "Complete");
    const GainMap silent = readGains(rig.out("silence.mp3"));
    EXPECT_EQ(silent.at("REPLAYGAIN_TRACK_GAIN"), "+0.00 dB");
    EXPECT_EQ(silent.at("REPLAYGAIN_TRACK_PEAK"), "0.000000");
    const GainMap shortOne = readGains(rig.out("blip.mp3"));
    EXPECT_EQ(shortOne.at("REPLAYGAIN_TRACK_GAIN"), "+0.00 dB");
    EXPECT_NEAR(std::stod(shortOne.at("REPLAYGAIN_TRACK_PEAK")), 0.5, 0.03);
    // Two untagged files of one folder: an album, of no loudness either.
    EXPECT_EQ(silent.at("REPLAYGAIN_ALBUM_GAIN"), "+0.00 dB");
}

// Normalised to the default -18 LUFS: a quiet and a loud track land on it (measured again by
// ffmpeg), and so carry track gains of about 0 dB; a quiet track with a loud click is raised only
// as far as its true peak stays at -1 dBTP.
TEST(RunLoudness, NormalisedTracksLandOnTheTargetBelowThePeakLimit)
{
    ConversionRig rig;
    const auto quiet = makeSine(rig.dir / "in" / "quiet.flac", -33, 8);
    const auto loud = makeSine(rig.dir / "in" / "loud.flac", -8, 8);
    const auto click = rig.dir / "in" / "click.flac";
    ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.02*sin(2*PI*440*t)+0.7*sin(2*PI*3000*t)*between(t\\,4\\,4.01):s=44100:d=8",
            "-ac", "2", "-c:a", "flac", "-sample_fmt", "s16", click.string()});
    const FfmpegLoudness clickBefore = ffmpegMeasures({click});
    rig.chooseFormat(FileFormat::MP3);
    rig.settings.cmbNormalize.listIndex = static_cast<int>(NormalizeChoice::Track);
    for (const auto& source : {quiet, loud, click})
        rig.addJob(source);
    rig.controller.setParallelJobs(2);
    rig.convert();
    for (std::size_t i = 0; i < 3; ++i)
        ASSERT_EQ(rig.status(i), "Complete") << rig.jobs.rsJobs().at(i).Failure;
    for (const char* name : {"quiet.mp3", "loud.mp3"}) {
        SCOPED_TRACE(name);
        const FfmpegLoudness after = ffmpegMeasures({rig.out(name)});
        EXPECT_NEAR(after.integrated, -18.0, 0.5);
        EXPECT_LT(after.truePeakDb, -1.0);
        EXPECT_NEAR(gainOf(readGains(rig.out(name)), "REPLAYGAIN_TRACK_GAIN"), 0.0, 0.5);
    }
    const FfmpegLoudness clickAfter = ffmpegMeasures({rig.out("click.mp3")});
    // The encoder moves a peak this short by some tenths of a dB either way.
    EXPECT_LT(clickAfter.truePeakDb, -0.8);
    EXPECT_GT(clickAfter.truePeakDb, -2.0);
    EXPECT_NEAR(clickAfter.integrated - clickBefore.integrated, -1.0 - clickBefore.truePeakDb, 0.5);
    EXPECT_LT(clickAfter.integrated, -25.0);
}

// Normalised by album: one gain for the album, so its tracks keep their difference of 6 dB and
// the album as a whole lands on the target.
TEST(RunLoudness, AlbumNormalisingKeepsTheTracksApart)
{
    ConversionRig rig;
    const auto a = makeSine(rig.dir / "in" / "a.flac", -20, 6);
    const auto b = makeSine(rig.dir / "in" / "b.flac", -26, 6);
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.cmbNormalize.listIndex = static_cast<int>(NormalizeChoice::Album);
    rig.settings.sliderTargetLufs.value = -16;
    rig.addJob(a);
    rig.addJob(b);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    ASSERT_EQ(rig.status(1), "Complete");
    const FfmpegLoudness first = ffmpegMeasures({rig.out("a.ogg")});
    const FfmpegLoudness second = ffmpegMeasures({rig.out("b.ogg")});
    EXPECT_NEAR(first.integrated - second.integrated, 6.0, 0.3);
    EXPECT_NEAR(ffmpegMeasures({rig.out("a.ogg"), rig.out("b.ogg")}).integrated, -16.0, 0.5);
    EXPECT_NEAR(gainOf(readGains(rig.out("a.ogg")), "REPLAYGAIN_ALBUM_GAIN"), -2.0, 0.5);
}

// Counts the files given a name in a folder (created, or moved in from a private folder), by name.
class PlacementCounter
{
public:
    explicit PlacementCounter(const std::filesystem::path& folder) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        std::filesystem::create_directories(folder);
        EXPECT_GE(::inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO | IN_CREATE), 0);
    }
    ~PlacementCounter() { ::close(m_fd); }
    PlacementCounter(const PlacementCounter&) = delete;
    PlacementCounter& operator=(const PlacementCounter&) = delete;

    std::map<std::string, int> placements()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const std::string name = event->len ? event->name : "";
                if (!(event->mask & IN_ISDIR) && !name.starts_with("."))
                    ++m_placed[name];
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return m_placed;
    }

private:
    int m_fd;
    std::map<std::string, int> m_placed;
};

std::filesystem::path taggedSine(const std::filesystem::path& file, const std::string& album, double level,
                                 double seconds = 3)
{
    return makeSine(file, level, seconds, {"-metadata", "album=" + album, "-metadata", "album_artist=Someone"});
}

// Albums that stand together in the list: each output takes its name once, already carrying its
// album's gain, rather than being written again once the album is measured.
TEST(RunLoudness, EachOutputIsPlacedOnceWithItsAlbumGain)
{
    for (const FileFormat format : {FileFormat::OGG, FileFormat::FLAC}) {
        ConversionRig rig;
        SCOPED_TRACE(outputFormat(format).extension);
        const std::vector<std::filesystem::path> sources{
            taggedSine(rig.dir / "in" / "a1.flac", "First", -20), taggedSine(rig.dir / "in" / "a2.flac", "First", -26),
            taggedSine(rig.dir / "in" / "a3.flac", "First", -22), taggedSine(rig.dir / "in" / "b1.flac", "Second", -30),
            taggedSine(rig.dir / "in" / "b2.flac", "Second", -24)};
        PlacementCounter counter(rig.dir / "out");
        rig.chooseFormat(format);
        for (const auto& source : sources)
            rig.addJob(source);
        rig.controller.setParallelJobs(2);
        rig.convert();
        std::map<std::string, int> expected;
        std::vector<GainMap> gains;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            ASSERT_EQ(rig.status(i), "Complete");
            const std::string name = sources[i].stem().string() + "." + outputFormat(format).extension;
            expected[name] = 1;
            gains.push_back(readGains(rig.out(name)));
        }
        EXPECT_EQ(counter.placements(), expected);
        for (const std::size_t i : {1u, 2u})
            EXPECT_EQ(gains[i].at("REPLAYGAIN_ALBUM_GAIN"), gains[0].at("REPLAYGAIN_ALBUM_GAIN"));
        EXPECT_EQ(gains[4].at("REPLAYGAIN_ALBUM_GAIN"), gains[3].at("REPLAYGAIN_ALBUM_GAIN"));
        EXPECT_NE(gains[3].at("REPLAYGAIN_ALBUM_GAIN"), gains[0].at("REPLAYGAIN_ALBUM_GAIN"));
    }
}

// An album whose tracks lie apart in the list gets the same album gain as when they stand
// together, whatever its first track was given before the rest of the album turned up.
TEST(RunLoudness, AnAlbumSpreadOverTheListGetsTheGainOfAllItsTracks)
{
    std::map<std::string, GainMap> byOrder[2];
    for (const bool spread : {false, true}) {
        ConversionRig rig;
        const auto a1 = taggedSine(rig.dir / "in" / "a1.flac", "First", -20);
        const auto a2 = taggedSine(rig.dir / "in" / "a2.flac", "First", -28);
        const auto b1 = taggedSine(rig.dir / "in" / "b1.flac", "Second", -24);
        const auto b2 = taggedSine(rig.dir / "in" / "b2.flac", "Second", -16);
        rig.chooseFormat(FileFormat::MP3);
        for (const auto& source : spread ? std::vector{a1, b1, a2, b2} : std::vector{a1, a2, b1, b2})
            rig.addJob(source);
        rig.convert();
        for (const char* name : {"a1.mp3", "a2.mp3", "b1.mp3", "b2.mp3"})
            byOrder[spread][name] = readGains(rig.out(name));
    }
    EXPECT_EQ(byOrder[1], byOrder[0]);
    EXPECT_EQ(byOrder[1]["a1.mp3"].at("REPLAYGAIN_ALBUM_GAIN"), byOrder[1]["a2.mp3"].at("REPLAYGAIN_ALBUM_GAIN"));
}

// A run stopped before an album's last track leaves the album's earlier tracks with their track
// gains alone, although they were given the album gain of the tracks ended so far.
TEST(RunLoudness, AStopBeforeAnAlbumsLastTrackLeavesItWithoutAlbumGain)
{
    ConversionRig rig;
    const auto a1 = taggedSine(rig.dir / "in" / "a1.flac", "First", -20);
    const auto b1 = taggedSine(rig.dir / "in" / "b1.flac", "Second", -24);
    const auto a2 = taggedSine(rig.dir / "in" / "a2.flac", "First", -28, 240);
    rig.chooseFormat(FileFormat::MP3);
    for (const auto& source : {a1, b1, a2})
        rig.addJob(source);
    bool stopped = false;
    rig.convert(ConvertButton::cmdConvert, [&] {
        if (!stopped && rig.status(1) == "Complete") {
            rig.controller.cmdConvert_Click(); // "Stop"
            stopped = true;
        }
    });
    ASSERT_EQ(rig.status(0), "Complete");
    ASSERT_NE(rig.status(2), "Complete");
    const GainMap first = readGains(rig.out("a1.mp3"));
    EXPECT_EQ(first.count("REPLAYGAIN_ALBUM_GAIN"), 0u);
    EXPECT_EQ(first.count("REPLAYGAIN_ALBUM_PEAK"), 0u);
    EXPECT_NEAR(gainOf(first, "REPLAYGAIN_TRACK_GAIN"), 2.0, 0.1);
    // The second album's one track ended: an album of its own.
    EXPECT_EQ(readGains(rig.out("b1.mp3")).at("REPLAYGAIN_ALBUM_GAIN"),
              readGains(rig.out("b1.mp3")).at("REPLAYGAIN_TRACK_GAIN"));
}

} // namespace
} // namespace tunevale::test
