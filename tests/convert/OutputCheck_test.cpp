#include "ConversionRig.h"
#include "EngineErrorText.h"
#include "HostileFiles.h"
#include "OutputCheck.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// Encoders that end well (exit 0) without having written what they were given.
class OutputCheck : public ::testing::Test
{
protected:
    void SetUp() override { source = makeTone(rig.dir / "in" / "four.flac", 4.0); }

    // A file of the format made by the real encoder from the first two seconds of the source.
    std::filesystem::path halfLength(const std::string& extension)
    {
        const auto wav = makeTone(rig.dir / "half.wav", 2.0);
        const auto out = rig.dir / ("half." + extension);
        const ProgramResult made = extension == "mp3" ? runProgram({"lame", "--silent", wav.string(), out.string()})
                                                      : runProgram({"oggenc", "-Q", wav.string(), "-o", out.string()});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return out;
    }

    // Runs the writer with an encoder program whose body writes the output named last.
    JobOutcome convertWith(const std::string& program, const std::string& body, const std::filesystem::path& out)
    {
        const auto bin = rig.dir / ("bin-" + program);
        std::filesystem::create_directories(bin);
        writeScript(bin / program, "for last; do :; done\n/bin/cat > /dev/null\n" + body + "\nexit 0\n");
        const CommandFor command = [&program](const std::string& outArgument) {
            return program == "lame" ? EncoderCommand{"lame", {"-", outArgument}}
                                     : EncoderCommand{"oggenc", {"-", "-o", outArgument}};
        };
        PlainContext context;
        ScopedPath path(bin.string());
        return runMP3_OGG(*rig.engine, context, rig.log, source.string(), out.string(), command);
    }

    // A source stream pulled to its end, as a writer leaves it before the check.
    EngineHandle decodedSource()
    {
        const EngineHandle stream = rig.engine->StreamCreateFile(source.string(), 0, 0, StreamFlag::DecodeOnly);
        EXPECT_NE(stream, 0u);
        std::vector<char> buffer(1 << 16);
        while (rig.engine->ChannelIsActive(stream) != ChannelState::Stopped)
            if (rig.engine->ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size())) <= 0)
                break;
        return stream;
    }

    ConversionRig rig;
    std::filesystem::path source;
};

TEST_F(OutputCheck, AnEncoderThatWritesNoiseEndsTheJobInErrorAndLeavesNoFile)
{
    std::size_t lines = 0;
    for (const std::string program : {"lame", "oggenc"}) {
        SCOPED_TRACE(program);
        const auto out = rig.dir / ("noise." + std::string(program == "lame" ? "mp3" : "ogg"));
        writeFile(rig.dir / "noise.bin", randomBytes(100'000));
        EXPECT_EQ(convertWith(program, "/bin/cp " + (rig.dir / "noise.bin").string() + " \"$last\"", out),
                  JobOutcome::Error);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(rig.logLines(), ++lines);
        const std::string log = readFile(rig.log.path());
        EXPECT_NE(log.find("The converted file does not decode 104 occured when Korvel tried to play/convert: " +
                           source.string() + ": Unsupported Format 6\r\n"),
                  std::string::npos)
            << log;
    }
}

TEST_F(OutputCheck, AValidFileOfHalfTheLengthEndsTheJobInError)
{
    std::size_t lines = 0;
    for (const std::string extension : {"mp3", "ogg"}) {
        SCOPED_TRACE(extension);
        const auto half = halfLength(extension);
        const auto out = rig.dir / ("short." + extension);
        EXPECT_EQ(convertWith(extension == "mp3" ? "lame" : "oggenc", "/bin/cp " + half.string() + " \"$last\"", out),
                  JobOutcome::Error);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(rig.logLines(), ++lines);
        const std::string log = readFile(rig.log.path());
        EXPECT_NE(log.find("The converted file is shorter than its source 105 occured when Korvel tried to "
                           "play/convert: " +
                           source.string() + ": it decodes to 2.0 s of the 4.0 s that went in\r\n"),
                  std::string::npos)
            << log;
    }
    // The real encoders' files hold it all.
    for (const std::string program : {"lame", "oggenc"}) {
        const auto out = rig.dir / ("real." + program);
        PlainContext context;
        const CommandFor command = [&program](const std::string& outArgument) {
            return program == "lame" ? EncoderCommand{"lame", {"-", outArgument}}
                                     : EncoderCommand{"oggenc", {"-", "-o", outArgument}};
        };
        EXPECT_EQ(runMP3_OGG(*rig.engine, context, rig.log, source.string(), out.string(), command),
                  JobOutcome::Complete)
            << program;
    }
    EXPECT_EQ(rig.logLines(), lines);
}

// The check itself over every output format: whole files pass, short or undecodable ones fail, and
// a cancelled job, shorter by design, is not checked.
TEST_F(OutputCheck, WholeFilesPassAndShortOrBrokenOnesFailInEveryFormat)
{
    const EngineHandle stream = decodedSource();
    const auto wav = makeTone(rig.dir / "whole-source.wav", 4.0);
    const auto wavHalf = makeTone(rig.dir / "half-source.wav", 2.0);
    writeFile(rig.dir / "noise.wma", randomBytes(50'000));
    for (const std::string extension : {"mp3", "ogg", "wma", "wav"}) {
        SCOPED_TRACE(extension);
        const auto whole = rig.dir / ("whole." + extension);
        const auto half = rig.dir / ("half." + extension);
        ffmpeg({"-i", wav.string(), whole.string()});
        ffmpeg({"-i", wavHalf.string(), half.string()});
        EXPECT_FALSE(checkOutput(*rig.engine, stream, JobOutcome::Complete, whole.string(), source.string(), rig.log));
        const auto failed =
            checkOutput(*rig.engine, stream, JobOutcome::Complete, half.string(), source.string(), rig.log);
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->outcome, JobOutcome::Error);
        EXPECT_EQ(failed->failure,
                  EngineErrorText(EngineCode::OutputShort) + ": it decodes to 2.0 s of the 4.0 s that went in");
        EXPECT_FALSE(checkOutput(*rig.engine, stream, JobOutcome::Cancelled, half.string(), source.string(), rig.log));
    }
    EXPECT_TRUE(checkOutput(*rig.engine, stream, JobOutcome::Complete, (rig.dir / "noise.wma").string(),
                            source.string(), rig.log));
    EXPECT_TRUE(checkOutput(*rig.engine, stream, JobOutcome::Complete, (rig.dir / "missing.mp3").string(),
                            source.string(), rig.log));
    EXPECT_EQ(rig.logLines(), 6u);
    rig.engine->StreamFree(stream);
}

} // namespace
