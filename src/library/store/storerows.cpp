#include "library/store/storerows.h"

#include "library/records/skill.h"
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

template <typename T>
T pick(const T &stored, const T &ours, const T &theirs)
{
    return ours == stored ? theirs : ours;
}

// Both sides' entries, theirs first; unreadable data counts as no entries.
std::optional<QByteArray> unitePaths(const SkillRow &ours, const SkillRow &theirs)
{
    QStringList paths = SkillEncoding::decodeStringList(theirs.installedPathsData).value_or(QStringList{theirs.filePath});
    paths += SkillEncoding::decodeStringList(ours.installedPathsData).value_or(QStringList{ours.filePath});
    paths.removeDuplicates();
    return SkillEncoding::encodeStringList(paths);
}

QString uniteTools(const SkillRow &ours, const SkillRow &theirs)
{
    return SkillEncoding::encodeToolSources(SkillEncoding::decodeToolSources(theirs.toolSourcesRaw)
                                            + SkillEncoding::decodeToolSources(ours.toolSourcesRaw));
}

} // namespace

namespace StoreRows {

SkillRow readSkill(const Sqlite::Statement &select)
{
    SkillRow row;
    row.id = select.integer(0);
    row.resolvedPath = select.text(1);
    row.filePath = select.text(2);
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
}

void bindCollection(Sqlite::Statement &statement, const CollectionRow &row)
{
    statement.bind(1, row.name);
    statement.bind(2, row.icon);
    statement.bind(3, row.sortOrder);
}

SkillRow mergeSkill(const SkillRow &stored, const SkillRow &ours, const SkillRow &theirs)
{
    SkillRow merged;
    merged.id = theirs.id;
    merged.resolvedPath = pick(stored.resolvedPath, ours.resolvedPath, theirs.resolvedPath);
    merged.filePath = pick(stored.filePath, ours.filePath, theirs.filePath);
    merged.isDirectory = pick(stored.isDirectory, ours.isDirectory, theirs.isDirectory);
    merged.name = pick(stored.name, ours.name, theirs.name);
    merged.skillDescription = pick(stored.skillDescription, ours.skillDescription, theirs.skillDescription);
    // A body this side never read is one it did not change.
    const bool oursChangedContent = ours.hasContent && (!stored.hasContent || ours.content != stored.content);
    merged.content = oursChangedContent ? ours.content : theirs.content;
    merged.hasContent = oursChangedContent || theirs.hasContent;
    merged.frontmatterData = pick(stored.frontmatterData, ours.frontmatterData, theirs.frontmatterData);
    merged.isFavorite = pick(stored.isFavorite, ours.isFavorite, theirs.isFavorite);
    merged.lastOpened = pick(stored.lastOpened, ours.lastOpened, theirs.lastOpened);
    merged.fileModifiedDate = pick(stored.fileModifiedDate, ours.fileModifiedDate, theirs.fileModifiedDate);
    merged.fileSize = pick(stored.fileSize, ours.fileSize, theirs.fileSize);
    merged.isGlobal = pick(stored.isGlobal, ours.isGlobal, theirs.isGlobal);
    const bool bothInstalled = ours.installedPathsData != stored.installedPathsData
        && theirs.installedPathsData != stored.installedPathsData;
    merged.installedPathsData = bothInstalled
        ? unitePaths(ours, theirs)
        : pick(stored.installedPathsData, ours.installedPathsData, theirs.installedPathsData);
    const bool bothTools = ours.toolSourcesRaw != stored.toolSourcesRaw
        && theirs.toolSourcesRaw != stored.toolSourcesRaw;
    merged.toolSourcesRaw = bothTools ? uniteTools(ours, theirs)
                                      : pick(stored.toolSourcesRaw, ours.toolSourcesRaw, theirs.toolSourcesRaw);
    return merged;
}

CollectionRow mergeCollection(const CollectionRow &stored, const CollectionRow &ours,
                              const CollectionRow &theirs)
{
    return CollectionRow{theirs.id, pick(stored.name, ours.name, theirs.name),
                         pick(stored.icon, ours.icon, theirs.icon),
                         pick(stored.sortOrder, ours.sortOrder, theirs.sortOrder)};
}

SkillRow mergeInsertedSkill(const SkillRow &ours, const SkillRow &theirs)
{
    SkillRow merged = ours;
    merged.id = theirs.id;
    merged.filePath = theirs.filePath;
    merged.isDirectory = theirs.isDirectory;
    merged.isGlobal = theirs.isGlobal;
    merged.isFavorite = ours.isFavorite || theirs.isFavorite;
    if (!merged.lastOpened.isValid() || (theirs.lastOpened.isValid() && theirs.lastOpened > ours.lastOpened))
        merged.lastOpened = theirs.lastOpened;
    merged.installedPathsData = unitePaths(ours, theirs);
    merged.toolSourcesRaw = uniteTools(ours, theirs);
    return merged;
}

} // namespace StoreRows
