#include "library/filewatcher.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
                                  | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FileWatcher::FileWatcher(Callback callback, QObject *parent)
    : QObject(parent)
    , m_callback(std::move(callback))
{
}

FileWatcher::~FileWatcher()
{
    stopAll();
}

void FileWatcher::watch(const QStringList &paths)
{
    stopAll();

    // Each watch set gets its own inotify instance. Closing the descriptor discards
    // whatever the kernel still has queued for the previous set, so an owner that
    // rewatches never hears about directories it no longer cares about, and no
    // watch descriptor numbers have to be matched against a set that went away.
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return;

    for (const QString &path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        const int descriptor = inotify_add_watch(fd, QFile::encodeName(path).constData(),
                                                 kEntryEvents);
        if (descriptor < 0)
            continue; // no permission, or out of watches: the owner still works, just unwatched
        m_watches.append({descriptor, path});
    }

    if (m_watches.isEmpty()) {
        ::close(fd);
        return;
    }

    m_fd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FileWatcher::readEvents);
}

void FileWatcher::stopAll()
{
    ++m_generation;
    m_watches.clear();

    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->disconnect(this);
        if (m_dispatchDepth > 0) {
            // We are inside this notifier's activation (a callback re-entered us);
            // let it finish delivering before it goes away.
            m_notifier->setParent(nullptr);
            m_notifier->deleteLater();
        } else {
            delete m_notifier;
        }
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

QStringList FileWatcher::watchedPaths() const
{
    QStringList paths;
    paths.reserve(m_watches.size());
    for (const Watch &watch : m_watches)
        paths.append(watch.path);
    return paths;
}

void FileWatcher::readEvents()
{
    // Drain the whole queue before calling anyone back: the callback may replace
    // the watch set, after which this descriptor is closed.
    QStringList due;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break; // EAGAIN: nothing more queued
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost; every watched directory has to be rescanned.
                due.append(watchedPaths());
                continue;
            }
            if (event->mask & IN_IGNORED)
                continue;
            // The same directory given under two spellings shares one descriptor.
            for (const Watch &watch : std::as_const(m_watches)) {
                if (watch.descriptor == event->wd)
                    due.append(watch.path);
            }
        }
    }

    // The callback may stop, rewatch or even delete us; keep our own copy of it
    // and stop as soon as the set these events belong to is gone.
    const Callback callback = m_callback;
    if (!callback)
        return;
    const quint64 generation = m_generation;
    const QPointer<FileWatcher> self(this);
    ++m_dispatchDepth;
    for (const QString &path : std::as_const(due)) {
        callback(path);
        if (!self)
            return;
        if (m_generation != generation)
            break;
    }
    --m_dispatchDepth;
}
