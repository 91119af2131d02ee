#pragma once

#include "library/toolsource.h"

#include <QString>

class ArtifactCache;
class ModelContext;

// Keeps the store's Skill records in step with the skill files on disk.
// A full scan visits every harness's global folders, then the projects inside
// each custom scan directory; pruning drops paths and records whose files are
// gone. Nothing here reports errors: whatever cannot be listed or read is skipped.
class SkillScanner final
{
public:
    SkillScanner(ModelContext &context, ArtifactCache &artifacts);

    void scanAll();
    void removeMissing();

    // The steps of a full scan, public so they can be driven one at a time.
    void scanLocation(const QString &directory, ToolSource tool, bool isGlobal);
    void scanProjects(const QString &root);
    void recordSkill(const QString &filePath, ToolSource tool, bool isDirectory, bool isGlobal);

private:
    ModelContext &m_context;
    ArtifactCache &m_artifacts;
};
