#include "DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tunevale
{

bool DesktopShell::open(const std::string& pathOrUrl)
{
    const QString text = QString::fromStdString(pathOrUrl);
    if (text.isEmpty())
        return false;
    if (!text.startsWith(QLatin1Char('/'))) {
        const QUrl url(text, QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty())
            return QDesktopServices::openUrl(url);
        return false;
    }
    // A missing file would only make the desktop's opener show an error of its own.
    if (!QFileInfo::exists(text))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(text));
}

} // namespace tunevale
