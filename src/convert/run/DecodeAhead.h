#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace tunevale
{

// One read of a job's stream, with what the writer's side needs to know of it.
struct DecodedChunk {
    std::vector<char> pcm;
    std::size_t bytes = 0;
    bool ended = false;        // the stream had delivered everything before this read
    bool failed = false;       // the read delivered nothing: code says why
    int code = EngineCode::Ok; // the engine's error code after a failed read
    std::uint64_t position = 0;
    std::uint64_t length = 0;
};

// Reads the stream's next chunk into chunk (sized beforehand) and hands it to the run's meter
// (JobContext::decodedPcm); the chunk tells the end or a failed read.
void readChunk(Engine& engine, EngineHandle stream, JobContext& context, const ChannelInfo& format,
               DecodedChunk& chunk);

// Decodes a job's stream on a thread of its own, a few chunks ahead of the writer, so that decoding
// and encoding share two cores. The engine locks each channel, and the writer touches the stream
// only once this is gone.
class DecodeAhead
{
public:
    DecodeAhead(Engine& engine, EngineHandle stream, JobContext& context, const ChannelInfo& format,
                std::size_t chunkBytes);
    // Stops decoding after the current chunk and waits for it.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The next chunk in order, once decoded; it stays valid until the next call.
    const DecodedChunk& next();

private:
    static constexpr std::size_t Depth = 4;

    void run();

    Engine& m_engine;
    const EngineHandle m_stream;
    JobContext& m_context;
    const ChannelInfo m_format;
    std::array<DecodedChunk, Depth> m_chunks;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_produced = 0; // chunks decoded so far; chunk n lives in m_chunks[n % Depth]
    std::size_t m_consumed = 0; // chunks the writer is done with
    bool m_holding = false;     // the writer holds chunk m_consumed
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace tunevale
