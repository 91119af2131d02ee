#include "app/instancechannel.h"

#include "app/dbusinstancechannel.h"
#include "app/socketinstancechannel.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString shortHash(const QString &key)
{
    return QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

} // namespace

namespace InstanceKey {

QString forLibrary(const QString &homePath, const QString &dataPath)
{
    // The data folder may not exist before the first start, so it is taken as
    // written; the home folder always exists and is resolved.
    const QString home = QFileInfo(homePath).canonicalFilePath();
    return (home.isEmpty() ? QDir::cleanPath(homePath) : home) + QLatin1Char('\n')
        + QDir::cleanPath(QDir(dataPath).absolutePath());
}

QString current()
{
    return forLibrary(QDir::homePath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString busName(const QString &key)
{
    // Bus name elements may not start with a digit.
    return QStringLiteral("app.vesk.Vesk.L") + shortHash(key);
}

QString socketPath(const QString &key)
{
    // The socket and its lock live in a folder of their own that only this user
    // may enter (SocketInstanceChannel makes and checks it): the runtime
    // directory may be missing or be /tmp itself, where any name is anyone's.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    return base + QStringLiteral("/vesk-%1/instance-").arg(::geteuid()) + shortHash(key);
}

} // namespace InstanceKey

std::unique_ptr<InstanceChannel> openInstanceChannel(const QString &key)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        return std::make_unique<DBusInstanceChannel>(bus, InstanceKey::busName(key));
    return std::make_unique<SocketInstanceChannel>(InstanceKey::socketPath(key));
}
