#include "ConversionRig.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

namespace tunevale::test
{
namespace
{

struct FormatCase {
    FileFormat format;
    std::string extension;
    bool cover;
};

// A tagged FLAC with a cover converted by the run to every output format: the tags and the cover
// read back with ffprobe as the source had them.
TEST(TagsThroughTheRun, EveryOutputFormatCarriesTheSourcesTags)
{
    ConversionRig rig;
    rig.controller.setParallelJobs(0);
    const SourceTags tags = unicodeTags();
    const TagPicture cover = makeCover(rig.dir / "cover.png");
    const auto source = makeTaggedSource(rig.dir / "in" / "tagged.flac", tags, rig.dir / "cover.png", {"-c:a", "flac"});
    const auto bare = makeTone(rig.dir / "in" / "bare.flac", 1.0);
    for (const FormatCase& c : {FormatCase{FileFormat::MP3, "mp3", true}, FormatCase{FileFormat::OGG, "ogg", true},
                                FormatCase{FileFormat::WMA, "wma", true}, FormatCase{FileFormat::Ipod, "mp3", true},
                                FormatCase{FileFormat::WAV, "wav", false}}) {
        SCOPED_TRACE(c.extension);
        std::filesystem::remove_all(rig.dir / "out");
        rig.jobs.replaceTable(JobList::NewJobTable());
        rig.addJob(source);
        rig.addJob(bare);
        rig.chooseFormat(c.format);
        rig.convert();
        ASSERT_EQ(rig.status(0), "Complete");
        ASSERT_EQ(rig.status(1), "Complete");

        const ProbedTags read = probeTags(rig.out("tagged." + c.extension));
        EXPECT_EQ(probed(read, "title"), tags.title);
        EXPECT_EQ(probed(read, "artist"), tags.artist);
        EXPECT_EQ(probed(read, "album"), tags.album);
        EXPECT_EQ(probed(read, "genre"), tags.genre);
        EXPECT_NE(probed(read, "track").find("3"), std::string::npos);
        if (c.cover) {
            EXPECT_TRUE(sameBytes(probedCover(rig.out("tagged." + c.extension)), cover));
        }
        // A source without tags gives an output with nothing but what the encoder writes itself.
        const ProbedTags none = probeTags(rig.out("bare." + c.extension));
        EXPECT_EQ(probed(none, "title"), "");
        EXPECT_EQ(probed(none, "artist"), "");
    }
    EXPECT_EQ(rig.logLines(), 0u);
}

TEST(TagsThroughTheRun, TurnedOffNothingIsCarriedAndAFailureKeepsTheJobComplete)
{
    ConversionRig rig;
    const auto source = makeTaggedSource(rig.dir / "in" / "tagged.flac", unicodeTags(), {}, {"-c:a", "flac"});
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.chkCarryTags.value = false;
    rig.addJob(source);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(probed(probeTags(rig.out("tagged.ogg")), "artist"), "");

    // An encoder that writes something TagLib cannot read as OGG: the audio is the encoder's, the
    // job completes, and the log says which tags are missing.
    rig.settings.chkCarryTags.value = true;
    rig.jobs.replaceTable(JobList::NewJobTable());
    rig.addJob(source);
    const auto bin = rig.dir / "bin";
    std::filesystem::create_directories(bin);
    writeScript(bin / "oggenc", "for last; do :; done; cat > /dev/null; echo 'not an ogg file' > \"$last\"\n");
    {
        ScopedPath path(bin.string());
        rig.convert();
    }
    EXPECT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(readFile(rig.out("tagged_Converted.ogg")), "not an ogg file\n");
    const std::string log = readFile(rig.log.path());
    EXPECT_NE(log.find("Tags (Title, Artist, Album"), std::string::npos) << log;
    EXPECT_NE(log.find("could not be written to " + rig.out("tagged_Converted.ogg").string()), std::string::npos)
        << log;
    EXPECT_EQ(rig.logLines(), 1u);
}

} // namespace
} // namespace tunevale::test
