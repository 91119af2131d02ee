#include "library/scan/scanmemory.h"

#include "library/store/sqlite.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr char createTables[] = R"sql(
CREATE TABLE IF NOT EXISTS scan_file (
    path         TEXT PRIMARY KEY,
    resolvedPath TEXT NOT NULL,
    device       INTEGER NOT NULL,
    inode        INTEGER NOT NULL,
    size         INTEGER NOT NULL,
    modifiedNs   INTEGER NOT NULL,
    changedNs    INTEGER NOT NULL,
    racy         INTEGER NOT NULL,
    reader       INTEGER NOT NULL DEFAULT 0
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS scan_text_source (
    resolvedPath TEXT PRIMARY KEY,
    path         TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS scan_folder (
    skillFile TEXT PRIMARY KEY,
    walk      BLOB NOT NULL
) WITHOUT ROWID;
)sql";

// The walk blob: a version, whether it may be reused, the folder stamps, the files.
constexpr qint32 walkFormat = 1;

QByteArray encodeWalk(const ScanListing::ArtifactWalk &walk)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << walkFormat << walk.reusable << qint32(walk.folders.size());
    for (const ScanListing::FolderStamp &stamp : walk.folders)
        out << stamp.relativePath << stamp.device << stamp.inode << stamp.modifiedNs << stamp.changedNs;
    out << walk.files;
    return bytes;
}

// The keys in order: a table keyed by text takes rows far faster in key order than
// in the order of a hash, and dirties fewer of its pages for the log.
QStringList inKeyOrder(const QSet<QString> &keys)
{
    QStringList sorted = keys.values();
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// Reads the head of a walk blob (everything but the files) straight from its
// bytes, in QDataStream's layout (big-endian; a string is its byte count, or
// 0xffffffff for a null one, then UTF-16). An unchanged library's check decodes
// thousands of walks, and a QDataStream per walk cost more than the `stat` calls
// the walks lead to.
class WalkHeadReader final
{
public:
    explicit WalkHeadReader(const QByteArray &bytes)
        : m_begin(bytes.constData())
        , m_at(m_begin)
        , m_end(m_begin + bytes.size())
    {
    }

    bool ok() const { return m_ok; }
    qsizetype readSoFar() const { return m_at - m_begin; }

    template<typename T>
    T number()
    {
        if (!take(sizeof(T)))
            return T{};
        const T value = qFromBigEndian<T>(m_at);
        m_at += sizeof(T);
        return value;
    }

    QString text()
    {
        const quint32 bytes = number<quint32>();
        if (bytes == 0xffffffffu)
            return {};
        if (bytes % 2 != 0 || !take(bytes))
            return {};
        QString result(qsizetype(bytes / 2), Qt::Uninitialized);
        qFromBigEndian<char16_t>(m_at, qsizetype(bytes / 2), result.data());
        m_at += bytes;
        return result;
    }

private:
    bool take(size_t size)
    {
        m_ok = m_ok && size_t(m_end - m_at) >= size;
        return m_ok;
    }

    const char *m_begin = nullptr;
    const char *m_at = nullptr;
    const char *m_end = nullptr;
    bool m_ok = true;
};

} // namespace

std::optional<ScanListing::ArtifactWalk> ScanMemory::decodeWalk(const QByteArray &bytes, bool withFiles)
{
    WalkHeadReader head(bytes);
    ScanListing::ArtifactWalk walk;
    const qint32 format = head.number<qint32>();
    walk.reusable = head.number<qint8>() != 0;
    const qint32 count = head.number<qint32>();
    if (!head.ok() || format != walkFormat || count < 0)
        return std::nullopt;
    for (qint32 i = 0; i < count && head.ok(); ++i) {
        ScanListing::FolderStamp stamp;
        stamp.relativePath = head.text();
        stamp.device = head.number<quint64>();
        stamp.inode = head.number<quint64>();
        stamp.modifiedNs = head.number<qint64>();
        stamp.changedNs = head.number<qint64>();
        walk.folders.append(stamp);
    }
    if (!head.ok())
        return std::nullopt;
    if (withFiles) {
        QDataStream in(bytes);
        in.skipRawData(int(head.readSoFar()));
        in >> walk.files;
        if (in.status() != QDataStream::Ok)
            return std::nullopt;
    }
    return walk;
}

