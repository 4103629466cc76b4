#include "DecodeAhead.h"

namespace tunevale
{

void readChunk(Engine& engine, EngineHandle stream, JobContext& context, const ChannelInfo& format, DecodedChunk& chunk)
{
    chunk.bytes = 0;
    chunk.ended = engine.ChannelIsActive(stream) == ChannelState::Stopped;
    chunk.failed = false;
    if (chunk.ended)
        return;
    const std::int32_t read =
        engine.ChannelGetData(stream, chunk.pcm.data(), static_cast<std::uint32_t>(chunk.pcm.size()));
    if (read <= 0) {
        chunk.failed = true;
        chunk.code = engine.ErrorGetCode();
        return;
    }
    chunk.bytes = static_cast<std::size_t>(read);
    context.decodedPcm(format, chunk.pcm.data(), chunk.bytes);
    chunk.position = engine.ChannelGetPosition(stream, 0);
    chunk.length = engine.ChannelGetLength(stream, 0);
}

DecodeAhead::DecodeAhead(Engine& engine, EngineHandle stream, JobContext& context, const ChannelInfo& format,
                         std::size_t chunkBytes)
    : m_engine(engine), m_stream(stream), m_context(context), m_format(format)
{
    for (DecodedChunk& chunk : m_chunks)
        chunk.pcm.resize(chunkBytes);
    m_thread = std::thread([this] { run(); });
}

DecodeAhead::~DecodeAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

const DecodedChunk& DecodeAhead::next()
{
    std::unique_lock lock(m_mutex);
    if (m_holding) {
        ++m_consumed;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this] { return m_produced > m_consumed; });
    m_holding = true;
    return m_chunks[m_consumed % Depth];
}

void DecodeAhead::run()
{
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_quit || m_produced < m_consumed + Depth; });
            if (m_quit)
                return;
            index = m_produced % Depth;
        }
        // The slot is this thread's until it is counted as produced.
        DecodedChunk& chunk = m_chunks[index];
        readChunk(m_engine, m_stream, m_context, m_format, chunk);
        const bool last = chunk.ended || chunk.failed;
        {
            const std::lock_guard lock(m_mutex);
            ++m_produced;
        }
        m_changed.notify_all();
        if (last)
            return;
    }
}

} // namespace tunevale
