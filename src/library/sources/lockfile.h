#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The records the `skills` installer keeps of what it installed, read and
// written in its own format so that its update and restore keep working on what
// Vesk installs, and Vesk can say where the skills it installed came from.
//
// The global lock (home scope):
//   {"version": 3, "skills": {NAME: {source, sourceType, sourceUrl, ref, skillPath,
//    skillFolderHash, installedAt, updatedAt, pluginName}}}
// A project's lock, `skills-lock.json` at its root:
//   {"version": 1, "skills": {NAME: {source, sourceType, sourceUrl?, ref?, skillPath?, computedHash}}}
//
// Both are read leniently (unknown fields and versions kept, odd entries left
// out with a reason) and written back whole, with keys sorted, two-space indent
// and a final newline, everything Vesk does not know kept as it was.

enum class LockKind { Global, Project };

struct LockEntry {
    QString name;
    QString source;     // owner/repo, a git URL or a folder
    QString sourceType; // "github", "git", "local", ...
    QString sourceUrl;  // what git clones
    QString ref;        // branch or tag asked for; empty for the default branch
    QString skillPath;  // where the skill is in the source ("skills/x/SKILL.md")
    QString hash;       // skillFolderHash (global: a git tree id) or computedHash (project: SHA-256)
    QString installedAt;
    QString updatedAt;
    QString pluginName;
    QJsonObject fields; // the entry as read, unknown fields included
};

struct LockFile {
    LockKind kind = LockKind::Global;
    QString path;
    bool exists = false;
    int version = 0;
    QJsonObject root;         // the whole file as read
    QList<LockEntry> entries; // in name order
    QStringList problems;     // what was left out, and why
    QHash<QString, qsizetype> byName; // entries' positions, for lookups by name
};

// The largest lock file Vesk reads: thousands of entries fit in far less.
inline constexpr qint64 maxLockFileBytes = 4 * 1024 * 1024;
// The versions Vesk writes; a file of a later version is read but never written.
inline constexpr int globalLockVersion = 3;
inline constexpr int projectLockVersion = 1;

// `$XDG_STATE_HOME/skills/.skill-lock.json` when that file exists, else
// `~/.agents/.skill-lock.json`.
QString globalLockPath();
// `skills-lock.json` at the root of `project`.
QString projectLockPath(const QString &project);
// The lock that records skills installed in a scope: the home (empty) or a project.
QString lockPathFor(const QString &project);
LockKind lockKindFor(const QString &project);

// Reads a lock file. A missing file is an empty lock (exists false); one that is
// not JSON, is too large or is not a regular file gives no value and `error`.
std::optional<LockFile> readLockFile(const QString &path, LockKind kind, QString *error = nullptr);

// The entry called `name`, if any.
const LockEntry *findEntry(const LockFile &lock, const QString &name);

// Adds `entry` to the lock at `path`, or replaces the entry of that name, keeping
// every other entry and every field Vesk does not know. The file is replaced
// whole, atomically. Refuses a file it cannot read or of a later version.
bool writeLockEntry(const QString &path, LockKind kind, const LockEntry &entry, QString *error = nullptr);

// The JSON text the installer writes: keys sorted, two-space indent, a final newline.
QByteArray lockFileText(const QJsonObject &root);

// Whether `name` can name a skill folder: one plain path component.
bool isSafeSkillName(const QString &name);
// The folder a skillPath names, relative to the source's root ("" for the root):
// no value when it is absolute or climbs out with "..". A trailing "SKILL.md" is the folder's file.
std::optional<QString> skillFolderOf(const QString &skillPath);
// `relative` inside `root`, with every link resolved: no value when it leads outside `root`.
std::optional<QString> insideFolder(const QString &root, const QString &relative);

// The time now as the installer writes it: ISO 8601 in UTC with milliseconds.
QString lockTimestamp();
