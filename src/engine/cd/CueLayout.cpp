#include "CueLayout.h"

namespace tunevale
{

namespace
{

struct Point {
    std::size_t file = 0;
    std::int64_t sample = 0;
};

std::int64_t samplesAt(std::int64_t frame, const CueFileLength& file)
{
    return frame * file.rate / CdFramesPerSecond;
}

// Whole CD frames that a file's samples fill (a last partial frame counts).
std::int64_t framesOf(const CueFileLength& file)
{
    return (file.samples * CdFramesPerSecond + file.rate - 1) / file.rate;
}

// The segments from one point up to another, across whole files in between; empty parts left out.
std::vector<TrackSegment> between(Point from, Point to, const std::vector<CueFileLength>& files)
{
    std::vector<TrackSegment> segments;
    for (std::size_t file = from.file; file <= to.file && file < files.size(); ++file) {
        const std::int64_t begin = file == from.file ? from.sample : 0;
        const std::int64_t end = file == to.file ? to.sample : files[file].samples;
        if (end > begin)
            segments.push_back(TrackSegment{file, begin, end});
    }
    return segments;
}

bool mixesSectorSizes(const CueSheet& sheet, std::size_t file)
{
    bool audio = false;
    bool otherSize = false;
    for (const CueTrack& track : sheet.tracks) {
        if (track.start().file != file)
            continue;
        audio = audio || track.audio;
        otherSize = otherSize || track.sectorSize != CdBytesPerFrame;
    }
    return audio && otherSize;
}

} // namespace

std::int64_t CueTrackRange::samples() const
{
    std::int64_t total = 0;
    for (const TrackSegment& segment : segments)
        total += segment.end - segment.begin;
    return total;
}

bool layoutCueTracks(const CueSheet& sheet, const std::vector<CueFileLength>& files, std::vector<CueTrackRange>& tracks,
                     std::string& error)
{
    tracks.clear();
    if (files.size() != sheet.files.size() || sheet.tracks.empty()) {
        error = "the sheet's files are not all known";
        return false;
    }
    std::vector<Point> starts;
    for (const CueTrack& track : sheet.tracks) {
        const CueIndex& start = track.start();
        const Point point{start.file, samplesAt(start.frame, files[start.file])};
        if (point.sample > files[start.file].samples) {
            error = "track " + std::to_string(track.number) + " starts after the end of \"" +
                    sheet.files[start.file].name + "\"";
            return false;
        }
        starts.push_back(point);
    }
    for (std::size_t file = 0; file < sheet.files.size(); ++file)
        if (sheet.files[file].type != CueFileType::Decoded && mixesSectorSizes(sheet, file)) {
            error = "\"" + sheet.files[file].name + "\" mixes audio with data sectors of another size";
            return false;
        }

    const Point end{files.size() - 1, files.back().samples};
    std::vector<TrackSegment> hidden = between(Point{}, starts.front(), files);
    CueTrackRange hiddenTrack{0, true, hidden};
    const bool hiddenIsTrack = hiddenTrack.samples() > files.front().rate;
    if (hiddenIsTrack)
        tracks.push_back(std::move(hiddenTrack));
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const Point from = i == 0 && !hiddenIsTrack ? Point{} : starts[i];
        const Point to = i + 1 < starts.size() ? starts[i + 1] : end;
        tracks.push_back(CueTrackRange{sheet.tracks[i].number, sheet.tracks[i].audio, between(from, to, files)});
        if (tracks.back().segments.empty()) {
            error = "track " + std::to_string(sheet.tracks[i].number) + " holds no audio";
            return false;
        }
    }
    return true;
}

DiscToc cueSheetToc(const CueSheet& sheet, const std::vector<CueFileLength>& files)
{
    std::vector<std::int64_t> fileBase(files.size() + 1, 0);
    for (std::size_t i = 0; i < files.size(); ++i)
        fileBase[i + 1] = fileBase[i] + framesOf(files[i]);
    DiscToc toc;
    toc.firstTrack = sheet.tracks.empty() ? 1 : sheet.tracks.front().number;
    std::int64_t gaps = 0;
    for (const CueTrack& track : sheet.tracks) {
        gaps += track.pregapFrames;
        const CueIndex& start = track.start();
        toc.offsets.push_back(static_cast<std::int32_t>(fileBase[start.file] + start.frame + gaps));
        toc.audio.push_back(track.audio);
        gaps += track.postgapFrames;
    }
    toc.leadout = static_cast<std::int32_t>(fileBase.back() + gaps);
    return toc;
}

} // namespace tunevale
