#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The stored form of one Skill: the fourteen columns of its row and the row id.
// Records keep the row they last read or wrote, so that a save can tell which
// fields this process changed and a row written by another process can be merged
// field by field.
struct SkillRow {
    qint64 id = 0;
    QString resolvedPath;
    QString filePath;
    bool isDirectory = false;
    QString name;
    QString skillDescription;
    QString content;
    // False when `content` was not read: the body is whatever the store holds.
    bool hasContent = true;
    std::optional<QByteArray> frontmatterData;
    bool isFavorite = false;
    QDateTime lastOpened; // invalid when never opened
    QDateTime fileModifiedDate;
    qint64 fileSize = 0;
    bool isGlobal = false;
    QString toolSourcesRaw;
    std::optional<QByteArray> installedPathsData;

    bool operator==(const SkillRow &) const = default;
};

struct CollectionRow {
    qint64 id = 0;
    QString name;
    QString icon;
    qint64 sortOrder = 0;

    bool operator==(const CollectionRow &) const = default;
};

namespace RecordRows {

// When this process changed a record and another process changed its row, each
// field takes this process's value if this process changed it since `stored`
// (the row as last read or written here), and the other process's value otherwise.
// Installations are the exception: both sides' paths and harnesses are kept.
SkillRow mergeSkill(const SkillRow &stored, const SkillRow &ours, const SkillRow &theirs);
CollectionRow mergeCollection(const CollectionRow &stored, const CollectionRow &ours,
                              const CollectionRow &theirs);

// A skill this process found and had not saved yet, while another process saved a
// row for the same file: one record results. The file's facts are this process's
// fresher reading; where and since when it is installed come from the stored row;
// the user's marks are kept from both (a favorite on either side stays a favorite).
SkillRow mergeInsertedSkill(const SkillRow &ours, const SkillRow &theirs);

} // namespace RecordRows
