#pragma once

#include "app/appcast.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <optional>

// What one check for updates found.
struct UpdateCheckResult {
    enum class Outcome { UpToDate, UpdateAvailable, Failed, Cancelled };

    Outcome outcome = Outcome::Failed;
    AppcastItem item;   // UpToDate, UpdateAvailable: the newest published version
    QString installedVersion;
    QString error;      // Failed: what went wrong, in plain words

    static UpdateCheckResult failed(const QString &error);
};

// Reads a downloaded feed and decides whether it offers something newer than
// the installed version and build.
UpdateCheckResult evaluateFeed(const QByteArray &feed, const QString &installedVersion,
                               const QString &installedBuild);

// Says in plain words why the feed at `feed` could not be fetched. `httpStatus`
// is 0 when the server never answered; `networkError` is a
// QNetworkReply::NetworkError; `detail` is Qt's own text, used when nothing
// plainer applies.
QString feedErrorText(const QUrl &feed, int networkError, int httpStatus, const QString &detail);

// How long to wait before the next automatic check, or nothing when automatic
// checks are off. Never earlier than `settle` after now, so that a check at
// launch waits until the window is up.
std::optional<std::chrono::milliseconds> automaticCheckDelay(bool enabled, const QDateTime &lastCheck,
                                                             const QDateTime &now,
                                                             std::chrono::milliseconds interval,
                                                             std::chrono::milliseconds settle);
