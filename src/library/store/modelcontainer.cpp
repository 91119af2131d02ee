#include "library/store/modelcontainer.h"

#include "library/store/backgroundcheckpoints.h"
#include "library/store/modelcontext.h"
#include "library/store/storeintegrity.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QVersionNumber>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    installedPathsData BLOB,
    hasFrontmatterYamlError INTEGER NOT NULL DEFAULT 0
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

// What each schema version added to the one before it, applied in order to a store
// written by an older Vesk. Only additions with defaults: an older row reads as
// before, and its file is read again by the next scan anyway.
struct Migration {
    const char *version;
    const char *statements;
};

constexpr Migration migrations[] = {
    {"1.1.0", "ALTER TABLE skill ADD COLUMN hasFrontmatterYamlError INTEGER NOT NULL DEFAULT 0;"},
};

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

// The library holds copies of skill files, some of them private, so it is the
// user's alone whatever the umask: the folder Vesk makes for it 0700, the store
// and the journal files beside it 0600. SQLite gives its -wal and -shm files the
// mode of the store itself, so the store is made (or tightened) before SQLite
// opens it, and files left by an earlier, looser Vesk are tightened too.
constexpr mode_t privateFolderMode = 0700;
constexpr mode_t privateFileMode = 0600;

bool makePrivateFolder(const QString &directory, QString *error)
{
    const auto fail = [&] {
        if (error)
            *error = QCoreApplication::translate("ModelContainer", "The folder \"%1\" could not be created.")
                         .arg(directory);
        return false;
    };
    const QByteArray native = QFile::encodeName(directory);
    struct stat info {};
    if (::stat(native.constData(), &info) == 0)
        return S_ISDIR(info.st_mode) || fail();
    if (!QDir().mkpath(QFileInfo(directory).absolutePath()))
        return fail();
    if (::mkdir(native.constData(), privateFolderMode) != 0 && errno != EEXIST)
        return fail();
    return true;
}

// Takes group and other bits off a file (or folder) this user owns.
void tighten(const QString &path, mode_t mode)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || info.st_uid != ::geteuid())
        return;
    if ((info.st_mode & 0077) != 0 && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
        ::chmod(native.constData(), mode);
}

bool makePrivateStoreFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, privateFileMode);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

ModelContainer::~ModelContainer()
{
    // The context's records must go before the connection closes.
    m_context.reset();
}

void ModelContainer::closeLeavingRecords()
{
    if (m_context)
        m_context->letGoOfStore();
    m_checkpoints.reset(); // waits for a checkpoint under way
    m_database.close();
}

QString ModelContainer::defaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/')
        + QLatin1String(storeFileName);
}

std::unique_ptr<ModelContainer> ModelContainer::open(const QString &path, QString *error, IntegrityCheck check)
{
    std::unique_ptr<ModelContainer> container(new ModelContainer);
    container->m_deferIntegrity = check == IntegrityCheck::Deferred;
    if (!container->openDatabase(path, error))
        return nullptr;
    return container;
}

bool ModelContainer::openDatabase(const QString &path, QString *error)
{
    m_path = path;
    const QString directory = QFileInfo(path).absolutePath();
    if (!makePrivateFolder(directory, error))
        return false;
    if (directory == QFileInfo(defaultStorePath()).absolutePath())
        tighten(directory, privateFolderMode);
    // A store that cannot be made here is left for SQLite to explain.
    if (!QFileInfo::exists(path))
        makePrivateStoreFile(path);
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        tighten(path + QLatin1String(suffix), privateFileMode);
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
    if (m_integrityPending)
        m_context->holdWrites();
    return m_context->load(error);
}

bool ModelContainer::prepareStore(QString *error)
{
    // Look before writing anything: a damaged or newer store must stay byte-for-byte
    // as it is, so the journal mode and schema are only touched once it checks out.
    bool isNew = false;
    if (!checkSchema(error, &isNew))
        return false;
    m_integrityPending = m_deferIntegrity && !isNew && needsNoWrite();
    if (!isNew && !m_integrityPending && !checkIntegrity(error))
        return false;
    if (!m_database.exec("PRAGMA journal_mode = WAL", error)
        || !m_database.exec("PRAGMA foreign_keys = ON", error)
        || !m_database.exec("PRAGMA synchronous = NORMAL", error))
        return false;
    m_checkpoints = std::make_unique<BackgroundCheckpoints>(m_database);
    return prepareSchema(isNew, error);
}

