#include "EncoderProcess.h"

#include "ProgramFolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tunevale
{

namespace
{

// An encoder that neither reads nor ends for this long is taken for hung and killed.
constexpr auto StallLimit = std::chrono::milliseconds(60'000);
// How long a cancelled encoder may take to end after its input was closed before it is killed.
constexpr auto CancelGrace = std::chrono::milliseconds(2'000);
// How often a wait on the encoder looks whether the job was cancelled.
constexpr int CancelCheckMs = 100;
// How long the writer sleeps between looks at a full pipe (see waitForRoom).
constexpr auto RefillPause = std::chrono::milliseconds(2);

void ignoreSigpipeOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A handler that the application installed itself is left alone; it survives SIGPIPE too.
        struct sigaction current {
        };
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(SIGPIPE, SIG_IGN);
    });
}

bool isExecutableFile(const std::filesystem::path& path)
{
    struct stat info {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A name with a '/' is a path; a bare name is looked for beside the executable, then on PATH.
std::string resolveProgram(const std::string& program)
{
    if (program.empty() || program.find('/') != std::string::npos)
        return program;
    if (const auto beside = programFolder() / program; isExecutableFile(beside))
        return beside.string();
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        const auto candidate = std::filesystem::path(folder.empty() ? "." : std::string(folder)) / program;
        if (isExecutableFile(candidate))
            return candidate.string();
        if (colon == std::string_view::npos)
            return {};
        folders.remove_prefix(colon + 1);
    }
}

void putLe(unsigned char*& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        *out++ = static_cast<unsigned char>(value >> (8 * i));
}

std::array<unsigned char, 44> wavHeader(std::uint32_t freq, unsigned channels, unsigned bitsPerSample)
{
    std::array<unsigned char, 44> header{};
    const unsigned blockAlign = channels * bitsPerSample / 8;
    unsigned char* out = header.data();
    std::memcpy(out, "RIFF", 4), out += 4;
    putLe(out, 0xFFFFFFFFu, 4);
    std::memcpy(out, "WAVEfmt ", 8), out += 8;
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, channels, 2);
    putLe(out, freq, 4);
    putLe(out, freq * blockAlign, 4);
    putLe(out, blockAlign, 2);
    putLe(out, bitsPerSample, 2);
    std::memcpy(out, "data", 4), out += 4;
    putLe(out, 0xFFFFFFFFu, 4);
    return header;
}

// Left and right weights of each channel in the WAV default channel order for 3 to 8 channels
// (front left/right, centre, LFE, back, side); the LFE is left out, as in a usual stereo downmix.
struct StereoWeights {
    std::array<float, 8> left{};
    std::array<float, 8> right{};
};

StereoWeights stereoWeights(unsigned channels)
{
    constexpr float h = 0.70710678f; // -3 dB
    enum Kind { FL, FR, FC, LFE, BL, BR, BC, SL, SR };
    static const std::array<std::vector<Kind>, 9> orders{{
        {},
        {},
        {},
        {FL, FR, FC},
        {FL, FR, BL, BR},
        {FL, FR, FC, BL, BR},
        {FL, FR, FC, LFE, BL, BR},
        {FL, FR, FC, LFE, BC, SL, SR},
        {FL, FR, FC, LFE, BL, BR, SL, SR},
    }};
    StereoWeights weights;
    const auto& order = orders[channels];
    for (std::size_t c = 0; c < order.size(); ++c) {
        switch (order[c]) {
        case FL:
            weights.left[c] = 1;
            break;
        case FR:
            weights.right[c] = 1;
            break;
        case FC:
            weights.left[c] = weights.right[c] = h;
            break;
        case LFE:
            break;
        case BL:
        case SL:
            weights.left[c] = h;
            break;
        case BR:
        case SR:
            weights.right[c] = h;
            break;
        case BC:
            weights.left[c] = weights.right[c] = h * h;
            break;
        }
    }
    // Scaled so that a full-scale signal on every channel cannot clip.
    float leftSum = 0, rightSum = 0;
    for (std::size_t c = 0; c < order.size(); ++c)
        leftSum += weights.left[c], rightSum += weights.right[c];
    const float scale = 1.0f / std::max(leftSum, rightSum);
    for (std::size_t c = 0; c < order.size(); ++c)
        weights.left[c] *= scale, weights.right[c] *= scale;
    return weights;
}

bool isLame(const std::string& program)
{
    return std::filesystem::path(program).filename() == "lame";
}

int pidfdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

} // namespace

