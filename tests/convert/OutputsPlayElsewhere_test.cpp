// What Tunevale writes is read back by decoders that share no code with it: sox for WAV, mpg123
// for MP3 and oggdec for OGG Vorbis. Each must decode the whole file without complaint, to the
// source's length and channel count and at the source's loudness (not silence, not noise).

#include "ConversionRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// The figures of `sox FILE -n stat` by name ("Length (seconds)", "RMS     amplitude", ...).
std::map<std::string, double> soxStat(const std::filesystem::path& file)
{
    const ProgramResult result = runProgramOnFile({"sox", file.string(), "-n", "stat"}, file);
    EXPECT_EQ(result.exitCode, 0) << file << ": " << result.output;
    std::map<std::string, double> figures;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon != std::string::npos)
            figures[line.substr(0, colon)] = std::atof(line.c_str() + colon + 1);
    }
    return figures;
}

int soxChannels(const std::filesystem::path& file)
{
    return std::atoi(runProgramOnFile({"sox", "--i", "-c", file.string()}, file).output.c_str());
}

// Decodes file with the program that other software would use for it, into a WAV beside it.
std::filesystem::path decodeElsewhere(const std::filesystem::path& file)
{
    const auto extension = file.extension().string();
    if (extension == ".wav")
        return file;
    const auto decoded = file.parent_path() / (file.stem().string() + ".decoded.wav");
    const ProgramResult result = extension == ".mp3"
                                     ? runProgram({"mpg123", "-q", "-w", decoded.string(), file.string()})
                                     : runProgram({"oggdec", "-Q", "-o", decoded.string(), file.string()});
    EXPECT_EQ(result.exitCode, 0) << file << ": " << result.output;
    EXPECT_EQ(result.output, "") << file << ": the decoder complained";
    return decoded;
}

struct Source {
    std::string name;
    int channels;
};

} // namespace

TEST(OutputsPlayElsewhere, EveryWrittenFileDecodesInOtherProgramsAsTheSourceSounds)
{
    ConversionRig rig;
    const std::vector<Source> sources{{"stereo", 2}, {"mono", 1}, {"surround", 6}};
    constexpr double seconds = 3.0;
    for (const Source& source : sources)
        makeTone(rig.dir / "in" / (source.name + ".flac"), seconds, 44100, source.channels);

    struct Output {
        FileFormat format;
        std::string extension;
        int stereoLimit; // channels the format keeps at most (lame takes two)
    };
    for (const Output& output : {Output{FileFormat::WAV, "wav", 8}, Output{FileFormat::MP3, "mp3", 2},
                                 Output{FileFormat::OGG, "ogg", 8}, Output{FileFormat::Ipod, "mp3", 2}}) {
        SCOPED_TRACE(output.extension);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        for (const Source& source : sources)
            rig.addJob(rig.dir / "in" / (source.name + ".flac"));
        rig.chooseFormat(output.format);
        rig.convert();

        for (std::size_t row = 0; row < sources.size(); ++row) {
            const Source& source = sources[row];
            SCOPED_TRACE(source.name);
            ASSERT_EQ(rig.status(row), "Complete");
            const auto decoded = decodeElsewhere(rig.out(source.name + "." + output.extension));
            const auto original = soxStat(rig.dir / "in" / (source.name + ".flac"));
            const auto copy = soxStat(decoded);
            const int channels = std::min(source.channels, output.stereoLimit);
            EXPECT_EQ(soxChannels(decoded), channels);
            EXPECT_NEAR(copy.at("Length (seconds)"), seconds, 0.05);
            const double level = copy.at("RMS     amplitude") / original.at("RMS     amplitude");
            if (channels == source.channels) {
                EXPECT_NEAR(level, 1.0, 0.1);
            } else {
                // The stereo mix weighs the surround channels down so that it cannot clip.
                EXPECT_GT(level, 0.3);
                EXPECT_LT(level, 1.0);
            }
        }
    }
    EXPECT_EQ(rig.logLines(), 0u);
}
