#include "library/store/storeintegrity.h"

#include "library/store/sqlite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <sqlite3.h>

QStringList StoreIntegrity::problems(Sqlite::Database &database, bool *busy)
{
    if (busy)
        *busy = false;
    Sqlite::Statement check(database, "PRAGMA quick_check(5)");
    QStringList found;
    while (check.isValid() && check.next()) {
        const QString line = check.text(0);
        if (line != QLatin1String("ok"))
            found.append(line);
    }
    if (!check.isValid() || !check.error().isEmpty()) {
        const int primaryCode = database.lastErrorCode() & 0xff;
        if (busy && (primaryCode == SQLITE_BUSY || primaryCode == SQLITE_LOCKED))
            *busy = true;
        found.append(check.error());
    }
    return found;
}

QString StoreIntegrity::damagedMessage(const QString &path, const QStringList &problems)
{
    const QString file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return QCoreApplication::translate(
               "ModelContainer",
               "The library file %1 is damaged (%2). Vesk has written nothing to it. Quit Vesk, move the "
               "file aside (for example: mv \"%1\" \"%1.damaged\") and start Vesk again to build a new "
               "library from your skill files.")
        .arg(file, problems.join(QLatin1String("; ")));
}

StoreIntegrityCheck::StoreIntegrityCheck(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
{
}

StoreIntegrityCheck::~StoreIntegrityCheck()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void StoreIntegrityCheck::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this, path = m_path] {
        // Runs on the worker: only its own connection and the message it sends back.
        Sqlite::Database database;
        QString openError;
        QStringList found;
        if (!database.open(path, &openError, Sqlite::Database::Access::ReadOnly))
            found.append(openError);
        else
            found = StoreIntegrity::problems(database);
        const QString damage = found.isEmpty() ? QString() : StoreIntegrity::damagedMessage(path, found);
        QMetaObject::invokeMethod(this, [this, damage] { Q_EMIT finished(damage); }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}
