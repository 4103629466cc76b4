#include "DriveChooser.h"

#include "CdSettings.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>
#include <cstdlib>

namespace tunevale
{

std::optional<std::string> chooseDrive(QWidget* parent, const std::vector<std::string>& drives, int& readOffset)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmAddCd"));
    dialog.setWindowTitle(QStringLiteral("Add CD"));
    auto* cmbDrive = new QComboBox(&dialog);
    cmbDrive->setObjectName(QStringLiteral("cmbDrive"));
    for (const std::string& drive : drives)
        cmbDrive->addItem(QString::fromStdString(drive));
    auto* txtReadOffset = new QSpinBox(&dialog);
    txtReadOffset->setObjectName(QStringLiteral("txtReadOffset"));
    // A stored offset beyond the drives AccurateRip lists still shows as it is, not cut short.
    const int limit = std::max(DriveReadOffsetLimit, std::abs(readOffset));
    txtReadOffset->setRange(-limit, limit);
    txtReadOffset->setValue(readOffset);
    txtReadOffset->setSuffix(QStringLiteral(" samples"));
    txtReadOffset->setToolTip(QStringLiteral("The drive's read offset as AccurateRip lists it for the drive model; "
                                             "used for the tracks read from now on"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QFormLayout(&dialog);
    layout->addRow(QStringLiteral("Drive with an audio CD:"), cmbDrive);
    layout->addRow(QStringLiteral("Read offset:"), txtReadOffset);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    readOffset = txtReadOffset->value();
    return cmbDrive->currentText().toStdString();
}

} // namespace tunevale
