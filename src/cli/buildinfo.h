#pragma once

#include <QString>
#include <QUrl>

// What this build of Vesk is, as CMake configured it: the project version, the
// build number and the update feed address are fixed when the build is set up,
// never hand-edited in the sources.
namespace BuildInfo {
// The project version, e.g. "1.2.0".
QString version();
// The build number (-DVESK_BUILD_NUMBER=...); empty when the build has none.
QString buildNumber();
// The update feed the build was configured with (-DVESK_UPDATE_FEED_URL=...);
// empty when updates were left out of the build.
QUrl defaultUpdateFeedUrl();
QUrl website();
} // namespace BuildInfo

// "1.2 (34)": the version and the build number, "?" standing in for either when
// it is unknown.
QString aboutVersionText(const QString &shortVersion, const QString &build);

// "v1.2 (34)" for this build, as the About tab and the About box show it.
QString currentVersionLine();

// The licence Vesk is released under, named the same on every About surface.
QString licenceLine();
