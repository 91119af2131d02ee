#include "app/updater.h"

#include "cli/buildinfo.h"
#include "library/catalogue/settingskeys.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>

namespace {

// A feed is a few kilobytes; anything far larger is not one, and is not kept.
constexpr qint64 maximumFeedSize = 1024 * 1024;
constexpr int maximumRedirects = 5;
// An automatic check due at launch waits this long, so it never competes with
// the first scan for the user's attention.
constexpr std::chrono::milliseconds launchSettle{std::chrono::seconds(10)};

QString timeoutText(const QUrl &feed, std::chrono::milliseconds timeout)
{
    const auto seconds = std::max<qint64>(1, std::chrono::round<std::chrono::seconds>(timeout).count());
    const QString host = feed.host().isEmpty() ? feed.toDisplayString() : feed.host();
    if (seconds == 1)
        return QCoreApplication::translate("UpdateCheck", "The update server %1 did not answer within 1 second.")
            .arg(host);
    return QCoreApplication::translate("UpdateCheck", "The update server %1 did not answer within %2 seconds.")
        .arg(host)
        .arg(seconds);
}

QString insecureFeedText(const QUrl &feed)
{
    return QCoreApplication::translate("UpdateCheck",
                                       "The update feed %1 is not a secure (https) address, so Vesk does not read it.")
        .arg(feed.toDisplayString());
}

} // namespace

bool isSecureFeedAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (scheme == QLatin1String("https"))
        return true;
    // Plain http only to this machine, where nothing on the way can change it.
    const QHostAddress host(url.host());
    return scheme == QLatin1String("http") && (host.isLoopback() || url.host() == QLatin1String("localhost"));
}

Updater::Updater(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_installedVersion(BuildInfo::version())
    , m_installedBuild(BuildInfo::buildNumber())
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
    m_automaticTimer.setSingleShot(true);
    connect(&m_automaticTimer, &QTimer::timeout, this, [this] { startCheck(false); });
}

Updater::~Updater()
{
    // Nothing may report into a half-destroyed updater.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void Updater::start()
{
    m_started = true;
    setCanCheckForUpdates(!m_reply && !feedUrl().isEmpty());
    scheduleAutomaticCheck();
}

void Updater::checkForUpdates()
{
    startCheck(true);
}

void Updater::cancelCheck()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}

bool Updater::automaticallyChecksForUpdates() const
{
    return QSettings().value(QLatin1String(SettingsKeys::automaticallyChecksForUpdates), false).toBool();
}

void Updater::setAutomaticallyChecksForUpdates(bool enabled)
{
    if (enabled == automaticallyChecksForUpdates())
        return;
    QSettings().setValue(QLatin1String(SettingsKeys::automaticallyChecksForUpdates), enabled);
    scheduleAutomaticCheck();
    Q_EMIT automaticallyChecksForUpdatesChanged(enabled);
}

QUrl Updater::feedUrl() const
{
    const QString stored = QSettings().value(QLatin1String(SettingsKeys::updateFeedUrl)).toString().trimmed();
    return stored.isEmpty() ? BuildInfo::defaultUpdateFeedUrl() : QUrl(stored);
}

void Updater::setInstalledVersion(const QString &version, const QString &build)
{
    m_installedVersion = version;
    m_installedBuild = build;
}

void Updater::startCheck(bool userInitiated)
{
    if (!m_canCheckForUpdates)
        return;
    const QUrl feed = feedUrl();
    m_userInitiated = userInitiated;
    m_timedOut = false;
    m_cancelled = false;
    m_tooLarge = false;
    m_automaticTimer.stop();
    setCanCheckForUpdates(false);
    if (!isSecureFeedAddress(feed)) {
        // Refused before any name is looked up; reported like any failed check.
        m_refusing = true;
        Q_EMIT checkStarted(userInitiated);
        QTimer::singleShot(0, this, [this, feed] {
            m_refusing = false;
            report(UpdateCheckResult::failed(insecureFeedText(feed)));
        });
        return;
    }

    QNetworkRequest request(feed);
    // Each redirect is checked like the feed's own address.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    // No cache is set, so the feed is always fetched; asking for that explicitly
    // would only add Cache-Control and Pragma headers to the request.
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vesk/%1").arg(m_installedVersion));
    // Qt would otherwise name the user's languages; "*" says nothing about them.
    request.setRawHeader("Accept-Language", "*");

    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl &target) {
        if (!m_reply)
            return;
        if (isSecureFeedAddress(target)) {
            Q_EMIT m_reply->redirectAllowed();
        } else {
            m_insecureRedirect = target;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (m_reply && (received > maximumFeedSize || total > maximumFeedSize)) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &Updater::finishCheck);
    m_deadline.start(m_timeout);
    Q_EMIT checkStarted(userInitiated);
}

UpdateCheckResult Updater::resultOf(QNetworkReply &reply) const
{
    const QUrl feed = reply.request().url();
    if (m_cancelled) {
        UpdateCheckResult cancelled;
        cancelled.outcome = UpdateCheckResult::Outcome::Cancelled;
        return cancelled;
    }
    if (m_timedOut)
        return UpdateCheckResult::failed(timeoutText(feed, m_timeout));
    if (m_insecureRedirect.isValid())
        return UpdateCheckResult::failed(insecureFeedText(m_insecureRedirect));
    if (m_tooLarge)
        return UpdateCheckResult::failed(
            QCoreApplication::translate("UpdateCheck", "The update feed at %1 is too large to be a feed.")
                .arg(feed.toDisplayString()));
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply.error() != QNetworkReply::NoError || status >= 400)
        return UpdateCheckResult::failed(feedErrorText(feed, reply.error(), status, reply.errorString()));
    return evaluateFeed(reply.readAll(), m_installedVersion, m_installedBuild);
}

void Updater::finishCheck()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    const UpdateCheckResult result = resultOf(*reply);
    m_reply = nullptr;
    m_insecureRedirect = QUrl();
    reply->deleteLater();
    report(result);
}

void Updater::report(const UpdateCheckResult &result)
{
    if (result.outcome != UpdateCheckResult::Outcome::Cancelled)
        QSettings().setValue(QLatin1String(SettingsKeys::lastUpdateCheck), QDateTime::currentDateTimeUtc());
    setCanCheckForUpdates(m_started && !feedUrl().isEmpty());
    scheduleAutomaticCheck();
    Q_EMIT checkFinished(result, m_userInitiated);
}

void Updater::scheduleAutomaticCheck()
{
    m_automaticTimer.stop();
    if (!m_started || m_reply || m_refusing)
        return;
    const QDateTime last = QSettings().value(QLatin1String(SettingsKeys::lastUpdateCheck)).toDateTime();
    const auto delay = automaticCheckDelay(automaticallyChecksForUpdates(), last, QDateTime::currentDateTimeUtc(),
                                           automaticCheckInterval, launchSettle);
    if (delay)
        m_automaticTimer.start(*delay);
}

void Updater::setCanCheckForUpdates(bool canCheck)
{
    if (canCheck == m_canCheckForUpdates)
        return;
    m_canCheckForUpdates = canCheck;
    Q_EMIT canCheckForUpdatesChanged(canCheck);
}
