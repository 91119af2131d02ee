#include "library/store/storerows.h"

#include "library/store/sqlite.h"

namespace {

std::optional<qint64> toMilliseconds(const QDateTime &date)
{
    if (!date.isValid())
        return std::nullopt;
    return date.toMSecsSinceEpoch();
}

QDateTime fromMilliseconds(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace

namespace StoreRows {

SkillRow readSkill(const Sqlite::Statement &select)
{
    SkillRow row;
    row.id = select.integer(0);
    row.resolvedPath = select.text(1);
    row.filePath = select.text(2);
    // Most records are found where they live: one shared string then serves both.
    if (row.filePath == row.resolvedPath)
        row.filePath = row.resolvedPath;
    row.isDirectory = select.integer(3) != 0;
    row.name = select.text(4);
    row.skillDescription = select.text(5);
    row.content = select.text(6);
    row.frontmatterData = select.blob(7);
    row.isFavorite = select.integer(8) != 0;
    if (!select.isNull(9))
        row.lastOpened = fromMilliseconds(select.integer(9));
    row.fileModifiedDate = fromMilliseconds(select.integer(10));
    row.fileSize = select.integer(11);
    row.isGlobal = select.integer(12) != 0;
    row.toolSourcesRaw = select.text(13);
    row.installedPathsData = select.blob(14);
    row.hasFrontmatterYamlError = select.integer(15) != 0;
    return row;
}

CollectionRow readCollection(const Sqlite::Statement &select)
{
    return CollectionRow{select.integer(0), select.text(1), select.text(2), select.integer(3)};
}

void bindSkill(Sqlite::Statement &statement, const SkillRow &row)
{
    statement.bind(1, row.resolvedPath);
    statement.bind(2, row.filePath);
    statement.bind(3, row.isDirectory);
    statement.bind(4, row.name);
    statement.bind(5, row.skillDescription);
    if (row.hasContent)
        statement.bind(6, row.content);
    else
        statement.bindNull(6); // the statements keep the stored body then
    statement.bind(7, row.frontmatterData);
    statement.bind(8, row.isFavorite);
    if (const auto opened = toMilliseconds(row.lastOpened))
        statement.bind(9, *opened);
    else
        statement.bindNull(9);
    statement.bind(10, toMilliseconds(row.fileModifiedDate).value_or(0));
    statement.bind(11, row.fileSize);
    statement.bind(12, row.isGlobal);
    statement.bind(13, row.toolSourcesRaw);
    statement.bind(14, row.installedPathsData);
    statement.bind(15, row.hasFrontmatterYamlError);
}

void bindCollection(Sqlite::Statement &statement, const CollectionRow &row)
{
    statement.bind(1, row.name);
    statement.bind(2, row.icon);
    statement.bind(3, row.sortOrder);
}

} // namespace StoreRows
