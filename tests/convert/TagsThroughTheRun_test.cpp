#include "ConversionRig.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

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
        ASSERT_EQ(rig.status(0), "Complete") << rig.jobs.rsJobs().at(0).Failure;
        ASSERT_EQ(rig.status(1), "Complete") << rig.jobs.rsJobs().at(1).Failure;

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
    SourceTags tags = unicodeTags();
    tags.comment = std::string(100'000, 'c');
    const auto source = makeTaggedSource(rig.dir / "in" / "tagged.flac", tags, {}, {"-c:a", "flac"});
    rig.chooseFormat(FileFormat::OGG);
    rig.settings.chkCarryTags.value = false;
    rig.addJob(source);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(probed(probeTags(rig.out("tagged.ogg")), "artist"), "");

    // A disk with room for the audio but not for the tags: the audio is the encoder's, the job
    // completes, and the log says which tags are missing and why.
    const ScratchMount mount(rig.dir / "small", "1m");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    struct statvfs space {
    };
    ASSERT_EQ(::statvfs(mount.path().c_str(), &space), 0);
    writeFile(mount.path() / "filler", std::string(space.f_bavail * space.f_frsize - 150'000, '\0'));
    rig.settings.chkCarryTags.value = true;
    rig.settings.txtOutPath.text = mount.path().string();
    rig.jobs.replaceTable(JobList::NewJobTable());
    rig.addJob(source);
    rig.convert();
    EXPECT_EQ(rig.status(0), "Complete");
    const auto out = mount.path() / "tagged.ogg";
    EXPECT_EQ(probed(probeTags(out), "artist"), "");
    EXPECT_NEAR(probedDuration(out), 1.0, 0.05);
    const std::string log = readFile(rig.log.path());
    EXPECT_NE(log.find("The tags could not be written 106 occured when Korvel tried to play/convert: " +
                       source.string() + ": Title, Artist, Album"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" not written to " + out.string() + ": no room for the tags: No space left on device\r\n"),
              std::string::npos)
        << log;
    // The track's album (its tags name one) cannot get its gain either.
    EXPECT_NE(log.find(": album gain not written to " + out.string() + ": "), std::string::npos) << log;
    EXPECT_EQ(rig.logLines(), 2u);
}

// Values the output's format cannot hold are left out, each named in the log.
TEST(TagsThroughTheRun, TagsTooLargeForTheOutputAreNamedInTheLog)
{
    ConversionRig rig;
    SourceTags tags = unicodeTags();
    tags.title = std::string(40'000, 't'); // 80,000 bytes as a WMA text field
    const auto source = makeTaggedSource(rig.dir / "in" / "long title.flac", tags, {}, {"-c:a", "flac"});
    rig.chooseFormat(FileFormat::WMA);
    rig.addJob(source);
    rig.convert();
    ASSERT_EQ(rig.status(0), "Complete");
    EXPECT_EQ(probed(probeTags(rig.out("long title.wma")), "artist"), tags.artist);
    const std::string log = readFile(rig.log.path());
    EXPECT_NE(log.find("Some tags were left out 107 occured when Korvel tried to play/convert: " + source.string() +
                       ": Title (80000 bytes, more than the 65533 a WMA text field holds) left out of " +
                       rig.out("long title.wma").string() + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(rig.logLines(), 1u);
}

} // namespace
} // namespace tunevale::test
