#include "DiscListing.h"

#include "CdDisc.h"
#include "CueSheet.h"
#include "Engine.h"
#include "FfmpegDecoder.h"
#include "TrackPath.h"

#include <cdio/cdio.h>
// After cdio.h, which declares the types it uses.
#include <cdio/cd_types.h>
#include <sys/stat.h>

namespace tunevale
{

bool isDiscPath(const std::string& path)
{
    if (isCueSheetPath(path))
        return true;
    struct stat status {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISBLK(status.st_mode);
}

bool listDiscTracks(const std::string& disc, const PcmFileOpener& opener, DiscListing& listing, int& errorCode,
                    std::string& message)
{
    listing = DiscListing{};
    if (isCueSheetPath(disc)) {
        const auto image = CueImage::open(disc, opener, errorCode, message);
        if (!image)
            return false;
        listing.toc = image->toc();
        const double rate = static_cast<double>(image->sampleRate());
        for (const CueTrackRange& track : image->tracks())
            if (track.audio)
                listing.tracks.push_back(
                    {formatTrackPath(disc, track.number), static_cast<double>(track.samples()) / rate});
    } else {
        const auto cd = CdDisc::open(disc, errorCode, message);
        if (!cd)
            return false;
        listing.toc = cd->toc();
        const DiscToc& toc = listing.toc;
        for (int number = toc.firstTrack; number <= toc.lastTrack(); ++number)
            if (toc.audio[static_cast<std::size_t>(number - toc.firstTrack)])
                listing.tracks.push_back(
                    {formatTrackPath(disc, number), static_cast<double>(toc.trackFrames(number)) / CdFramesPerSecond});
    }
    if (listing.tracks.empty()) {
        errorCode = EngineCode::NotAudio;
        message = "the disc holds no audio track";
        return false;
    }
    errorCode = EngineCode::Ok;
    return true;
}

PcmFileOpener decodingOpener()
{
    return [](const std::string& path, int& errorCode) -> std::unique_ptr<PcmSource> {
        FormatFamilies all;
        all.set();
        return FfmpegDecoder::open(path, all, errorCode);
    };
}

std::vector<std::string> drivesWithAudioDiscs()
{
    std::vector<std::string> drives;
    char** found = cdio_get_devices_with_cap(nullptr, CDIO_FS_AUDIO, false);
    for (char** drive = found; drive && *drive; ++drive)
        drives.emplace_back(*drive);
    if (found)
        cdio_free_device_list(found);
    return drives;
}

} // namespace tunevale
