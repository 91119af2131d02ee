#include "library/records/recordrows.h"

#include "library/records/skill.h"

namespace {

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

namespace RecordRows {

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

} // namespace RecordRows
