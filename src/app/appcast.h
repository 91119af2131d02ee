#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// One published version in an update feed (an RSS 2.0 "appcast": the format
// Sparkle reads, so one feed can serve every platform's updater).
struct AppcastItem {
    QString title;
    QString version;          // sparkle:version, the build number
    QString shortVersion;     // sparkle:shortVersionString, the version people see
    QUrl downloadUrl;         // the item's <link>, else its enclosure; http(s) only
    QString releaseNotes;     // <description>: HTML or plain text
    QUrl releaseNotesUrl;     // sparkle:releaseNotesLink; http(s) only

    // What to call this version in front of people.
    QString displayVersion() const { return shortVersion.isEmpty() ? version : shortVersion; }
};

struct Appcast {
    QList<AppcastItem> items; // in feed order; only items that name a version
    QString error;            // why the feed could not be read; empty on success
};

// Reads a feed. Items without any version are skipped; a feed that is not
// well-formed XML, is not RSS, or lists no version at all gives an error.
Appcast parseAppcast(const QByteArray &xml);

// Orders a published version against an installed one: by the version people
// see first, then, when those are equal, by build number, so a rebuild of the
// same version still counts as newer. Negative when `item` is older.
int compareToInstalled(const AppcastItem &item, const QString &installedVersion,
                       const QString &installedBuild);

// The newest item of a non-empty list (the first of equals).
const AppcastItem &newestItem(const QList<AppcastItem> &items);
