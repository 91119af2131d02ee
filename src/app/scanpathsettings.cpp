#include "app/scanpathsettings.h"

#include "common/appnotifications.h"
#include "library/catalogue/settingskeys.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

ScanPathSettings::ScanPathSettings(AppNotifications &notifications)
    : m_notifications(notifications)
{
}

QStringList ScanPathSettings::load() const
{
    return readCustomScanPaths();
}

bool ScanPathSettings::add(QStringList &paths, const QString &chosenPath)
{
    if (chosenPath.isEmpty())
        return false;
    const QString path = normalised(chosenPath);
    if (paths.contains(path))
        return false;
    paths.append(path);
    store(paths);
    return true;
}

void ScanPathSettings::remove(QStringList &paths, const QString &path)
{
    paths.removeAll(path);
    store(paths);
}

QString ScanPathSettings::normalised(const QString &path)
{
    // cleanPath() drops trailing separators everywhere but on "/" itself.
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void ScanPathSettings::store(const QStringList &paths)
{
    QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), paths);
    Q_EMIT m_notifications.customScanPathsChanged();
}
