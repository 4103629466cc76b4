#include "ConversionRig.h"
#include "EncodedOutputs.h"
#include "OutputOrigin.h"
#include "OutputRewrite.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

ConversionOptions mp3Options()
{
    ConversionOptions options;
    options.format = FileFormat::MP3;
    return options;
}

// Whatever the output folder holds besides the output and the filler: leftovers of a re-tag.
std::vector<std::string> strayFiles(const std::filesystem::path& folder, const std::filesystem::path& output)
{
    std::vector<std::string> stray;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path() != output && entry.path().filename() != "filler")
            stray.push_back(entry.path().filename().string());
    return stray;
}

TEST(RetagOutput, NewTagsSameAudioAndTheOriginRecorded)
{
    const TempDir dir;
    const auto made = encodedOutput(dir.path(), EncodedKind::Mp3, "song");
    const auto out = dir.path() / "mirror" / made.filename();
    std::filesystem::create_directory(out.parent_path());
    std::filesystem::copy_file(made, out);
    const std::string audio = decodedAudio(out);
    SourceTags tags = unicodeTags();
    tags.title = "Retitled";
    const FileStamp stamp{1234, 5678};
    std::string error;
    ASSERT_TRUE(retagOutput(out.string(), mp3Options(), tags, stamp, "settings-1", error)) << error;
    EXPECT_EQ(ffprobe(out, "format_tags=title"), "Retitled");
    EXPECT_EQ(decodedAudio(out), audio);
    const auto origin = readOutputOrigin(out.string());
    if (origin) {
        EXPECT_EQ(origin->source, stamp);
        EXPECT_EQ(origin->settings, "settings-1");
    }
    EXPECT_TRUE(strayFiles(out.parent_path(), out).empty());
}

TEST(RetagOutput, AFullDiskKeepsTheOldOutputAndLeavesNothing)
{
    const TempDir dir;
    const ScratchMount mount(dir.path() / "small", "1m");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const auto made = encodedOutput(dir.path(), EncodedKind::Mp3, "song");
    const auto out = mount.path() / made.filename();
    std::filesystem::copy_file(made, out);
    const std::string before = readFile(out);
    // Room for the copy, not for its 300 KB of new tags.
    struct statvfs space {
    };
    ASSERT_EQ(::statvfs(mount.path().c_str(), &space), 0);
    const std::size_t free = space.f_bavail * space.f_frsize;
    ASSERT_GT(free, before.size() + 64'000);
    writeFile(mount.path() / "filler", std::string(free - before.size() - 64'000, '\0'));
    SourceTags tags = unicodeTags();
    tags.comment = std::string(300'000, 'c');

    std::string error;
    EXPECT_FALSE(retagOutput(out.string(), mp3Options(), tags, FileStamp{1, 2}, "settings", error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(readFile(out), before);
    EXPECT_TRUE(strayFiles(mount.path(), out).empty());
}

} // namespace
