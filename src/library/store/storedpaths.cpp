#include "library/store/storedpaths.h"

#include "library/store/sqlite.h"

#include <QSet>

std::optional<QStringList> readStoredSkillFolders(const QString &databasePath)
{
    Sqlite::Database database;
    if (databasePath.isEmpty() || !database.open(databasePath, nullptr, Sqlite::Database::Access::ReadOnly))
        return std::nullopt;
    // One pass: a page is never read twice, so a small page cache does.
    database.exec("PRAGMA cache_size = -256");
    Sqlite::Statement select(database, "SELECT filePath, resolvedPath FROM skill");
    if (!select.isValid())
        return std::nullopt;
    QSet<QString> folders;
    const auto note = [&folders](const QString &path) {
        if (const qsizetype slash = path.lastIndexOf(u'/'); slash >= 0)
            folders.insert(slash == 0 ? QStringLiteral("/") : path.left(slash));
    };
    while (select.next()) {
        note(select.text(0));
        note(select.text(1));
    }
    if (!select.error().isEmpty())
        return std::nullopt;
    return QStringList(folders.cbegin(), folders.cend());
}
