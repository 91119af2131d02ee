#include "library/store/sqlite.h"

#include <QFile>

#include <sqlite3.h>

#include <utility>

namespace Sqlite {

bool isRowError(int resultCode)
{
    switch (resultCode & 0xff) {
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return true;
    default:
        return false;
    }
}

Database::~Database()
{
    close();
}

void Database::close()
{
    if (m_db)
        sqlite3_close_v2(std::exchange(m_db, nullptr));
}

bool Database::open(const QString &path, QString *error, Access access)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int flags = access == Access::ReadOnly ? SQLITE_OPEN_READONLY
                                                 : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(encoded.constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, busyTimeoutMs);
        return true;
    }
    if (error)
        *error = m_db ? lastError() : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    return false;
}

bool Database::exec(const char *sql, QString *error, int *resultCode)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    if (resultCode)
        *resultCode = sqlite3_extended_errcode(m_db);
    sqlite3_free(message);
    return false;
}

QString Database::path() const
{
    const char *name = m_db ? sqlite3_db_filename(m_db, "main") : nullptr;
    return name ? QFile::decodeName(name) : QString();
}

QString Database::lastError() const
{
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

int Database::lastErrorCode() const
{
    return sqlite3_extended_errcode(m_db);
}

void Database::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_db, milliseconds);
}

qint64 Database::dataVersion()
{
    Statement pragma(*this, "PRAGMA data_version");
    return pragma.next() ? pragma.integer(0) : -1;
}

qint64 Database::changes() const
{
    return sqlite3_changes64(m_db);
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

Statement::Statement(Database &db, const char *sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        m_error = db.lastError();
        m_errorCode = db.lastErrorCode();
        m_stmt = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void Statement::bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::bind(int index, const std::optional<QByteArray> &blob)
{
    if (!blob)
        sqlite3_bind_null(m_stmt, index);
    else
        sqlite3_bind_blob(m_stmt, index, blob->constData(), int(blob->size()), SQLITE_TRANSIENT);
}

void Statement::bindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
}

bool Statement::next()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_error = m_db.lastError();
        m_errorCode = m_db.lastErrorCode();
    }
    return false;
}

bool Statement::run()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
        sqlite3_reset(m_stmt);
        return true;
    }
    m_error = m_db.lastError();
    m_errorCode = m_db.lastErrorCode();
    sqlite3_reset(m_stmt);
    return false;
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

QString Statement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::optional<QByteArray> Statement::blob(int column) const
{
    if (isNull(column))
        return std::nullopt;
    const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

Transaction::Transaction(Database &db)
    : m_db(db)
{
    m_active = db.exec("BEGIN IMMEDIATE", &m_error, &m_errorCode);
}

Transaction::~Transaction()
{
    if (m_active)
        m_db.exec("ROLLBACK");
}

bool Transaction::commit()
{
    if (!m_active)
        return false;
    if (!m_db.exec("COMMIT", &m_error, &m_errorCode))
        return false; // the destructor still rolls back
    m_active = false;
    return true;
}

Savepoint::Savepoint(Database &db, const char *name)
    : m_db(db)
    , m_name(name)
{
    m_active = db.exec(("SAVEPOINT " + m_name).constData(), &m_error, &m_errorCode);
}

Savepoint::~Savepoint()
{
    if (!m_active)
        return;
    m_db.exec(("ROLLBACK TO " + m_name).constData());
    m_db.exec(("RELEASE " + m_name).constData());
}

bool Savepoint::release()
{
    if (!m_active)
        return false;
    if (!m_db.exec(("RELEASE " + m_name).constData(), &m_error, &m_errorCode))
        return false;
    m_active = false;
    return true;
}

} // namespace Sqlite
