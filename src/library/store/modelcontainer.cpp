#include "library/store/modelcontainer.h"

#include "library/store/backgroundcheckpoints.h"
#include "library/store/modelcontext.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QVersionNumber>

#include <sqlite3.h>

namespace {

constexpr char createStatements[] = R"sql(
CREATE TABLE vesk_meta (
    key   TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
CREATE TABLE skill (
    id                 INTEGER PRIMARY KEY,
    resolvedPath       TEXT    NOT NULL UNIQUE,
    filePath           TEXT    NOT NULL,
    isDirectory        INTEGER NOT NULL,
    name               TEXT    NOT NULL,
    skillDescription   TEXT    NOT NULL,
    content            TEXT    NOT NULL,
    frontmatterData    BLOB,
    isFavorite         INTEGER NOT NULL,
    lastOpened         INTEGER,
    fileModifiedDate   INTEGER NOT NULL,
    fileSize           INTEGER NOT NULL,
    isGlobal           INTEGER NOT NULL,
    toolSourcesRaw     TEXT    NOT NULL,
    installedPathsData BLOB
);
CREATE TABLE skill_collection (
    id        INTEGER PRIMARY KEY,
    name      TEXT    NOT NULL UNIQUE,
    icon      TEXT    NOT NULL,
    sortOrder INTEGER NOT NULL
);
CREATE TABLE collection_membership (
    collection_id INTEGER NOT NULL REFERENCES skill_collection(id) ON DELETE CASCADE,
    skill_id      INTEGER NOT NULL REFERENCES skill(id) ON DELETE CASCADE,
    PRIMARY KEY (collection_id, skill_id)
);
CREATE INDEX collection_membership_by_skill ON collection_membership(skill_id);
)sql";

// Every write to a row, by any process and any version of Vesk, leaves a stamp that
// grows with each change, so a process that shares the library reads back exactly
// the rows others changed (ModelContext::refresh). Kind 0 is a skill, 1 a collection;
// a membership change stamps its collection. Added to older stores as they open;
// readers that do not know these tables are unaffected by them.
constexpr char changeTable[] = R"sql(
CREATE TABLE IF NOT EXISTS vesk_change (
    kind  INTEGER NOT NULL,
    id    INTEGER NOT NULL,
    stamp INTEGER NOT NULL,
    PRIMARY KEY (kind, id)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS vesk_change_by_stamp ON vesk_change(stamp);
)sql";

struct StampTrigger {
    const char *name;
    const char *event; // "INSERT ON skill", ...
    int kind;
    const char *id;    // the changed row's id, as the trigger sees it
};

constexpr StampTrigger stampTriggers[] = {
    {"skill_inserted", "INSERT ON skill", 0, "NEW.id"},
    {"skill_updated", "UPDATE ON skill", 0, "NEW.id"},
    {"skill_deleted", "DELETE ON skill", 0, "OLD.id"},
    {"collection_inserted", "INSERT ON skill_collection", 1, "NEW.id"},
    {"collection_updated", "UPDATE ON skill_collection", 1, "NEW.id"},
    {"collection_deleted", "DELETE ON skill_collection", 1, "OLD.id"},
    {"membership_added", "INSERT ON collection_membership", 1, "NEW.collection_id"},
    {"membership_removed", "DELETE ON collection_membership", 1, "OLD.collection_id"},
};

// The body never meets a conflict (an update, then an insert only where no row is),
// because a statement's own conflict clause (INSERT OR IGNORE, ...) would override
// any clause written here and could silently skip the stamp.
QByteArray stampTriggerStatements()
{
    QByteArray sql;
    for (const StampTrigger &trigger : stampTriggers) {
        const QByteArray kind = QByteArray::number(trigger.kind);
        const QByteArray key = "kind = " + kind + " AND id = " + trigger.id;
        sql += QByteArray("CREATE TRIGGER IF NOT EXISTS ") + trigger.name + " AFTER " + trigger.event
            + " BEGIN\n"
              "    UPDATE vesk_change SET stamp = (SELECT max(stamp) + 1 FROM vesk_change) WHERE " + key + ";\n"
              "    INSERT INTO vesk_change SELECT " + kind + ", " + trigger.id
            + ", (SELECT coalesce(max(stamp), 0) + 1 FROM vesk_change)"
              " WHERE NOT EXISTS (SELECT 1 FROM vesk_change WHERE " + key + ");\n"
              "END;\n";
    }
    return sql;
}

} // namespace

ModelContainer::~ModelContainer()
{
    // The context's records must go before the connection closes.
    m_context.reset();
}

QString ModelContainer::defaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/')
        + QLatin1String(storeFileName);
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString &path, QString *error)
{
    std::unique_ptr<ModelContainer> container(new ModelContainer);
    if (!container->openDatabase(path, error))
        return nullptr;
    return container;
}

