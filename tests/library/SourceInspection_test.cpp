#include "EngineInspector.h"
#include "SourceScan.h"
#include "TagsHash.h"

#include "DecodingEngine.h"
#include "TaggedSources.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using test::TempDir;

TEST(AudioIdentity, SurvivesRetaggingAndChangesWithTheAudio)
{
    TempDir dir;
    const auto engine = test::decodingEngine();
    const auto flac = test::makeTone(dir / "a.flac", 0.3, 44100, 2, {"-c:a", "flac"});
    const auto mp3 = test::makeTone(dir / "a.mp3", 0.3, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    const auto flacIdentity = engine->AudioIdentity(flac.string());
    const auto mp3Identity = engine->AudioIdentity(mp3.string());
    EXPECT_TRUE(flacIdentity.starts_with("flac-md5:")) << flacIdentity;
    EXPECT_TRUE(mp3Identity.starts_with("packets:")) << mp3Identity;

    // Tags and a cover added by other tools leave both identities as they were.
    const auto cover = test::makeCover(dir / "cover.png");
    ASSERT_EQ(test::runProgram({"metaflac", "--set-tag=TITLE=Retitled",
                                "--import-picture-from=" + (dir / "cover.png").string(), flac.string()})
                  .exitCode,
              0);
    EXPECT_EQ(engine->AudioIdentity(flac.string()), flacIdentity);
    auto tagged = test::metadataArguments(test::unicodeTags());
    tagged.insert(tagged.begin(), {"-i", mp3.string(), "-c", "copy"});
    tagged.push_back((dir / "tagged.mp3").string());
    test::ffmpeg(tagged);
    EXPECT_EQ(engine->AudioIdentity((dir / "tagged.mp3").string()), mp3Identity);
    tagged.back() = (dir / "v1.mp3").string();
    tagged.insert(tagged.end() - 1, {"-write_id3v1", "1"});
    test::ffmpeg(tagged);
    ASSERT_EQ(fs::file_size(dir / "v1.mp3"), fs::file_size(dir / "tagged.mp3") + 128);
    EXPECT_EQ(engine->AudioIdentity((dir / "v1.mp3").string()), mp3Identity) << "an ID3v1 tag at the end";

    // Other audio, or a FLAC without its checksum, gives another identity.
    const auto other = test::makeTone(dir / "b.mp3", 0.31, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    EXPECT_NE(engine->AudioIdentity(other.string()), mp3Identity);
    ASSERT_EQ(test::runProgram({"metaflac", "--set-md5sum=00000000000000000000000000000000", flac.string()}).exitCode,
              0)
        << "metaflac cannot clear the checksum";
    const auto unchecked = engine->AudioIdentity(flac.string());
    EXPECT_TRUE(unchecked.starts_with("packets:")) << unchecked;

    test::writeFile(dir / "text.mp3", "plain text, not audio");
    EXPECT_EQ(engine->AudioIdentity((dir / "text.mp3").string()), "");
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::Format);
    EXPECT_EQ(engine->AudioIdentity((dir / "missing.flac").string()), "");
    EXPECT_EQ(engine->ErrorGetCode(), EngineCode::FileOpen);
}

TEST(EngineInspector, ReadsIdentityTagsAndCover)
{
    TempDir dir;
    const auto engine = test::decodingEngine();
    const auto cover = test::makeCover(dir / "cover.png");
    auto arguments = std::vector<std::string>{
        "-f", "lavfi", "-i",   "sine=duration=0.2", "-i",          (dir / "cover.png").string(), "-map", "0", "-map",
        "1",  "-c:v",  "copy", "-disposition:v",    "attached_pic"};
    const auto tags = test::metadataArguments(test::unicodeTags());
    arguments.insert(arguments.end(), tags.begin(), tags.end());
    arguments.push_back((dir / "t.flac").string());
    test::ffmpeg(arguments);
    const auto facts = engineInspector(*engine, dir.path().string())("t.flac");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->tags.title, test::unicodeTags().title);
    EXPECT_EQ(facts->tags.frontCover.bytes, cover.bytes);
    EXPECT_EQ(facts->tagsHash, tagsHash(facts->tags));
    EXPECT_EQ(facts->audioIdentity, engine->AudioIdentity((dir / "t.flac").string()));
    EXPECT_FALSE(engineInspector(*engine, dir.path().string())("cover.png"));
}

TEST(TagsHash, ChangesWithEveryFieldAndTheCover)
{
    const auto base = test::unicodeTags();
    const auto hash = tagsHash(base);
    EXPECT_EQ(tagsHash(base), hash);
    auto moved = base;
    moved.title += moved.artist.substr(0, 1);
    moved.artist.erase(0, 1);
    EXPECT_NE(tagsHash(moved), hash);
    auto numbered = base;
    numbered.discTotal = 3;
    EXPECT_NE(tagsHash(numbered), hash);
    auto covered = base;
    covered.frontCover.bytes = {1, 2, 3};
    EXPECT_NE(tagsHash(covered), hash);
    covered.frontCover.bytes = {1, 2, 4};
    EXPECT_NE(tagsHash(covered), tagsHash(base));
}

std::vector<std::string> scannedPaths(const fs::path& root, const fs::path& skip = {})
{
    std::vector<ScannedFile> files;
    std::string error;
    EXPECT_TRUE(scanSourceTree(root.string(), skip.string(), files, error)) << error;
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back(file.path);
    return paths;
}

TEST(SourceScan, WalksDepthFirstInNameOrderSkippingStateLoopsAndTheMirror)
{
    TempDir dir;
    const auto root = dir / "src";
    for (const auto* file : {"b.flac", "A.flac", "c/2.flac", "c/1.flac", "B/x.flac", ".tunevale/library.sqlite",
                             "c/.tunevale/lock", "mirror/out.mp3", "c/d/deep.flac"}) {
        fs::create_directories((root / file).parent_path());
        test::writeFile(root / file, "x");
    }
    fs::create_directory_symlink(root, root / "c/d/loop");
    fs::create_directory_symlink(root / "c", root / "z-link");
    EXPECT_EQ(scannedPaths(root, root / "mirror"),
              (std::vector<std::string>{"A.flac", "b.flac", "B/x.flac", "c/1.flac", "c/2.flac", "c/d/deep.flac"}));

    std::vector<ScannedFile> files;
    std::string error;
    scanSourceTree(root.string(), "", files, error);
    EXPECT_EQ(files[0].stamp.size, 1u);
    fs::last_write_time(root / "A.flac", fs::last_write_time(root / "A.flac") - std::chrono::hours(50));
    scanSourceTree(root.string(), "", files, error);
    const auto seconds = test::runProgram({"stat", "-c", "%Y", (root / "A.flac").string()}).output;
    EXPECT_EQ(files[0].stamp.mtimeNs / 1'000'000'000, std::stoll(seconds));
    EXPECT_FALSE(scanSourceTree((dir / "missing").string(), "", files, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

} // namespace
} // namespace tunevale
