// The loudness a library sync keeps: album gains over every track of an album when one is added,
// without decoding the others again; stored loudness for the measuring pass; older databases.

#include "CliHarness.h"
#include "HostileFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace tunevale::test
{
namespace
{

namespace fs = std::filesystem;

// A stereo 1 kHz sine of this peak level as 16-bit WAV, four seconds long.
fs::path makeTone(const fs::path& file, double peakDbfs)
{
    fs::create_directories(file.parent_path());
    const std::string wave = std::to_string(std::pow(10.0, peakDbfs / 20.0)) + "*sin(2*PI*1000*t)";
    ffmpeg({"-f", "lavfi", "-i", "aevalsrc=" + wave + "|" + wave + ":s=44100:d=4", "-c:a", "pcm_s16le", file.string()});
    return file;
}

// Halves every sample of a WAV file and gives it back its size and modification time: the sync
// takes it as unchanged, and only a decode of it would hear the difference.
void quietenBehindTheSyncsBack(const fs::path& file)
{
    const auto modified = fs::last_write_time(file);
    std::string bytes = readFile(file);
    const auto data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    for (std::size_t i = data + 8; i + 1 < bytes.size(); i += 2) {
        auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        sample = static_cast<std::int16_t>(sample / 2);
        bytes[i] = static_cast<char>(sample & 0xff);
        bytes[i + 1] = static_cast<char>((sample >> 8) & 0xff);
    }
    writeFile(file, bytes);
    fs::last_write_time(file, modified);
}

// Runs python over each JSON line the sync printed, in sorted order; one line of output per event.
std::string eachEvent(const CliHarness& cli, const std::string& json, const std::string& expression)
{
    return eachJsonLine(cli, json, expression, true);
}

std::string sqlite(const fs::path& database, const std::string& sql)
{
    const auto run = runProgram({"sqlite3", database.string(), sql});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run.output;
}

double albumGainOf(const fs::path& output)
{
    const std::string gain = ffprobe(output, "format_tags=REPLAYGAIN_ALBUM_GAIN");
    EXPECT_TRUE(gain.ends_with(" dB")) << output << ": " << gain;
    return gain.empty() ? NAN : std::stod(gain);
}

struct Library {
    CliHarness cli;
    fs::path source = cli.dir() / "source";
    fs::path mirror = cli.dir() / "mirror";
    fs::path database = mirror / ".tunevale" / "library.sqlite";
    // The album's tracks and their peak levels; the fourth is added later.
    const std::vector<std::pair<std::string, double>> tracks{
        {"01.wav", -20}, {"02.wav", -14}, {"03.wav", -26}, {"04.wav", -17}};

    fs::path track(std::size_t i) const { return source / "Album" / tracks[i].first; }
    fs::path output(std::size_t i) const
    {
        return mirror / "Album" / fs::path(tracks[i].first).replace_extension(".mp3");
    }
    void addTrack(std::size_t i) const { makeTone(track(i), tracks[i].second); }

    CliResult sync(std::vector<std::string> options = {}, const fs::path& into = {}) const
    {
        std::vector<std::string> arguments{"sync", "-f", "mp3", "--json"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(source.string());
        arguments.push_back((into.empty() ? mirror : into).string());
        return cli.run(arguments);
    }

    // The album gain a sync of all four tracks from scratch writes.
    double albumGainFromScratch() const
    {
        const fs::path scratch = cli.dir() / "scratch";
        CliHarness fresh;
        for (std::size_t i = 0; i < tracks.size(); ++i)
            makeTone(scratch / "Album" / tracks[i].first, tracks[i].second);
        const auto run = fresh.run({"sync", "-f", "mp3", scratch.string(), (cli.dir() / "scratch-mirror").string()});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        const double gain = albumGainOf(cli.dir() / "scratch-mirror" / "Album" / "01.mp3");
        for (const char* name : {"02.mp3", "03.mp3", "04.mp3"})
            EXPECT_NEAR(albumGainOf(cli.dir() / "scratch-mirror" / "Album" / name), gain, 0.005) << name;
        return gain;
    }

    // Every output of the album carries the same album gain as the conversion from scratch.
    void expectAlbumGainFromScratch() const
    {
        const double expected = albumGainFromScratch();
        for (std::size_t i = 0; i < tracks.size(); ++i)
            EXPECT_NEAR(albumGainOf(output(i)), expected, 0.01) << output(i);
    }
};

TEST(SyncLoudness, AnAddedTrackGivesTheWholeAlbumItsGainAndOnlyItIsDecoded)
{
    Library library;
    for (std::size_t i = 0; i < 3; ++i)
        library.addTrack(i);
    const auto first = library.sync();
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(sqlite(library.database, "SELECT count(*) FROM outputs WHERE loudness LIKE 'tl1 %'"), "3\n");
    const double threeTrackGain = albumGainOf(library.output(0));

    // Were the first three decoded again, their halved audio would move the album's gain by dB.
    for (std::size_t i = 0; i < 3; ++i)
        quietenBehindTheSyncsBack(library.track(i));
    library.addTrack(3);
    const auto second = library.sync();
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_EQ(eachEvent(library.cli, second.out, "e['action'], e['status'], e['source']"),
              "album-gain complete Album/01.wav\n"
              "album-gain complete Album/02.wav\n"
              "album-gain complete Album/03.wav\n"
              "convert complete Album/04.wav\n");
    EXPECT_GT(std::abs(albumGainOf(library.output(3)) - threeTrackGain), 0.05);
    library.expectAlbumGainFromScratch();
    EXPECT_EQ(sqlite(library.database, "SELECT count(*) FROM outputs WHERE loudness LIKE 'tl1 %'"), "4\n");

    // The re-tagged outputs' rows know them as they are now: nothing is left to do.
    const auto third = library.sync();
    ASSERT_EQ(third.exitCode, 0) << third.err;
    EXPECT_EQ(third.out, "");
}

// Converting a track again whose loudness is as stored (its output deleted) leaves the rest of its
// album as it is.
TEST(SyncLoudness, ATrackMeasuredAsBeforeLeavesItsAlbumMatesAlone)
{
    Library library;
    for (std::size_t i = 0; i < 4; ++i)
        library.addTrack(i);
    ASSERT_EQ(library.sync().exitCode, 0);
    const auto kept = fs::last_write_time(library.output(0));
    fs::remove(library.output(3));
    const auto again = library.sync();
    ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
    EXPECT_EQ(eachEvent(library.cli, again.out, "e['action'], e['source']"), "convert Album/04.wav\n");
    EXPECT_EQ(fs::last_write_time(library.output(0)), kept);
    library.expectAlbumGainFromScratch();
}

// A database made before rows kept loudness and gains: it opens, a dry run reads it as it is,
// the next sync brings it up to date and measures the album's stored tracks once.
TEST(SyncLoudness, AnOlderDatabaseIsBroughtUpAndItsTracksMeasuredOnce)
{
    Library library;
    for (std::size_t i = 0; i < 3; ++i)
        library.addTrack(i);
    ASSERT_EQ(library.sync().exitCode, 0);
    // The file as the version before wrote it: no gain column, no loudness stored.
    sqlite(library.database, "ALTER TABLE outputs DROP COLUMN applied_gain; UPDATE outputs SET loudness = ''; "
                             "UPDATE library_meta SET value = '1' WHERE key = 'version';");
    const std::string older = readFile(library.database);

    library.addTrack(3);
    const auto dry =
        library.cli.run({"sync", "-f", "mp3", "--dry-run", library.source.string(), library.mirror.string()});
    ASSERT_EQ(dry.exitCode, 0) << dry.out << dry.err;
    EXPECT_NE(dry.out.find("04.wav"), std::string::npos) << dry.out;
    EXPECT_EQ(readFile(library.database), older);

    const auto second = library.sync();
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_EQ(sqlite(library.database, "SELECT value FROM library_meta WHERE key = 'version'"), "2\n");
    EXPECT_EQ(sqlite(library.database, "SELECT count(*) FROM outputs WHERE loudness LIKE 'tl1 %'"), "4\n");
    EXPECT_EQ(eachEvent(library.cli, second.out, "e['action'], e['source']"),
              "album-gain Album/01.wav\nalbum-gain Album/02.wav\nalbum-gain Album/03.wav\nconvert Album/04.wav\n");
    library.expectAlbumGainFromScratch();
}

// A normalised sync converts again after a new target but takes each unchanged source's stored
// loudness instead of measuring it: the gains follow the loudness the first sync measured.
TEST(SyncLoudness, NormalisingTakesTheStoredLoudnessOfUnchangedSources)
{
    Library library;
    for (std::size_t i = 0; i < 3; ++i)
        library.addTrack(i);
    const auto first = library.sync({"--normalize", "track"});
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    const std::string firstGains = eachEvent(library.cli, first.out, "round(e['loudness']['appliedGain'] + 2, 2)");

    for (std::size_t i = 0; i < 3; ++i)
        quietenBehindTheSyncsBack(library.track(i));
    const auto second = library.sync({"--normalize", "track", "--target-lufs", "-16"});
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_EQ(eachEvent(library.cli, second.out, "e['action']"), "convert\nconvert\nconvert\n");
    EXPECT_EQ(eachEvent(library.cli, second.out, "round(e['loudness']['appliedGain'], 2)"), firstGains);
}

TEST(SyncLoudness, TheTerminalShowsTheSourcesBeingMeasured)
{
    CliHarness cli;
    // Synthesised music takes its time to decode, so that the measuring pass outlasts a few of
    // the status line's refreshes on any machine.
    const fs::path source = cli.in("long.mid");
    writeFile(source, midiOfSeconds(480));
    const auto shown =
        cli.runOnTerminal({"convert", "-f", "wav", "--normalize", "track", "-o", cli.out().string(), source.string()});
    ASSERT_EQ(shown.exitCode, 0) << shown.out;
    EXPECT_NE(shown.out.find("0/1 done  measuring "), std::string::npos) << shown.out;
}

} // namespace
} // namespace tunevale::test
