#pragma once

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
class FileWatcher final : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const QString &path)>;

    explicit FileWatcher(Callback callback, QObject *parent = nullptr);
    ~FileWatcher() override;

    // Replaces whatever is watched. Paths that do not exist or cannot be watched
    // are skipped silently.
    void watch(const QStringList &paths);
    void stopAll();

    // The paths actually being watched, in the order they were given.
    QStringList watchedPaths() const;

private:
    struct Watch
    {
        int descriptor;
        QString path;
    };

    void readEvents();

    Callback m_callback;
    QList<Watch> m_watches;
    QSocketNotifier *m_notifier = nullptr;
    int m_fd = -1;
    quint64 m_generation = 0;
    int m_dispatchDepth = 0;
};
