#include "app/socketinstancechannel.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace {

// Raised whenever the request's layout changes, so an older instance refuses a
// newer launch's request instead of misreading it.
constexpr quint32 protocolVersion = 1;
constexpr int lockWaitMs = 10000;
constexpr int probeWaitMs = 2000;

QDataStream &operator<<(QDataStream &stream, const OpenRequest &request)
{
    return stream << protocolVersion << request.nameOrPath << request.edit << request.workingDirectory
                  << request.activationToken;
}

// Reads one request from what has arrived; false while it is incomplete or unreadable.
bool readRequestFrom(QDataStream &stream, OpenRequest *request, bool *unreadable)
{
    stream.startTransaction();
    quint32 version = 0;
    stream >> version;
    if (stream.status() == QDataStream::Ok && version != protocolVersion) {
        stream.abortTransaction();
        *unreadable = true;
        return false;
    }
    stream >> request->nameOrPath >> request->edit >> request->workingDirectory >> request->activationToken;
    return stream.commitTransaction();
}

} // namespace

SocketInstanceChannel::SocketInstanceChannel(const QString &socketPath)
    : m_socketPath(socketPath)
{
}

SocketInstanceChannel::~SocketInstanceChannel()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

InstanceChannel::Claim SocketInstanceChannel::claim(const OpenRequestHandler &handler)
{
    QDir().mkpath(QFileInfo(m_socketPath).absolutePath());
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWaitMs))
        return Claim::Unavailable;

    QLocalSocket probe;
    probe.connectToServer(m_socketPath);
    if (probe.waitForConnected(probeWaitMs))
        return Claim::Secondary;

    // Nobody answers: whatever socket file is there was left by an instance that ended.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        delete m_server;
        m_server = nullptr;
        return Claim::Unavailable;
    }
    m_handler = handler;
    connect(m_server, &QLocalServer::newConnection, this, &SocketInstanceChannel::acceptConnections);
    return Claim::Primary;
}

InstanceChannel::Forwarded SocketInstanceChannel::forward(const OpenRequest &request, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return {false, socket.errorString()};
    {
        QDataStream out(&socket);
        out << request;
    }
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return {false, socket.errorString()};

    QDataStream in(&socket);
    while (!deadline.hasExpired()) {
        in.startTransaction();
        QString error;
        in >> error;
        if (in.commitTransaction())
            return {true, error};
        if (socket.state() != QLocalSocket::ConnectedState)
            break;
        socket.waitForReadyRead(int(deadline.remainingTime()));
    }
    return {false, QCoreApplication::translate("InstanceChannel", "The running Vesk did not answer.")};
}

void SocketInstanceChannel::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void SocketInstanceChannel::readRequest(QLocalSocket *socket)
{
    QDataStream in(socket);
    OpenRequest request;
    bool unreadable = false;
    if (!readRequestFrom(in, &request, &unreadable)) {
        if (unreadable)
            socket->abort();
        return;
    }
    // One request per connection: anything after it is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const QPointer<QLocalSocket> guard(socket);
    m_handler(request, [guard](const QString &error) {
        if (!guard)
            return; // the launch gave up waiting
        QDataStream out(guard.data());
        out << error;
        guard->flush();
        guard->disconnectFromServer();
    });
}
