#include "EncodeTestSupport.h"
#include "FlacReadBack.h"
#include "WrittenExtent.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <future>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// The PCM a FLAC file holds, as the encoder digests it, and its format.
EncodedPcm expectedPcm(const std::filesystem::path& flac, const SourceFile& source)
{
    const bool wide = source.pcmFormat == "s24le";
    const std::string pcm = ffmpegPcm(flac, source.pcmFormat);
    PcmDigest digest;
    digest.add(pcm.data(), pcm.size());
    return {source.rate, source.chans, wide ? StreamFlag::Sample24Bits : 0u, digest.size(), digest.value()};
}

// Zeroes the length STREAMINFO states (bits 108-143 of the file), as a muxer writes it before it knows.
std::string withoutLength(std::string bytes)
{
    bytes[21] = static_cast<char>(bytes[21] & 0xf0);
    for (int i = 22; i < 26; ++i)
        bytes[i] = 0;
    return bytes;
}

// The nice values of this process's threads, read from /proc.
std::multiset<int> threadNiceValues()
{
    std::multiset<int> values;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int n = 3; n <= 19 && fields >> field; ++n)
            if (n == 19)
                values.insert(std::stoi(field));
    }
    return values;
}

class FlacReadBackTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        m_fd = ::open((m_out / "out.flac").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(m_fd, 0);
    }
    void TearDown() override { ::close(m_fd); }

    // Writes bytes as a muxer does while the read-back follows: the header without the length
    // first, the rest in pieces, then the final header (finalHeader) in place. The verdict.
    int writeAndVerify(const std::string& bytes, const std::string& finalHeader, const EncodedPcm& expected)
    {
        WrittenExtent extent;
        FlacReadBack readBack(m_fd, extent, expected);
        const std::string first = withoutLength(bytes);
        for (std::size_t done = 0; done < first.size(); done += 40000) {
            const std::size_t piece = std::min<std::size_t>(40000, first.size() - done);
            EXPECT_EQ(::pwrite(m_fd, first.data() + done, piece, static_cast<off_t>(done)),
                      static_cast<ssize_t>(piece));
            extent.grow(done + piece);
            std::this_thread::yield();
        }
        {
            const auto held = extent.holdReaders();
            EXPECT_EQ(::pwrite(m_fd, finalHeader.data(), 42, 0), 42);
        }
        extent.finish();
        return readBack.result(expected);
    }

    static TempDir* s_dir;
    TempDir m_out;
    int m_fd = -1;
};

TempDir* FlacReadBackTest::s_dir = nullptr;

// 16-bit CD audio and 24-bit/96 kHz audio both decode back while written, to exactly their PCM.
TEST_F(FlacReadBackTest, FollowsTheWriterAndAcceptsTheFileItWrites)
{
    for (const std::string name : {"cd.flac", "hires.flac"}) {
        SCOPED_TRACE(name);
        const auto flac = makeSource(*s_dir, name);
        const std::string bytes = readFile(flac);
        ASSERT_GT(bytes.size(), 40000u * 3) << "written in several pieces";
        EXPECT_EQ(writeAndVerify(bytes, bytes, expectedPcm(flac, sourceFile(name))), EngineCode::Ok);
    }
}

// Whatever differs between the file on disk and the PCM encoded fails: a damaged frame, a file cut
// short, a header whose length was never written, other PCM, another resolution.
TEST_F(FlacReadBackTest, CatchesAFileThatDoesNotHoldThePcmEncoded)
{
    const auto flac = makeSource(*s_dir, "cd.flac");
    const std::string bytes = readFile(flac);
    const EncodedPcm expected = expectedPcm(flac, sourceFile("cd.flac"));

    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x10;
    EXPECT_EQ(writeAndVerify(damaged, damaged, expected), EngineCode::VerifyFailed) << "damaged frame";

    const std::string cut = bytes.substr(0, bytes.size() - 3000);
    ASSERT_EQ(::ftruncate(m_fd, 0), 0);
    EXPECT_EQ(writeAndVerify(cut, cut, expected), EngineCode::VerifyFailed) << "cut short";

    ASSERT_EQ(::ftruncate(m_fd, 0), 0);
    EXPECT_EQ(writeAndVerify(bytes, withoutLength(bytes), expected), EngineCode::VerifyFailed) << "no length";

    EncodedPcm other = expected;
    other.digest[0] ^= 1;
    EXPECT_EQ(writeAndVerify(bytes, bytes, other), EngineCode::VerifyFailed) << "other PCM";

    EncodedPcm wider = expected;
    wider.flags = StreamFlag::Sample24Bits;
    wider.bytes = expected.bytes / 2 * 3;
    EXPECT_EQ(writeAndVerify(bytes, bytes, wider), EngineCode::VerifyFailed) << "24-bit expected";
}

// A writer that gives up (a failed encoding, a full disk) ends the read-back instead of leaving it
// waiting for bytes that never come.
TEST_F(FlacReadBackTest, EndsWhenTheWriterGivesUp)
{
    const auto flac = makeSource(*s_dir, "cd.flac");
    const std::string bytes = readFile(flac);
    const EncodedPcm expected = expectedPcm(flac, sourceFile("cd.flac"));
    auto abandoned = std::async(std::launch::async, [&] {
        WrittenExtent extent;
        FlacReadBack readBack(m_fd, extent, expected);
        EXPECT_EQ(::pwrite(m_fd, bytes.data(), bytes.size() / 2, 0), static_cast<ssize_t>(bytes.size() / 2));
        extent.grow(bytes.size() / 2);
    });
    EXPECT_EQ(abandoned.wait_for(std::chrono::seconds(20)), std::future_status::ready);
}

// The read-back trails the encoder: its thread runs below the priority of the thread that writes,
// which keeps its own.
TEST_F(FlacReadBackTest, RunsBelowTheWritersPriority)
{
    const int own = ::getpriority(PRIO_PROCESS, 0);
    if (own >= 15)
        GTEST_SKIP() << "the tests run at the lowest priorities already";
    const auto flac = makeSource(*s_dir, "cd.flac");
    WrittenExtent extent;
    FlacReadBack readBack(m_fd, extent, expectedPcm(flac, sourceFile("cd.flac")));
    EXPECT_TRUE(eventually([&] { return threadNiceValues().count(own + 5) == 1; }, 5000)) << own;
    EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), own);
    extent.finish();
}

} // namespace
