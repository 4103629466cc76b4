#pragma once

#include "DecodeOptions.h"
#include "FileInput.h"
#include "FormatFamily.h"
#include "PcmSource.h"
#include "TriangularDither.h"

#include <memory>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace tunevale
{

// Decodes the best audio stream of a file (audio or video) with libavformat/libavcodec into
// interleaved PCM at the source's rate and channel count: unsigned 8-bit for 8-bit sources,
// otherwise signed 16-bit (bit-exact for 16-bit sources, triangular dither for lossless sources
// of higher resolution). Opened at the source's resolution, a lossless source is delivered as it
// stands instead (see StreamFlag::SourceResolution). Holds one decoded frame at a time, so memory
// does not grow with length. Lossless sources are decoded strictly: a frame that fails its checksum
// or does not decode, or a gap in their sample count, makes them Corrupt; lossy ones may lose a
// little audio (see damage()).
class FfmpegDecoder final : public PcmSource
{
public:
    // Opens path; nullptr with errorCode set (an EngineCode) on failure. Files whose codec belongs
    // to a family not in enabled fail with EngineCode::Format, and so do tracker modules (they
    // open through the module player instead).
    static std::unique_ptr<FfmpegDecoder> open(const std::string& path, const FormatFamilies& enabled, int& errorCode,
                                               DecodeOptions options = {});
    // The same over an input already open; name only lends its extension to probing.
    static std::unique_ptr<FfmpegDecoder> open(std::unique_ptr<FileInput> input, const std::string& name,
                                               const FormatFamilies& enabled, int& errorCode, DecodeOptions options);
    ~FfmpegDecoder() override;
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    ChannelInfo info() const override { return m_info; }
    std::uint64_t length() const override { return m_length; }
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override { return !m_frameReady || (m_frameLimit >= 0 && m_deliveredFrames >= m_frameLimit); }
    bool rewind() override;
    // Exact for formats whose timestamps count samples (FLAC, WAV, AIFF, ...); false for others.
    bool seekFrame(std::uint64_t frame) override;
    SourceTags tags() override;
    SourceDamage damage() const override;

private:
    FfmpegDecoder() = default;
    int openFile(const std::string& path, const FormatFamilies& enabled, DecodeOptions options);
    // Counts the sample frames by decoding the whole stream, then starts again; false when it
    // cannot start again.
    bool countFrames();
    void noteFailure();
    // Makes m_frame hold undelivered samples; false at the end of the stream.
    bool fetchFrame();
    void convert(std::uint8_t* out, int offset, int frames);
    // Records how far into the stream the frame in m_frame ends, by its timestamp.
    void noteFrameEnd();

    std::unique_ptr<FileInput> m_input; // outlives m_format, which reads through it
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_streamIndex = -1;
    int m_frameOffset = 0; // sample frames of m_frame already delivered
    std::int64_t m_deliveredFrames = 0;
    std::int64_t m_frameLimit = -1; // where the container says the audio ends, -1 when it does not
    bool m_frameReady = false;
    bool m_draining = false;
    bool m_failedSinceFrame = false; // a packet failed to read or decode after the last good frame
    int m_failures = 0;              // packets that failed to read or decode
    bool m_lossless = false;
    bool m_timestampsCountSamples = false; // the demuxer's timestamps are sample positions, so gaps show
    bool m_gap = false;                    // a lossless frame started after where the one before ended
    bool m_lengthStated = false;           // the file states its sample count rather than it being estimated
    bool m_exactSeek = false;              // the demuxer seeks and stamps packets to the sample
    std::int64_t m_statedFrames = 0;
    std::int64_t m_reachedFrames = 0; // where the latest decoded frame ends, by its timestamp
    bool m_dither = false;
    bool m_native = false; // delivered at the source's resolution
    TriangularDither m_noise;
    ChannelInfo m_info;
    std::uint64_t m_length = 0;
    std::uint32_t m_frameBytes = 0;
};

} // namespace tunevale
