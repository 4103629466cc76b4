#include "AccurateRipDatabase.h"

#include <algorithm>

namespace tunevale
{

namespace
{

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

} // namespace

std::optional<std::vector<AccurateRipEntry>> parseAccurateRipFile(const std::string& bytes)
{
    constexpr std::size_t kHeader = 13;
    constexpr std::size_t kTrack = 9;
    std::vector<AccurateRipEntry> entries;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kHeader)
            return std::nullopt;
        AccurateRipEntry entry;
        entry.disc.audioTracks = static_cast<unsigned char>(bytes[at]);
        entry.disc.id1 = littleEndian32(bytes, at + 1);
        entry.disc.id2 = littleEndian32(bytes, at + 5);
        entry.disc.cddb = littleEndian32(bytes, at + 9);
        at += kHeader;
        const std::size_t size = static_cast<std::size_t>(entry.disc.audioTracks) * kTrack;
        if (entry.disc.audioTracks == 0 || bytes.size() - at < size)
            return std::nullopt;
        for (int track = 0; track < entry.disc.audioTracks; ++track, at += kTrack)
            entry.tracks.push_back(
                {static_cast<unsigned char>(bytes[at]), littleEndian32(bytes, at + 1), littleEndian32(bytes, at + 5)});
        entries.push_back(std::move(entry));
    }
    if (entries.empty())
        return std::nullopt;
    return entries;
}

std::string accurateRipVerdict(const std::vector<AccurateRipEntry>& entries, const AccurateRipDiscIds& disc,
                               std::size_t trackIndex, std::uint32_t v1, std::uint32_t v2)
{
    bool filed = false;
    int confidence = 0;
    for (const AccurateRipEntry& entry : entries) {
        if (!(entry.disc == disc) || trackIndex >= entry.tracks.size())
            continue;
        filed = true;
        const AccurateRipEntry::Track& track = entry.tracks[trackIndex];
        if (track.confidence > 0 && (track.checksum == v1 || track.checksum == v2))
            confidence = std::max(confidence, track.confidence);
    }
    if (confidence > 0)
        return "accurate (confidence " + std::to_string(confidence) + ")";
    return filed ? "mismatch" : "not in database";
}

} // namespace tunevale
