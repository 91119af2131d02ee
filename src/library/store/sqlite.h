#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Small RAII wrappers over the SQLite C API: one connection, one prepared
// statement, one transaction. Errors are reported as SQLite's own message text,
// with SQLite's (extended) result code next to it for callers that must tell a
// refused row from a store that cannot be written at all.
namespace Sqlite {

// How long a connection waits for another process's lock before giving up. Several
// Vesk processes (windows, `vesk list`) share one library; their transactions are
// short, so a generous wait only ever matters when one of them is stuck.
inline constexpr int busyTimeoutMs = 15000;

// True for errors that belong to one row (a constraint, a value too large), after
// which the rest of a transaction can still be written; false for errors of the
// store as a whole (disk full, read-only, I/O, locked), which fail every write.
bool isRowError(int resultCode);

class Database final
{
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    enum class Access { ReadWrite, ReadOnly };

    // Opens the database file at `path`, creating it when opened for writing.
    bool open(const QString &path, QString *error, Access access = Access::ReadWrite);
    // Closes the connection, as the destructor would; nothing is open afterwards.
    void close();
    // The file this connection has open; empty for none.
    QString path() const;
    // Runs one or more statements; on failure `error` and `resultCode` say why.
    bool exec(const char *sql, QString *error = nullptr, int *resultCode = nullptr);
    QString lastError() const;
    int lastErrorCode() const;
    void setBusyTimeout(int milliseconds);
    // Changes whenever another connection (in this process or another) commits.
    qint64 dataVersion();
    // Rows changed by the last INSERT, UPDATE or DELETE on this connection.
    qint64 changes() const;
    qint64 lastInsertRowId() const;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

class Statement final
{
public:
    Statement(Database &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    QString error() const { return m_error; }
    int errorCode() const { return m_errorCode; }

    // Parameters are numbered from 1, as in SQL.
    void bind(int index, const QString &text);
    void bind(int index, qint64 value);
    void bind(int index, bool value) { bind(index, qint64(value)); }
    void bind(int index, const std::optional<QByteArray> &blob);
    void bindNull(int index);

    // Advances to the next row: true while a row is available. After false,
    // error() is empty when the statement simply finished.
    bool next();
    // Runs a statement that returns no rows; false with error() on failure.
    bool run();
    void reset();

    QString text(int column) const;
    qint64 integer(int column) const;
    bool isNull(int column) const;
    std::optional<QByteArray> blob(int column) const;

private:
    Database &m_db;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_error;
    int m_errorCode = 0;
};

// BEGIN IMMEDIATE on construction; rolled back on destruction unless committed.
class Transaction final
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool isActive() const { return m_active; }
    QString error() const { return m_error; }
    int errorCode() const { return m_errorCode; }
    bool commit();

private:
    Database &m_db;
    bool m_active = false;
    QString m_error;
    int m_errorCode = 0;
};

// A named savepoint inside a transaction: rolled back to (and released) on
// destruction unless released, so one part of a transaction can fail alone.
class Savepoint final
{
public:
    Savepoint(Database &db, const char *name);
    ~Savepoint();
    Savepoint(const Savepoint &) = delete;
    Savepoint &operator=(const Savepoint &) = delete;

    bool isActive() const { return m_active; }
    QString error() const { return m_error; }
    int errorCode() const { return m_errorCode; }
    bool release();

private:
    Database &m_db;
    QByteArray m_name;
    bool m_active = false;
    QString m_error;
    int m_errorCode = 0;
};

} // namespace Sqlite
