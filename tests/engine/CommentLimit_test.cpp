#include "CommentLimit.h"
#include "DecodingEngine.h"
#include "HostileFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

struct Opened {
    int error = EngineCode::Ok;
    SourceTags tags;
    double seconds = -1; // decoded, whole
};

// Opens the file as a decoding stream, reads its tags and decodes it to its end.
Opened openAndDecode(Engine& engine, const std::filesystem::path& file)
{
    Opened opened;
    const EngineHandle stream = engine.StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly);
    if (stream == 0) {
        opened.error = engine.ErrorGetCode();
        return opened;
    }
    engine.ChannelGetTags(stream, opened.tags);
    std::vector<char> buffer(1 << 16);
    std::uint64_t bytes = 0;
    for (std::int32_t got; (got = engine.ChannelGetData(stream, buffer.data(), buffer.size())) > 0;)
        bytes += static_cast<std::uint64_t>(got);
    opened.seconds = engine.ChannelBytes2Seconds(stream, bytes);
    engine.StreamFree(stream);
    return opened;
}

class CommentLimitTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::unique_ptr<Engine> engine = decodingEngine();
    std::filesystem::path flac = makeTone(dir / "tone.flac", 1, 44100, 1, {"-c:a", "flac"});
    std::filesystem::path ogg = makeTone(dir / "tone.ogg", 1, 44100, 1, {"-c:a", "libvorbis"});
};

TEST_F(CommentLimitTest, AFlacWithTwoHundredThousandCommentsKeepsItsFirstTagsAndDecodesWhole)
{
    auto comments = manyComments(200000);
    comments.insert(comments.begin(), {"TITLE=Kept", "ARTIST=First"});
    comments[MaxComments + 10] = "ALBUM=Beyond the limit";
    writeFlacWithComments(flac, dir / "many.flac", {vorbisCommentList(comments)});
    const std::string before = readFile(dir / "many.flac");
    ASSERT_GT(before.size(), 3'000'000u);

    const Opened opened = openAndDecode(*engine, dir / "many.flac");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_EQ(opened.tags.title, "Kept");
    EXPECT_EQ(opened.tags.artist, "First");
    EXPECT_EQ(opened.tags.album, "") << "comments past the limit are not read";
    EXPECT_NEAR(opened.seconds, 1.0, 0.001);
    EXPECT_EQ(readFile(dir / "many.flac"), before) << "only what FFmpeg is shown is cut, never the file";
}

TEST_F(CommentLimitTest, RepeatedNamesKeepNoMoreTextThanTheLimit)
{
    // FFmpeg joins values of one name into one: 4,000 values of 4,000 bytes took half a minute.
    writeFlacWithComments(flac, dir / "same.flac",
                          {vorbisCommentList(manyComments(4000, std::string(4000, 'x'), true))});
    const Opened opened = openAndDecode(*engine, dir / "same.flac");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_NEAR(opened.seconds, 1.0, 0.001);

    // One comment of 16 MB, the most a FLAC block holds, is cut as a whole; the picture that
    // follows it in its own block is kept.
    const std::string huge = "COMMENT=" + std::string((1 << 24) - 100, 'y');
    writeFlacWithComments(flac, dir / "huge.flac", {vorbisCommentList({"TITLE=Small", huge})});
    const Opened big = openAndDecode(*engine, dir / "huge.flac");
    ASSERT_EQ(big.error, EngineCode::Ok);
    EXPECT_EQ(big.tags.title, "Small");
    EXPECT_EQ(big.tags.comment, "");
}

TEST_F(CommentLimitTest, ACommentBudgetIsSharedByEveryListOfTheFile)
{
    // Many blocks, each under the limit on its own.
    std::vector<std::string> lists(8, vorbisCommentList(manyComments(MaxComments / 2)));
    lists.back() = vorbisCommentList({"ALBUM=In the eighth block"});
    writeFlacWithComments(flac, dir / "blocks.flac", lists);
    const Opened opened = openAndDecode(*engine, dir / "blocks.flac");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_EQ(opened.tags.album, "");

    // More lists to cut than any real file has: refused as damaged.
    std::vector<std::string> many(MaxCutLists + 2, vorbisCommentList(manyComments(MaxComments + 1)));
    writeFlacWithComments(flac, dir / "refused.flac", many);
    EXPECT_EQ(openAndDecode(*engine, dir / "refused.flac").error, EngineCode::Format);
    // And so is a file of more metadata blocks than any real one.
    writeFlacWithComments(flac, dir / "blocks-refused.flac",
                          std::vector<std::string>(MaxFlacBlocks + 1, vorbisCommentList({})));
    EXPECT_EQ(openAndDecode(*engine, dir / "blocks-refused.flac").error, EngineCode::Format);
}

TEST_F(CommentLimitTest, AnOggVorbisWithAHundredThousandCommentsKeepsItsFirstTagsAndDecodesWhole)
{
    {
        std::ofstream tags(dir / "tags.txt");
        tags << "TITLE=Kept\n";
        for (int i = 0; i < 100000; ++i)
            tags << (i == static_cast<int>(MaxComments) + 10 ? "ALBUM=Beyond" : "NOTE" + std::to_string(i)) << "=v\n";
    }
    ASSERT_EQ(runProgram(
                  {"vorbiscomment", "-w", "-c", (dir / "tags.txt").string(), ogg.string(), (dir / "many.ogg").string()})
                  .exitCode,
              0);
    const Opened opened = openAndDecode(*engine, dir / "many.ogg");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_EQ(opened.tags.title, "Kept");
    EXPECT_EQ(opened.tags.album, "");
    // The page whose count changed passes its checksum: the audio decodes to its end.
    EXPECT_NEAR(opened.seconds, 1.0, 0.01);
}

TEST_F(CommentLimitTest, AnOpusWithManyCommentsKeepsItsFirstTags)
{
    makeTone(dir / "tone.wav", 1, 48000, 1);
    std::vector<std::string> command{"opusenc", "--quiet", "--title", "Kept"};
    for (int i = 0; i < 20000; ++i)
        command.insert(command.end(), {"--comment", "NOTE" + std::to_string(i) + "=v"});
    command.insert(command.end(),
                   {"--comment", "ALBUM=Beyond", (dir / "tone.wav").string(), (dir / "many.opus").string()});
    ASSERT_EQ(runProgram(command).exitCode, 0);
    const Opened opened = openAndDecode(*engine, dir / "many.opus");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_EQ(opened.tags.title, "Kept");
    EXPECT_EQ(opened.tags.album, "");
    EXPECT_NEAR(opened.seconds, 1.0, 0.03);
}

TEST_F(CommentLimitTest, FilesWithinTheLimitsAreShownUnchanged)
{
    auto comments = manyComments(MaxComments - 1);
    comments.push_back("ALBUM=Last of the list");
    writeFlacWithComments(flac, dir / "within.flac", {vorbisCommentList(comments)});
    const Opened opened = openAndDecode(*engine, dir / "within.flac");
    ASSERT_EQ(opened.error, EngineCode::Ok);
    EXPECT_EQ(opened.tags.album, "Last of the list");

    const int fd = ::open((dir / "within.flac").c_str(), O_RDONLY);
    const auto patches = commentLimitPatches(fd, std::filesystem::file_size(dir / "within.flac"));
    ::close(fd);
    ASSERT_TRUE(patches.has_value());
    EXPECT_TRUE(patches->empty());
}

} // namespace
