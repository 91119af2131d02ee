#pragma once

#include "library/frontmatter.h"
#include "library/skilllocations.h"

#include <QString>

class ArtifactCache;
class ModelContext;
class Skill;

// Keeps the store's Skill records in step with the skill files on disk.
// A full scan visits every home location of the location table, then the projects
// inside each custom scan directory; pruning drops paths and records whose files are
// gone or lie outside every place a scan starts from. Nothing here reports errors:
// whatever cannot be listed or read is skipped.
class SkillScanner final
{
public:
    SkillScanner(ModelContext &context, ArtifactCache &artifacts);

    void scanAll();
    void removeMissing();

    // The steps of a full scan, public so they can be driven one at a time.
    void scanLocation(const PlacedLocation &location, bool isGlobal);
    void scanProjects(const QString &root);
    void recordSkill(const QString &filePath, SkillReading reading, bool isDirectory, bool isGlobal);

private:
    // A record's harnesses are the tools that read the places it is installed at.
    void refreshHarnesses(Skill &skill) const;

    ModelContext &m_context;
    ArtifactCache &m_artifacts;
};
