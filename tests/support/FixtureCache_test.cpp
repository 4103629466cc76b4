#include "FixtureCache.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tunevale::test;

namespace
{

std::vector<std::string> toneArguments(const std::filesystem::path& output, const std::string& frequency = "440")
{
    return {"-f", "lavfi", "-i", "sine=frequency=" + frequency + ":duration=0.5", "-c:a", "flac", output.string()};
}

// A make() whose runs are counted; each runs the real ffmpeg.
struct CountedRuns {
    int runs = 0;
    bool make(const FixtureCache& cache, const std::vector<std::string>& arguments)
    {
        return cache.make(arguments, [&] {
            ++runs;
            std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "error", "-y"};
            argv.insert(argv.end(), arguments.begin(), arguments.end());
            return runProgram(argv).exitCode == 0;
        });
    }
};

TEST(FixtureCache, ASecondRunIsACopyOfTheFirstsOutputInAnyFolder)
{
    TempDir kept, first, second;
    const FixtureCache cache(kept.path());
    CountedRuns counted;
    ASSERT_TRUE(counted.make(cache, toneArguments(first / "tone.flac")));
    ASSERT_TRUE(counted.make(cache, toneArguments(second / "tone.flac")));
    EXPECT_EQ(counted.runs, 1);
    EXPECT_EQ(readFile(second / "tone.flac"), readFile(first / "tone.flac"));
    EXPECT_EQ(ffprobe(second / "tone.flac", "stream=codec_name"), "flac");

    // The copy is the test's own: changing it leaves the kept file as it was.
    writeFile(second / "tone.flac", "changed");
    TempDir third;
    ASSERT_TRUE(counted.make(cache, toneArguments(third / "tone.flac")));
    EXPECT_EQ(counted.runs, 1);
    EXPECT_EQ(readFile(third / "tone.flac"), readFile(first / "tone.flac"));
}

TEST(FixtureCache, OtherArgumentsOrOtherInputContentsRunAgain)
{
    TempDir kept, dir;
    const FixtureCache cache(kept.path());
    CountedRuns counted;
    ASSERT_TRUE(counted.make(cache, toneArguments(dir / "tone.flac")));
    ASSERT_TRUE(counted.make(cache, toneArguments(dir / "tone.flac", "880")));
    ASSERT_TRUE(counted.make(cache, toneArguments(dir / "other.flac")));
    EXPECT_EQ(counted.runs, 3);

    makeTone(dir / "input.wav", 0.5);
    const std::vector<std::string> transcode{"-i", (dir / "input.wav").string(), (dir / "out.flac").string()};
    ASSERT_TRUE(counted.make(cache, transcode));
    ASSERT_TRUE(counted.make(cache, transcode));
    EXPECT_EQ(counted.runs, 4);
    makeTone(dir / "input.wav", 0.25);
    ASSERT_TRUE(counted.make(cache, transcode));
    EXPECT_EQ(counted.runs, 5);
    EXPECT_EQ(ffprobe(dir / "out.flac", "format=duration"), "0.250000");
}

TEST(FixtureCache, RunsThatFailOrWriteMoreThanTheirOutputAreNotKept)
{
    TempDir kept, dir;
    const FixtureCache cache(kept.path());
    CountedRuns counted;
    const std::vector<std::string> failing{"-f", "lavfi", "-i", "nosuchsource", (dir / "bad.wav").string()};
    EXPECT_FALSE(counted.make(cache, failing));
    EXPECT_FALSE(counted.make(cache, failing));
    EXPECT_EQ(counted.runs, 2);

    int runs = 0;
    const auto twoFiles = [&] {
        ++runs;
        writeFile(dir / "side.txt", std::to_string(runs));
        writeFile(dir / "main.wav", "made");
        return true;
    };
    const std::vector<std::string> arguments{"-f", "lavfi", "-i", "anullsrc", (dir / "main.wav").string()};
    EXPECT_TRUE(cache.make(arguments, twoFiles));
    EXPECT_TRUE(cache.make(arguments, twoFiles));
    EXPECT_EQ(runs, 2);
}

