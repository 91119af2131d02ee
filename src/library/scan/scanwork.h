#pragma once

#include "library/scan/scanlisting.h"
#include "library/scan/scanmemory.h"
#include "library/search/searchkey.h"
#include "library/scan/skillscanner.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The parts of a scan that run on worker threads: plain data in, plain data out,
// no record and no store touched. ScanPipeline hands them out and applies what
// they return, in order, on the thread that owns the records.

// What to scan. Scopes add up; `everything` covers all the others.
struct ScanRequest {
    bool everything = false;      // every home location, then every custom scan directory
    QSet<QString> homeLocations;  // home rows' placed paths (their folder, or the named file)
    QSet<QString> customRoots;    // custom scan directories, with all their projects
    QSet<QString> projects;       // single project folders
    QSet<QString> entries;        // single entries (a skill folder or file) of a location
    bool prune = false;           // drop installations that vanished, among the records reached

    static ScanRequest full(bool prune);
    bool isEmpty() const;
    void merge(const ScanRequest &other);
};

// What the workers know before they start: earlier findings and the records held.
struct ScanSnapshot {
    QString home;
    QStringList customRoots; // from the settings, in their order
    QHash<QString, ScanMemory::File> files;
    QHash<QString, QByteArray> walks; // encoded, see ScanMemory
    // The resolved paths that have a record. Only the keys are looked at here:
    // records are touched on their own thread alone.
    QHash<QString, class Skill *> recordedPaths;
    qint64 nowNs = 0;
    bool makesSearchKeys = true;
    std::shared_ptr<SearchKeyFile> searchKeyFile; // where the keys keep their bodies, when set
};

// One skill file found, with what its location says about reading it.
struct ScanItem {
    ScanListing::ListedFile file;
    SkillReading reading = SkillReading::Frontmatter;
    bool isGlobal = false;
};

// The locations of a request, listed: the files in scan order, and the folders
// worth watching (locations, every folder inside them, projects, roots).
struct ScanListingResult {
    QList<ScanItem> items;
    QStringList locationFolders; // listed locations (the folder holding a named file)
    // Of those, the ones listed whole: a record there that was not listed is gone
    // or moved. Where only some entries were listed, only they are.
    QStringList wholeLocationFolders;
    QStringList entryFolders;    // every folder inside them
    QStringList projects;
    // For each location of each base folder listed whole (home, projects): its
    // folder, or the nearest folder above it that exists, up to the base.
    QStringList rowFolders;
    // Entries left out because their names are not UTF-8, to be reported.
    QStringList undecodable;
};

// Lists what `request` asks for, in the order of a full scan. With `partDone`,
// the listing is handed over in parts as it goes (each holding what was listed
// since the last), so that reading can begin while the rest is listed; the
// result returned is the last part.
ScanListingResult listRequest(const ScanRequest &request, const ScanSnapshot &snapshot,
                              const std::function<void(ScanListingResult &&)> &partDone = {});

// One file examined: skipped unchanged, read, or unreadable.
struct ExaminedFile {
    enum class Outcome { Unchanged, Read, Unreadable };
    ScanItem item;
    Outcome outcome = Outcome::Unreadable;
    std::optional<SkillFileReading> reading;
    QString problem;                             // why an unreadable file was not read
    std::optional<SearchKey> key;                // with a reading, when keys are made
    std::optional<ScanListing::ArtifactWalk> walk; // for skill folders
    bool walked = false;                         // the walk was made now, not reused
};

ExaminedFile examine(const ScanItem &item, const ScanSnapshot &snapshot);
