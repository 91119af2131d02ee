#pragma once

#include "app/instancechannel.h"

class QLocalServer;
class QLocalSocket;

// Where no session bus is reachable, the instance listens on a local socket that
// only its user may open; a later launch writes its request there and waits for
// the answer. A lock file makes "is anyone listening, else listen" one step, so
// two launches at once cannot both become the instance, and a socket left behind
// by a crashed instance is replaced.
class SocketInstanceChannel final : public InstanceChannel
{
    Q_OBJECT

public:
    explicit SocketInstanceChannel(const QString &socketPath);
    ~SocketInstanceChannel() override;

    Claim claim(const OpenRequestHandler &handler) override;
    Forwarded forward(const OpenRequest &request, int timeoutMs) override;

private:
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    OpenRequestHandler m_handler;
};
