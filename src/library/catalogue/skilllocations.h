#pragma once

#include "library/catalogue/skillreading.h"
#include "library/catalogue/toolsource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Where the tools read skills, as one table (skilllocationtable.cpp) and the few
// questions the rest of Vesk asks of it. A skill's harnesses are not where Vesk
// happened to find it but the tools that read the places it is installed at, so
// everything that needs "which tools read this" comes through here.

enum class LocationBase {
    Home,    // relative to the user's home folder
    Project, // relative to each project inside a custom scan directory
};

enum class LocationHolds {
    // Entries one level down: a folder holding SKILL.md (or else AGENTS.md) is a
    // skill, and so is a single .md or .mdc file beside them.
    SkillFolders,
    // Folders one level down that hold AGENTS.md.
    AgentsFolders,
    // Files one level down whose names end with the row's ruleSuffix.
    RuleFiles,
    // The one file the row's path names.
    NamedFile,
};

struct SkillLocation {
    LocationBase base = LocationBase::Home;
    QString path;       // relative to the base; a folder, or the file itself for NamedFile
    LocationHolds holds = LocationHolds::SkillFolders;
    QString ruleSuffix; // RuleFiles only
    ToolSet readers;    // the harnesses that read this location by default
    // No tool reads it any more; it is still scanned, under the one harness that
    // used to read it, so that no skill a user kept there disappears from Vesk.
    bool isLegacy = false;
    QString source;     // the documentation the row comes from
};

// A row of the table placed at a real folder.
struct PlacedLocation {
    QString path; // absolute: the folder, or the file for NamedFile rows
    const SkillLocation *location = nullptr;
};

// A skill file inside a location, as a scan finds it.
struct LocatedFile {
    QString path;     // absolute, as found (not resolved)
    bool isDirectory; // the main file of a skill folder rather than a single-file skill
    // An entry whose name the system's bytes do not spell in UTF-8: it cannot be
    // opened by the name Vesk has for it, so it is reported instead of read.
    bool undecodableName = false;
};

// One installed path in a folder that its tool no longer reads.
struct LegacyNote {
    QString path; // the installed path
    ToolSource tool;
    QString text; // "<Tool> no longer reads this folder"
};

namespace SkillLocations {

// Every row, home rows first; a scan visits them in this order, so when one file is
// reached through several rows the reading of the last one stays.
const QList<SkillLocation> &table();

// The rows of the table that exist under `baseFolder` (the home folder, or one project).
QList<PlacedLocation> existingLocations(LocationBase base, const QString &baseFolder);

// The skill files in one placed location: one level deep, hidden entries left out,
// in name order. Empty when the location cannot be listed.
QList<LocatedFile> filesIn(const PlacedLocation &location);

// How the files of a location are read.
SkillReading readingOf(LocationHolds holds);

// The rows an installed path belongs to; empty when none. A path under `home` that
// home rows account for belongs to those. A path inside one of `projectRoots` (the
// custom scan directories, each holding projects one level down) belongs to the
// project rows that hold it relative to its project folder, as a scan found it
// there, whatever the folders above are named. Any other path is matched against
// the project rows, and the rows that account for most of its trailing folders
// win, so that ".codex/AGENTS.md" in a project is that row and not the project's AGENTS.md.
QList<const SkillLocation *> locationsOf(const QString &path, const QString &home,
                                         const QStringList &projectRoots = {});
// The project folder holding `path` when a project row accounts for it (and no home
// row does): "/code/app" for "/code/app/AGENTS.md". Inside one of `projectRoots`,
// the root's child the path lies in.
std::optional<QString> projectFolderOf(const QString &path, const QString &home,
                                       const QStringList &projectRoots = {});
// The project folder `path` lies in inside one of `projectRoots`, when a project
// row holds it from there; nothing for any other path.
std::optional<QString> rootedProjectFolderOf(const QString &path, const QStringList &projectRoots);
// True when home rows account for `path`: a copy of the skill every project sees.
bool isHomePath(const QString &path, const QString &home);
// The harnesses that read `paths`: the union of their rows' readers.
ToolSet readersOf(const QStringList &paths, const QString &home, const QStringList &projectRoots = {});
// The same readers, and whether any of `paths` is a home path, from one look at
// each path: what a listing of thousands of records asks of every record.
struct PathReaders {
    ToolSet tools;
    bool anyInHome = false;
};
PathReaders readersAndHomeOf(const QStringList &paths, const QString &home, const QStringList &projectRoots = {});
// For each of `paths` that lies in a legacy location, what the window says about it.
QList<LegacyNote> legacyNotes(const QStringList &paths, const QString &home, const QStringList &projectRoots = {});
// Folders to watch for changes under `home`: the folder of each home row, or the
// folder holding it for NamedFile rows; each once, in table order.
QStringList watchedFolders(const QString &home);

} // namespace SkillLocations
