#pragma once

#include "PcmSource.h"

#include <cstdint>
#include <memory>

namespace tunevale
{

// The sample frames [begin, end) of a decoded file, as a source of its own. The file seeks to
// begin where its decoder does so to the sample, else it is decoded from the start and the
// samples before begin are dropped; either way the range is exact.
class FileRangeSource final : public PcmSource
{
public:
    // end -1 runs to the end of the file, however long its decoder's estimate said it was.
    // nullptr with errorCode set when file cannot reach begin (EngineCode::Position).
    static std::unique_ptr<FileRangeSource> open(std::unique_ptr<PcmSource> file, std::int64_t begin, std::int64_t end,
                                                 int& errorCode);

    ChannelInfo info() const override { return m_file->info(); }
    std::uint64_t length() const override;
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override;
    bool rewind() override;
    bool seekFrame(std::uint64_t frame) override;
    SourceTags tags() override { return {}; }
    // Also true when the file ended before the range did: the sheet promised more than it holds.
    SourceDamage damage() const override;
    std::string damageDetail() const override { return m_file->damageDetail(); }

private:
    FileRangeSource(std::unique_ptr<PcmSource> file, std::int64_t begin, std::int64_t end);
    // Positions the file at begin + frame.
    bool position(std::int64_t frame);

    std::unique_ptr<PcmSource> m_file;
    const std::int64_t m_begin;
    const std::int64_t m_end;
    const bool m_toFileEnd;
    std::int64_t m_delivered = 0; // frames of the range delivered
};

} // namespace tunevale
