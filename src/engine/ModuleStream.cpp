#include "ModuleStream.h"

#include "RegularFile.h"
#include "SourceTagCollector.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tunevale
{

namespace
{

constexpr std::size_t MaxModuleFileSize = 256 * 1024 * 1024;

} // namespace

std::unique_ptr<ModuleStream> ModuleStream::open(const std::string& path, std::uint32_t rate, int& errorCode)
{
    std::string bytes;
    errorCode = readRegularFile(path, MaxModuleFileSize, bytes);
    if (errorCode == EngineCode::Ok && bytes.empty())
        errorCode = EngineCode::Format;
    if (errorCode != EngineCode::Ok)
        return nullptr;

    std::unique_ptr<ModuleStream> stream(new ModuleStream);
    stream->m_rate = rate;
    int openError = 0;
    stream->m_module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &openmpt_log_func_silent, nullptr,
                                           &openmpt_error_func_ignore, nullptr, &openError, nullptr, nullptr);
    if (!stream->m_module) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    const double seconds = openmpt_module_get_duration_seconds(stream->m_module);
    if (!(seconds > 0)) {
        errorCode = EngineCode::Empty;
        return nullptr;
    }
    if (!(seconds <= LongestSynthesisedSeconds)) {
        errorCode = EngineCode::Format;
        return nullptr;
    }
    stream->m_totalFrames = static_cast<std::uint64_t>(std::llround(seconds * rate));
    stream->renderAhead();
    errorCode = EngineCode::Ok;
    return stream;
}

ModuleStream::~ModuleStream()
{
    if (m_module)
        openmpt_module_destroy(m_module);
}

void ModuleStream::renderAhead()
{
    m_aheadOffset = 0;
    m_aheadFrames = openmpt_module_read_interleaved_stereo(m_module, static_cast<std::int32_t>(m_rate),
                                                           std::size(m_ahead) / 2, m_ahead);
    m_ended = m_aheadFrames == 0;
}

std::size_t ModuleStream::read(std::uint8_t* out, std::size_t size)
{
    std::size_t written = 0;
    while (!m_ended && size - written >= 4) {
        // libopenmpt may render a little past the song's stated end: the stated length holds.
        const std::size_t left = static_cast<std::size_t>(m_totalFrames - m_deliveredFrames);
        const std::size_t frames = std::min({m_aheadFrames - m_aheadOffset, (size - written) / 4, left});
        std::memcpy(out + written, m_ahead + m_aheadOffset * 2, frames * 4);
        written += frames * 4;
        m_aheadOffset += frames;
        m_deliveredFrames += frames;
        if (m_deliveredFrames >= m_totalFrames)
            m_ended = true;
        else if (m_aheadOffset >= m_aheadFrames)
            renderAhead();
    }
    return written;
}

SourceTags ModuleStream::tags()
{
    SourceTagCollector collector;
    // The module's message is left out: without one, libopenmpt lists the sample names instead.
    for (const char* key : {"title", "artist"}) {
        const char* value = openmpt_module_get_metadata(m_module, key);
        if (value)
            collector.add(key, value);
        openmpt_free_string(value);
    }
    return collector.tags();
}

bool ModuleStream::rewind()
{
    openmpt_module_set_position_seconds(m_module, 0.0);
    m_deliveredFrames = 0;
    renderAhead();
    return true;
}

} // namespace tunevale
