#include "CdTrackOpener.h"

#include "CdTrackReader.h"
#include "Engine.h"

namespace tunevale
{

namespace
{

std::string trackName(int number)
{
    return number == 0 ? "the audio before track 1" : "track " + std::to_string(number);
}

std::unique_ptr<PcmSource> openCueTrack(const TrackPath& track, const PcmFileOpener& opener, int& errorCode,
                                        std::string& message)
{
    const std::unique_ptr<CueImage> image = CueImage::open(track.disc, opener, errorCode, message);
    if (!image)
        return nullptr;
    auto source = image->openTrack(track.number, errorCode);
    if (!source) {
        if (errorCode == EngineCode::CdTrack)
            message = "the cue sheet has no " + trackName(track.number);
        else if (errorCode == EngineCode::NotAudio)
            message = trackName(track.number) + " holds data";
    }
    return source;
}

} // namespace

std::unique_ptr<PcmSource> openCdTrack(const TrackPath& track, const PcmFileOpener& opener, int readOffset,
                                       int& errorCode, std::string& message)
{
    if (isCueSheetPath(track.disc))
        return openCueTrack(track, opener, errorCode, message);
    return CdTrackReader::open(track.disc, track.number, readOffset, errorCode, message);
}

} // namespace tunevale
