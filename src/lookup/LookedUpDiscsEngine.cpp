#include "LookedUpDiscsEngine.h"

#include "cd/TrackPath.h"

namespace tunevale
{

void LookedUpDiscsEngine::addDisc(const std::string& disc, const DiscToc& toc, OnlineDisc online)
{
    const std::lock_guard lock(m_mutex);
    m_discs[disc] = Disc{toc, std::move(online)};
}

std::string LookedUpDiscsEngine::accurateRipVerdict(const std::string& trackPath) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_verdicts.find(trackPath);
    return found == m_verdicts.end() ? std::string() : found->second;
}

std::optional<SourceTags> LookedUpDiscsEngine::releaseTags(const std::string& trackPath) const
{
    const auto track = parseTrackPath(trackPath);
    if (!track)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    const auto disc = m_discs.find(track->disc);
    if (disc == m_discs.end() || !disc->second.online.found() || !disc->second.toc.hasTrack(track->number))
        return std::nullopt;
    return tagsWithRelease({}, disc->second.online.found(), track->number);
}

EngineHandle LookedUpDiscsEngine::StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                                   std::uint32_t flags)
{
    const EngineHandle handle = ForwardingEngine::StreamCreateFile(path, offset, length, flags);
    const auto track = handle ? parseTrackPath(path) : std::nullopt;
    if (!track)
        return handle;
    const std::lock_guard lock(m_mutex);
    // A verdict speaks of the last read only (the drive may hold another disc by now).
    m_verdicts.erase(path);
    const auto disc = m_discs.find(track->disc);
    if (disc == m_discs.end()) {
        m_open[handle] = OpenTrack{nullptr, track->number, path, std::nullopt, 0, 0};
        return handle;
    }
    OpenTrack open{&disc->second, track->number, path, std::nullopt, 0, 0};
    ChannelInfo info;
    if (m_real.ChannelGetInfo(handle, info)) {
        open.expected = m_real.ChannelGetLength(handle, 0);
        open.checksum = discTrackChecksum(disc->second.toc, track->number, info, open.expected);
    }
    m_open[handle] = std::move(open);
    return handle;
}

bool LookedUpDiscsEngine::StreamFree(EngineHandle handle)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto open = m_open.find(handle); open != m_open.end()) {
            const OpenTrack& track = open->second;
            // Offline, the run's line on the disc has said so already: the jobs say nothing.
            const bool answered = track.disc && track.disc->online.accurateRip.state != LookupState::Unavailable;
            if (answered && track.checksum && track.expected > 0 && track.delivered == track.expected)
                m_verdicts[track.path] = track.disc->online.accurateRip.verdict(
                    static_cast<std::size_t>(track.number - track.disc->toc.firstTrack), track.checksum->v1(),
                    track.checksum->v2());
            m_open.erase(open);
        }
    }
    return ForwardingEngine::StreamFree(handle);
}

bool LookedUpDiscsEngine::ChannelGetTags(EngineHandle handle, SourceTags& tags)
{
    const bool read = ForwardingEngine::ChannelGetTags(handle, tags);
    const std::lock_guard lock(m_mutex);
    const auto open = m_open.find(handle);
    if (open == m_open.end())
        return read;
    const OnlineDisc* online = open->second.disc ? &open->second.disc->online : nullptr;
    tags = tagsWithRelease(read ? tags : SourceTags{}, online ? online->found() : nullptr, open->second.number);
    if (online && tags.frontCover.empty())
        tags.frontCover = online->cover;
    return true;
}

std::int32_t LookedUpDiscsEngine::ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length)
{
    const std::int32_t got = ForwardingEngine::ChannelGetData(handle, buffer, length);
    if (got <= 0)
        return got;
    const std::lock_guard lock(m_mutex);
    if (const auto open = m_open.find(handle); open != m_open.end() && open->second.checksum) {
        open->second.checksum->add(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(got));
        open->second.delivered += static_cast<std::uint64_t>(got);
    }
    return got;
}

} // namespace tunevale
