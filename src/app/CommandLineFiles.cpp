#include "CommandLineFiles.h"

#include <QDir>
#include <QUrl>

namespace tunevale
{

std::vector<std::string> commandLineFiles(const QStringList& arguments)
{
    std::vector<std::string> files;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        QString path = argument;
        if (argument.contains(QLatin1String("://"))) {
            const QUrl url(argument);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        }
        files.push_back(QDir::cleanPath(QDir::current().absoluteFilePath(path)).toStdString());
    }
    return files;
}

} // namespace tunevale
