#pragma once

#include "EncoderProcess.h"
#include "PcmSource.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace tunevale
{

// One open stream or module of the engine: its PCM source, flags, play state and delivered-byte
// position. Thread-safe: the caller's thread and the output's mixing thread both use it.
class EngineChannel
{
public:
    EngineChannel(std::unique_ptr<PcmSource> source, std::uint32_t flags);

    const ChannelInfo& info() const { return m_info; }
    std::uint64_t length() const { return m_length; }
    std::uint32_t bytesPerFrame() const { return m_bytesPerFrame; }
    bool decodeOnly() const { return m_flags & StreamFlag::DecodeOnly; }
    SourceTags tags();

    std::uint64_t position();
    // A ChannelState. A decode-only channel is Playing until its last byte has been pulled.
    std::uint32_t isActive();

    // Decode-only channels: the next bytes of PCM, never looping; they also go to the attached
    // encoder. -1 with errorCode set when the encoder fails, and with EngineCode::Truncated,
    // EngineCode::Corrupt or EngineCode::CdReadError once a damaged source has ended (every later
    // pull fails the same way).
    std::int64_t pull(std::uint8_t* out, std::size_t size, int& errorCode);
    // Where a damaged source's damage lies (the unreadable sectors of a CD track); empty when unknown.
    std::string damageDetail();
    // The gain applied to what pull() delivers from now on.
    void setGainDb(double gainDb);

    // The encoder that receives every pulled byte; at most one at a time.
    bool hasEncoder();
    // Takes the encoder when the channel has none; otherwise leaves it with the caller, false.
    bool attachEncoder(std::unique_ptr<EncoderProcess>& encoder);
    std::unique_ptr<EncoderProcess> detachEncoder();
    // Playing channels, for the mixer: the next bytes, starting again at the end when looping;
    // 0 when paused, stopped or at the end.
    std::size_t pullForOutput(std::uint8_t* out, std::size_t size);
    // Called by the mixer once everything pulled has been heard.
    void markEnded();

    // Starts or resumes playing; an ended channel (or restart) starts again from the beginning.
    void play(bool restart);
    // False with EngineCode::NotPlaying when the channel is not playing.
    bool pause(int& errorCode);
    void stop();
    bool paused();

private:
    std::mutex m_mutex;
    std::unique_ptr<PcmSource> m_source;
    std::unique_ptr<EncoderProcess> m_encoder;
    const std::uint32_t m_flags;
    const ChannelInfo m_info;
    const std::uint64_t m_length;
    const std::uint32_t m_bytesPerFrame;
    std::uint64_t m_position = 0;
    double m_gain = 1.0; // linear
    std::uint32_t m_state = ChannelState::Stopped;
    bool m_ended = false;
    bool m_damageReported = false;
};

} // namespace tunevale
