#include "EncoderProcess.h"
#include "ProgramFolder.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

ChannelInfo format(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags = 0)
{
    ChannelInfo info;
    info.freq = freq;
    info.chans = chans;
    info.flags = flags;
    return info;
}

std::uint32_t le32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint16_t le16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                  << 8);
}

std::string pcmPattern(std::size_t bytes)
{
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<char>(i * 7 + i / 251);
    return data;
}

// Feeds data in chunks until a write fails; the number of bytes accepted.
std::size_t feed(EncoderProcess& process, const std::string& data, std::size_t chunk, int& errorCode)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t size = std::min(chunk, data.size() - done);
        if (!process.write(data.data() + done, size, errorCode))
            return done;
        done += size;
    }
    return done;
}

class EncoderProcessTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_TRUE(childProcesses().empty()) << "a child process was left behind"; }
    TempDir dir;
};

} // namespace

TEST_F(EncoderProcessTest, SendsWavHeaderThenEveryByte)
{
    // The writer waits for a full pipe to drain by half; an encoder that reads one page at a time
    // and sleeps now and then keeps the pipe full for much of the run.
    const auto slowReader = writeScript(dir / "slow", "while [ \"$(dd bs=4096 count=64 status=none | tee -a \"$1\" | "
                                                      "wc -c)\" -gt 0 ]; do sleep 0.01; done");
    const std::string data = pcmPattern(3'000'001);
    int code = 0;
    auto slow = EncoderProcess::start({slowReader.string(), {(dir / "slow.bin").string()}}, format(44100, 2), code);
    ASSERT_TRUE(slow);
    EXPECT_EQ(feed(*slow, data, 262'144, code), data.size());
    EXPECT_TRUE(slow->stop(code));
    EXPECT_TRUE(readFile(dir / "slow.bin").substr(44) == data);

    const auto copier = writeScript(dir / "copier", "exec cat > \"$1\"");
    const auto output = dir / "out.bin";
    auto process = EncoderProcess::start({copier.string(), {output.string()}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_EQ(feed(*process, data, 262'144, code), data.size());
    EXPECT_TRUE(process->stop(code));

    const std::string written = readFile(output);
    ASSERT_EQ(written.size(), 44 + data.size());
    EXPECT_EQ(written.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(written, 4), 0xFFFFFFFFu);
    EXPECT_EQ(written.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(written, 16), 16u);
    EXPECT_EQ(le16(written, 20), 1u);      // PCM
    EXPECT_EQ(le16(written, 22), 2u);      // channels
    EXPECT_EQ(le32(written, 24), 44100u);  // rate
    EXPECT_EQ(le32(written, 28), 176400u); // bytes per second
    EXPECT_EQ(le16(written, 32), 4u);      // block align
    EXPECT_EQ(le16(written, 34), 16u);     // bits
    EXPECT_EQ(written.substr(36, 4), "data");
    EXPECT_EQ(le32(written, 40), 0xFFFFFFFFu);
    EXPECT_TRUE(written.substr(44) == data);
}

TEST_F(EncoderProcessTest, HeaderOfEightBitMonoAndSixChannels)
{
    const auto copier = writeScript(dir / "copier", "exec cat > \"$1\"");
    int code = 0;
    auto mono = EncoderProcess::start({copier.string(), {(dir / "mono").string()}},
                                      format(8000, 1, StreamFlag::Sample8Bits), code);
    ASSERT_TRUE(mono);
    EXPECT_TRUE(mono->stop(code));
    const std::string monoHeader = readFile(dir / "mono");
    ASSERT_EQ(monoHeader.size(), 44u);
    EXPECT_EQ(le16(monoHeader, 22), 1u);
    EXPECT_EQ(le32(monoHeader, 28), 8000u);
    EXPECT_EQ(le16(monoHeader, 32), 1u);
    EXPECT_EQ(le16(monoHeader, 34), 8u);

    // Only lame has its input mixed down; other programs get every channel.
    auto surround = EncoderProcess::start({copier.string(), {(dir / "six").string()}}, format(48000, 6), code);
    ASSERT_TRUE(surround);
    EXPECT_TRUE(surround->stop(code));
    EXPECT_EQ(le16(readFile(dir / "six"), 22), 6u);
}

TEST_F(EncoderProcessTest, LameGetsSurroundMixedDownToStereo)
{
    // A stand-in named lame, found on PATH by its bare name, records what it is given.
    const auto bin = dir / "bin";
    std::filesystem::create_directory(bin);
    writeScript(bin / "lame", "exec cat > \"$1\"");
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    int code = 0;
    auto process = EncoderProcess::start({"lame", {(dir / "mix").string()}}, format(48000, 6), code);
    ::setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(process);
    // Two frames of FL FR FC LFE BL BR, the second split over two writes.
    const std::int16_t frames[12] = {10000, -10000, 8000, 32000, 4000, 0, -32768, -32768, -32768, 0, -32768, -32768};
    ASSERT_TRUE(process->write(frames, 6 * 2 + 5, code));
    ASSERT_TRUE(process->write(reinterpret_cast<const char*>(frames) + 17, sizeof frames - 17, code));
    EXPECT_TRUE(process->stop(code));

    const std::string mixed = readFile(dir / "mix");
    ASSERT_EQ(mixed.size(), 44u + 8u);
    EXPECT_EQ(le16(mixed, 22), 2u);
    EXPECT_EQ(le32(mixed, 28), 48000u * 4);
    const double h = std::sqrt(0.5), scale = 1 / (1 + 2 * h);
    const auto sample = [&](std::size_t i) { return static_cast<std::int16_t>(le16(mixed, 44 + 2 * i)); };
    EXPECT_NEAR(sample(0), (10000 + h * 8000 + h * 4000) * scale, 1);
    EXPECT_NEAR(sample(1), (-10000 + h * 8000) * scale, 1);
    EXPECT_NEAR(sample(2), -32768, 1); // full scale on every channel stays full scale, without wrapping
    EXPECT_NEAR(sample(3), -32768, 1);
}

TEST_F(EncoderProcessTest, MissingProgramIsReported)
{
    int code = 0;
    EXPECT_FALSE(EncoderProcess::start({(dir / "no-such-encoder").string(), {}}, format(44100, 2), code));
    EXPECT_EQ(code, EngineCode::EncoderStart);
    code = 0;
    EXPECT_FALSE(EncoderProcess::start({"tunevale-no-such-encoder", {}}, format(44100, 2), code));
    EXPECT_EQ(code, EngineCode::EncoderStart);
    code = 0;
    writeFile(dir / "not-executable", "#!/bin/sh\nexit 0\n");
    EXPECT_FALSE(EncoderProcess::start({(dir / "not-executable").string(), {}}, format(44100, 2), code));
    EXPECT_EQ(code, EngineCode::EncoderStart);
    code = 0;
    EXPECT_FALSE(EncoderProcess::start({"", {}}, format(44100, 2), code));
    EXPECT_EQ(code, EngineCode::EncoderStart);
}

TEST_F(EncoderProcessTest, EncoderThatExitsAtOnceFails)
{
    const auto failing = writeScript(dir / "failing", "exit 1");
    const auto started = std::chrono::steady_clock::now();
    int code = 0;
    auto process = EncoderProcess::start({failing.string(), {}}, format(44100, 2), code);
    if (process) {
        // The header may fit into the pipe before the program is gone; the failure comes later.
        const std::string data = pcmPattern(4'000'000);
        feed(*process, data, 262'144, code);
        code = 0;
        EXPECT_FALSE(process->stop(code));
    }
    EXPECT_EQ(code, EngineCode::EncoderFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST_F(EncoderProcessTest, EncoderKilledHalfwayFails)
{
    // Reads about 1 MB, then dies of SIGKILL with the rest still coming.
    const auto dying = writeScript(dir / "dying", "head -c 1000000 > \"$1\"; kill -KILL $$");
    int code = 0;
    auto process = EncoderProcess::start({dying.string(), {(dir / "part").string()}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    const std::string data = pcmPattern(8'000'000);
    const std::size_t accepted = feed(*process, data, 262'144, code);
    EXPECT_LT(accepted, data.size());
    EXPECT_EQ(code, EngineCode::EncoderFailed);
    EXPECT_FALSE(process->write(data.data(), 4, code)); // stays failed
    code = 0;
    EXPECT_FALSE(process->stop(code));
    EXPECT_EQ(code, EngineCode::EncoderFailed);
    EXPECT_GE(std::filesystem::file_size(dir / "part"), 1'000'000u);
}

TEST_F(EncoderProcessTest, EncoderThatEndsEarlyWithSuccessStillFails)
{
    const auto quitter = writeScript(dir / "quitter", "head -c 1000 > /dev/null; exit 0");
    int code = 0;
    auto process = EncoderProcess::start({quitter.string(), {}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    feed(*process, pcmPattern(4'000'000), 65'536, code);
    code = 0;
    EXPECT_FALSE(process->stop(code));
    EXPECT_EQ(code, EngineCode::EncoderFailed);
}

TEST_F(EncoderProcessTest, NonZeroExitAfterReadingEverythingFails)
{
    const auto late = writeScript(dir / "late", "cat > /dev/null; exit 3");
    int code = 0;
    auto process = EncoderProcess::start({late.string(), {}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_EQ(feed(*process, pcmPattern(100'000), 4096, code), 100'000u);
    EXPECT_FALSE(process->stop(code));
    EXPECT_EQ(code, EngineCode::EncoderFailed);
}

TEST_F(EncoderProcessTest, DestructorReapsARunningEncoder)
{
    const auto copier = writeScript(dir / "copier", "exec cat > /dev/null");
    int code = 0;
    auto process = EncoderProcess::start({copier.string(), {}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_EQ(childProcesses().size(), 1u);
    process.reset();
    EXPECT_TRUE(childProcesses().empty());
}

TEST_F(EncoderProcessTest, ArgumentsReachTheProgramUnchangedWithoutShell)
{
    const auto recorder =
        writeScript(dir / "recorder", "cat > /dev/null; for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$1\"");
    const std::vector<std::string> odd{"with space",
                                       "quo\"te",
                                       "$(touch " + (dir / "marker").string() + ")",
                                       "`touch " + (dir / "marker2").string() + "`",
                                       "-dash",
                                       "ünïcødé",
                                       "*",
                                       ""};
    std::vector<std::string> arguments{(dir / "args").string()};
    arguments.insert(arguments.end(), odd.begin(), odd.end());
    int code = 0;
    auto process = EncoderProcess::start({recorder.string(), arguments}, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_TRUE(process->stop(code));
    std::string expected;
    for (const auto& argument : arguments)
        expected += argument + "\n";
    EXPECT_EQ(readFile(dir / "args"), expected);
    EXPECT_FALSE(std::filesystem::exists(dir / "marker"));
    EXPECT_FALSE(std::filesystem::exists(dir / "marker2"));
}

TEST_F(EncoderProcessTest, BadFormatIsRefusedBeforeStarting)
{
    int code = 0;
    EXPECT_FALSE(EncoderProcess::start({"cat", {}}, format(0, 2), code));
    EXPECT_EQ(code, EngineCode::Format);
}

TEST_F(EncoderProcessTest, BareNameIsLookedForBesideTheExecutableBeforePath)
{
    const std::string name = "tunevale-lookup-test-" + std::to_string(::getpid());
    const auto bin = dir / "bin";
    std::filesystem::create_directory(bin);
    writeScript(bin / name, "cat > /dev/null; echo path > \"$1\"");
    const auto beside = programFolder() / name;
    if (::access(programFolder().c_str(), W_OK) != 0)
        GTEST_SKIP() << "the test program's folder is not writable";
    writeScript(beside, "cat > /dev/null; echo beside > \"$1\"");
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    int code = 0;
    auto first = EncoderProcess::start({name, {(dir / "first").string()}}, format(44100, 2), code);
    const bool firstStopped = first && first->stop(code);
    std::filesystem::remove(beside);
    auto second = EncoderProcess::start({name, {(dir / "second").string()}}, format(44100, 2), code);
    const bool secondStopped = second && second->stop(code);
    ::setenv("PATH", oldPath.c_str(), 1);

    EXPECT_TRUE(firstStopped);
    EXPECT_TRUE(secondStopped);
    EXPECT_EQ(readFile(dir / "first"), "beside\n");
    EXPECT_EQ(readFile(dir / "second"), "path\n");
}

TEST_F(EncoderProcessTest, KeepsOnlyTheLastLinesOfAChattyFailingProgram)
{
    // Far more than a pipe holds: the program must never wait for anyone to read its complaints.
    const auto chatty = writeScript(dir / "chatty", "cat > /dev/null; i=1; while [ $i -le 20000 ]; do "
                                                    "echo \"complaint $i of the encoder\" >&2; i=$((i+1)); done; "
                                                    "exit 2");
    int code = 0;
    auto process = EncoderProcess::start({chatty.string(), {}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_EQ(feed(*process, pcmPattern(100'000), 4096, code), 100'000u);
    EXPECT_FALSE(process->stop(code));
    EXPECT_EQ(code, EngineCode::EncoderFailed);
    EXPECT_EQ(process->message(), "complaint 19997 of the encoder\ncomplaint 19998 of the encoder\n"
                                  "complaint 19999 of the encoder\ncomplaint 20000 of the encoder");
}

TEST_F(EncoderProcessTest, MessageOfASuccessfulProgramAndOfASilentOne)
{
    const auto talker = writeScript(dir / "talker", "echo 'to stdout'; cat > /dev/null; echo 'Done encoding.' >&2");
    const auto silent = writeScript(dir / "silent", "cat > /dev/null");
    int code = 0;
    auto talking = EncoderProcess::start({talker.string(), {}}, format(44100, 2), code);
    auto quiet = EncoderProcess::start({silent.string(), {}}, format(44100, 2), code);
    ASSERT_TRUE(talking && quiet);
    EXPECT_TRUE(talking->stop(code));
    EXPECT_TRUE(quiet->stop(code));
    EXPECT_EQ(talking->message(), "Done encoding.");
    EXPECT_EQ(quiet->message(), "");
}

TEST_F(EncoderProcessTest, ABackgroundChildHoldingStandardErrorDoesNotHoldUpStop)
{
    // The encoder leaves a process behind that keeps its standard error open for a long time.
    const auto leaver = writeScript(dir / "leaver", "sleep 60 & echo $! > \"$1\"; echo 'left a helper' >&2; "
                                                    "cat > /dev/null; exit 4");
    int code = 0;
    auto process = EncoderProcess::start({leaver.string(), {(dir / "helper.pid").string()}}, format(44100, 2), code);
    ASSERT_TRUE(process);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(process->stop(code));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(code, EngineCode::EncoderFailed);
    EXPECT_EQ(process->message(), "left a helper");
    const std::string helper = readFile(dir / "helper.pid");
    if (!helper.empty())
        ::kill(std::stoi(helper), SIGKILL);
}

TEST_F(EncoderProcessTest, ACancelledEncoderThatHangsIsKilledWithinSeconds)
{
    // One that never reads its input (the writer waits for room in the pipe), and one that reads
    // it all and then never ends (stop() waits for its end).
    for (const std::string body : {"exec sleep 600", "cat > /dev/null; exec sleep 600"}) {
        SCOPED_TRACE(body);
        const auto hung = writeScript(dir / "hung", body);
        std::atomic<bool> cancel{false};
        EncoderCommand command{hung.string(), {}};
        command.cancelled = [&cancel] { return cancel.load(); };
        int code = 0;
        auto process = EncoderProcess::start(command, format(44100, 2), code);
        ASSERT_TRUE(process);
        std::thread stop([&cancel] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            cancel = true;
        });
        const auto started = std::chrono::steady_clock::now();
        feed(*process, pcmPattern(4'000'000), 65536, code);
        EXPECT_FALSE(process->stop(code));
        // Far less than the minute after which a hung encoder counts as failed.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
        stop.join();
        EXPECT_EQ(code, EngineCode::EncoderFailed);
        EXPECT_TRUE(childProcesses().empty());
    }
}

TEST_F(EncoderProcessTest, ACancelledEncoderMayStillEndOnItsOwnOnceItsInputIsClosed)
{
    const auto finisher = writeScript(dir / "finisher", "cat > /dev/null; sleep 0.5; echo finished > \"$1\"");
    EncoderCommand command{finisher.string(), {(dir / "result").string()}};
    command.cancelled = [] { return true; };
    int code = 0;
    auto process = EncoderProcess::start(command, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_TRUE(process->stop(code));
    EXPECT_EQ(readFile(dir / "result"), "finished\n");
}

TEST_F(EncoderProcessTest, RunsInTheWorkingFolderItIsGivenByDescriptor)
{
    const auto writer = writeScript(dir / "writer", "cat > /dev/null; pwd -P > where; echo out > \"$1\"");
    std::filesystem::create_directory(dir / "work");
    const int folder = ::open((dir / "work").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    // The folder's name moves on and another folder takes it: the program still runs in the first.
    std::filesystem::rename(dir / "work", dir / "moved");
    std::filesystem::create_directory(dir / "work");
    EncoderCommand command{writer.string(), {"name.out"}};
    command.workingFolder = folder;
    int code = 0;
    auto process = EncoderProcess::start(command, format(44100, 2), code);
    ASSERT_TRUE(process);
    EXPECT_TRUE(process->stop(code));
    ::close(folder);
    EXPECT_EQ(readFile(dir / "moved" / "name.out"), "out\n");
    EXPECT_EQ(lines(readFile(dir / "moved" / "where")).at(0), std::filesystem::canonical(dir / "moved").string());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "work"));
}
