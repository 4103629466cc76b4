#pragma once

#include "CueLayout.h"
#include "CueSheet.h"
#include "DiscToc.h"
#include "PcmSource.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tunevale
{

// Opens an audio file through the engine's decoder; nullptr with an EngineCode on failure.
using PcmFileOpener = std::function<std::unique_ptr<PcmSource>(const std::string& path, int& errorCode)>;

// An album image: a cue sheet and the files it names, split into tracks.
class CueImage
{
public:
    // Reads the sheet and measures its files. nullptr with errorCode and a message naming the
    // cause: EngineCode::FileOpen when the sheet or a file it names is missing, unreadable or
    // refused (a device, a FIFO, a file outside the sheet's folder); EngineCode::Format when the
    // sheet is damaged or a file is no audio the decoder reads.
    static std::unique_ptr<CueImage> open(const std::string& cuePath, const PcmFileOpener& opener, int& errorCode,
                                          std::string& message);

    const CueSheet& sheet() const { return m_sheet; }
    // Track 0 first when the image has hidden audio before track 1; data tracks included.
    const std::vector<CueTrackRange>& tracks() const { return m_tracks; }
    const CueTrackRange* track(int number) const;
    DiscToc toc() const { return cueSheetToc(m_sheet, m_lengths); }
    std::int64_t sampleRate() const { return m_lengths.front().rate; }
    // The sheet's text for one track: its title, performer and songwriter, falling back on the
    // disc's, with the album, date, genre and numbers.
    SourceTags tags(int number) const;

    // A source of the track's PCM with its tags. nullptr with errorCode set: EngineCode::CdTrack
    // when the sheet has no such track, EngineCode::NotAudio for a data track, else the decoder's.
    std::unique_ptr<PcmSource> openTrack(int number, int& errorCode) const;

private:
    CueImage() = default;
    std::unique_ptr<PcmSource> openSegment(const TrackSegment& segment, int& errorCode) const;

    CueSheet m_sheet;
    PcmFileOpener m_opener;
    std::vector<std::string> m_paths; // each file's resolved path
    std::vector<CueFileLength> m_lengths;
    std::vector<CueTrackRange> m_tracks;
};

} // namespace tunevale