bool ModelContainer::openDatabase(const QString &path, QString *error)
{
    m_path = path;
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        if (error)
            *error = QCoreApplication::translate("ModelContainer", "The folder \"%1\" could not be created.").arg(directory);
        return false;
    }
    if (!m_database.open(path, error))
        return false;

    // Two processes opening a new library at the same moment race for the switch to
    // WAL and for the first schema write. SQLite answers some of those collisions with
    // "database is locked" at once instead of waiting, because waiting there could
    // deadlock; the sequence below only reads until it knows what to write, so it is
    // simply tried again until the busy time-out is spent.
    const QDeadlineTimer deadline(Sqlite::busyTimeoutMs);
    for (;;) {
        QString attemptError;
        if (prepareStore(&attemptError))
            break;
        const int primaryCode = m_database.lastErrorCode() & 0xff;
        const bool busy = primaryCode == SQLITE_BUSY || primaryCode == SQLITE_LOCKED;
        if (!busy || deadline.hasExpired()) {
            if (error)
                *error = attemptError;
            return false;
        }
        QThread::msleep(25);
    }

    m_context = std::make_unique<ModelContext>(m_database);
    return m_context->load(error);
}

bool ModelContainer::prepareStore(QString *error)
{
    // Look before writing anything: a damaged or newer store must stay byte-for-byte
    // as it is, so the journal mode and schema are only touched once it checks out.
    bool isNew = false;
    if (!checkSchema(error, &isNew))
        return false;
    if (!m_database.exec("PRAGMA journal_mode = WAL", error)
        || !m_database.exec("PRAGMA foreign_keys = ON", error)
        || !m_database.exec("PRAGMA synchronous = NORMAL", error))
        return false;
    m_checkpoints = std::make_unique<BackgroundCheckpoints>(m_database);
    return prepareSchema(isNew, error);
}

bool ModelContainer::checkSchema(QString *error, bool *isNew)
{
    Sqlite::Statement tables(m_database,
                             "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
    if (!tables.isValid() || !tables.next()) {
        if (error)
            *error = tables.error();
        return false;
    }
    const qint64 tableCount = tables.integer(0);
    if (tableCount == 0) {
        *isNew = true;
        return true;
    }

    Sqlite::Statement version(m_database,
                              "SELECT value FROM vesk_meta WHERE key = 'schemaVersion'");
    if (!version.isValid() || !version.next()) {
        if (error)
            *error = QCoreApplication::translate("ModelContainer", "The file is not a Vesk library (no schema version found).");
        return false;
    }
    const QString stored = version.text(0);
    const QVersionNumber storedVersion = QVersionNumber::fromString(stored);
    const QVersionNumber ownVersion = QVersionNumber::fromString(QLatin1String(schemaVersion));
    if (storedVersion.isNull() || QVersionNumber::compare(storedVersion, ownVersion) > 0) {
        if (error)
            *error = QCoreApplication::translate("ModelContainer", "The library was written with schema version %1, which this "
                                    "version of Vesk (schema %2) cannot read.")
                         .arg(stored, QLatin1String(schemaVersion));
        return false;
    }
    return true;
}

// Creates the tables of a new store and adds change tracking to an older one. Two
// processes may open a new library at the same moment: the write transaction makes
// the second wait, and it then finds the first one's tables instead of failing.
bool ModelContainer::prepareSchema(bool isNew, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    // A store that has everything is not written to, so a read-only one still opens
    // (its saves then fail, visibly).
    if (!isNew) {
        // Finished before the transaction below: a statement left open would hold an
        // old snapshot, and SQLite refuses to write from one without waiting.
        Sqlite::Statement tracking(m_database,
                                   "SELECT count(*) FROM sqlite_master WHERE name = 'vesk_change' "
                                   "OR (type = 'trigger' AND tbl_name IN "
                                   "('skill', 'skill_collection', 'collection_membership'))");
        if (!tracking.next())
            return fail(tracking.error());
        if (tracking.integer(0) == qint64(std::size(stampTriggers)) + 1)
            return true;
    }

    Sqlite::Transaction transaction(m_database);
    if (!transaction.isActive())
        return fail(transaction.error());
    if (isNew) {
        bool stillNew = false;
        if (!checkSchema(error, &stillNew))
            return false;
        if (stillNew) {
            if (!m_database.exec(createStatements, error))
                return false;
            Sqlite::Statement version(m_database,
                                      "INSERT INTO vesk_meta (key, value) VALUES ('schemaVersion', ?1)");
            version.bind(1, QString::fromLatin1(schemaVersion));
            if (!version.run())
                return fail(version.error());
        }
    }
    if (!m_database.exec(changeTable, error) || !m_database.exec(stampTriggerStatements().constData(), error))
        return false;
    return transaction.commit() || fail(transaction.error());
}
