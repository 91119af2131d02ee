#pragma once

#include "library/frontmatter.h"
#include "library/skilllocations.h"

#include <QString>

class ArtifactCache;
class FileProblems;
class ModelContext;
class Skill;

// Keeps the store's Skill records in step with the skill files on disk.
// A full scan visits every home location of the location table, then the projects
// inside each custom scan directory; pruning drops paths and records whose files are
// gone (the system says so; a path it cannot reach is kept) or lie outside every
// place a scan starts from. A file found but not read
// (too large, not a regular file, not UTF-8, a name that is not UTF-8) is skipped
// and, when a problem list is given, reported there; a full scan starts that list afresh.
class SkillScanner final
{
public:
    SkillScanner(ModelContext &context, ArtifactCache &artifacts);

    // Where files found but not read are reported; none by default.
    void setProblems(FileProblems *problems) { m_problems = problems; }

    void scanAll();
    void removeMissing();

    // The steps of a full scan, public so they can be driven one at a time.
    void scanLocation(const PlacedLocation &location, bool isGlobal);
    void scanProjects(const QString &root);
    void recordSkill(const QString &filePath, SkillReading reading, bool isDirectory, bool isGlobal);

private:
    // A record's harnesses are the tools that read the places it is installed at.
    void refreshHarnesses(Skill &skill) const;

    void report(const QString &path, const QString &reason) const;
    // A record this scan made whose file holds what `gone`'s held, if any.
    Skill *successorOf(const Skill &gone) const;

    ModelContext &m_context;
    ArtifactCache &m_artifacts;
    FileProblems *m_problems = nullptr;
    // The records the current full scan inserted, by resolved path: a pruned
    // record hands its marks to one of them when the two hold the same file
    // contents, so renaming or moving a skill folder keeps what the user gave it.
    QStringList m_recordedThisScan;
};
