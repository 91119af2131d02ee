#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Small RAII wrappers over the SQLite C API: one connection, one prepared
// statement, one transaction. Errors are reported as SQLite's own message text.
namespace Sqlite {

class Database final
{
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (creating if needed) the database file at `path`.
    bool open(const QString &path, QString *error);
    bool exec(const char *sql, QString *error = nullptr);
    QString lastError() const;
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
    bool commit();

private:
    Database &m_db;
    bool m_active = false;
    QString m_error;
};

} // namespace Sqlite
