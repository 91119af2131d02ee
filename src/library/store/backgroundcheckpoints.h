#pragma once

#include <QString>
#include <QThreadPool>

#include <atomic>

namespace Sqlite {
class Database;
}

// Keeps write-ahead-log checkpoints off the thread that writes. SQLite copies the
// log into the database file inside whichever commit crosses its threshold, and
// that copy (with its fsyncs) costs tens of milliseconds: a stall of the window
// every few slices of a scan. Installed on a connection, this takes over: once a
// commit leaves the log at `pages` pages or more, a worker with a connection of its
// own runs a passive checkpoint, which never blocks readers or writers.
class BackgroundCheckpoints final
{
public:
    BackgroundCheckpoints(Sqlite::Database &database, int pages = 1000);
    ~BackgroundCheckpoints(); // removes itself and waits for a checkpoint under way

    BackgroundCheckpoints(const BackgroundCheckpoints &) = delete;
    BackgroundCheckpoints &operator=(const BackgroundCheckpoints &) = delete;

    // Checkpoints run so far, finished or not.
    int started() const { return m_started.load(); }
    // Waits for the checkpoint under way, if any.
    void wait() { m_pool.waitForDone(); }

private:
    static int committed(void *self, struct sqlite3 *, const char *, int pages);
    void run(); // on the worker, while checkpoints are wanted

    Sqlite::Database &m_database;
    const QString m_path;
    const int m_pages;
    QThreadPool m_pool;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_wanted{false};
    std::atomic<int> m_started{0};
};
