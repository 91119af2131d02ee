#pragma once

// Reads a store the way another program would: through a SQLite connection of its own.

#include <QFile>
#include <QString>

#include <sqlite3.h>

namespace TestFiles {

// Runs `sql` on its own connection to the store at `path`: the first column of the
// first row, or the error message.
inline QString sqlOnSide(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt *stmt = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        result = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        else if (rc != SQLITE_DONE)
            result = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

} // namespace TestFiles
