#include "FlacReadBack.h"

#include "BackgroundThread.h"

#include "Engine.h"
#include "WrittenExtent.h"

#include <FLAC/stream_decoder.h>

#include <array>
#include <cstring>
#include <memory>

namespace tunevale
{

namespace
{

// "fLaC", a metadata block header, then STREAMINFO: its rate, channels, bits and length start at byte 18.
constexpr std::size_t StreamInfoEnd = 8 + 34;

FLAC__StreamDecoderReadStatus readBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[], std::size_t* bytes,
                                        void* client)
{
    bool ended = false;
    if (!static_cast<FlacReadBack*>(client)->read(buffer, *bytes, ended))
        return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    return ended ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus takeFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const channels[], void* client)
{
    const FLAC__FrameHeader& header = frame->header;
    return static_cast<FlacReadBack*>(client)->take(channels, header.blocksize, header.channels, header.bits_per_sample,
                                                    header.sample_rate)
               ? FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE
               : FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
}

void noteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client)
{
    static_cast<FlacReadBack*>(client)->fail();
}

// Interleaves 16-bit little-endian samples; the common stereo case in a loop the compiler vectorises.
void interleave16(const std::int32_t* const* channels, std::uint32_t frames, std::uint32_t chans, std::uint8_t* out)
{
    const auto store = [out](std::size_t at, std::int32_t sample) {
        const auto value = static_cast<std::uint16_t>(sample);
        out[2 * at] = static_cast<std::uint8_t>(value);
        out[2 * at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    if (chans == 2) {
        const std::int32_t* left = channels[0];
        const std::int32_t* right = channels[1];
        for (std::size_t i = 0; i < frames; ++i) {
            store(2 * i, left[i]);
            store(2 * i + 1, right[i]);
        }
        return;
    }
    for (std::size_t i = 0; i < frames; ++i)
        for (std::uint32_t c = 0; c < chans; ++c)
            store(i * chans + c, channels[c][i]);
}

// Interleaves samples of any width, little-endian.
void interleaveBytes(const std::int32_t* const* channels, std::uint32_t frames, std::uint32_t chans, std::size_t width,
                     std::uint8_t* out)
{
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (std::uint32_t c = 0; c < chans; ++c) {
            const auto sample = static_cast<std::uint32_t>(channels[c][i]);
            for (std::size_t b = 0; b < width; ++b)
                *out++ = static_cast<std::uint8_t>(sample >> (8 * b));
        }
    }
}

struct DecoderDeleter {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

std::uint32_t storedBits(std::uint32_t flags)
{
    return flags & StreamFlag::Sample24Bits ? 24 : 16;
}

} // namespace

FlacReadBack::FlacReadBack(int fd, WrittenExtent& extent, const EncodedPcm& format)
    : m_fd(fd), m_extent(extent), m_format(format), m_thread([this] { run(); })
{
}

FlacReadBack::~FlacReadBack()
{
    if (m_thread.joinable()) {
        m_extent.abandon();
        m_thread.join();
    }
}

void FlacReadBack::run()
{
    yieldToTheJobsOtherThreads();
    const std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder(FLAC__stream_decoder_new());
    if (!decoder ||
        FLAC__stream_decoder_init_stream(decoder.get(), readBytes, nullptr, nullptr, nullptr, nullptr, takeFrame,
                                         nullptr, noteError, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        m_failed = true;
        return;
    }
    m_ended = FLAC__stream_decoder_process_until_end_of_stream(decoder.get()) &&
              FLAC__stream_decoder_get_state(decoder.get()) == FLAC__STREAM_DECODER_END_OF_STREAM;
}

bool FlacReadBack::read(std::uint8_t* buffer, std::size_t& size, bool& ended)
{
    const long got = m_extent.readAt(m_fd, buffer, size, m_offset);
    if (got < 0)
        return false;
    size = static_cast<std::size_t>(got);
    m_offset += size;
    ended = got == 0;
    return true;
}

bool FlacReadBack::take(const std::int32_t* const* channels, std::uint32_t frames, std::uint32_t chans,
                        std::uint32_t bits, std::uint32_t rate)
{
    if (chans != m_format.chans || bits != storedBits(m_format.flags) || rate != m_format.freq) {
        m_failed = true;
        return false;
    }
    const std::size_t width = bits / 8;
    m_bytes.resize(std::size_t{frames} * chans * width);
    if (width == 2)
        interleave16(channels, frames, chans, m_bytes.data());
    else
        interleaveBytes(channels, frames, chans, width, m_bytes.data());
    m_digest.add(m_bytes.data(), m_bytes.size());
    return true;
}

int FlacReadBack::result(const EncodedPcm& expected)
{
    m_thread.join();
    const bool same = !m_failed && m_ended && m_digest.size() == expected.bytes &&
                      m_digest.value() == expected.digest && headerMatches(expected);
    return same ? EngineCode::Ok : EngineCode::VerifyFailed;
}

// The header the muxer rewrote when it finished: the stream's format and its exact length.
bool FlacReadBack::headerMatches(const EncodedPcm& expected)
{
    std::array<std::uint8_t, StreamInfoEnd> header{};
    for (std::size_t have = 0; have < header.size();) {
        const long got = m_extent.readAt(m_fd, header.data() + have, header.size() - have, have);
        if (got <= 0)
            return false;
        have += static_cast<std::size_t>(got);
    }
    if (std::memcmp(header.data(), "fLaC", 4) != 0 || (header[4] & 0x7f) != 0)
        return false;
    const std::uint8_t* info = header.data() + 18;
    const std::uint32_t rate = info[0] << 12 | info[1] << 4 | info[2] >> 4;
    const std::uint32_t chans = ((info[2] >> 1) & 7) + 1;
    const std::uint32_t bits = ((info[2] & 1) << 4 | info[3] >> 4) + 1;
    const std::uint64_t frames = std::uint64_t{info[3] & 0x0fu} << 32 | std::uint64_t{info[4]} << 24 |
                                 std::uint64_t{info[5]} << 16 | std::uint64_t{info[6]} << 8 | info[7];
    const std::uint64_t frameBytes = std::uint64_t{expected.chans} * storedBits(expected.flags) / 8;
    return rate == expected.freq && chans == expected.chans && bits == storedBits(expected.flags) &&
           frames * frameBytes == expected.bytes;
}

} // namespace tunevale
