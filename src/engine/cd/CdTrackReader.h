#pragma once

#include "AccurateRipChecksum.h"
#include "CdDevice.h"
#include "PcmSource.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace tunevale
{

// Reads one audio track of a disc securely with libcdio-paranoia: every sector verified against
// overlapping re-reads, jitter and dropped or duplicated bytes repaired, and a sector that still
// fails after the retries named in unreadableSectors(). The drive's read offset (in samples, as
// AccurateRip lists it per drive model) is corrected: sample i of the track is read from disc
// position i + offset, and positions before the disc's start or after its lead-out read as
// silence. The AccurateRip checksums are computed on the way.
class CdTrackReader final : public PcmSource
{
public:
    // nullptr with errorCode: as openCdDevice, or EngineCode::CdTrack for a number the disc does
    // not have, EngineCode::NotAudio for a data track.
    static std::unique_ptr<CdTrackReader> open(const std::string& drive, int number, int readOffset, int& errorCode,
                                               std::string& message);
    ~CdTrackReader() override;
    CdTrackReader(const CdTrackReader&) = delete;
    CdTrackReader& operator=(const CdTrackReader&) = delete;

    ChannelInfo info() const override { return ChannelInfo{44100, 2, 0, 16}; }
    std::uint64_t length() const override { return static_cast<std::uint64_t>(m_end - m_begin) * 4; }
    std::size_t read(std::uint8_t* out, std::size_t size) override;
    bool finished() const override { return m_next >= m_end; }
    bool rewind() override;
    SourceTags tags() override { return m_tags; }
    // True when a sector could not be read without errors: what was delivered is not the disc's.
    SourceDamage damage() const override
    {
        return finished() && !m_unreadable.empty() ? SourceDamage::Unreadable : SourceDamage::None;
    }
    // "unreadable sectors 1200-1203, 5000" (logical sector numbers); empty when every sector was read.
    std::string damageDetail() const override;

    // The disc sectors (logical sector numbers) that failed, in reading order.
    const std::vector<std::int32_t>& unreadableSectors() const { return m_unreadable; }
    // Valid once the whole track has been read from the start without a rewind in between.
    std::uint32_t accurateRipV1() const { return m_checksum.v1(); }
    std::uint32_t accurateRipV2() const { return m_checksum.v2(); }

    // Called by paranoia's callback on the reading thread.
    void noteEvent(long position, int mode);

private:
    CdTrackReader() = default;
    // Makes m_sector hold disc sector number; false when paranoia gave up on the drive.
    bool fetch(std::int32_t sector);
    void noteUnreadable(std::int32_t sector);

    CdioHandle m_cdio;
    cdrom_drive_t* m_drive = nullptr;
    cdrom_paranoia_t* m_paranoia = nullptr;
    SourceTags m_tags;
    std::int64_t m_begin = 0; // disc sample positions of the track, offset included
    std::int64_t m_end = 0;
    std::int64_t m_next = 0;
    std::int64_t m_discSamples = 0;   // readable positions: [0, lead-out)
    std::int32_t m_held = -1;         // the sector in m_sector
    std::int32_t m_paranoiaNext = -1; // the sector paranoia reads next without seeking
    std::array<std::uint8_t, 2352> m_sector{};
    std::vector<std::int32_t> m_unreadable;
    AccurateRipChecksum m_checksum{false, false, 0};
    bool m_firstTrack = false;
    bool m_lastTrack = false;
};

} // namespace tunevale
