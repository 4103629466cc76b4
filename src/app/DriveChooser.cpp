#include "DriveChooser.h"

#include <QInputDialog>
#include <QStringList>

namespace tunevale
{

std::optional<std::string> chooseDrive(QWidget* parent, const std::vector<std::string>& drives)
{
    QStringList items;
    for (const std::string& drive : drives)
        items << QString::fromStdString(drive);
    bool chosen = false;
    const QString drive = QInputDialog::getItem(parent, QStringLiteral("Add CD"),
                                                QStringLiteral("Drives with an audio CD:"), items, 0, false, &chosen);
    if (!chosen)
        return std::nullopt;
    return drive.toStdString();
}

} // namespace tunevale
