#pragma once

#include "OutputVerifier.h"
#include "PcmDigest.h"

#include <cstdint>
#include <thread>
#include <vector>

namespace tunevale
{

class WrittenExtent;

// Verifies a FLAC file while it is being written: a thread of its own decodes the file behind fd
// with libFLAC (a decoder apart from the one that encodes), reading only what extent says is
// written, and digests the PCM as the encoder's digest has it. On a second core the check thus
// costs little more than the end of the file; on a busy machine it costs its decoding, no more.
class FlacReadBack
{
public:
    // format gives the rate, channels and sample flags the stream must have (16 or 24 bits).
    FlacReadBack(int fd, WrittenExtent& extent, const EncodedPcm& format);
    // Gives up the decoding unless result() ended it.
    ~FlacReadBack();
    FlacReadBack(const FlacReadBack&) = delete;
    FlacReadBack& operator=(const FlacReadBack&) = delete;

    // Once the writer finished the file: waits for the decoding, then checks it and the stream
    // header as it ends on disk against expected. EngineCode::Ok or VerifyFailed.
    int result(const EncodedPcm& expected);

    // For libFLAC's callbacks.
    bool read(std::uint8_t* buffer, std::size_t& size, bool& ended);
    bool take(const std::int32_t* const* channels, std::uint32_t frames, std::uint32_t chans, std::uint32_t bits,
              std::uint32_t rate);
    void fail() { m_failed = true; }

private:
    void run();
    bool headerMatches(const EncodedPcm& expected);

    int m_fd;
    WrittenExtent& m_extent;
    EncodedPcm m_format;
    std::uint64_t m_offset = 0;
    PcmDigest m_digest;
    std::vector<std::uint8_t> m_bytes;
    bool m_failed = false;
    bool m_ended = false; // the decoder reached the end of the stream
    std::thread m_thread;
};

} // namespace tunevale
