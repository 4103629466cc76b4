#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunevale
{

// Writes Windows Media Audio files: FFmpeg's wmav2 encoder in an ASF file.
//
// wmav2 takes at most 48 kHz and two channels; a source above 48 kHz is resampled (to 44.1 kHz
// for multiples of 44.1 kHz, otherwise 48 kHz) and one of more channels is mixed down to stereo
// inside the encoder, so every source rate and channel count has a bitrate list.
//
// Error codes (EngineCode): IllegalParam (20) for a bitrate not in the list (or no rate or
// channels), Create (33) for an output file that cannot be created or written, NotAvailable (37)
// when FFmpeg lacks the encoder or the muxer or for a tag given after the tag list was closed,
// Unknown (-1) for a failure inside the encoder.
class WmaEncoder
{
public:
    // The bitrates in bit/s that open() accepts for a source format, highest first and ended by a 0
    // entry; empty when there is none.
    static std::vector<std::uint32_t> rates(std::uint32_t freq, std::uint32_t chans);
    // Creates (or replaces) the file at path; nullptr with errorCode set on failure. With
    // StreamFlag::Sample8Bits in flags the PCM written is unsigned 8-bit instead of signed 16-bit.
    static std::unique_ptr<WmaEncoder> open(std::uint32_t freq, std::uint32_t chans, std::uint32_t bitrate,
                                            const std::string& path, int& errorCode, std::uint32_t flags = 0);
    ~WmaEncoder(); // closes the file when close() has not been called
    WmaEncoder(const WmaEncoder&) = delete;
    WmaEncoder& operator=(const WmaEncoder&) = delete;

    // Adds a Windows Media tag ("Title", "Author", "WM/AlbumTitle", ...), stored under that name;
    // an empty name closes the tag list. Tags must come before the first write.
    bool setTag(const std::string& name, const std::string& value, int& errorCode);
    // Encodes interleaved PCM of the rate, channel count and sample size given at open. The encoding
    // runs on a thread of its own, so a failure shows at a later write or at close().
    bool write(const void* pcm, std::size_t size, int& errorCode);
    // Encodes what is left and finishes the file (duration and index in its header).
    bool close(int& errorCode);

private:
    struct State;
    explicit WmaEncoder(std::unique_ptr<State> state);
    bool writeHeader(int& errorCode);
    void runWorker();
    bool stopWorker(int& errorCode);
    bool encodePcm(const std::uint8_t* bytes, std::size_t size, int& errorCode);
    bool encodeBuffered(bool flush, int& errorCode);
    bool encodeFrame(bool last, int& errorCode);

    std::unique_ptr<State> m_state;
};

} // namespace tunevale
