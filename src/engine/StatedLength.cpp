#include "StatedLength.h"

#include "FileInput.h"

#include <array>
#include <cstring>
#include <vector>

namespace tunevale
{

namespace
{

std::uint32_t bigEndian32(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::vector<unsigned char> readAt(const FileInput& in, std::uint64_t offset, std::size_t size)
{
    const std::string bytes = in.readAt(offset, size);
    return {bytes.begin(), bytes.end()};
}

// Size of an ID3v2 tag at the start of the file, 0 when there is none.
std::uint64_t id3v2Size(const std::vector<unsigned char>& head)
{
    if (head.size() < 10 || std::memcmp(head.data(), "ID3", 3) != 0)
        return 0;
    const std::uint64_t size = (std::uint64_t(head[6] & 0x7F) << 21) | (std::uint64_t(head[7] & 0x7F) << 14) |
                               (std::uint64_t(head[8] & 0x7F) << 7) | (head[9] & 0x7F);
    const bool footer = head[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

std::uint32_t littleEndian32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint16_t littleEndian16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

std::optional<MpegTaggedLength> mpegTaggedLength(const FileInput& in)
{
    std::uint64_t start = 0;
    // Several ID3v2 tags may follow each other.
    for (int tags = 0; tags < 4; ++tags) {
        const std::uint64_t size = id3v2Size(readAt(in, start, 10));
        if (size == 0)
            break;
        start += size;
    }
    const std::vector<unsigned char> frame = readAt(in, start, 4 + 32 + 4 + 4 + 4 + 4 + 100 + 4 + 36);
    if (frame.size() < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (frame[1] >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (frame[1] >> 1) & 3;   // 3: I, 2: II, 1: III
    const int rateIndex = (frame[2] >> 2) & 3;
    const int bitrateIndex = frame[2] >> 4;
    if (version == 1 || layer == 0 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const bool mono = (frame[3] >> 6) == 3;
    const std::int64_t samplesPerFrame = layer == 3 ? 384 : (layer == 2 || mpeg1) ? 1152 : 576;

    std::size_t at = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (frame.size() < at + 8)
        return std::nullopt;
    if (std::memcmp(&frame[at], "Xing", 4) != 0 && std::memcmp(&frame[at], "Info", 4) != 0)
        return std::nullopt;
    const std::uint32_t fields = bigEndian32(&frame[at + 4]);
    at += 8;
    if (!(fields & 1) || frame.size() < at + 4)
        return std::nullopt;
    const std::int64_t frames = bigEndian32(&frame[at]);
    at += 4;
    std::uint64_t streamBytes = 0;
    if (fields & 2) {
        if (frame.size() >= at + 4)
            streamBytes = bigEndian32(&frame[at]);
        at += 4;
    }
    if (fields & 4)
        at += 100;
    if (fields & 8)
        at += 4;
    if (frames == 0)
        return std::nullopt;

    std::int64_t samples = frames * samplesPerFrame;
    // LAME's tag (also written by FFmpeg as "Lavf"/"Lavc") holds the encoder delay and padding.
    if (frame.size() >= at + 24 &&
        (std::memcmp(&frame[at], "LAME", 4) == 0 || std::memcmp(&frame[at], "Lavf", 4) == 0 ||
         std::memcmp(&frame[at], "Lavc", 4) == 0)) {
        const unsigned char* padding = &frame[at + 21];
        const std::int64_t delay = (padding[0] << 4) | (padding[1] >> 4);
        const std::int64_t end = ((padding[1] & 0x0F) << 8) | padding[2];
        samples -= delay + end;
    }
    if (samples <= 0)
        return std::nullopt;
    return MpegTaggedLength{samples, streamBytes};
}

std::optional<std::int64_t> musepackSampleCount(const FileInput& in)
{
    const std::vector<unsigned char> head = readAt(in, 0, 4096);
    if (head.size() < 4 || std::memcmp(head.data(), "MPCK", 4) != 0)
        return std::nullopt;
    std::size_t at = 4;
    // SV8 numbers: 7 bits per byte, most significant first, high bit set on all but the last.
    auto number = [&](std::uint64_t& value, std::size_t& count) {
        value = 0;
        count = 0;
        while (at < head.size() && count < 9) {
            const unsigned char byte = head[at++];
            ++count;
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return false;
    };
    // Packets: a two-letter key, then their size (counting key and size field), then the payload.
    while (at + 2 < head.size()) {
        const std::size_t packet = at;
        const bool streamHeader = head[at] == 'S' && head[at + 1] == 'H';
        at += 2;
        std::uint64_t size = 0;
        std::size_t sizeBytes = 0;
        if (!number(size, sizeBytes) || size < 2 + sizeBytes)
            return std::nullopt;
        if (streamHeader) {
            at += 4 + 1; // CRC and stream version
            std::uint64_t samples = 0, silence = 0;
            std::size_t count = 0;
            if (!number(samples, count) || !number(silence, count) || samples <= silence)
                return std::nullopt;
            return static_cast<std::int64_t>(samples - silence);
        }
        at = packet + static_cast<std::size_t>(size);
    }
    return std::nullopt;
}

namespace
{

struct WavData {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t blockAlign = 0;
};

std::optional<WavData> wavDataChunk(const FileInput& in)
{
    constexpr std::uint32_t PlaceholderSizes = 0x7FFFF000;
    constexpr std::uint16_t Pcm = 1, Float = 3, Extensible = 0xFFFE;
    const std::vector<unsigned char> riff = readAt(in, 0, 12);
    if (riff.size() < 12 || std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(&riff[8], "WAVE", 4) != 0)
        return std::nullopt;
    std::uint32_t blockAlign = 0;
    std::uint64_t at = 12;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const std::vector<unsigned char> header = readAt(in, at, 8);
        if (header.size() < 8)
            return std::nullopt;
        const std::uint32_t size = littleEndian32(&header[4]);
        if (std::memcmp(header.data(), "fmt ", 4) == 0) {
            const std::vector<unsigned char> format = readAt(in, at + 8, 26);
            if (format.size() < 16)
                return std::nullopt;
            std::uint16_t tag = littleEndian16(&format[0]);
            if (tag == Extensible && format.size() >= 26)
                tag = littleEndian16(&format[24]);
            if (tag != Pcm && tag != Float)
                return std::nullopt;
            blockAlign = littleEndian16(&format[12]);
        } else if (std::memcmp(header.data(), "data", 4) == 0) {
            if (blockAlign == 0 || size == 0 || size >= PlaceholderSizes)
                return std::nullopt;
            return WavData{at + 8, size, blockAlign};
        }
        at += 8 + std::uint64_t(size) + (size & 1);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> wavStatedSampleCount(const FileInput& file)
{
    const auto data = wavDataChunk(file);
    if (!data)
        return std::nullopt;
    return static_cast<std::int64_t>(data->size / data->blockAlign);
}

std::optional<std::uint64_t> wavStatedDataEnd(const FileInput& file)
{
    const auto data = wavDataChunk(file);
    if (!data)
        return std::nullopt;
    return data->offset + data->size;
}

} // namespace tunevale
