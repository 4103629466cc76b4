#include "CdDevice.h"

#include "CueImage.h"
#include "Engine.h"
#include "TrackPath.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <mutex>

namespace tunevale
{

namespace
{

// libcdio writes its warnings to stderr; failures reach the user through error codes instead.
void quietLog(cdio_log_level_t, const char*) {}

driver_id_t driverFor(const std::string& drive)
{
    return isCueSheetPath(drive) ? DRIVER_BINCUE : DRIVER_DEVICE;
}

} // namespace

void CdioCloser::operator()(CdIo_t* cdio) const
{
    cdio_destroy(cdio);
}

CdioHandle openCdDevice(const std::string& drive, DiscToc& toc, int& errorCode, std::string& message)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { cdio_log_set_handler(quietLog); });
    if (isCueSheetPath(drive)) {
        const PcmFileOpener decodedFilesRefused = [](const std::string&, int& code) -> std::unique_ptr<PcmSource> {
            code = EngineCode::Format;
            return nullptr;
        };
        if (!CueImage::open(drive, decodedFilesRefused, errorCode, message)) {
            errorCode = EngineCode::CdInit;
            return nullptr;
        }
    }
    CdioHandle cdio(cdio_open(drive.c_str(), driverFor(drive)));
    if (!cdio) {
        errorCode = EngineCode::CdInit;
        message = "\"" + drive + "\" is no CD drive or disc image";
        return nullptr;
    }
    const track_t first = cdio_get_first_track_num(cdio.get());
    const track_t count = cdio_get_num_tracks(cdio.get());
    const lsn_t leadout = cdio_get_track_lsn(cdio.get(), CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || leadout == CDIO_INVALID_LSN) {
        errorCode = EngineCode::NoCd;
        message = "\"" + drive + "\" holds no disc";
        return nullptr;
    }
    toc = DiscToc{};
    toc.firstTrack = first;
    for (track_t track = first; track < first + count; ++track) {
        toc.offsets.push_back(cdio_get_track_lsn(cdio.get(), track));
        toc.audio.push_back(cdio_get_track_format(cdio.get(), track) == TRACK_FORMAT_AUDIO);
    }
    toc.leadout = leadout;
    errorCode = EngineCode::Ok;
    return cdio;
}

} // namespace tunevale
