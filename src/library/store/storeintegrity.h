#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QThread;

namespace Sqlite {
class Database;
}

// SQLite's quick check of a whole store: damage in an index or a side table reads
// as nothing wrong until a write lands in it and spreads the damage.
namespace StoreIntegrity {
// What the check found wrong (at most a few lines); empty for a sound store.
// `busy` is set when another process kept the check from running at all.
QStringList problems(Sqlite::Database &database, bool *busy = nullptr);
// What the user reads about a damaged store at `path`: where it is, that nothing
// was written, and how to move it aside.
QString damagedMessage(const QString &path, const QStringList &problems);
}

// Runs the check on a worker thread through its own read-only connection, so a
// window can draw while a large store is read end to end. Reports once, on the
// thread that made it.
class StoreIntegrityCheck final : public QObject
{
    Q_OBJECT

public:
    explicit StoreIntegrityCheck(const QString &path, QObject *parent = nullptr);
    ~StoreIntegrityCheck() override; // waits for the worker

    void start();

Q_SIGNALS:
    // `damage` is the message for the user; empty when the store is sound.
    void finished(const QString &damage);

private:
    QString m_path;
    QThread *m_thread = nullptr;
};
