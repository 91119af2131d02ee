#include "app/socketinstancechannel.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString untrustedPeerText()
{
    return QCoreApplication::translate("InstanceChannel", "The program listening for Vesk runs as another user.");
}

} // namespace

bool preparePrivateFolder(const QString &folder, QString *why)
{
    const QByteArray native = QFile::encodeName(folder);
    const auto refuse = [&](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        return refuse(QCoreApplication::translate("InstanceChannel", "%1 is not a folder.").arg(folder));
    if (info.st_uid != ::geteuid())
        return refuse(QCoreApplication::translate("InstanceChannel", "%1 belongs to another user.").arg(folder));
    if ((info.st_mode & 0077) != 0)
        return refuse(QCoreApplication::translate("InstanceChannel", "Other users may enter %1.").arg(folder));
    return true;
}

bool peerIsThisUser(qintptr socketDescriptor)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0
        || size != sizeof credentials)
        return false;
    return credentials.uid == ::geteuid();
}

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
    // Without a folder of our own this launch runs on its own, as without a bus.
    if (!preparePrivateFolder(QFileInfo(m_socketPath).absolutePath(), nullptr))
        return Claim::Unavailable;
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(lockWaitMs))
        return Claim::Unavailable;

    QLocalSocket probe;
    probe.connectToServer(m_socketPath);
    if (probe.waitForConnected(probeWaitMs))
        return peerIsThisUser(probe.socketDescriptor()) ? Claim::Secondary : Claim::Unavailable;

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
    QString why;
    if (!preparePrivateFolder(QFileInfo(m_socketPath).absolutePath(), &why))
        return {false, why};
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return {false, socket.errorString()};
    // The request names a folder and carries an activation token: only for us.
    if (!peerIsThisUser(socket.socketDescriptor()))
        return {false, untrustedPeerText()};
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
        if (socket.bytesAvailable() > maxMessageBytes || socket.state() != QLocalSocket::ConnectedState)
            break;
        socket.waitForReadyRead(int(deadline.remainingTime()));
    }
    return {false, QCoreApplication::translate("InstanceChannel", "The running Vesk did not answer.")};
}

void SocketInstanceChannel::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        // A request arrives at once; a connection still short of one by then is dropped.
        QTimer::singleShot(m_requestDeadlineMs, socket, [socket] {
            if (!socket->property("vesk.requestRead").toBool())
                socket->abort();
        });
        readRequest(socket);
    }
}

void SocketInstanceChannel::readRequest(QLocalSocket *socket)
{
    // A request is a few hundred bytes. Each read parses from the start, so a
    // declared length of gigabytes would otherwise grow the buffer and the work.
    if (socket->bytesAvailable() > maxMessageBytes) {
        socket->abort();
        return;
    }
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
    socket->setProperty("vesk.requestRead", true);
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
