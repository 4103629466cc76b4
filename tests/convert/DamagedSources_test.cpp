#include "ConversionRig.h"
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
                           "play/convert: " + (in / "broken.flac").string() + "\r\n    decoded "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find(" of 30.0 s\r\n"), std::string::npos) << log;
        EXPECT_EQ(rig.outputs().size(), 1u);
    }
}

} // namespace
} // namespace tunevale::test
