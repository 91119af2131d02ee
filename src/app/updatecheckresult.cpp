#include "app/updatecheckresult.h"

#include <QCoreApplication>
#include <QNetworkReply>

#include <algorithm>

namespace {

} // namespace

UpdateCheckResult UpdateCheckResult::failed(const QString &error)
{
    UpdateCheckResult result;
    result.outcome = Outcome::Failed;
    result.error = error;
    return result;
}

UpdateCheckResult evaluateFeed(const QByteArray &feed, const QString &installedVersion,
                               const QString &installedBuild)
{
    const Appcast appcast = parseAppcast(feed);
    if (!appcast.error.isEmpty())
        return UpdateCheckResult::failed(appcast.error);
    UpdateCheckResult result;
    result.installedVersion = installedVersion;
    result.item = newestItem(appcast.items);
    result.outcome = compareToInstalled(result.item, installedVersion, installedBuild) > 0
        ? UpdateCheckResult::Outcome::UpdateAvailable
        : UpdateCheckResult::Outcome::UpToDate;
    return result;
}

QString feedErrorText(const QUrl &feed, int networkError, int httpStatus, const QString &detail)
{
    const QString host = feed.host().isEmpty() ? feed.toDisplayString() : feed.host();
    if (httpStatus == 404 || httpStatus == 410)
        return QCoreApplication::translate("UpdateCheck", "The update feed was not found on %1 (HTTP %2).").arg(host).arg(httpStatus);
    if (httpStatus >= 500)
        return QCoreApplication::translate("UpdateCheck", "The update server %1 had a problem (HTTP %2). Try again later.").arg(host).arg(httpStatus);
    if (httpStatus >= 400)
        return QCoreApplication::translate("UpdateCheck", "The update server %1 refused the request (HTTP %2).").arg(host).arg(httpStatus);

    switch (static_cast<QNetworkReply::NetworkError>(networkError)) {
    case QNetworkReply::HostNotFoundError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 could not be found. Check your internet connection.").arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 refused the connection.").arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 closed the connection before answering.").arg(host);
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 did not answer in time.").arg(host);
    case QNetworkReply::SslHandshakeFailedError:
        return QCoreApplication::translate("UpdateCheck", "A secure connection to the update server %1 could not be made.").arg(host);
    case QNetworkReply::TooManyRedirectsError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 redirected the request too many times.").arg(host);
    case QNetworkReply::InsecureRedirectError:
        return QCoreApplication::translate("UpdateCheck", "The update server %1 redirected the request to an insecure address.").arg(host);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QCoreApplication::translate("UpdateCheck", "The network is not available. Check your internet connection.");
    case QNetworkReply::ProtocolUnknownError:
        return QCoreApplication::translate("UpdateCheck", "Vesk cannot read an update feed at %1.").arg(feed.toDisplayString());
    default:
        break;
    }
    return QCoreApplication::translate("UpdateCheck", "The update feed could not be read: %1.").arg(detail);
}

std::optional<std::chrono::milliseconds> automaticCheckDelay(bool enabled, const QDateTime &lastCheck,
                                                             const QDateTime &now,
                                                             std::chrono::milliseconds interval,
                                                             std::chrono::milliseconds settle)
{
    if (!enabled)
        return std::nullopt;
    std::chrono::milliseconds wait{0};
    // A last check in the future means the clock was set back: check again.
    if (lastCheck.isValid() && lastCheck <= now)
        wait = interval - std::chrono::milliseconds(lastCheck.msecsTo(now));
    return std::max(wait, settle);
}
