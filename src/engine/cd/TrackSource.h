#pragma once

#include "PcmSource.h"

#include <memory>
#include <vector>

namespace tunevale
{

// One track made of consecutive parts (a track of a cue sheet can begin in one file and end in
// the next), delivered as one source with the track's tags.
class TrackSource final : public PcmSource
{
public:
    // nullptr with errorCode EngineCode::Format when the parts differ in format, or there are none.
    static std::unique_ptr<TrackSource> open(std::vector<std::unique_ptr<PcmSource>> parts, SourceTags tags,
                                             int& errorCode);

    ChannelInfo info() const override { return m_parts.front()->info(); }
    std::uint64_t length() const override;
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override;
    bool rewind() override;
    SourceTags tags() override { return m_tags; }
    SourceDamage damage() const override;
    std::string damageDetail() const override;

private:
    TrackSource(std::vector<std::unique_ptr<PcmSource>> parts, SourceTags tags);

    std::vector<std::unique_ptr<PcmSource>> m_parts;
    const SourceTags m_tags;
    std::size_t m_current = 0;
};

} // namespace tunevale
