#pragma once

#include "app/updatecheckresult.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// Vesk's own updater: it reads the update feed, compares the newest published
// version with this build and reports what it found; UpdaterController shows it.
// It makes no network request unless checkForUpdates() is called or automatic
// checks are turned on.
class Updater final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)

public:
    static constexpr std::chrono::milliseconds defaultTimeout{std::chrono::seconds(30)};
    static constexpr std::chrono::milliseconds automaticCheckInterval{std::chrono::hours(24)};

    explicit Updater(QObject *parent = nullptr);
    ~Updater() override;

    // Lets checks start (when a feed address is known) and schedules the next
    // automatic check if those are on. Until then canCheckForUpdates() is false.
    void start();

    // True while a user-initiated check may start: the updater has started, a
    // feed address is known and no check is running.
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

    // A check the user asked for; its result is always shown.
    void checkForUpdates();
    // Stops the running check; it finishes as Cancelled.
    void cancelCheck();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);
    bool isAutomaticCheckScheduled() const { return m_automaticTimer.isActive(); }

    // The settings file's address when it holds one, else the build's.
    QUrl feedUrl() const;

    // The version this build compares against; tests pretend to be another.
    void setInstalledVersion(const QString &version, const QString &build);
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void automaticallyChecksForUpdatesChanged(bool enabled);
    void checkStarted(bool userInitiated);
    void checkFinished(const UpdateCheckResult &result, bool userInitiated);

private:
    void startCheck(bool userInitiated);
    void finishCheck();
    void report(const UpdateCheckResult &result);
    void scheduleAutomaticCheck();
    void setCanCheckForUpdates(bool canCheck);
    UpdateCheckResult resultOf(QNetworkReply &reply) const;

    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QTimer m_automaticTimer;
    std::chrono::milliseconds m_timeout = defaultTimeout;
    QString m_installedVersion;
    QString m_installedBuild;
    bool m_started = false;
    bool m_canCheckForUpdates = false;
    bool m_userInitiated = false;
    bool m_timedOut = false;
    bool m_cancelled = false;
    bool m_tooLarge = false;
    bool m_refusing = false; // an insecure feed address, reported on the next turn
    QUrl m_insecureRedirect;
};

// An address the feed may be read from: https, or plain http to this machine.
bool isSecureFeedAddress(const QUrl &url);