std::unique_ptr<EncoderProcess> EncoderProcess::start(const EncoderCommand& command, const ChannelInfo& pcmFormat,
                                                      int& errorCode, std::string* failureMessage)
{
    if (pcmFormat.freq == 0 || pcmFormat.chans == 0) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    ignoreSigpipeOnce();
    std::string program = resolveProgram(command.program);
    // A program found through a relative name must still be found from the working folder.
    if (!program.empty() && command.workingFolder >= 0 && !program.starts_with('/'))
        program = std::filesystem::absolute(program).string();
    if (program.empty()) {
        errorCode = EngineCode::EncoderStart;
        return nullptr;
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        errorCode = EngineCode::EncoderStart;
        return nullptr;
    }
    auto errors = PipeTail::start();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    // Encoders report progress on their terminal outputs; only the end of standard error is kept,
    // for the message of a failure.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (errors)
        posix_spawn_file_actions_adddup2(&actions, errors->writeEnd(), STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (command.workingFolder >= 0)
        posix_spawn_file_actions_addfchdir_np(&actions, command.workingFolder);
    // Every other descriptor, such as the pipes of encoders that other threads start meanwhile,
    // stays out of the child, so that each pipe ends when its own encoder does.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, emptyMask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&emptyMask);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &emptyMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(command.program.c_str()));
    for (const auto& argument : command.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[0]);
    if (errors)
        errors->closeWriteEnd();
    if (spawned != 0) {
        ::close(fds[1]);
        errorCode = EngineCode::EncoderStart;
        return nullptr;
    }
    // A larger pipe means fewer switches between Tunevale and the encoder; the default also works.
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    const int pipeCapacity = ::fcntl(fds[1], F_GETPIPE_SZ);
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);

    Downmix downmix;
    downmix.bytesPerSample = (pcmFormat.flags & StreamFlag::Sample8Bits) ? 1 : 2;
    const bool mixToStereo = pcmFormat.chans > 2 && isLame(command.program);
    if (mixToStereo)
        downmix.sourceChannels = pcmFormat.chans;
    std::unique_ptr<EncoderProcess> process(new EncoderProcess(pid, fds[1], pipeCapacity > 0 ? pipeCapacity : 65536,
                                                               downmix, std::move(errors), command.cancelled));

    const auto header = wavHeader(pcmFormat.freq, mixToStereo ? 2 : pcmFormat.chans, downmix.bytesPerSample * 8);
    if (!process->writeAll(header.data(), header.size())) {
        // The program ran but is gone already: it failed rather than failed to start.
        process->m_failed = true;
        process->stop(errorCode);
        if (failureMessage)
            *failureMessage = process->message();
        return nullptr;
    }
    return process;
}

EncoderProcess::EncoderProcess(pid_t pid, int input, int pipeCapacity, Downmix downmix,
                               std::unique_ptr<PipeTail> errors, std::function<bool()> cancelled)
    : m_pid(pid), m_input(input), m_pipeCapacity(pipeCapacity), m_downmix(downmix), m_errors(std::move(errors)),
      m_cancelled(std::move(cancelled))
{
}

EncoderProcess::~EncoderProcess()
{
    int ignored = 0;
    stop(ignored);
}

bool EncoderProcess::write(const void* data, std::size_t size, int& errorCode)
{
    if (m_failed || m_stopped) {
        errorCode = EngineCode::EncoderFailed;
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (m_downmix.sourceChannels != 0)
        bytes = mixDown(data, size);
    if (writeAll(bytes, size))
        return true;
    m_failed = true;
    stop(errorCode);
    return false;
}

bool EncoderProcess::stop(int& errorCode)
{
    if (!m_stopped) {
        m_stopped = true;
        ::close(m_input);
        m_input = -1;
        m_stopResult = waitForExit() && !m_failed;
        if (m_errors)
            m_errors->finish();
    }
    if (!m_stopResult)
        errorCode = EngineCode::EncoderFailed;
    return m_stopResult;
}

std::string EncoderProcess::message()
{
    return m_errors ? m_errors->text() : std::string();
}

bool EncoderProcess::writeAll(const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_input, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            return false; // EPIPE: the encoder has closed its input or died
        if (!waitForRoom()) {
            // A hung encoder is killed at once; a cancelled one gets its grace time in stop().
            if (m_pid > 0 && !cancelRequested())
                ::kill(m_pid, SIGKILL);
            return false;
        }
    }
    return true;
}

