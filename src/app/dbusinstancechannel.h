#pragma once

#include "app/instancechannel.h"

#include <QDBusConnection>

class QDBusMessage;

// The instance owns a well-known name on the session bus; a later launch calls
// its Open method and waits for the answer. The bus hands the name to exactly one
// process, so two launches at once cannot both become the instance.
class DBusInstanceChannel final : public InstanceChannel
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.vesk.Vesk.Instance")

public:
    DBusInstanceChannel(const QDBusConnection &bus, const QString &serviceName);
    ~DBusInstanceChannel() override;

    Claim claim(const OpenRequestHandler &handler) override;
    Forwarded forward(const OpenRequest &request, int timeoutMs) override;

public Q_SLOTS:
    // Named as D-Bus methods are. The answer is sent once the request is done,
    // which may be after the first scan.
    Q_SCRIPTABLE QString Open(const QString &nameOrPath, bool edit, const QString &workingDirectory,
                              const QString &activationToken, const QDBusMessage &message);

private:
    QDBusConnection m_bus;
    QString m_serviceName;
    OpenRequestHandler m_handler;
    bool m_registered = false;
};
