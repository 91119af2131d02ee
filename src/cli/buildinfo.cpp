#include "cli/buildinfo.h"

#include <QCoreApplication>

// VESK_BUILD and VESK_UPDATE_FEED_URL are defined for this file alone (see
// src/CMakeLists.txt), so a new build number recompiles nothing else.

namespace BuildInfo {

QString version()
{
    return QStringLiteral(VESK_VERSION);
}

QString buildNumber()
{
    return QStringLiteral(VESK_BUILD).trimmed();
}

QUrl defaultUpdateFeedUrl()
{
    return QUrl(QStringLiteral(VESK_UPDATE_FEED_URL).trimmed());
}

QUrl website()
{
    return QUrl(QStringLiteral("https://vesk.app"));
}

} // namespace BuildInfo

QString aboutVersionText(const QString &shortVersion, const QString &build)
{
    const QString unknown = QStringLiteral("?");
    return QStringLiteral("%1 (%2)").arg(shortVersion.isEmpty() ? unknown : shortVersion,
                                         build.isEmpty() ? unknown : build);
}

QString currentVersionLine()
{
    return QLatin1Char('v') + aboutVersionText(BuildInfo::version(), BuildInfo::buildNumber());
}

QString licenceLine()
{
    return QCoreApplication::translate("About", "Released under the MIT License");
}