bool EncoderProcess::waitForRoom()
{
    using Clock = std::chrono::steady_clock;
    int lastQueued = -1;
    auto lastRead = Clock::now();
    while (!cancelRequested()) {
        pollfd wait{m_input, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, CancelCheckMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        const auto now = Clock::now();
        int queued = 0;
        if (ready > 0 && ((wait.revents & (POLLERR | POLLHUP)) || ::ioctl(m_input, FIONREAD, &queued) != 0 ||
                          queued <= m_pipeCapacity / 2))
            return true;
        if (ready > 0 && queued != lastQueued) {
            lastQueued = queued;
            lastRead = now;
        } else if (now - lastRead > StallLimit) {
            return false;
        }
        if (ready > 0)
            std::this_thread::sleep_for(RefillPause);
    }
    return false;
}

const unsigned char* EncoderProcess::mixDown(const void* data, std::size_t& size)
{
    const unsigned channels = m_downmix.sourceChannels;
    const unsigned sampleBytes = m_downmix.bytesPerSample;
    const std::size_t frameBytes = std::size_t{channels} * sampleBytes;
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_pending.insert(m_pending.end(), bytes, bytes + size);
    const std::size_t frames = m_pending.size() / frameBytes;
    m_mixed.resize(frames * 2 * sampleBytes);

    const StereoWeights weights = stereoWeights(std::min(channels, 8u));
    const auto sample = [&](const unsigned char* at) -> float {
        if (sampleBytes == 1)
            return (static_cast<int>(*at) - 128) * 256.0f;
        return static_cast<float>(static_cast<std::int16_t>(at[0] | (at[1] << 8)));
    };
    const auto put = [&](unsigned char* at, float value) {
        const auto clamped = static_cast<int>(std::lround(std::clamp(value, -32768.0f, 32767.0f)));
        if (sampleBytes == 1) {
            at[0] = static_cast<unsigned char>(std::clamp((clamped >> 8) + 128, 0, 255));
        } else {
            at[0] = static_cast<unsigned char>(clamped & 0xFF);
            at[1] = static_cast<unsigned char>((clamped >> 8) & 0xFF);
        }
    };
    const unsigned weighted = std::min(channels, 8u);
    for (std::size_t f = 0; f < frames; ++f) {
        const unsigned char* in = m_pending.data() + f * frameBytes;
        float left = 0, right = 0;
        for (unsigned c = 0; c < weighted; ++c) {
            const float value = sample(in + c * sampleBytes);
            left += weights.left[c] * value;
            right += weights.right[c] * value;
        }
        unsigned char* out = m_mixed.data() + f * 2 * sampleBytes;
        put(out, left);
        put(out + sampleBytes, right);
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(frames * frameBytes));
    size = m_mixed.size();
    return m_mixed.data();
}

bool EncoderProcess::waitForExit()
{
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + StallLimit;
    bool graceGiven = false;
    const int pidfd = pidfdOpen(m_pid);
    for (int pause = 1;; pause = std::min(pause * 2, 50)) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
            break;
        if (done < 0 && errno != EINTR) {
            status = -1;
            break;
        }
        if (!graceGiven && cancelRequested()) {
            graceGiven = true;
            deadline = std::min(deadline, std::chrono::steady_clock::now() + CancelGrace);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            status = -1;
            break;
        }
        if (pidfd >= 0) {
            pollfd wait{pidfd, POLLIN, 0};
            ::poll(&wait, 1, CancelCheckMs);
        } else {
            ::usleep(static_cast<useconds_t>(pause) * 1000);
        }
    }
    if (pidfd >= 0)
        ::close(pidfd);
    m_pid = -1;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace tunevale
