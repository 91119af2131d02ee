#pragma once

#include "library/store/sqlite.h"

#include <QString>

#include <memory>

class BackgroundCheckpoints;
class ModelContext;

// The on-disk store of Skill and SkillCollection records: one SQLite file in WAL
// mode whose schema version is kept in the file itself. Opening refuses a file
// that is not a database or that a newer Vesk wrote, and leaves it untouched.
class ModelContainer final
{
public:
    static constexpr char schemaVersion[] = "1.0.0";
    static constexpr char storeFileName[] = "vesk.sqlite";

    ~ModelContainer();

    // The store file in the per-user application data directory.
    static QString defaultStorePath();

    // Opens or creates the store at `path`; nullptr with `error` on failure.
    static std::unique_ptr<ModelContainer> open(const QString &path, QString *error);

    ModelContext *mainContext() const { return m_context.get(); }
    // How long a save waits for another process's write lock (Sqlite::busyTimeoutMs
    // unless changed); tests shorten it to see a lock fail quickly.
    void setBusyTimeout(int milliseconds) { m_database.setBusyTimeout(milliseconds); }
    QString path() const { return m_path; }

private:
    ModelContainer() = default;
    bool openDatabase(const QString &path, QString *error);
    bool prepareStore(QString *error);
    bool checkSchema(QString *error, bool *isNew);
    bool prepareSchema(bool isNew, QString *error);

    QString m_path;
    Sqlite::Database m_database;
    std::unique_ptr<BackgroundCheckpoints> m_checkpoints; // before the connection closes
    std::unique_ptr<ModelContext> m_context;
};
