#pragma once

#include "library/records/frontmatter.h"
#include "library/catalogue/skilllocations.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ArtifactCache;
class FileProblems;
class KeptMarks;
class ModelContext;
class Skill;

// What reading one skill file gives, before it touches any record; built on any thread.
struct SkillFileReading {
    QString filePath;     // as found
    QString resolvedPath; // links resolved, or filePath when that failed
    bool isDirectory = false;
    bool isGlobal = false;
    ParsedSkill parsed;
    std::optional<QByteArray> frontmatterData; // parsed.frontmatter encoded, off the records' thread
    QString name;         // the parsed name, or else the folder's or the file's own
    QDateTime modified;
    qint64 size = 0;
};

// The file's facts as a scan that already looked at it knows them.
struct KnownAttributes {
    qint64 modifiedMs = 0;
    qint64 size = 0;
};

// Reads `filePath` the way a scan records it; no value when it cannot be read,
// and then, in `problem`, why in words for the user (empty for a file that is
// simply not there any more). `resolvedPath` empty means "resolve it here";
// `attributes` empty means "ask the file system after reading", as a plain scan does.
// `customRoots` null means "read them from the settings".
std::optional<SkillFileReading> readSkillForRecord(const QString &filePath, QString resolvedPath,
                                                   SkillReading reading, bool isDirectory, bool isGlobal,
                                                   std::optional<KnownAttributes> attributes = std::nullopt,
                                                   QString *problem = nullptr,
                                                   const QStringList *customRoots = nullptr);

// Whether `filePath`, found in a project inside one of `customRoots`, resolves
// (`resolvedPath`, links followed) to somewhere outside that project.
bool linkLeavesProject(const QString &filePath, const QString &resolvedPath, const QStringList &customRoots);
QString linkLeavesProjectReason();

// Keeps the store's Skill records in step with the skill files on disk.
// A full scan visits every home location of the location table, then the projects
// inside each custom scan directory; pruning drops paths and records whose files are
// gone (the system says so; a path it cannot reach is kept) or lie outside every
// place a scan starts from (their marks are kept, and given back when a scan
// records the same file again). A file found but not read (too large, not a regular
// file, not UTF-8, a name that is not UTF-8) is skipped and, when a problem list
// is given, reported there; a full scan starts that list afresh.
class SkillScanner final
{
public:
    SkillScanner(ModelContext &context, ArtifactCache &artifacts);
    ~SkillScanner();

    // Where files found but not read are reported; none by default.
    void setProblems(FileProblems *problems) { m_problems = problems; }
    FileProblems *problems() const { return m_problems; }

    void scanAll();
    void removeMissing();
    // Pruning of the given records only, with existence answered by `exists`
    // (links followed; false only for what the system says is gone), so that the
    // file system can be asked elsewhere beforehand. A pruned record hands its
    // favorite and collections to a record inserted since the last prune that
    // holds the same file contents, so renaming or moving a skill folder keeps them.
    void removeMissing(const QList<Skill *> &skills, const std::function<bool(const QString &)> &exists);
    // Ends a prune made of several calls of the above: the records inserted
    // since are no longer successors to hand marks to.
    void endPrune()
    {
        m_recordedSincePrune.clear();
    }

    // The steps of a full scan, public so they can be driven one at a time.
    void scanLocation(const PlacedLocation &location, bool isGlobal);
    void scanProjects(const QString &root);
    void recordSkill(const QString &filePath, SkillReading reading, bool isDirectory, bool isGlobal);

    // The record-keeping half of recordSkill, for readings made elsewhere: refreshes
    // or inserts the record (no artifacts, no save) and takes back a problem the
    // file had. Returns the record.
    Skill *applyReading(const SkillFileReading &reading);
    // A file found again unchanged: only its installation is noted. False when no
    // record holds the file (it must be read then).
    bool applyUnchanged(const QString &filePath, const QString &resolvedPath);

    // A record's harnesses are the tools that read the places it is installed at.
    void refreshHarnesses(Skill &skill) const;

    // The custom scan directories to use until unpinned, instead of reading the
    // settings again for every file: a scan pins the ones it lists with, so every
    // step of it agrees, and reading the settings costs more than a record does.
    // The home folder is pinned along with them.
    void pinCustomRoots(const QStringList &roots, const QString &home)
    {
        m_pinnedRoots = roots;
        m_pinnedHome = home;
        m_readersPinned = false;
    }
    // Room for the facts of `paths` paths, made before a scan that will ask them.
    void expect(qsizetype paths)
    {
        if (m_readersByPath.size() < paths / 4)
            m_readersByPath.reserve(paths);
    }
    void unpinCustomRoots()
    {
        m_pinnedRoots.reset();
        m_readersPinned = false;
    }

private:
    QStringList customRoots() const;
    QStringList scannedRoots() const;
    struct PathFacts {
        ToolSet readers;
        QString encodedReaders; // as a record stores them
        bool isHome = false;    // in a home location
    };
    ToolSet readersOf(const QStringList &paths) const;
    const PathFacts &factsOf(const QString &path) const;
    void report(const QString &path, const QString &reason) const;
    // A record inserted since the last prune whose file holds what `gone`'s held, if any.
    Skill *successorOf(const Skill &gone) const;
    // `filePath` now leads to `owner`'s file: other records let go of it.
    void takeOverPath(const QString &filePath, Skill &owner);
    // A favorite, the last opening and the collections of `from` added to `to`.
    static void handMarks(const Skill &from, Skill &to);
    KeptMarks &keptMarks();

    ModelContext &m_context;
    ArtifactCache &m_artifacts;
    FileProblems *m_problems = nullptr;
    std::unique_ptr<KeptMarks> m_keptMarks; // read from the store when first needed
    // The records inserted since the last prune, by resolved path.
    QStringList m_recordedSincePrune;
    // Which tools read a path depends on the path, the home folder and the custom scan directories.
    mutable QHash<QString, PathFacts> m_readersByPath;
    mutable QString m_readersHome;
    mutable QStringList m_readersRoots;
    std::optional<QStringList> m_pinnedRoots;
    QString m_pinnedHome;
    mutable bool m_readersPinned = false; // the facts below were made with the pinned values
};
