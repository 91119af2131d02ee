#include "app/dbusinstancechannel.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {
const QString objectPath = QStringLiteral("/app/vesk/Vesk");
const QString interfaceName = QStringLiteral("app.vesk.Vesk.Instance");
} // namespace

DBusInstanceChannel::DBusInstanceChannel(const QDBusConnection &bus, const QString &serviceName)
    : m_bus(bus)
    , m_serviceName(serviceName)
{
}

DBusInstanceChannel::~DBusInstanceChannel()
{
    if (m_registered) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(objectPath);
    }
}

InstanceChannel::Claim DBusInstanceChannel::claim(const OpenRequestHandler &handler)
{
    if (!m_bus.interface())
        return Claim::Unavailable;
    // The object is in place before the name is taken, so no call can find the name
    // without the method.
    m_handler = handler;
    if (!m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        return Claim::Unavailable;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_registered = true;
        return Claim::Primary;
    }
    m_bus.unregisterObject(objectPath);
    m_handler = {};
    return reply.isValid() ? Claim::Secondary : Claim::Unavailable;
}

InstanceChannel::Forwarded DBusInstanceChannel::forward(const OpenRequest &request, int timeoutMs)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_serviceName, objectPath, interfaceName,
                                                       QStringLiteral("Open"));
    call << request.nameOrPath << request.edit << request.workingDirectory << request.activationToken;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {false, reply.errorMessage()};
    return {true, reply.arguments().value(0).toString()};
}

QString DBusInstanceChannel::Open(const QString &nameOrPath, bool edit, const QString &workingDirectory,
                                  const QString &activationToken, const QDBusMessage &message)
{
    if (!m_handler)
        return {};
    message.setDelayedReply(true);
    QDBusConnection bus = m_bus;
    m_handler(OpenRequest{nameOrPath, edit, workingDirectory, activationToken},
              [bus, message](const QString &error) mutable { bus.send(message.createReply(error)); });
    return {};
}
