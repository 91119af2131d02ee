#pragma once

#include "library/sources/lockfile.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// Where a skill came from, as the installers' lock files say: the entry of the
// lock of its scope (the home folder's global lock, or its project's
// skills-lock.json) named like its folder, for a folder directly in one of the
// tools' skill folders of that scope. Reading this costs one small JSON file per
// scope, read once per cache; whether the skill was edited since is worked out
// only when asked, from its files.

// Each lock file read once, again only when its size or time changes.
class LockFileCache final
{
public:
    const LockFile *lock(const QString &path, LockKind kind);
    // The tools' skill folders of a scope, worked out once.
    const QStringList &toolFolders(const QString &project);

private:
    QHash<QString, QStringList> m_toolFolders;
    struct Cached {
        QDateTime modified;
        qint64 size = -1;
        LockFile lock;
    };
    QHash<QString, Cached> m_locks;
};

struct SkillOrigin {
    LockEntry entry;
    LockKind kind = LockKind::Global;
    QString lockPath;
    QString folder;  // the skill's folder the entry names
    QString project; // empty: the home folder
};

// The origin of the skill whose folder (or one of whose folders: the path found
// and the one links lead to) is among `folders`.
std::optional<SkillOrigin> originOf(const QStringList &folders, LockFileCache &cache);

// Whether the skill's files differ from what the lock entry says was installed;
// no value when the entry has no hash, or the folder holds more than `maxBytes`.
std::optional<bool> editedSinceInstalled(const SkillOrigin &origin, qint64 maxBytes = 4 * 1024 * 1024);

// When the entry says it was installed; invalid when it does not.
QDateTime installedAt(const SkillOrigin &origin);
