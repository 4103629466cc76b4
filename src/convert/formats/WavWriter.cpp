#include "WavWriter.h"

#include "DecodeLoop.h"
#include "FileCopy.h"
#include "OutputCheck.h"
#include "WavHeader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace tunevale
{

namespace
{

constexpr std::uint32_t WavChunkBytes = 20000;

JobResult writeFailure()
{
    return JobResult::error(std::string("the output could not be written: ") + std::strerror(errno));
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

// Writes the PCM straight to the file, after the header, within the size a WAV file can state.
class WavDataSink : public PcmSink
{
public:
    explicit WavDataSink(int fd) : fd_(fd) {}
    std::optional<JobResult> take(const char* pcm, std::size_t bytes) override
    {
        if (dataSize + bytes > WavMaxDataSize)
            return JobResult::error("the audio is too long for a WAV file");
        if (!writeAllBytes(fd_, pcm, bytes))
            return writeFailure();
        dataSize += bytes;
        return std::nullopt;
    }
    std::uint64_t dataSize = 0;

private:
    int fd_;
};

} // namespace

JobResult ConvertToWAV(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                       PendingOutputFile& output, SourceTags* tags)
{
    engine.SetConfig(EngineConfig::FloatDsp, 0);
    const EngineHandle stream = engine.StreamCreateFile(origfile, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (stream == 0)
        return engineFailure(engineFailureCode(engine), origfile, &log, engine.ErrorGetMessage());
    if (tags)
        engine.ChannelGetTags(stream, *tags);

    const WavFormat format = streamFormat(engine, stream);
    int fd = -1;
    auto fail = [&](JobResult result) {
        engine.ChannelStop(stream);
        engine.StreamFree(stream);
        if (fd >= 0)
            ::close(fd);
        return result;
    };
    if (format.channels == 0)
        return fail(engineFailure(engineFailureCode(engine), origfile, nullptr));

    fd = output.valid() ? ::dup(output.fd()) : -1;
    if (fd < 0)
        return fail(writeFailure());
    const auto header = makeWavHeader(format);
    if (!writeAllBytes(fd, header.data(), header.size()))
        return fail(writeFailure());

    WavDataSink sink(fd);
    JobResult result = decodeInto(engine, stream, context, log, origfile, WavChunkBytes, sink);
    if (result.outcome == JobOutcome::Error)
        return fail(std::move(result));
    const JobOutcome outcome = result.outcome;
    const std::uint64_t dataSize = sink.dataSize;
    // The sizes count the bytes written, which is what the decoding position says as well.
    const auto size = static_cast<std::uint32_t>(dataSize);
    const bool finished = writeAt(fd, size + 36, WavRiffSizeOffset) && writeAt(fd, size, WavDataSizeOffset);
    const bool closed = ::close(fd) == 0;
    fd = -1;
    // A folder removed meanwhile took the file with it.
    if (!finished || !closed || output.size() != header.size() + dataSize)
        return fail(JobResult::error("the output file was not written completely"));
    return endJob(engine, stream, outcome, output.pathInProcess(), origfile, log);
}

} // namespace tunevale
