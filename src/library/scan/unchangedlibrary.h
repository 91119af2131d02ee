#pragma once

#include "library/disk/fileproblems.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A library in which a full scan would change nothing, read straight from the
// store: no record objects, no model, no write, not even the store's whole-file
// check (nothing is written, so no damage can spread; a store that cannot be
// read answers "changed", and the caller's full path then checks it).
//
// It answers only when everything a full scan looks at agrees with what the last
// scan stored: every skill file the locations hold has the signature it was read
// under (the signature's blind spot and its racy rule are the scan's own: see
// FileSignature), each skill folder's artifact walk is current, no entry would be
// reported, every record is reached by exactly the paths it holds, each record's
// texts come from the path a scan would take them from, and its tools and global
// flag are what the location table makes of its paths today. Anything else, down
// to one file, gives no answer, and the caller takes the full path.
namespace UnchangedLibrary {

// One record as the plain listing needs it.
struct ListedSkill {
    QString name;
    QString resolvedPath;
    QString filePath;
    QString toolSourcesRaw;
};

struct Listing {
    // In the listing's order: names in natural order, then resolved paths.
    QList<ListedSkill> skills;
    // What a full scan would report, sorted by path: files in a project that
    // link out of it (known without reading them; any other problem needs the
    // file read, and then there is no answer).
    QList<FileProblem> problems;
};

// The listing, or no value when a full scan of `home` and `customRoots` would
// change anything, or the store at `storePath` cannot say.
std::optional<Listing> read(const QString &storePath, const QString &home, const QStringList &customRoots);

} // namespace UnchangedLibrary