// Tables made before files remembered their reader: each of their rows then
// counts as read by none, so the next scan reads its file again. Another process
// may add the column at the same moment; what counts is that it is there.
bool ScanMemory::makeTables(Sqlite::Database &database)
{
    if (!database.exec(createTables))
        return false;
    if (!Sqlite::Statement(database, "SELECT reader FROM scan_file LIMIT 0").isValid())
        database.exec("ALTER TABLE scan_file ADD COLUMN reader INTEGER NOT NULL DEFAULT 0");
    return Sqlite::Statement(database, "SELECT reader FROM scan_file LIMIT 0").isValid();
}

ScanMemory::ScanMemory(Sqlite::Database &database, bool mayWriteNow)
{
    // Tables that are all there are read without a write.
    const bool present = Sqlite::Statement(database, "SELECT reader FROM scan_file LIMIT 0").isValid()
        && Sqlite::Statement(database, "SELECT resolvedPath FROM scan_text_source LIMIT 0").isValid()
        && Sqlite::Statement(database, "SELECT skillFile FROM scan_folder LIMIT 0").isValid();
    if (!present && !mayWriteNow) {
        m_usable = true; // empty until the first write makes the tables
        m_tablesMade = false;
        return;
    }
    if (!present && !makeTables(database))
        return;
    m_usable = true;

    Sqlite::Statement files(database, "SELECT path, resolvedPath, device, inode, size, modifiedNs, changedNs, racy, "
                                      "reader FROM scan_file");
    while (files.next()) {
        File file;
        file.resolvedPath = files.text(1);
        file.signature.device = quint64(files.integer(2));
        file.signature.inode = quint64(files.integer(3));
        file.signature.size = files.integer(4);
        file.signature.modifiedNs = files.integer(5);
        file.signature.changedNs = files.integer(6);
        file.signature.racy = files.integer(7) != 0;
        file.reader = int(files.integer(8));
        // A file that is no link resolves to itself: the key shares the string.
        QString path = files.text(0);
        if (path == file.resolvedPath)
            path = file.resolvedPath;
        m_files.insert(path, file);
    }
    Sqlite::Statement sources(database, "SELECT resolvedPath, path FROM scan_text_source");
    while (sources.next()) {
        const QString resolved = sources.text(0);
        const QString path = sources.text(1);
        m_textSources.insert(resolved, path == resolved ? resolved : path);
    }
    Sqlite::Statement walks(database, "SELECT skillFile, walk FROM scan_folder");
    while (walks.next())
        m_walks.insert(walks.text(0), walks.blob(1).value_or(QByteArray()));
}

void ScanMemory::expect(qsizetype files)
{
    // The sets of what is still to be written are emptied by every write: left to
    // grow. A full table is left alone: room asked of it would only rehash it.
    if (m_files.size() < files / 4)
        m_files.reserve(files);
    if (m_walks.size() < files / 4)
        m_walks.reserve(files);
    if (m_textSources.size() < files / 4)
        m_textSources.reserve(files);
}

void ScanMemory::rememberFile(const QString &path, const File &file)
{
    m_files.insert(path, file);
    m_dirtyFiles.insert(path);
}

// A table shared with a scan's snapshot is copied whole by any remove, even of
// a path it does not hold: asked first, a path never remembered costs nothing.
void ScanMemory::forgetFile(const QString &path)
{
    if (m_files.contains(path) && m_files.remove(path))
        m_dirtyFiles.insert(path);
}

void ScanMemory::rememberWalk(const QString &skillFile, const ScanListing::ArtifactWalk &walk)
{
    m_walks.insert(skillFile, encodeWalk(walk));
    m_dirtyWalks.insert(skillFile);
}

void ScanMemory::forgetWalk(const QString &skillFile)
{
    if (m_walks.contains(skillFile) && m_walks.remove(skillFile))
        m_dirtyWalks.insert(skillFile);
}

void ScanMemory::setTextSource(const QString &resolvedPath, const QString &path)
{
    if (m_textSources.value(resolvedPath) == path)
        return;
    m_textSources.insert(resolvedPath, path);
    m_dirtyTextSources.insert(resolvedPath);
}

bool ScanMemory::hasPendingWrites() const
{
    return m_usable && (!m_dirtyFiles.isEmpty() || !m_dirtyWalks.isEmpty() || !m_dirtyTextSources.isEmpty());
}

