#include "library/watch/filewatcher.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO
                                  | IN_DELETE_SELF | IN_MOVE_SELF;
// A file inside the folder written in place, or its times or rights changed.
constexpr uint32_t kContentEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB;

} // namespace

FileWatcher::FileWatcher(Callback callback, QObject *parent)
    : QObject(parent)
    , m_callback(std::move(callback))
{
}

FileWatcher::FileWatcher(EventCallback callback, QObject *parent)
    : QObject(parent)
    , m_eventCallback(std::move(callback))
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
    for (const QString &path : paths)
        add(path); // no permission, or out of watches: the owner still works, just unwatched
    if (m_watches.isEmpty())
        stopAll();
}

bool FileWatcher::ensureDescriptor()
{
    if (m_fd >= 0)
        return true;
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return false;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FileWatcher::readEvents);
    return true;
}

bool FileWatcher::add(const QString &path)
{
    if (m_descriptorByPath.contains(path))
        return true;
    if (!QFileInfo::exists(path) || !ensureDescriptor())
        return false;
    if (m_testLimit >= 0 && m_watches.size() >= m_testLimit) {
        m_limitReached = true;
        return false;
    }
    const uint32_t events = m_eventCallback ? kEntryEvents | kContentEvents : kEntryEvents;
    const int descriptor = inotify_add_watch(m_fd, QFile::encodeName(path).constData(), events);
    if (descriptor < 0) {
        if (errno == ENOSPC)
            m_limitReached = true;
        return false;
    }
    m_watches.append({descriptor, path});
    m_descriptorByPath.insert(path, descriptor);
    return true;
}

void FileWatcher::remove(const QString &path)
{
    const auto found = m_descriptorByPath.constFind(path);
    if (found == m_descriptorByPath.cend())
        return;
    const int descriptor = *found;
    m_descriptorByPath.erase(found);
    m_watches.removeIf([&](const Watch &watch) { return watch.path == path; });
    // Another spelling of the same folder shares the kernel's watch.
    const bool shared = std::any_of(m_watches.cbegin(), m_watches.cend(),
                                    [descriptor](const Watch &watch) { return watch.descriptor == descriptor; });
    if (!shared)
        inotify_rm_watch(m_fd, descriptor);
}

void FileWatcher::forget(int descriptor)
{
    m_watches.removeIf([&](const Watch &watch) {
        if (watch.descriptor != descriptor)
            return false;
        m_descriptorByPath.remove(watch.path);
        return true;
    });
}

void FileWatcher::stopAll()
{
    ++m_generation;
    m_watches.clear();
    m_descriptorByPath.clear();

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
    QList<Event> due;
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
                for (const Watch &watch : std::as_const(m_watches))
                    due.append({watch.path, QString(), true});
                continue;
            }
            if (event->mask & IN_IGNORED) {
                forget(event->wd); // the folder is gone, and its watch with it
                continue;
            }
            const QString name = event->len > 0 ? QFile::decodeName(event->name) : QString();
            // The same directory given under two spellings shares one descriptor.
            for (const Watch &watch : std::as_const(m_watches)) {
                if (watch.descriptor == event->wd)
                    due.append({watch.path, name, false});
            }
        }
    }

    // The callback may stop, rewatch or even delete us; keep our own copy of it
    // and stop as soon as the set these events belong to is gone.
    const Callback callback = m_callback;
    const EventCallback eventCallback = m_eventCallback;
    if (!callback && !eventCallback)
        return;
    const quint64 generation = m_generation;
    const QPointer<FileWatcher> self(this);
    ++m_dispatchDepth;
    for (const Event &event : std::as_const(due)) {
        if (eventCallback)
            eventCallback(event);
        else
            callback(event.path);
        if (!self)
            return;
        if (m_generation != generation)
            break;
    }
    --m_dispatchDepth;
}
