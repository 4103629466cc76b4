#pragma once

#include "Shell.h"

#include <QObject>

namespace tunevale
{

// Opens files and web addresses with the desktop's default programs through xdg-open, and watches
// xdg-open's exit status so that a failure it reports (no program for that type) reaches the
// caller. Where xdg-open is missing, Qt's own desktop services open them, unwatched. An opener
// still running when this object goes keeps running, no longer watched. Event loop's thread.
class DesktopShell : public QObject, public Shell
{
public:
    using Shell::open;
    bool open(const std::string& pathOrUrl, std::function<void()> failed) override;
};

} // namespace tunevale
