#include "library/modelcontainer.h"

#include "library/modelcontext.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVersionNumber>

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
            *error = QStringLiteral("The folder \"%1\" could not be created.").arg(directory);
        return false;
    }
    if (!m_database.open(path, error))
        return false;

    // Look before writing anything: a damaged or newer store must stay byte-for-byte
    // as it is, so the journal mode and schema are only touched once it checks out.
    bool isNew = false;
    if (!checkSchema(error, &isNew))
        return false;
    if (!m_database.exec("PRAGMA journal_mode = WAL", error)
        || !m_database.exec("PRAGMA foreign_keys = ON", error)
        || !m_database.exec("PRAGMA synchronous = NORMAL", error))
        return false;
    if (isNew && !createSchema(error))
        return false;

    m_context = std::make_unique<ModelContext>(m_database);
    return m_context->load(error);
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
            *error = QStringLiteral("The file is not a Vesk library (no schema version found).");
        return false;
    }
    const QString stored = version.text(0);
    const QVersionNumber storedVersion = QVersionNumber::fromString(stored);
    const QVersionNumber ownVersion = QVersionNumber::fromString(QLatin1String(schemaVersion));
    if (storedVersion.isNull() || QVersionNumber::compare(storedVersion, ownVersion) > 0) {
        if (error)
            *error = QStringLiteral("The library was written with schema version %1, which this "
                                    "version of Vesk (schema %2) cannot read.")
                         .arg(stored, QLatin1String(schemaVersion));
        return false;
    }
    return true;
}

bool ModelContainer::createSchema(QString *error)
{
    Sqlite::Transaction transaction(m_database);
    if (!transaction.isActive()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    if (!m_database.exec(createStatements, error))
        return false;
    Sqlite::Statement version(m_database,
                              "INSERT INTO vesk_meta (key, value) VALUES ('schemaVersion', ?1)");
    version.bind(1, QString::fromLatin1(schemaVersion));
    if (!version.run()) {
        if (error)
            *error = version.error();
        return false;
    }
    if (!transaction.commit()) {
        if (error)
            *error = transaction.error();
        return false;
    }
    return true;
}
