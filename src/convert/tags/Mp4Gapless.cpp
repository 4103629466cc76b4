#include "Mp4Gapless.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint64_t AacFrameSamples = 1024;
// A moov box larger than this is not one of an audio file.
constexpr std::uint64_t MaxMoovBytes = 256ull << 20;

std::uint32_t be32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

std::uint64_t be64(const std::uint8_t* bytes)
{
    return std::uint64_t(be32(bytes)) << 32 | be32(bytes + 4);
}

// One box inside a parent's bytes: its type and its payload; no data when it was not found.
struct Box {
    std::string_view type;
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;

    explicit operator bool() const { return data != nullptr; }
};

// The boxes laid end to end in [data, data + size); stops at the first that does not fit.
std::vector<Box> childrenOf(const std::uint8_t* data, std::uint64_t size)
{
    std::vector<Box> boxes;
    std::uint64_t at = 0;
    while (size - at >= 8) {
        std::uint64_t boxSize = be32(data + at);
        std::uint64_t header = 8;
        if (boxSize == 1) {
            if (size - at < 16)
                break;
            boxSize = be64(data + at + 8);
            header = 16;
        } else if (boxSize == 0) {
            boxSize = size - at;
        }
        if (boxSize < header || boxSize > size - at)
            break;
        boxes.push_back(
            {std::string_view(reinterpret_cast<const char*>(data + at + 4), 4), data + at + header, boxSize - header});
        at += boxSize;
    }
    return boxes;
}

Box child(const Box& parent, std::string_view type)
{
    if (parent)
        for (const Box& box : childrenOf(parent.data, parent.size))
            if (box.type == type)
                return box;
    return {};
}

// The moov box of the file, read whole (the sample tables are in it); the media data is skipped.
std::vector<std::uint8_t> readMoov(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::uint8_t header[16];
    while (file.read(reinterpret_cast<char*>(header), 8)) {
        std::uint64_t size = be32(header);
        std::uint64_t headerSize = 8;
        if (size == 1) {
            if (!file.read(reinterpret_cast<char*>(header + 8), 8))
                break;
            size = be64(header + 8);
            headerSize = 16;
        }
        if (size != 0 && size < headerSize)
            break;
        if (std::string_view(reinterpret_cast<const char*>(header + 4), 4) == "moov") {
            if (size == 0 || size - headerSize > MaxMoovBytes)
                break;
            std::vector<std::uint8_t> moov(size - headerSize);
            if (!file.read(reinterpret_cast<char*>(moov.data()), static_cast<std::streamsize>(moov.size())))
                break;
            return moov;
        }
        if (size == 0)
            break;
        file.seekg(static_cast<std::streamoff>(size - headerSize), std::ios::cur);
    }
    return {};
}

// What the note needs of an AAC track: delay, length and frames.
struct AacTrack {
    std::uint64_t delay = 0;
    std::uint64_t mediaDuration = 0;
    std::uint64_t frames = 0;
};

// The first edit's media time: where the track's audio starts, after the encoder's delay.
std::optional<std::uint64_t> editStart(const Box& trak)
{
    const Box elst = child(child(trak, "edts"), "elst");
    if (!elst || elst.size < 8)
        return std::nullopt;
    const std::uint8_t version = elst.data[0];
    const std::uint32_t entries = be32(elst.data + 4);
    const std::uint64_t entryBytes = version == 1 ? 20 : 12;
    for (std::uint64_t i = 0; i < entries && 8 + (i + 1) * entryBytes <= elst.size; ++i) {
        const std::uint8_t* entry = elst.data + 8 + i * entryBytes;
        const std::int64_t mediaTime =
            version == 1 ? static_cast<std::int64_t>(be64(entry + 8)) : static_cast<std::int32_t>(be32(entry + 4));
        if (mediaTime >= 0) // -1 marks an empty edit
            return static_cast<std::uint64_t>(mediaTime);
    }
    return std::nullopt;
}

std::optional<AacTrack> aacTrackOf(const Box& trak)
{
    const Box mdia = child(trak, "mdia");
    const Box stbl = child(child(mdia, "minf"), "stbl");
    const Box stsd = child(stbl, "stsd");
    const Box stts = child(stbl, "stts");
    const Box mdhd = child(mdia, "mdhd");
    // stsd: version and flags, a count, then the first entry's size and its format: mp4a for AAC,
    // whose sample rate (16.16) ends the entry's first 36 bytes.
    if (!stsd || !stts || !mdhd || stsd.size < 44 ||
        std::string_view(reinterpret_cast<const char*>(stsd.data + 12), 4) != "mp4a")
        return std::nullopt;
    // The note counts samples: the track's clock must tick once a sample.
    const std::uint64_t timescaleAt = mdhd.size > 0 && mdhd.data[0] == 1 ? 20 : 12;
    if (mdhd.size < timescaleAt + 4 || be32(mdhd.data + timescaleAt) != be32(stsd.data + 40) >> 16)
        return std::nullopt;
    const auto start = editStart(trak);
    if (!start || stts.size < 8)
        return std::nullopt;
    AacTrack track;
    track.delay = *start;
    const std::uint32_t entries = be32(stts.data + 4);
    if (8 + std::uint64_t(entries) * 8 > stts.size)
        return std::nullopt;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t count = be32(stts.data + 8 + i * 8);
        track.frames += count;
        track.mediaDuration += count * be32(stts.data + 12 + i * 8);
    }
    return track;
}

} // namespace

std::optional<std::string> aacGaplessNote(const std::string& path)
{
    std::vector<std::uint8_t> bytes = readMoov(path);
    const Box moov{"moov", bytes.data(), bytes.size()};
    for (const Box& trak : childrenOf(moov.data, moov.size)) {
        if (trak.type != "trak")
            continue;
        const auto track = aacTrackOf(trak);
        if (!track)
            continue;
        const std::uint64_t coded = track->frames * AacFrameSamples;
        if (track->mediaDuration < track->delay || coded < track->mediaDuration)
            return std::nullopt;
        const std::uint64_t samples = track->mediaDuration - track->delay;
        char note[128];
        std::snprintf(note, sizeof note,
                      " 00000000 %08X %08X %016llX 00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
                      "00000000",
                      static_cast<unsigned>(track->delay), static_cast<unsigned>(coded - track->mediaDuration),
                      static_cast<unsigned long long>(samples));
        return std::string(note);
    }
    return std::nullopt;
}

} // namespace tunevale
