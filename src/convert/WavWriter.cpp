#include "WavWriter.h"

#include "NewOutputFile.h"
#include "WavHeader.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t ReadBufferSize = 20000;

bool writeAll(int fd, const void* data, std::size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool writeAt(int fd, std::uint32_t value, std::size_t offset)
{
    const auto field = wavSizeField(value);
    return ::pwrite(fd, field.data(), field.size(), static_cast<off_t>(offset)) == static_cast<ssize_t>(field.size());
}

// The stream's PCM layout, or a format with 0 channels when the engine cannot tell it.
WavFormat streamFormat(Engine& engine, EngineHandle stream)
{
    WavFormat format;
    ChannelInfo info;
    float rate = 0;
    if (!engine.ChannelGetInfo(stream, info) || !engine.ChannelGetAttribute(stream, ChannelAttribFreq, rate))
        return format;
    // The true channel count, so that header and data agree for sources of more than two channels.
    if (info.chans == 0 || info.chans > 0xFFFF || !(rate >= 1.0f && rate < 4.0e9f))
        return format;
    format.channels = static_cast<std::uint16_t>(info.chans);
    format.sampleRate = static_cast<std::uint32_t>(std::nearbyint(rate));
    format.bitsPerSample = (info.flags & StreamFlag::Sample8Bits) ? 8 : 16;
    return format;
}

} // namespace

JobOutcome ConvertToWAV(Engine& engine, JobContext& context, const std::string& origfile, const std::string& outFile)
{
    NewOutputFile output(outFile);
    if (!output.claimable())
        return finishJob(context, JobOutcome::Error);

    engine.SetConfig(EngineConfig::FloatDsp, 0);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return finishJob(context, JobOutcome::Error);

    const WavFormat format = streamFormat(engine, stream);
    int fd = -1;
    auto fail = [&] {
        engine.ChannelStop(stream);
        engine.StreamFree(stream);
        if (fd >= 0) {
            ::close(fd);
            output.discard();
        }
        return finishJob(context, JobOutcome::Error);
    };
    if (format.channels == 0)
        return fail();

    // O_EXCL: the name was free when it was chosen; never write over a file that appeared since.
    fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail();
    const auto header = makeWavHeader(format);
    if (!writeAll(fd, header.data(), header.size()))
        return fail();

    const std::uint64_t length = engine.ChannelGetLength(stream, 0);
    std::vector<char> buffer(ReadBufferSize);
    std::uint64_t dataSize = 0;
    JobOutcome outcome = JobOutcome::Complete;
    while (engine.ChannelIsActive(stream) != ChannelState::Stopped) {
        const std::int32_t read = engine.ChannelGetData(stream, buffer.data(), ReadBufferSize);
        if (read <= 0)
            return fail();
        if (dataSize + static_cast<std::uint64_t>(read) > WavMaxDataSize)
            return fail();
        if (!writeAll(fd, buffer.data(), static_cast<std::size_t>(read)))
            return fail();
        dataSize += static_cast<std::uint64_t>(read);
        reportProgress(context, engine.ChannelGetPosition(stream, 0), length);
        context.processEvents();
        if (context.cancelRequested()) {
            outcome = JobOutcome::Cancelled;
            break;
        }
    }
    engine.ChannelStop(stream);
    engine.StreamFree(stream);

    // The sizes count the bytes written, which is what the decoding position says as well.
    const auto size = static_cast<std::uint32_t>(dataSize);
    const bool finished = writeAt(fd, size + 36, WavRiffSizeOffset) && writeAt(fd, size, WavDataSizeOffset);
    if (::close(fd) != 0 || !finished) {
        output.discard();
        return finishJob(context, JobOutcome::Error);
    }
    return finishJob(context, outcome);
}

} // namespace tunevale
