#include "ConversionRig.h"
#include "EngineErrorText.h"
#include "HostileFiles.h"

#include <gtest/gtest.h>

namespace tunevale::test
{
namespace
{

// Sources that cannot be converted whole: each job ends in "Error" in bounded time, and the run
// goes on to the good file after them.
TEST(DamagedSources, EndInErrorForEveryFormat)
{
    for (const FileFormat format : {FileFormat::WAV, FileFormat::MP3, FileFormat::OGG}) {
        SCOPED_TRACE(static_cast<int>(format));
        ConversionRig rig;
        rig.chooseFormat(format);
        const auto in = rig.dir / "in";
        // Thirty seconds of FLAC whose audio breaks off into garbage after its first 40 KB.
        const auto whole = makeTone(rig.dir / "whole.flac", 30, 44100, 2);
        const std::string flac = readFile(whole);
        writeFile(in / "broken.flac", flac.substr(0, 40000) + randomBytes(flac.size() - 40000));
        const std::string pcm = toneSamples(1.0, 44100);
        writeFile(in / "one-hertz.wav", wavHeader(1, 1, static_cast<std::uint32_t>(pcm.size())) + pcm);
        writeFile(in / "centuries.mid", centuriesLongMidi());
        const auto good = makeTone(in / "good.flac", 1.0);
        for (const char* name : {"broken.flac", "one-hertz.wav", "centuries.mid"})
            rig.addJob(in / name);
        rig.addJob(good);

        rig.controller.setParallelJobs(2);
        rig.convert(); // two minutes at most
        EXPECT_EQ(rig.status(0), "Error");
        EXPECT_EQ(rig.status(1), "Error");
        EXPECT_EQ(rig.status(2), "Error");
        EXPECT_EQ(rig.status(3), "Complete");
        // The log says why, and how much of the stated length was decoded; no output is left.
        const std::string log = readFile(rig.log.path());
        EXPECT_NE(log.find("The audio ends early: the file is damaged 102 occured when Korvel tried to "
                           "play/convert: " +
                           (in / "broken.flac").string() + ": decoded "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find(" of 30.0 s\r\n"), std::string::npos) << log;
        EXPECT_EQ(rig.outputs().size(), 1u);
    }
}

// A source that is gone when its job starts is an "Error" with a log entry naming it, whichever
// writer would have converted it.
TEST(DamagedSources, ASourceGoneBeforeItsJobIsLoggedByEveryWriter)
{
    for (const FileFormat format : {FileFormat::WAV, FileFormat::WMA, FileFormat::MP3, FileFormat::FLAC}) {
        SCOPED_TRACE(static_cast<int>(format));
        ConversionRig rig;
        rig.chooseFormat(format);
        const auto gone = makeTone(rig.dir / "in" / "gone.flac", 1.0);
        rig.addJob(gone);
        std::filesystem::remove(gone);
        rig.convert();
        EXPECT_EQ(rig.status(0), "Error");
        EXPECT_EQ(rig.logLines(), 1u);
        EXPECT_NE(readFile(rig.log.path()).find(gone.string()), std::string::npos);
        EXPECT_TRUE(rig.outputs().empty());
    }
}

// Lossless sources owe every sample: damage the decoder could skip over, or a cut of less than a
// second, is an "Error" with a log entry. A lossy source may lose a few frames and still completes.
TEST(DamagedSources, LosslessDamageOfAnySizeIsAnErrorAndLossyMayLoseAFewFrames)
{
    ConversionRig rig;
    rig.chooseFormat(FileFormat::OGG);
    const auto in = rig.dir / "in";
    const auto noisy = [&](const std::filesystem::path& file, double seconds, const std::vector<std::string>& codec) {
        std::vector<std::string> arguments{
            "-f",  "lavfi", "-i",  "anoisesrc=amplitude=0.3:seed=3:duration=" + std::to_string(seconds),
            "-ar", "44100", "-ac", "2"};
        arguments.insert(arguments.end(), codec.begin(), codec.end());
        arguments.push_back(file.string());
        ffmpeg(arguments);
        return readFile(file);
    };
    std::string flac = noisy(rig.dir / "twenty.flac", 20, {"-c:a", "flac"});
    flac.replace(flac.size() / 2, 20000, std::string(20000, '\0'));
    writeFile(in / "zeroed.flac", flac);
    const std::string second = noisy(rig.dir / "second.flac", 1, {"-c:a", "flac"});
    writeFile(in / "cut.flac", second.substr(0, second.size() * 52 / 100));
    std::string mp3 = noisy(rig.dir / "twenty.mp3", 20, {"-c:a", "libmp3lame", "-b:a", "192k"});
    mp3.replace(mp3.size() / 2, 1500, randomBytes(1500));
    writeFile(in / "skipped.mp3", mp3);
    for (const char* name : {"zeroed.flac", "cut.flac", "skipped.mp3"})
        rig.addJob(in / name);

    rig.convert();
    EXPECT_EQ(rig.status(0), "Error");
    EXPECT_EQ(rig.status(1), "Error");
    EXPECT_EQ(rig.status(2), "Complete");
    const std::string log = readFile(rig.log.path());
    EXPECT_NE(log.find(EngineErrorText(EngineCode::Corrupt) + " 103 occured when Korvel tried to play/convert: " +
                       (in / "zeroed.flac").string() + ": decoded "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(EngineErrorText(EngineCode::Truncated) + " 102 occured when Korvel tried to play/convert: " +
                       (in / "cut.flac").string() + ": decoded 0."),
              std::string::npos)
        << log;
    EXPECT_EQ(rig.logLines(), 2u);
    EXPECT_EQ(rig.outputs(), std::vector<std::filesystem::path>{rig.out("skipped.ogg")});
}

} // namespace
} // namespace tunevale::test
