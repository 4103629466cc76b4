#include "CdTrackReader.h"

#include "CdDisc.h"
#include "CueSheet.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cstring>

namespace tunevale
{

namespace
{

// Re-reads of a failing sector before paranoia gives it up.
constexpr int SecureRetries = 20;
constexpr long WordsPerSector = CdBytesPerFrame / 2;

// paranoia's callback has no argument of its own: the reader reading on this thread.
thread_local CdTrackReader* t_reading = nullptr;

void paranoiaEvent(long position, paranoia_cb_mode_t mode)
{
    if (t_reading)
        t_reading->noteEvent(position, mode);
}

} // namespace

std::unique_ptr<CdTrackReader> CdTrackReader::open(const std::string& drive, int number, int readOffset, int& errorCode,
                                                   std::string& message)
{
    std::unique_ptr<CdDisc> disc = CdDisc::open(drive, errorCode, message);
    if (!disc)
        return nullptr;
    const DiscToc& toc = disc->toc();
    if (!toc.hasTrack(number)) {
        errorCode = EngineCode::CdTrack;
        message = "the disc has no track " + std::to_string(number);
        return nullptr;
    }
    if (!toc.audio[static_cast<std::size_t>(number - toc.firstTrack)]) {
        errorCode = EngineCode::NotAudio;
        message = "track " + std::to_string(number) + " holds data";
        return nullptr;
    }
    std::unique_ptr<CdTrackReader> reader(new CdTrackReader);
    reader->m_tags = disc->tags(number);
    DiscToc ownToc;
    reader->m_cdio = openCdDevice(drive, ownToc, errorCode, message);
    if (!reader->m_cdio)
        return nullptr;
    reader->m_drive = cdio_cddap_identify_cdio(reader->m_cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!reader->m_drive || cdio_cddap_open(reader->m_drive) != 0) {
        errorCode = EngineCode::CdInit;
        message = "\"" + drive + "\" cannot read audio";
        return nullptr;
    }
    // MMC drives deliver audio little-endian; paranoia's guess from the first sectors' content can
    // take loud or noisy audio for big-endian and swap every sample.
    reader->m_drive->bigendianp = 0;
    reader->m_paranoia = cdio_paranoia_init(reader->m_drive);
    if (!reader->m_paranoia) {
        errorCode = EngineCode::Mem;
        return nullptr;
    }
    cdio_paranoia_modeset(reader->m_paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);

    const std::int64_t start = toc.offsets[static_cast<std::size_t>(number - toc.firstTrack)];
    reader->m_begin = start * CdSamplesPerFrame + readOffset;
    reader->m_end = reader->m_begin + std::int64_t(toc.trackFrames(number)) * CdSamplesPerFrame;
    reader->m_discSamples = std::int64_t(toc.leadout) * CdSamplesPerFrame;
    reader->m_firstTrack = number == toc.firstTrack;
    reader->m_lastTrack =
        number == toc.lastTrack() || !toc.audio[static_cast<std::size_t>(number - toc.firstTrack + 1)];
    reader->rewind();
    errorCode = EngineCode::Ok;
    return reader;
}

CdTrackReader::~CdTrackReader()
{
    if (m_paranoia)
        cdio_paranoia_free(m_paranoia);
    if (m_drive)
        cdio_cddap_close_no_free_cdio(m_drive);
}

bool CdTrackReader::rewind()
{
    m_next = m_begin;
    m_unreadable.clear();
    m_checksum = AccurateRipChecksum(m_firstTrack, m_lastTrack, m_end - m_begin);
    return true;
}

std::string CdTrackReader::damageDetail() const
{
    if (m_unreadable.empty())
        return {};
    std::string text = "unreadable sectors ";
    for (std::size_t first = 0; first < m_unreadable.size();) {
        std::size_t last = first;
        while (last + 1 < m_unreadable.size() && m_unreadable[last + 1] == m_unreadable[last] + 1)
            ++last;
        if (first > 0)
            text += ", ";
        text += std::to_string(m_unreadable[first]);
        if (last > first)
            text += "-" + std::to_string(m_unreadable[last]);
        first = last + 1;
    }
    return text;
}

void CdTrackReader::noteUnreadable(std::int32_t sector)
{
    if (m_unreadable.empty() || m_unreadable.back() != sector)
        m_unreadable.push_back(sector);
}

void CdTrackReader::noteEvent(long position, int mode)
{
    if (mode == PARANOIA_CB_SKIP)
        noteUnreadable(static_cast<std::int32_t>(position / WordsPerSector));
}

bool CdTrackReader::fetch(std::int32_t sector)
{
    if (sector != m_paranoiaNext)
        cdio_paranoia_seek(m_paranoia, sector, SEEK_SET);
    t_reading = this;
    const std::int16_t* samples = cdio_paranoia_read_limited(m_paranoia, paranoiaEvent, SecureRetries);
    t_reading = nullptr;
    m_paranoiaNext = sector + 1;
    m_held = sector;
    if (!samples) {
        noteUnreadable(sector);
        m_sector.fill(0);
        return false;
    }
    std::memcpy(m_sector.data(), samples, m_sector.size());
    return true;
}

std::size_t CdTrackReader::read(std::uint8_t* out, std::size_t size)
{
    std::size_t written = 0;
    while (m_next < m_end && size - written >= 4) {
        const std::int64_t wanted = static_cast<std::int64_t>((size - written) / 4);
        std::size_t frames = 0;
        if (m_next < 0 || m_next >= m_discSamples) {
            // Before the disc's first sector or past its lead-out: what a drive cannot read is silence.
            const std::int64_t edge = m_next < 0 ? std::min<std::int64_t>(0, m_end) : m_end;
            frames = static_cast<std::size_t>(std::min(wanted, edge - m_next));
            std::memset(out + written, 0, frames * 4);
        } else {
            const auto sector = static_cast<std::int32_t>(m_next / CdSamplesPerFrame);
            if (sector != m_held)
                fetch(sector);
            const std::int64_t within = m_next - std::int64_t(sector) * CdSamplesPerFrame;
            const std::int64_t stop = std::min({m_end, m_discSamples, (std::int64_t(sector) + 1) * CdSamplesPerFrame});
            frames = static_cast<std::size_t>(std::min(wanted, stop - m_next));
            std::memcpy(out + written, m_sector.data() + within * 4, frames * 4);
        }
        m_checksum.add(out + written, frames * 4);
        written += frames * 4;
        m_next += static_cast<std::int64_t>(frames);
    }
    return written;
}

} // namespace tunevale
