#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// What a launch asks of the running window: come to the front and, when a skill is
// named, select it (in the editor with `edit`).
struct OpenRequest {
    QString nameOrPath;
    bool edit = false;
    QString workingDirectory;  // where a relative path was typed
    QString activationToken;   // lets a Wayland compositor raise the window for the caller
};

// Answers a request: an empty error when it was done, otherwise the sentence the
// launching process prints before it exits with a failure status.
using OpenReply = std::function<void(const QString &error)>;
using OpenRequestHandler = std::function<void(const OpenRequest &request, const OpenReply &reply)>;

// The line between the one running instance of a library and later launches.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        Primary,     // this process is the instance: requests reach the handler from now on
        Secondary,   // another process is: forward() the request to it
        Unavailable, // neither could be settled; run on our own
    };

    struct Forwarded {
        bool delivered = false;
        QString error; // the instance's answer when delivered, otherwise why it was not
    };

    using QObject::QObject;

    virtual Claim claim(const OpenRequestHandler &handler) = 0;
    virtual Forwarded forward(const OpenRequest &request, int timeoutMs) = 0;
};

namespace InstanceKey {
// Tells libraries apart: the home directory (whose tool folders are scanned) and
// the data directory (where the store lives), so another HOME or XDG_DATA_HOME is
// another instance.
QString forLibrary(const QString &homePath, const QString &dataPath);
// The key of the library this process uses.
QString current();
// Names derived from a key: a well-known name on the session bus, and the path of
// the local socket used where there is no bus.
QString busName(const QString &key);
QString socketPath(const QString &key);
} // namespace InstanceKey

// The session bus when one is reachable, otherwise a local socket.
std::unique_ptr<InstanceChannel> openInstanceChannel(const QString &key);
