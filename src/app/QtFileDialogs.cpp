#include "QtFileDialogs.h"

#include "SelectionText.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace tunevale
{

namespace
{

QString caseFreePattern(const std::string& pattern)
{
    QString glob;
    for (const QChar c : QString::fromStdString(pattern)) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            glob += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            glob += c;
    }
    return glob;
}

} // namespace

QString QtFileDialogs::filterText(const std::vector<FileFilter>& filters)
{
    QStringList entries;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns)
            patterns << caseFreePattern(pattern);
        entries << QString::fromStdString(filter.label) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

void QtFileDialogs::setUpOpenDialog(QFileDialog& dialog, const std::vector<FileFilter>& filters,
                                    const std::string& title, bool multiSelect)
{
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    // The labels already name their types; the case-free patterns behind them are for matching only.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(filterText(filters));
}

std::optional<std::string> QtFileDialogs::ShowOpenDialog(const std::vector<FileFilter>& filters,
                                                         const std::string& title, bool multiSelect)
{
    QFileDialog dialog(m_owner);
    setUpOpenDialog(dialog, filters, title, multiSelect);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(QFileInfo(file).absoluteFilePath().toStdString());
    return selectionText(paths);
}

// Qt has one folder dialog, resizable; both styles use it.
std::string QtFileDialogs::BrowseForFolder(const std::string& title, bool /*newStyle*/)
{
    return QFileDialog::getExistingDirectory(m_owner, QString::fromStdString(title)).toStdString();
}

} // namespace tunevale
