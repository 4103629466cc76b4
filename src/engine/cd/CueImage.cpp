#include "CueImage.h"

#include "CueFiles.h"
#include "CueText.h"
#include "FileRangeSource.h"
#include "RawCdSource.h"
#include "RegularFile.h"
#include "TrackSource.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace tunevale
{

namespace
{

// No real cue sheet comes near this; a bigger ".cue" is something else.
constexpr std::size_t LargestCueSheet = 1024 * 1024;

std::int64_t regularFileSize(const std::string& path)
{
    struct stat status {
    };
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
}

} // namespace

std::unique_ptr<CueImage> CueImage::open(const std::string& cuePath, const PcmFileOpener& opener, int& errorCode,
                                         std::string& message)
{
    std::string bytes;
    errorCode = readRegularFile(cuePath, LargestCueSheet, bytes);
    if (errorCode != EngineCode::Ok) {
        message = errorCode == EngineCode::FileOpen ? "the cue sheet cannot be read" : "the cue sheet is too large";
        return nullptr;
    }
    std::unique_ptr<CueImage> image(new CueImage);
    image->m_opener = opener;
    std::string error;
    if (!parseCueSheet(cueTextToUtf8(bytes), image->m_sheet, error)) {
        errorCode = EngineCode::Format;
        message = "the cue sheet is damaged: " + error;
        return nullptr;
    }

    const std::filesystem::path folder = std::filesystem::absolute(cuePath).parent_path();
    for (const CueFile& file : image->m_sheet.files) {
        std::filesystem::path found;
        if (findCueFile(folder, file.name, found, message) != CueFileCheck::Found) {
            errorCode = EngineCode::FileOpen;
            return nullptr;
        }
        CueFileLength length;
        if (file.type == CueFileType::Decoded) {
            const auto source = opener(found.string(), errorCode);
            if (!source) {
                message = "\"" + file.name + "\" cannot be decoded";
                return nullptr;
            }
            length.rate = source->info().freq;
            length.samples = static_cast<std::int64_t>(source->length() / source->bytesPerFrame());
        } else {
            length.samples = RawCdSource::fileSamples(static_cast<std::uint64_t>(regularFileSize(found.string())));
        }
        image->m_paths.push_back(found.string());
        image->m_lengths.push_back(length);
    }
    if (!layoutCueTracks(image->m_sheet, image->m_lengths, image->m_tracks, error)) {
        errorCode = EngineCode::Format;
        message = "the cue sheet does not fit its files: " + error;
        return nullptr;
    }
    errorCode = EngineCode::Ok;
    return image;
}

const CueTrackRange* CueImage::track(int number) const
{
    const auto it = std::find_if(m_tracks.begin(), m_tracks.end(),
                                 [number](const CueTrackRange& range) { return range.number == number; });
    return it == m_tracks.end() ? nullptr : &*it;
}

SourceTags CueImage::tags(int number) const
{
    SourceTags tags;
    tags.album = m_sheet.title;
    tags.albumArtist = m_sheet.performer;
    tags.artist = m_sheet.performer;
    tags.composer = m_sheet.songwriter;
    tags.date = m_sheet.date;
    tags.genre = m_sheet.genre;
    tags.comment = m_sheet.comment;
    tags.disc = m_sheet.discNumber;
    tags.discTotal = m_sheet.discTotal;
    tags.track = static_cast<unsigned>(std::max(number, 0));
    tags.trackTotal = static_cast<unsigned>(
        std::count_if(m_sheet.tracks.begin(), m_sheet.tracks.end(), [](const CueTrack& track) { return track.audio; }));
    for (const CueTrack& track : m_sheet.tracks) {
        if (track.number != number)
            continue;
        tags.title = track.title;
        if (!track.performer.empty())
            tags.artist = track.performer;
        if (!track.songwriter.empty())
            tags.composer = track.songwriter;
    }
    return tags;
}

std::unique_ptr<PcmSource> CueImage::openSegment(const TrackSegment& segment, int& errorCode) const
{
    const CueFileType type = m_sheet.files[segment.file].type;
    const std::string& path = m_paths[segment.file];
    if (type != CueFileType::Decoded)
        return RawCdSource::open(path, type == CueFileType::Motorola, segment.begin, segment.end, errorCode);
    auto file = m_opener(path, errorCode);
    if (!file)
        return nullptr;
    // The end of a file is wherever its decoder stops, which can differ from an estimated length.
    const bool toEnd = segment.end >= m_lengths[segment.file].samples;
    return FileRangeSource::open(std::move(file), segment.begin, toEnd ? -1 : segment.end, errorCode);
}

std::unique_ptr<PcmSource> CueImage::openTrack(int number, int& errorCode) const
{
    const CueTrackRange* range = track(number);
    if (!range) {
        errorCode = EngineCode::CdTrack;
        return nullptr;
    }
    if (!range->audio) {
        errorCode = EngineCode::NotAudio;
        return nullptr;
    }
    std::vector<std::unique_ptr<PcmSource>> parts;
    for (const TrackSegment& segment : range->segments) {
        auto part = openSegment(segment, errorCode);
        if (!part)
            return nullptr;
        parts.push_back(std::move(part));
    }
    return TrackSource::open(std::move(parts), tags(number), errorCode);
}

} // namespace tunevale