ScanMemory::PendingRows ScanMemory::pendingRows() const
{
    PendingRows rows;
    rows.files.reserve(m_dirtyFiles.size());
    for (const QString &path : inKeyOrder(m_dirtyFiles)) {
        const auto found = m_files.constFind(path);
        rows.files.emplace_back(path, found == m_files.cend() ? std::nullopt : std::optional<File>(*found));
    }
    rows.textSources.reserve(m_dirtyTextSources.size());
    for (const QString &resolved : inKeyOrder(m_dirtyTextSources))
        rows.textSources.emplace_back(resolved, m_textSources.value(resolved));
    rows.walks.reserve(m_dirtyWalks.size());
    for (const QString &skillFile : inKeyOrder(m_dirtyWalks)) {
        const auto found = m_walks.constFind(skillFile);
        rows.walks.emplace_back(skillFile, found == m_walks.cend() ? std::nullopt : std::optional<QByteArray>(*found));
    }
    return rows;
}

bool ScanMemory::writePending(Sqlite::Database &database, QString *error) const
{
    if (!m_usable)
        return true;
    if (!m_tablesMade && !makeTables(database)) {
        if (error)
            *error = QCoreApplication::translate("ScanMemory", "The scan's memory could not be added to the library.");
        return false;
    }
    return write(database, pendingRows(), error);
}

std::optional<ScanMemory::PendingRows> ScanMemory::takePending()
{
    if (!m_tablesMade)
        return std::nullopt;
    PendingRows rows = m_usable ? pendingRows() : PendingRows{};
    committed();
    return rows;
}

void ScanMemory::restorePending(const PendingRows &rows)
{
    for (const auto &[path, file] : rows.files)
        m_dirtyFiles.insert(path);
    for (const auto &[resolved, path] : rows.textSources)
        m_dirtyTextSources.insert(resolved);
    for (const auto &[skillFile, walk] : rows.walks)
        m_dirtyWalks.insert(skillFile);
}

bool ScanMemory::write(Sqlite::Database &database, const PendingRows &rows, QString *error)
{
    const auto fail = [&](const Sqlite::Statement &statement) {
        if (error)
            *error = statement.error();
        return false;
    };
    Sqlite::Statement putFile(database, "INSERT OR REPLACE INTO scan_file (path, resolvedPath, device, inode, size, "
                                        "modifiedNs, changedNs, racy, reader) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    Sqlite::Statement dropFile(database, "DELETE FROM scan_file WHERE path = ?1");
    for (const auto &[path, file] : rows.files) {
        if (!file) {
            dropFile.bind(1, path);
            if (!dropFile.run())
                return fail(dropFile);
            continue;
        }
        putFile.bind(1, path);
        putFile.bind(2, file->resolvedPath);
        putFile.bind(3, qint64(file->signature.device));
        putFile.bind(4, qint64(file->signature.inode));
        putFile.bind(5, file->signature.size);
        putFile.bind(6, file->signature.modifiedNs);
        putFile.bind(7, file->signature.changedNs);
        putFile.bind(8, file->signature.racy);
        putFile.bind(9, qint64(file->reader));
        if (!putFile.run())
            return fail(putFile);
    }
    Sqlite::Statement putSource(database, "INSERT OR REPLACE INTO scan_text_source (resolvedPath, path) VALUES (?1, ?2)");
    for (const auto &[resolved, path] : rows.textSources) {
        putSource.bind(1, resolved);
        putSource.bind(2, path);
        if (!putSource.run())
            return fail(putSource);
    }
    Sqlite::Statement putWalk(database, "INSERT OR REPLACE INTO scan_folder (skillFile, walk) VALUES (?1, ?2)");
    Sqlite::Statement dropWalk(database, "DELETE FROM scan_folder WHERE skillFile = ?1");
    for (const auto &[skillFile, walk] : rows.walks) {
        if (!walk) {
            dropWalk.bind(1, skillFile);
            if (!dropWalk.run())
                return fail(dropWalk);
            continue;
        }
        putWalk.bind(1, skillFile);
        putWalk.bind(2, walk);
        if (!putWalk.run())
            return fail(putWalk);
    }
    return true;
}

void ScanMemory::committed()
{
    m_tablesMade = true;
    m_dirtyFiles.clear();
    m_dirtyWalks.clear();
    m_dirtyTextSources.clear();
}
