#pragma once

#include "DiscToc.h"

#include <memory>
#include <string>

typedef struct _CdIo CdIo_t;

namespace tunevale
{

struct CdioCloser {
    void operator()(CdIo_t* cdio) const;
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

// Opens a drive ("/dev/sr0") or a disc image read as a drive would be (a .cue with its BINARY
// files through libcdio's image driver; the sheet is checked first, so that it cannot make the
// driver read a device or a file outside its folder), and reads its table of contents. nullptr
// with errorCode: EngineCode::CdInit when there is no such drive or image, EngineCode::NoCd when
// the drive holds no disc (or its tray is open), with a message for the log.
CdioHandle openCdDevice(const std::string& drive, DiscToc& toc, int& errorCode, std::string& message);

} // namespace tunevale
