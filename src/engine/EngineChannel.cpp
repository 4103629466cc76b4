#include "EngineChannel.h"

#include "PcmGain.h"

#include <cmath>

namespace tunevale
{

namespace
{

int damageCode(SourceDamage damage)
{
    switch (damage) {
    case SourceDamage::Corrupt:
        return EngineCode::Corrupt;
    case SourceDamage::Unreadable:
        return EngineCode::CdReadError;
    default:
        return EngineCode::Truncated;
    }
}

} // namespace

EngineChannel::EngineChannel(std::unique_ptr<PcmSource> source, std::uint32_t flags)
    : m_source(std::move(source)), m_flags(flags), m_info(m_source->info()), m_length(m_source->length()),
      m_bytesPerFrame(m_source->bytesPerFrame())
{
}

SourceTags EngineChannel::tags()
{
    std::lock_guard lock(m_mutex);
    return m_source->tags();
}

std::uint64_t EngineChannel::position()
{
    std::lock_guard lock(m_mutex);
    return m_position;
}

std::uint32_t EngineChannel::isActive()
{
    std::lock_guard lock(m_mutex);
    if (decodeOnly()) {
        // A damaged source stays active until a pull has reported it, so that a caller pulling
        // until the channel stops learns that its audio is incomplete.
        const bool unreported = m_source->damage() != SourceDamage::None && !m_damageReported;
        return m_source->finished() && !unreported ? ChannelState::Stopped : ChannelState::Playing;
    }
    return m_state;
}

std::int64_t EngineChannel::pull(std::uint8_t* out, std::size_t size, int& errorCode)
{
    std::lock_guard lock(m_mutex);
    if (m_source->finished() && m_source->damage() != SourceDamage::None) {
        m_damageReported = true;
        errorCode = damageCode(m_source->damage());
        return -1;
    }
    const std::size_t delivered = m_source->read(out, size);
    m_position += delivered;
    if (m_gain != 1.0)
        applyGain(out, delivered, m_info.flags, m_gain);
    if (m_encoder && delivered > 0 && !m_encoder->write(out, delivered, errorCode))
        return -1;
    errorCode = EngineCode::Ok;
    return static_cast<std::int64_t>(delivered);
}

std::string EngineChannel::damageDetail()
{
    std::lock_guard lock(m_mutex);
    return m_source->damageDetail();
}

void EngineChannel::setGainDb(double gainDb)
{
    std::lock_guard lock(m_mutex);
    m_gain = std::pow(10.0, gainDb / 20.0);
}

bool EngineChannel::hasEncoder()
{
    std::lock_guard lock(m_mutex);
    return m_encoder != nullptr;
}

bool EngineChannel::attachEncoder(std::unique_ptr<EncoderProcess>& encoder)
{
    std::lock_guard lock(m_mutex);
    if (m_encoder)
        return false;
    m_encoder = std::move(encoder);
    return true;
}

std::unique_ptr<EncoderProcess> EngineChannel::detachEncoder()
{
    std::lock_guard lock(m_mutex);
    return std::move(m_encoder);
}

std::size_t EngineChannel::pullForOutput(std::uint8_t* out, std::size_t size)
{
    std::lock_guard lock(m_mutex);
    if (m_state != ChannelState::Playing)
        return 0;
    std::size_t delivered = m_source->read(out, size);
    if (delivered == 0 && (m_flags & StreamFlag::Loop) && m_source->rewind()) {
        m_position = 0;
        delivered = m_source->read(out, size);
    }
    m_position += delivered;
    return delivered;
}

void EngineChannel::markEnded()
{
    std::lock_guard lock(m_mutex);
    if (m_state == ChannelState::Playing) {
        m_state = ChannelState::Stopped;
        m_ended = true;
    }
}

void EngineChannel::play(bool restart)
{
    std::lock_guard lock(m_mutex);
    if ((restart || m_ended || m_source->finished()) && m_source->rewind())
        m_position = 0;
    m_ended = false;
    m_state = ChannelState::Playing;
}

bool EngineChannel::pause(int& errorCode)
{
    std::lock_guard lock(m_mutex);
    if (m_state == ChannelState::Paused) {
        errorCode = EngineCode::Already;
        return false;
    }
    if (m_state != ChannelState::Playing) {
        errorCode = EngineCode::NotPlaying;
        return false;
    }
    m_state = ChannelState::Paused;
    return true;
}

void EngineChannel::stop()
{
    std::lock_guard lock(m_mutex);
    m_state = ChannelState::Stopped;
}

bool EngineChannel::paused()
{
    std::lock_guard lock(m_mutex);
    return m_state == ChannelState::Paused;
}

} // namespace tunevale
