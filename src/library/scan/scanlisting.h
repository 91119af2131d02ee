#pragma once

#include "library/disk/filesignature.h"
#include "library/catalogue/skilllocations.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The listing half of a scan in plain POSIX calls, safe on any thread: which
// locations exist, which skill files they hold, and what the artifact walk of a
// skill folder finds. Every answer is the one SkillLocations::existingLocations,
// SkillLocations::filesIn, the project listing and listArtifacts give (same files,
// same order, same path strings); only the cost differs: one readdir per folder,
// the file types it reports, and a single lstat per skill file, which also gives
// the file's signature and, without links on the way, its resolved path.
namespace ScanListing {

// One skill file a location holds.
struct ListedFile {
    QString path;         // as found
    QString resolvedPath; // symbolic links resolved; empty when that failed
    bool isDirectory = false;
    FileSignature signature; // of the file, links followed
};

struct LocationListing {
    QList<ListedFile> files;
    // Every visible folder one level down, skill or not yet: a folder made now
    // may receive its SKILL.md a moment later.
    QStringList folders;
    // Visible entries whose names are not UTF-8, as paths with U+FFFD for the bad
    // bytes: left out, to be reported.
    QStringList undecodable;
};

// The rows of `base` that exist under `baseFolder`, in table order.
QList<PlacedLocation> existingLocations(LocationBase base, const QString &baseFolder);

// For every row of `base`: the folder to watch for it under `baseFolder`, that
// is its folder (the one holding it, for a named file) or, while that does not
// exist, the nearest folder above it that does, up to `baseFolder`. Each once.
QStringList rowFolders(LocationBase base, const QString &baseFolder);

// The skill files of one placed location, in the scan's order; with `onlyNames`,
// only those of the entries so named.
LocationListing filesIn(const PlacedLocation &location, qint64 nowNs, const QSet<QString> *onlyNames = nullptr);

// The visible folders (links to folders included) inside a custom scan
// directory, in name order: its projects. Entries whose names are not UTF-8 are
// left out and, when asked for, given in `undecodable`.
QStringList projects(const QString &root, QStringList *undecodable = nullptr);

// One folder the artifact walk went through, to tell later whether its entries changed.
struct FolderStamp {
    QString relativePath; // "" for the skill folder itself
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const FolderStamp &) const = default;
};

// What the artifact walk of one skill folder found; artifactsFromFiles turns it
// into listArtifacts' answer.
struct ArtifactWalk {
    QStringList files; // relative paths of the entries that exist and are no folder, in walk order
    QStringList undecodable; // relative paths of visible entries whose names are not UTF-8
    QStringList special;     // relative paths of visible pipes, sockets and devices (links followed)
    QList<FolderStamp> folders;
    // False when the walk met a symbolic link: whether its target exists (and is
    // a folder) can change without any folder's entries changing, so such a walk
    // is never reused.
    bool reusable = true;
};

// Walks the folder of `skillFilePath` as listArtifacts does.
ArtifactWalk walkArtifacts(const QString &skillFilePath);

// Whether every folder of an earlier walk of `skillFilePath` still has the same
// entries (by their stamps), so that the walk would find the same artifacts.
bool isWalkCurrent(const QString &skillFilePath, const ArtifactWalk &walk);

} // namespace ScanListing
