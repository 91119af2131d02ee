#include "library/catalogue/turnedoff.h"

#include <QDir>
#include <QStandardPaths>

QString turnedOffFolder()
{
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                           + QStringLiteral("/turned-off"));
}

bool isTurnedOffPath(const QString &path)
{
    return isTurnedOffPath(path, turnedOffFolder());
}

bool isTurnedOffPath(const QString &path, const QString &folder)
{
    const QString cleaned = QDir::cleanPath(path);
    return cleaned.startsWith(folder) && cleaned.size() > folder.size() && cleaned.at(folder.size()) == u'/';
}
