// Sources of many kinds converted by the real run to FLAC, Opus, AAC, ALAC, AIFF and WavPack, and
// read back by other programs: ffprobe and ffmpeg, flac, opusinfo, wvunpack.
#include "ConversionRig.h"
#include "ForwardingEngine.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tunevale::test
{
namespace
{

struct Source {
    std::string file;
    std::vector<std::string> make; // ffmpeg's arguments before the file
    bool lossless;
    std::int64_t samples; // per channel, as made: what every output must decode to (at its own rate)
    int rate;
};

// Noise in every channel (different in each), so that every bit of every sample matters.
std::vector<std::string> noise(int channels, int rate, double seconds)
{
    std::string expression;
    for (int c = 0; c < channels; ++c)
        expression += (c ? "|" : "") + std::string("0.9*(random(") + std::to_string(c) + ")-0.5)";
    return {"-f", "lavfi", "-i",
            "aevalsrc=" + expression + ":s=" + std::to_string(rate) + ":d=" + std::to_string(seconds)};
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Source>& sources()
{
    static const std::vector<Source> all{
        {"cd.flac", with(noise(2, 44100, 1.7), {"-c:a", "flac", "-sample_fmt", "s16"}), true, 74970, 44100},
        {"hires.flac", with(noise(2, 96000, 1.3), {"-c:a", "flac", "-sample_fmt", "s32", "-bits_per_raw_sample", "24"}),
         true, 124800, 96000},
        {"surround.wav", with(noise(6, 48000, 1.1), {"-c:a", "pcm_s16le"}), true, 52800, 48000},
        {"voice.mp3", with(noise(1, 22050, 1.9), {"-c:a", "libmp3lame", "-b:a", "64k"}), false, 41895, 22050},
        {"itunes.m4a", with(noise(2, 44100, 1.4), {"-c:a", "aac", "-b:a", "128k"}), false, 61740, 44100},
        {"android.opus", with(noise(2, 48000, 1.2), {"-c:a", "libopus", "-b:a", "96k"}), false, 57600, 48000},
        {"studio.aiff", with(noise(2, 48000, 1.3), {"-c:a", "pcm_s24be"}), true, 62400, 48000},
        {"archive.wv", with(noise(2, 44100, 1.5), {"-c:a", "wavpack", "-sample_fmt", "s16p"}), true, 66150, 44100},
    };
    return all;
}

struct Target {
    FileFormat format;
    std::string extension;
    bool lossless;
};

const std::vector<Target> kTargets{{FileFormat::FLAC, "flac", true}, {FileFormat::Opus, "opus", false},
                                   {FileFormat::AAC, "m4a", false},  {FileFormat::ALAC, "m4a", true},
                                   {FileFormat::AIFF, "aiff", true}, {FileFormat::WavPack, "wv", true}};

int probedNumber(const std::filesystem::path& file, const std::string& entry)
{
    return std::atoi(ffprobe(file, entry).c_str());
}

// The PCM ffmpeg decodes from the file, as 32-bit samples: 16 and 24-bit audio alike, exactly.
std::string pcm32(const std::filesystem::path& file)
{
    TempDir dir;
    const auto out = dir / "pcm.raw";
    const auto result =
        runFfmpeg({"-i", file.string(), "-map", "0:a:0", "-f", "s32le", "-c:a", "pcm_s32le", out.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return readFile(out);
}

// Samples per channel that ffmpeg decodes from the file (encoder delay and padding taken off).
std::int64_t samplesOf(const std::filesystem::path& file)
{
    const int channels = probedNumber(file, "stream=channels");
    return channels > 0 ? static_cast<std::int64_t>(pcm32(file).size()) / (4 * channels) : -1;
}

// What another program says of an output: FLAC's own test, opusinfo, wvunpack's verification.
void expectIndependentCheck(const std::filesystem::path& file, FileFormat format)
{
    std::vector<std::string> check;
    if (format == FileFormat::FLAC)
        check = {"flac", "-t", "-s", file.string()};
    else if (format == FileFormat::Opus)
        check = {"opusinfo", file.string()};
    else if (format == FileFormat::WavPack)
        check = {"wvunpack", "-q", "-v", file.string()};
    if (check.empty())
        return;
    const auto result = runProgramOnFile(check, file);
    EXPECT_EQ(result.exitCode, 0) << check.front() << ": " << result.output;
    if (format == FileFormat::Opus) {
        EXPECT_EQ(result.output.find("WARNING"), std::string::npos) << result.output;
    }
}

// One output format per test, so that the six run side by side.
class CatalogFormatsThroughTheRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.controller.setParallelJobs(2);
        for (const Source& source : sources())
            ffmpeg(with(source.make, {(rig.dir / "in" / source.file).string()}));
    }
    void convertAll(FileFormat format)
    {
        for (const Source& source : sources())
            rig.addJob(rig.dir / "in" / source.file);
        rig.chooseFormat(format);
        rig.convert();
    }
    void convertAndCheck(FileFormat format);
    ConversionRig rig;
};

// Every source converted to the target keeps its length; lossless outputs of lossless sources
// keep every bit.
void CatalogFormatsThroughTheRun::convertAndCheck(FileFormat format)
{
    const Target& target =
        *std::find_if(kTargets.begin(), kTargets.end(), [&](const Target& t) { return t.format == format; });
    convertAll(target.format);
    for (std::size_t row = 0; row < sources().size(); ++row) {
        const Source& source = sources()[row];
        SCOPED_TRACE(source.file);
        ASSERT_EQ(rig.status(row), "Complete") << rig.jobs.rsJobs().at(row).Failure;
        const auto in = rig.dir / "in" / source.file;
        const auto out = rig.out(std::filesystem::path(source.file).stem().string() + "." + target.extension);
        ASSERT_TRUE(std::filesystem::exists(out));

        const int inRate = source.rate;
        const int outRate = probedNumber(out, "stream=sample_rate");
        EXPECT_EQ(probedNumber(out, "stream=channels"), probedNumber(in, "stream=channels"));
        if (target.format == FileFormat::Opus) {
            EXPECT_EQ(outRate, 48000);
        } else if (target.lossless) {
            EXPECT_EQ(outRate, inRate);
        }
        // Gapless: exactly the source's samples, counted at the output's rate.
        const auto expected = std::llround(static_cast<double>(source.samples) * outRate / inRate);
        const auto decoded = samplesOf(out);
        if (target.format == FileFormat::AAC) {
            // The edit list states the length; ffmpeg's decoder hands out whole frames of 1024.
            EXPECT_EQ(probedNumber(out, "stream=duration_ts"), expected);
            EXPECT_EQ(ffprobe(out, "stream=time_base"), "1/" + std::to_string(outRate));
            EXPECT_GE(decoded, expected);
            EXPECT_LT(decoded, expected + 1024);
        } else {
            EXPECT_EQ(decoded, expected) << source.samples << " samples at " << inRate << " Hz";
        }

        if (target.lossless && source.lossless) {
            EXPECT_TRUE(pcm32(out) == pcm32(in)) << "the PCM differs from the source's";
        }
        expectIndependentCheck(out, target.format);
    }
    // A 24-bit source stays 24-bit in the lossless containers.
    if (target.format == FileFormat::AIFF) {
        EXPECT_EQ(ffprobe(rig.out("hires.aiff"), "stream=codec_name"), "pcm_s24be");
        EXPECT_EQ(ffprobe(rig.out("cd.aiff"), "stream=codec_name"), "pcm_s16be");
    }
    if (target.format == FileFormat::FLAC) {
        EXPECT_EQ(ffprobe(rig.out("hires.flac"), "stream=bits_per_raw_sample"), "24");
        EXPECT_EQ(ffprobe(rig.out("cd.flac"), "stream=bits_per_raw_sample"), "16");
    }
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST_F(CatalogFormatsThroughTheRun, ToFlac)
{
    convertAndCheck(FileFormat::FLAC);
}
TEST_F(CatalogFormatsThroughTheRun, ToOpus)
{
    convertAndCheck(FileFormat::Opus);
}
TEST_F(CatalogFormatsThroughTheRun, ToAac)
{
    convertAndCheck(FileFormat::AAC);
}
TEST_F(CatalogFormatsThroughTheRun, ToAlac)
{
    convertAndCheck(FileFormat::ALAC);
}
TEST_F(CatalogFormatsThroughTheRun, ToAiff)
{
    convertAndCheck(FileFormat::AIFF);
}
TEST_F(CatalogFormatsThroughTheRun, ToWavPack)
{
    convertAndCheck(FileFormat::WavPack);
}

// Tags and the cover of a tagged FLAC read back as the source had them from every new format.
TEST(CatalogFormatTags, TagsAndCoverReachEveryNewFormat)
{
    ConversionRig rig;
    const SourceTags tags = unicodeTags();
    const TagPicture cover = makeCover(rig.dir / "cover.png");
    const auto source = makeTaggedSource(rig.dir / "in" / "tagged.flac", tags, rig.dir / "cover.png", {"-c:a", "flac"});
    for (const Target& target : kTargets) {
        SCOPED_TRACE(target.extension);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        rig.addJob(source);
        rig.chooseFormat(target.format);
        rig.convert();
        ASSERT_EQ(rig.status(0), "Complete") << rig.jobs.rsJobs().at(0).Failure;
        const auto out = rig.out("tagged." + target.extension);
        const ProbedTags read = probeTags(out);
        EXPECT_EQ(probed(read, "title"), tags.title);
        EXPECT_EQ(probed(read, "artist"), tags.artist);
        EXPECT_EQ(probed(read, "album"), tags.album);
        EXPECT_EQ(probed(read, "genre"), tags.genre);
        EXPECT_NE(probed(read, "track").find("3"), std::string::npos);
        EXPECT_TRUE(sameBytes(probedCover(out), cover));
    }
    EXPECT_EQ(rig.logLines(), 0u);
}

// Each format's option reaches its encoder: the files differ in size as the option says.
TEST(CatalogFormatOptions, TheOptionsOfThePanelReachTheEncoder)
{
    ConversionRig rig;
    const auto tone = makeTone(rig.dir / "in" / "tone.flac", 6.0, 44100, 2, {"-c:a", "flac"});
    ffmpeg(
        with(noise(2, 44100, 3.0), {"-c:a", "flac", "-sample_fmt", "s16", (rig.dir / "in" / "noise.flac").string()}));
    const auto sizeWith = [&](FileFormat format, int value, const std::string& name) {
        rig.settings.formatOption[static_cast<std::size_t>(format)].setValue(value);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        rig.addJob(rig.dir / "in" / (name + ".flac"));
        rig.chooseFormat(format);
        rig.convert();
        EXPECT_EQ(rig.status(0), "Complete") << rig.jobs.rsJobs().at(0).Failure;
        const auto out = rig.out(name + "." + outputFormat(format).extension);
        return std::filesystem::exists(out) ? std::filesystem::file_size(out) : 0;
    };
    EXPECT_GT(sizeWith(FileFormat::FLAC, 0, "tone"), sizeWith(FileFormat::FLAC, 8, "tone"));
    EXPECT_GT(sizeWith(FileFormat::Opus, 256, "noise"), 4 * sizeWith(FileFormat::Opus, 32, "noise"));
    EXPECT_GT(sizeWith(FileFormat::AAC, 320, "noise"), 3 * sizeWith(FileFormat::AAC, 64, "noise"));
    const double kbps = static_cast<double>(sizeWith(FileFormat::AAC, 128, "noise")) * 8 / 3.0 / 1000;
    EXPECT_NEAR(kbps, 128, 20);
}

// Encodes with a fault put into the file after its checksum was taken.
class FaultyEncoderEngine : public ForwardingEngine
{
public:
    FaultyEncoderEngine(Engine& real, EncoderFault fault) : ForwardingEngine(real), m_fault(fault) {}
    EngineHandle EncodeFileOpen(const EncodeSetup& setup, const ChannelInfo& pcm, const EncodeTarget& target) override
    {
        EncodeSetup faulty = setup;
        faulty.fault = m_fault;
        return ForwardingEngine::EncodeFileOpen(faulty, pcm, target);
    }

private:
    EncoderFault m_fault;
};

TEST(CatalogFormatVerification, AnOutputThatDoesNotDecodeToTheSourceIsAnErrorAndLeavesNoFile)
{
    for (const EncoderFault fault : {EncoderFault::FlipSampleBit, EncoderFault::FlipPacketByte}) {
        for (const FileFormat format : {FileFormat::FLAC, FileFormat::ALAC, FileFormat::AIFF, FileFormat::WavPack}) {
            SCOPED_TRACE(std::string(outputFormat(format).cliName) +
                         (fault == EncoderFault::FlipSampleBit ? " sample bit" : " packet byte"));
            std::array<std::string, 8> tagNames;
            auto real = headlessEngine(tagNames);
            FaultyEncoderEngine faulty(*real, fault);
            ConversionRig rig(&faulty);
            const auto source = makeTone(rig.dir / "in" / "tone.flac", 4.0, 44100, 2,
                                         {"-c:a", "flac"}); // several packets of every codec
            rig.addJob(source);
            rig.chooseFormat(format);
            rig.convert();
            EXPECT_EQ(rig.status(0), "Error");
            EXPECT_EQ(rig.outputs(), std::vector<std::filesystem::path>{}) << "nothing is left in the folder";
            EXPECT_EQ(rig.logLines(), 1u);
            EXPECT_NE(readFile(rig.log.path()).find("does not decode to the audio that was encoded"),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace tunevale::test
