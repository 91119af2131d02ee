#pragma once

#include "library/disk/fileproblems.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// A supporting file that ships next to a skill file: a script, a reference document,
// a rule set, a config file or anything else found inside the skill's folder.
struct SkillArtifact {
    // The declaration order is the order ArtifactCategories::allCases() returns.
    enum class Category {
        Script,
        Reference,
        Rule,
        Config,
        Other,
    };

    QUuid id;              // fresh for every listing
    QString name;          // last component of relativePath
    QString path;          // absolute: skill directory + "/" + relativePath
    QString relativePath;  // components joined by "/"
    Category category = Category::Other;
    QString fileExtension; // text after the last "." of name, lower-cased; empty if none

    friend bool operator==(const SkillArtifact &, const SkillArtifact &) = default;
};

namespace ArtifactCategories {

const QList<SkillArtifact::Category> &allCases();

// Group heading, also the stored raw value: "Scripts", "References", "Rules", "Config", "Files".
QString title(SkillArtifact::Category category);
// Exact, case-sensitive inverse of title(); anything else yields no value.
std::optional<SkillArtifact::Category> fromTitle(const QString &title);
QString symbolName(SkillArtifact::Category category);

} // namespace ArtifactCategories

// Classifies a file by its path relative to the skill folder: the enclosing folder
// names decide first, then the file extension.
SkillArtifact::Category categorize(const QString &relativePath);

// Every file inside the folder of the given skill file except the skill file itself
// and hidden files, grouped by category title and in walk order within a group.
// Never fails: anything unreadable simply contributes no entries. Entries whose
// names are not UTF-8, and pipes, sockets and devices (no one could open them as
// a supporting file), are left out and, when asked for, given in `leftOut` with
// the reason.
QList<SkillArtifact> listArtifacts(const QString &skillFilePath, QList<FileProblem> *leftOut = nullptr);

// The artifact at `relativePath` inside `directory`, every field but the id
// worked out from those two.
SkillArtifact artifactAt(const QString &directory, const QString &relativePath);

// The same list built from what a walk of the skill's folder found: the paths,
// relative to the folder and in walk order, of every entry that exists and is not
// a regular file (links followed).
QList<SkillArtifact> artifactsFromFiles(const QString &skillFilePath, const QStringList &relativeFiles);