QVersionNumber ModelContainer::storedSchemaVersion()
{
    return storedSchemaVersion(m_database);
}

QVersionNumber ModelContainer::storedSchemaVersion(Sqlite::Database &database)
{
    Sqlite::Statement version(database, "SELECT value FROM vesk_meta WHERE key = 'schemaVersion'");
    if (!version.isValid() || !version.next())
        return {};
    return QVersionNumber::fromString(version.text(0));
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

// Damage in an index or a side table reads as nothing wrong until a write
// lands in it and spreads the damage, so the whole file is checked before this
// process writes anything. A damaged store is left exactly as it is.
bool ModelContainer::checkIntegrity(QString *error)
{
    bool busy = false;
    const QStringList problems = StoreIntegrity::problems(m_database, &busy);
    if (problems.isEmpty())
        return true;
    if (error)
        *error = busy ? problems.constLast() // another process is writing: tried again
                      : StoreIntegrity::damagedMessage(m_path, problems);
    return false;
}

// Whether opening needs to write nothing at all: the store is in WAL mode already
// and has the current schema with its change tracking. Only then may the check
// wait, since every write before it would land in a file not yet known sound.
bool ModelContainer::needsNoWrite()
{
    return opensWithoutWrites(m_database);
}

bool ModelContainer::opensWithoutWrites(Sqlite::Database &database)
{
    Sqlite::Statement mode(database, "PRAGMA journal_mode");
    if (!mode.next() || mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return false;
    mode.reset();
    return isTrackedAndCurrent(database);
}

bool ModelContainer::isTrackedAndCurrent()
{
    return isTrackedAndCurrent(m_database);
}

bool ModelContainer::isTrackedAndCurrent(Sqlite::Database &database)
{
    // Finished before any transaction: a statement left open would hold an old
    // snapshot, and SQLite refuses to write from one without waiting.
    Sqlite::Statement tracking(database,
                               "SELECT count(*) FROM sqlite_master WHERE name = 'vesk_change' "
                               "OR (type = 'trigger' AND tbl_name IN "
                               "('skill', 'skill_collection', 'collection_membership'))");
    if (!tracking.next())
        return false;
    const bool tracked = tracking.integer(0) == qint64(std::size(stampTriggers)) + 1;
    tracking.reset();
    return tracked && storedSchemaVersion(database) == QVersionNumber::fromString(QLatin1String(schemaVersion));
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
    if (!isNew && isTrackedAndCurrent())
        return true;

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
    if (!migrate(error))
        return false;
    if (!m_database.exec(changeTable, error) || !m_database.exec(stampTriggerStatements().constData(), error))
        return false;
    return transaction.commit() || fail(transaction.error());
}

// Inside the caller's transaction, so two processes never both migrate one store:
// the second reads the version the first wrote.
bool ModelContainer::migrate(QString *error)
{
    const QVersionNumber stored = storedSchemaVersion();
    if (stored.isNull())
        return true; // nothing written yet: a new store, made at the current version
    bool migrated = false;
    for (const Migration &migration : migrations) {
        if (QVersionNumber::compare(stored, QVersionNumber::fromString(QLatin1String(migration.version))) >= 0)
            continue;
        if (!m_database.exec(migration.statements, error))
            return false;
        migrated = true;
    }
    if (!migrated)
        return true;
    Sqlite::Statement version(m_database, "UPDATE vesk_meta SET value = ?1 WHERE key = 'schemaVersion'");
    version.bind(1, QString::fromLatin1(schemaVersion));
    if (!version.run()) {
        if (error)
            *error = version.error();
        return false;
    }
    return true;
}

void ModelContainer::setPageCache(int mebibytes)
{
    // Negative: a size in KiB rather than a count of pages.
    m_database.exec(QByteArray("PRAGMA cache_size = " + QByteArray::number(-1024 * qint64(mebibytes))).constData());
}

void ModelContainer::integrityCheckPassed()
{
    if (!m_integrityPending)
        return;
    m_integrityPending = false;
    m_context->releaseWrites();
}
