#pragma once

#include <QList>
#include <QString>

#include <optional>

// What Vesk keeps of each skill it installed, beside the installers' lock files
// (which have no room for it): the commit it came from, so a check for updates
// needs only one `git ls-remote` per repository, and a pristine copy of the
// contents as installed, so local edits can be shown and merged later.

struct InstallRecord {
    QString folder;      // the installed folder, absolute (the key)
    QString sourceUrl;   // what was cloned
    QString ref;
    QString commit;      // the commit installed from; empty for a local folder
    QString contentHash; // of the contents as installed
};

std::optional<InstallRecord> installRecordFor(const QString &folder);
bool saveInstallRecord(const InstallRecord &record, QString *error = nullptr);

// Where the pristine copy of the skill installed at `folder` is kept.
QString pristineFolderFor(const QString &folder);
// A file of an installed skill that differs from its pristine copy. Each side is
// the path of a regular file, or empty when that side has none under this name
// (the file was added or removed, or a link or folder stands there instead).
struct EditedFile {
    enum class Change { Edited, Added, Removed };
    QString relativePath; // inside the skill's folder, with "/" between folders
    Change change = Change::Edited; // Edited: there on both sides, as a file or not
    QString installed;    // in the pristine copy
    QString current;      // in the skill's folder
};
// The files of the skill at `folder` that differ from the pristine copy kept for
// it (at most a few dozen are named); none when no copy is kept or nothing differs.
QList<EditedFile> filesEditedSinceInstalled(const QString &folder);

// Keeps a copy of `contents` (".git" left out) as the pristine copy for `folder`,
// replacing the one kept before.
bool keepPristine(const QString &folder, const QString &contents, QString *error = nullptr);

// Copies a skill folder to `target` (which must not exist) under a hidden name
// first, ".git" left out, and renames it into place: `target` is either absent
// or whole.
bool placeSkillCopy(const QString &contents, const QString &target, QString *error = nullptr);

// Replaces the folder `target` by a copy of `contents` in one step (the two are
// exchanged, then the old one removed, or moved to the trash when `trashOld`).
bool replaceSkillFolder(const QString &target, const QString &contents, bool trashOld, QString *error = nullptr);
