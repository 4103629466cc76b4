#pragma once

#include "PcmSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tunevale
{

// Sample frames [begin, end) of a raw CD audio file (a cue sheet's BINARY or MOTOROLA file):
// 44.1 kHz 16-bit stereo, little-endian, or big-endian and swapped on reading.
class RawCdSource final : public PcmSource
{
public:
    // end -1 reads to the end of the file. nullptr with errorCode set (EngineCode::FileOpen) when
    // path is not a readable regular file.
    static std::unique_ptr<RawCdSource> open(const std::string& path, bool bigEndian, std::int64_t begin,
                                             std::int64_t end, int& errorCode);
    ~RawCdSource() override;
    RawCdSource(const RawCdSource&) = delete;
    RawCdSource& operator=(const RawCdSource&) = delete;

    // The sample frames a raw CD audio file holds.
    static std::int64_t fileSamples(std::uint64_t fileBytes) { return static_cast<std::int64_t>(fileBytes / 4); }

    ChannelInfo info() const override { return ChannelInfo{44100, 2, 0, 16}; }
    std::uint64_t length() const override { return static_cast<std::uint64_t>(m_end - m_begin) * 4; }
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override { return m_position >= m_end || m_failed; }
    bool rewind() override;
    bool seekFrame(std::uint64_t frame) override;
    SourceDamage damage() const override { return m_failed ? SourceDamage::EndedEarly : SourceDamage::None; }

private:
    RawCdSource(int fd, bool bigEndian, std::int64_t begin, std::int64_t end);

    const int m_fd;
    const bool m_bigEndian;
    const std::int64_t m_begin;
    const std::int64_t m_end;
    std::int64_t m_position; // the next sample frame of the file
    bool m_failed = false;   // a read failed or the file shrank
};

} // namespace tunevale
