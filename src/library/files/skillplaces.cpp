#include "library/files/skillplaces.h"

#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/records/skill.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>

namespace {

struct ToolFolders {
    PlacementTool tool;
    const char *home;
    const char *project;
};

// Each tool's own skill folder; the shared one first. Tools that read no skill
// folder of their own (Aider, Amp's instruction files) are not here.
const QList<ToolFolders> &folders()
{
    static const QList<ToolFolders> table{
        {std::nullopt, ".agents/skills", ".agents/skills"},
        {ToolSource::Claude, ".claude/skills", ".claude/skills"},
        {ToolSource::Cursor, ".cursor/skills", ".cursor/skills"},
        {ToolSource::Windsurf, ".codeium/windsurf/skills", ".windsurf/skills"},
        {ToolSource::Codex, ".agents/skills", ".agents/skills"},
        {ToolSource::Copilot, ".copilot/skills", ".github/skills"},
        {ToolSource::Gemini, ".gemini/skills", ".gemini/skills"},
        {ToolSource::OpenCode, ".config/opencode/skills", ".opencode/skills"},
    };
    return table;
}

} // namespace

QList<PlacementTool> placementTools()
{
    QList<PlacementTool> tools;
    for (const ToolFolders &row : folders())
        tools.append(row.tool);
    return tools;
}

QString placementTitle(PlacementTool tool)
{
    return tool ? Tools::displayName(*tool) : QObject::tr("All tools (shared folder)");
}

QString placementKey(PlacementTool tool)
{
    return tool ? Tools::rawValue(*tool) : QStringLiteral("shared");
}

std::optional<PlacementTool> placementFromKey(const QString &key)
{
    const QString lowered = key.trimmed().toLower();
    for (const PlacementTool &tool : placementTools()) {
        if (placementKey(tool) == lowered)
            return tool;
    }
    return std::nullopt;
}

QString placementFolder(PlacementTool tool, const QString &project)
{
    for (const ToolFolders &row : folders()) {
        if (row.tool == tool) {
            const QString base = project.isEmpty() ? QDir::homePath() : project;
            return QDir::cleanPath(base + u'/' + QString::fromLatin1(project.isEmpty() ? row.home : row.project));
        }
    }
    return QString();
}

bool isSkillFolder(const Skill &skill)
{
    return skill.isDirectory() && QFileInfo(skill.resolvedPath()).fileName() == QLatin1String("SKILL.md");
}

QString skillEntry(const Skill &skill)
{
    const QString resolved = QDir::cleanPath(skill.resolvedPath());
    return skill.isDirectory() ? QFileInfo(resolved).absolutePath() : resolved;
}

QString scopeOf(const QString &path)
{
    return SkillLocations::projectFolderOf(path, QDir::homePath()).value_or(QString());
}

bool isTurnedOff(const Skill &skill)
{
    return isTurnedOffPath(skill.resolvedPath());
}
