#include "TrackSource.h"

namespace tunevale
{

namespace
{

bool sameFormat(const ChannelInfo& a, const ChannelInfo& b)
{
    return a.freq == b.freq && a.chans == b.chans && a.flags == b.flags;
}

} // namespace

std::unique_ptr<TrackSource> TrackSource::open(std::vector<std::unique_ptr<PcmSource>> parts, SourceTags tags,
                                               int& errorCode)
{
    errorCode = EngineCode::Format;
    if (parts.empty())
        return nullptr;
    for (const auto& part : parts)
        if (!sameFormat(part->info(), parts.front()->info()))
            return nullptr;
    errorCode = EngineCode::Ok;
    return std::unique_ptr<TrackSource>(new TrackSource(std::move(parts), std::move(tags)));
}

TrackSource::TrackSource(std::vector<std::unique_ptr<PcmSource>> parts, SourceTags tags)
    : m_parts(std::move(parts)), m_tags(std::move(tags))
{
}

std::uint64_t TrackSource::length() const
{
    std::uint64_t total = 0;
    for (const auto& part : m_parts)
        total += part->length();
    return total;
}

std::size_t TrackSource::read(std::uint8_t* out, std::size_t size)
{
    std::size_t written = 0;
    while (written < size && m_current < m_parts.size()) {
        PcmSource& part = *m_parts[m_current];
        if (part.finished()) {
            ++m_current;
            continue;
        }
        const std::size_t got = part.read(out + written, size - written);
        written += got;
        if (got == 0 && !part.finished())
            break; // less room than one sample frame
    }
    return written;
}

bool TrackSource::finished() const
{
    for (std::size_t i = m_current; i < m_parts.size(); ++i)
        if (!m_parts[i]->finished())
            return false;
    return true;
}

bool TrackSource::rewind()
{
    m_current = 0;
    for (const auto& part : m_parts)
        if (!part->rewind())
            return false;
    return true;
}

SourceDamage TrackSource::damage() const
{
    for (const auto& part : m_parts)
        if (const SourceDamage partDamage = part->damage(); partDamage != SourceDamage::None)
            return partDamage;
    return SourceDamage::None;
}

std::string TrackSource::damageDetail() const
{
    for (const auto& part : m_parts)
        if (part->damage() != SourceDamage::None)
            return part->damageDetail();
    return {};
}

} // namespace tunevale
