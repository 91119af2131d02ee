#include "library/store/backgroundcheckpoints.h"

#include "library/store/sqlite.h"

#include <sqlite3.h>

BackgroundCheckpoints::BackgroundCheckpoints(Sqlite::Database &database, int pages)
    : m_database(database)
    , m_path(database.path())
    , m_pages(pages)
{
    m_pool.setMaxThreadCount(1);
    // Replaces the automatic checkpoint, which is a hook of the same kind.
    sqlite3_wal_hook(m_database.handle(), &BackgroundCheckpoints::committed, this);
}

BackgroundCheckpoints::~BackgroundCheckpoints()
{
    if (m_database.handle())
        sqlite3_wal_autocheckpoint(m_database.handle(), m_pages);
    m_pool.waitForDone();
}

int BackgroundCheckpoints::committed(void *self, sqlite3 *, const char *, int pages)
{
    auto *checkpoints = static_cast<BackgroundCheckpoints *>(self);
    if (pages < checkpoints->m_pages)
        return SQLITE_OK;
    // Asked for before looking whether one runs: a checkpoint under way that
    // began before this commit goes round once more rather than leave this
    // commit's pages to the next commit, or to the last connection's close.
    checkpoints->m_wanted = true;
    if (checkpoints->m_running.exchange(true))
        return SQLITE_OK;
    ++checkpoints->m_started;
    checkpoints->m_pool.start([checkpoints] { checkpoints->run(); });
    return SQLITE_OK;
}

void BackgroundCheckpoints::run()
{
    for (;;) {
        while (m_wanted.exchange(false)) {
            // A failure leaves the log as it is; the next commit over the
            // threshold tries again, and the last connection to close
            // checkpoints anyway.
            Sqlite::Database connection;
            if (connection.open(m_path, nullptr))
                connection.exec("PRAGMA wal_checkpoint(PASSIVE)");
        }
        m_running = false;
        // A commit between the last look and now saw this one running.
        if (!m_wanted.load() || m_running.exchange(true))
            return;
    }
}
