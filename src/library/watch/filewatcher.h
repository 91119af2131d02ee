#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QSocketNotifier;

// Tells its owner when the entry list of a watched directory changes: an entry was
// added, removed or renamed, or the directory itself went away. Built directly on
// inotify and read on the thread that owns the watcher, so the callback runs there.
// There is no coalescing: every kernel event gives one callback with the path exactly
// as it was passed to watch(). Watching is not recursive.
//
// A watcher made with an EventCallback also reports which entry changed, and
// counts writes to the files inside a watched folder too, so that a skill edited
// in place is seen; its folders can be added and removed one at a time, and it
// says when the system's limit on watches was reached.
class FileWatcher final : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const QString &path)>;

    struct Event {
        QString path;       // the watched folder, as given
        QString name;       // the entry inside it that changed; empty for the folder itself
        bool lost = false;  // events were lost: anything in the folder may have changed
    };
    using EventCallback = std::function<void(const Event &event)>;

    explicit FileWatcher(Callback callback, QObject *parent = nullptr);
    explicit FileWatcher(EventCallback callback, QObject *parent = nullptr);
    ~FileWatcher() override;

    // Replaces whatever is watched. Paths that do not exist or cannot be watched
    // are skipped silently.
    void watch(const QStringList &paths);
    void stopAll();

    // Watches one more folder, keeping the others. False when it cannot be
    // watched (see limitReached()). Watching a folder twice is harmless.
    bool add(const QString &path);
    void remove(const QString &path);
    bool isWatching(const QString &path) const { return m_descriptorByPath.contains(path); }
    // Whether an add() failed because the system allows no more watches.
    bool limitReached() const { return m_limitReached; }
    // Makes add() fail as at the system's limit once this many folders are
    // watched; for tests, which cannot lower the real limit.
    void setWatchLimitForTesting(int limit) { m_testLimit = limit; }

    // The paths actually being watched, in the order they were given.
    QStringList watchedPaths() const;

private:
    struct Watch
    {
        int descriptor;
        QString path;
    };

    bool ensureDescriptor();
    void forget(int descriptor);
    void readEvents();

    Callback m_callback;
    EventCallback m_eventCallback;
    QList<Watch> m_watches;
    QHash<QString, int> m_descriptorByPath;
    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
    quint64 m_generation = 0;
    int m_dispatchDepth = 0;
    int m_testLimit = -1;
    bool m_limitReached = false;
};
