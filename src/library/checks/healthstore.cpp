#include "library/checks/healthstore.h"

#include "library/store/sqlite.h"

#include <QDataStream>
#include <QIODevice>
#include <QLocale>

namespace {

// Raised whenever a rule is added, changed or reworded.
constexpr int rulesRevision = 1;
constexpr quint32 encodingMagic = 0x56434b31; // "VCK1"
// A file with more findings than this is checked again rather than read back.
constexpr quint32 mostFindings = 100000;

constexpr char createTable[] = R"sql(
CREATE TABLE IF NOT EXISTS check_result (
    path        TEXT PRIMARY KEY,
    checker     TEXT NOT NULL,
    size        INTEGER NOT NULL,
    fileTimes   INTEGER NOT NULL,
    folderTimes INTEGER NOT NULL,
    digest      BLOB,
    findings    BLOB NOT NULL
) WITHOUT ROWID;
)sql";

} // namespace

namespace HealthStore {

QString checkerTag()
{
    return QStringLiteral("%1 %2").arg(rulesRevision).arg(QLocale().name());
}

QByteArray encodeFindings(const QList<Finding> &findings)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << encodingMagic << quint32(findings.size());
    for (const Finding &finding : findings) {
        out << finding.rule << qint32(finding.level) << finding.message << qint32(finding.line)
            << qint32(finding.column) << finding.path;
    }
    return bytes;
}

std::optional<QList<Finding>> decodeFindings(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    if (in.status() != QDataStream::Ok || magic != encodingMagic || count > mostFindings)
        return std::nullopt;
    QList<Finding> findings;
    for (quint32 i = 0; i < count; ++i) {
        Finding finding;
        qint32 level = 0;
        qint32 line = 0;
        qint32 column = 0;
        in >> finding.rule >> level >> finding.message >> line >> column >> finding.path;
        if (in.status() != QDataStream::Ok || level < int(FindingLevel::Note) || level > int(FindingLevel::Error))
            return std::nullopt;
        finding.level = FindingLevel(level);
        finding.line = line;
        finding.column = column;
        findings.append(finding);
    }
    return in.atEnd() ? std::optional(findings) : std::nullopt;
}

int restore(Sqlite::Database &database, CheckCache &cache)
{
    Sqlite::Statement rows(database, "SELECT path, size, fileTimes, folderTimes, digest, findings "
                                     "FROM check_result WHERE checker = ?1");
    if (!rows.isValid())
        return 0;
    rows.bind(1, checkerTag());
    int restored = 0;
    while (rows.next()) {
        std::optional<QList<Finding>> findings = decodeFindings(rows.blob(5).value_or(QByteArray()));
        if (!findings)
            continue;
        CheckCache::Stamp stamp;
        stamp.size = rows.integer(1);
        stamp.fileTimes = rows.integer(2);
        stamp.folderTimes = rows.integer(3);
        cache.restore(rows.text(0), stamp, {std::move(*findings), rows.blob(4).value_or(QByteArray())});
        ++restored;
    }
    return restored;
}

bool write(Sqlite::Database &database, const CheckCache &cache, const QSet<QString> &paths,
           const QStringList &gone, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    Sqlite::Transaction transaction(database);
    if (!transaction.isActive())
        return fail(transaction.error());
    if (!database.exec(createTable, error))
        return false;
    Sqlite::Statement insert(database, "INSERT OR REPLACE INTO check_result "
                                       "(path, checker, size, fileTimes, folderTimes, digest, findings) "
                                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    Sqlite::Statement remove(database, "DELETE FROM check_result WHERE path = ?1");
    if (!insert.isValid() || !remove.isValid())
        return fail(insert.isValid() ? remove.error() : insert.error());
    const QString tag = checkerTag();
    for (const QString &path : paths) {
        const std::pair<CheckCache::Stamp, CheckCache::Entry> *kept = cache.find(path);
        if (!kept)
            continue;
        insert.bind(1, path);
        insert.bind(2, tag);
        insert.bind(3, kept->first.size);
        insert.bind(4, kept->first.fileTimes);
        insert.bind(5, kept->first.folderTimes);
        insert.bind(6, kept->second.digest.isEmpty() ? std::nullopt : std::optional(kept->second.digest));
        insert.bind(7, std::optional(encodeFindings(kept->second.findings)));
        if (!insert.run())
            return fail(insert.error());
        insert.reset();
    }
    for (const QString &path : gone) {
        remove.bind(1, path);
        if (!remove.run())
            return fail(remove.error());
        remove.reset();
    }
    return transaction.commit() || fail(transaction.error());
}

} // namespace HealthStore
