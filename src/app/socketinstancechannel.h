#pragma once

#include "app/instancechannel.h"

class QLocalServer;
class QLocalSocket;

// Where no session bus is reachable, the instance listens on a local socket that
// only its user may open; a later launch writes its request there and waits for
// the answer. A lock file makes "is anyone listening, else listen" one step, so
// two launches at once cannot both become the instance, and a socket left behind
// by a crashed instance is replaced.
//
// Another user on the machine is not trusted: the socket and the lock live in a
// folder this user owns and no one else may enter (checked, not assumed), each
// side checks the other's user id before sending or accepting anything, and a
// request is read only up to a size and a deadline.
class SocketInstanceChannel final : public InstanceChannel
{
    Q_OBJECT

public:
    explicit SocketInstanceChannel(const QString &socketPath);
    ~SocketInstanceChannel() override;

    Claim claim(const OpenRequestHandler &handler) override;
    Forwarded forward(const OpenRequest &request, int timeoutMs) override;

    // The longest a request may take to arrive once connected.
    void setRequestDeadline(int milliseconds) { m_requestDeadlineMs = milliseconds; }

    // The most a request (or a reply) may take, in bytes.
    static constexpr qint64 maxMessageBytes = 64 * 1024;

private:
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
    OpenRequestHandler m_handler;
    int m_requestDeadlineMs = 10000;
};

// Makes (when missing) and checks the folder the socket lives in: a real folder,
// not a link, owned by this user and closed to everyone else. False, with the
// reason in `why`, when it is not.
bool preparePrivateFolder(const QString &folder, QString *why);

// Whether the process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(qintptr socketDescriptor);