TEST(FixtureCache, RunsThatReadAFolderOrNameOtherFilesOfTheTestHaveNoKey)
{
    TempDir dir;
    const std::string output = (dir / "out.wav").string();
    EXPECT_TRUE(FixtureCache::keyOf({"-f", "lavfi", "-i", "anullsrc", output}));
    EXPECT_FALSE(FixtureCache::keyOf({"-f", "lavfi", "-i", "anullsrc", "out.wav"}));
    EXPECT_FALSE(FixtureCache::keyOf({"-f", "lavfi", "-i", "anullsrc", "pipe:1"}));
    EXPECT_FALSE(FixtureCache::keyOf({"-i", dir.path().string(), output}));
    EXPECT_FALSE(FixtureCache::keyOf({"-f", "lavfi", "-i", "amovie=" + (dir / "gone.wav").string(), output}));
    EXPECT_FALSE(FixtureCache::keyOf({"-f", "lavfi", "-i", "anullsrc", (dir / "first.wav").string(), output}));
}

TEST(FixtureCache, AnotherFfmpegFirstOnThePathMakesAnotherKey)
{
    TempDir dir;
    const std::vector<std::string> arguments{"-f", "lavfi", "-i", "anullsrc", (dir / "out.wav").string()};
    const auto usual = FixtureCache::keyOf(arguments);
    writeScript(dir / "ffmpeg", "exit 1");
    const char* path = std::getenv("PATH");
    ScopedEnv env("PATH", dir.path().string() + ":" + (path ? path : ""));
    const auto other = FixtureCache::keyOf(arguments);
    ASSERT_TRUE(usual && other);
    EXPECT_NE(*usual, *other);
}

TEST(FixtureCache, AnEmptyFolderVariableTurnsTheBuildsCacheOff)
{
    {
        ScopedEnv env("TUNEVALE_FIXTURE_CACHE", "");
        EXPECT_FALSE(FixtureCache::ofThisBuild());
    }
    ScopedEnv env("TUNEVALE_FIXTURE_CACHE", std::nullopt);
    EXPECT_TRUE(FixtureCache::ofThisBuild());
}

// A program's answer about a file is kept by the file's contents: the same bytes anywhere are
// answered from the cache, other bytes, other arguments or a failed run ask the program again.
TEST(FixtureCache, AnswersAboutFilesAreKeptByTheirContents)
{
    TempDir kept, bin, first, second;
    ScopedEnv cacheFolder("TUNEVALE_FIXTURE_CACHE", kept.path().string());
    // A program that counts its runs and prints the size of the file it is given.
    writeScript(bin / "sizeof",
                "echo run >> '" + (bin / "runs").string() + "'\n[ \"$1\" = fail ] && exit 3\nwc -c < \"$2\"");
    const char* path = std::getenv("PATH");
    ScopedEnv env("PATH", bin.path().string() + ":" + (path ? path : ""));
    const auto runs = [&] { return lines(readFile(bin / "runs")).size(); };
    writeFile(first / "a.flac", "12345");
    writeFile(second / "b.flac", "12345");
    EXPECT_EQ(runProgramOnFile({"sizeof", "-", (first / "a.flac").string()}, first / "a.flac").output, "5\n");
    EXPECT_EQ(runProgramOnFile({"sizeof", "-", (second / "b.flac").string()}, second / "b.flac").output, "5\n");
    EXPECT_EQ(runs(), 1u);

    writeFile(second / "b.flac", "1234567");
    EXPECT_EQ(runProgramOnFile({"sizeof", "-", (second / "b.flac").string()}, second / "b.flac").output, "7\n");
    EXPECT_EQ(runProgramOnFile({"sizeof", "+", (second / "b.flac").string()}, second / "b.flac").output, "7\n");
    EXPECT_EQ(runs(), 3u);

    for (int n = 0; n < 2; ++n)
        EXPECT_EQ(runProgramOnFile({"sizeof", "fail", (first / "a.flac").string()}, first / "a.flac").exitCode, 3);
    EXPECT_EQ(runs(), 5u);
}

} // namespace
