#pragma once

#include "library/store/sqlite.h"

#include <QString>
#include <QVersionNumber>

#include <memory>

class BackgroundCheckpoints;
class ModelContext;

// The on-disk store of Skill and SkillCollection records: one SQLite file in WAL
// mode whose schema version is kept in the file itself. Opening refuses a file
// that is not a database or that a newer Vesk wrote, and leaves it untouched.
class ModelContainer final
{
public:
    static constexpr char schemaVersion[] = "1.1.0";
    static constexpr char storeFileName[] = "vesk.sqlite";

    ~ModelContainer();

    // The store file in the per-user application data directory.
    static QString defaultStorePath();

    enum class IntegrityCheck {
        Now, // before open() returns
        // Left to the caller (see StoreIntegrityCheck) when opening writes nothing;
        // until then the context holds every save pending (see integrityCheckPending).
        Deferred,
    };

    // Opens or creates the store at `path`; nullptr with `error` on failure.
    static std::unique_ptr<ModelContainer> open(const QString &path, QString *error,
                                                IntegrityCheck check = IntegrityCheck::Now);

    // True when the whole-file check was left to the caller: nothing this process
    // writes reaches the store until it calls integrityCheckPassed().
    bool integrityCheckPending() const { return m_integrityPending; }
    // Lets the held saves through (written at once).
    void integrityCheckPassed();

    // Whether the store open on `database` is one this version opens without
    // writing anything: in WAL mode, at the current schema, with change tracking.
    static bool opensWithoutWrites(Sqlite::Database &database);

    ModelContext *mainContext() const { return m_context.get(); }
    // How long a save waits for another process's write lock (Sqlite::busyTimeoutMs
    // unless changed); tests shorten it to see a lock fail quickly.
    void setBusyTimeout(int milliseconds) { m_database.setBusyTimeout(milliseconds); }
    // How much of the store the connection keeps in memory (SQLite's default is
    // 2 MiB). A process that writes a whole library at once and then exits reads
    // back fewer of the pages it wrote with more; the window keeps the default.
    void setPageCache(int mebibytes);
    QString path() const { return m_path; }

    // Closes the store as the destructor does (a save under way written, the log
    // copied into the file and removed), but leaves the records in memory: for a
    // process that ends right after and need not take them apart one by one.
    // Nothing may use the container afterwards; destroying it is still safe.
    void closeLeavingRecords();

private:
    ModelContainer() = default;
    bool openDatabase(const QString &path, QString *error);
    bool prepareStore(QString *error);
    bool checkSchema(QString *error, bool *isNew);
    bool checkIntegrity(QString *error);
    bool needsNoWrite();
    bool isTrackedAndCurrent();
    static bool isTrackedAndCurrent(Sqlite::Database &database);
    bool prepareSchema(bool isNew, QString *error);
    bool migrate(QString *error);
    // The version the store says it has; null when it says none.
    QVersionNumber storedSchemaVersion();
    static QVersionNumber storedSchemaVersion(Sqlite::Database &database);

    QString m_path;
    bool m_deferIntegrity = false;
    bool m_integrityPending = false;
    Sqlite::Database m_database;
    std::unique_ptr<BackgroundCheckpoints> m_checkpoints; // before the connection closes
    std::unique_ptr<ModelContext> m_context;
};
