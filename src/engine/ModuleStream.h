#pragma once

#include "PcmSource.h"

#include <memory>
#include <string>

typedef struct openmpt_module openmpt_module;

namespace tunevale
{

// A tracker module (MOD, XM, IT, S3M, MO3 ...) rendered by libopenmpt as 16-bit stereo.
class ModuleStream final : public PcmSource
{
public:
    // rate: the output sample rate. nullptr with errorCode set on failure.
    static std::unique_ptr<ModuleStream> open(const std::string& path, std::uint32_t rate, int& errorCode);
    ~ModuleStream() override;
    ModuleStream(const ModuleStream&) = delete;
    ModuleStream& operator=(const ModuleStream&) = delete;

    ChannelInfo info() const override { return ChannelInfo{m_rate, 2, 0, 16}; }
    std::uint64_t length() const override { return m_totalFrames * 4; }
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override { return m_ended; }
    bool rewind() override;
    SourceTags tags() override;

private:
    ModuleStream() = default;
    // Renders the next block ahead, so that the end is known as soon as it is reached.
    void renderAhead();

    openmpt_module* m_module = nullptr;
    std::uint32_t m_rate = 44100;
    std::uint64_t m_totalFrames = 0;
    std::uint64_t m_deliveredFrames = 0;
    std::int16_t m_ahead[2 * 1024];
    std::size_t m_aheadFrames = 0;
    std::size_t m_aheadOffset = 0;
    bool m_ended = false;
};

} // namespace tunevale
