#include "toolsource.h"

#include <QDir>

namespace {

struct ToolInfo {
    ToolSource tool;
    const char *raw;
    const char *display;
    const char *symbol;
    const char *image;
    QList<const char *> globalSuffixes;
};

const QList<ToolInfo> &catalogue()
{
    static const QList<ToolInfo> table{
        {ToolSource::Claude, "claude", "Claude Code", "brain.head.profile", "tool-claude",
         {"/.claude/skills", "/.agents/skills"}},
        {ToolSource::Cursor, "cursor", "Cursor", "cursorarrow.rays", "tool-cursor",
         {"/.cursor/skills", "/.cursor/rules"}},
        {ToolSource::Windsurf, "windsurf", "Windsurf", "wind", "tool-windsurf",
         {"/.codeium/windsurf/memories", "/.windsurf/rules"}},
        {ToolSource::Codex, "codex", "Codex", "book.closed", "tool-codex", {"/.codex"}},
        {ToolSource::Copilot, "copilot", "Copilot", "airplane", "", {}},
        {ToolSource::Aider, "aider", "Aider", "wrench.and.screwdriver", "", {}},
        {ToolSource::Amp, "amp", "Amp", "bolt.fill", "tool-amp", {"/.config/amp"}},
        {ToolSource::Custom, "custom", "Custom", "folder", "", {}},
    };
    return table;
}

const ToolInfo &info(ToolSource tool)
{
    return catalogue().at(static_cast<int>(tool));
}

} // namespace

namespace Tools {

const QList<ToolSource> &allCases()
{
    static const QList<ToolSource> all = [] {
        QList<ToolSource> list;
        for (const ToolInfo &entry : catalogue())
            list.append(entry.tool);
        return list;
    }();
    return all;
}

QString rawValue(ToolSource tool)
{
    return QString::fromLatin1(info(tool).raw);
}

std::optional<ToolSource> fromRawValue(const QString &raw)
{
    for (const ToolInfo &entry : catalogue()) {
        if (raw == QLatin1String(entry.raw))
            return entry.tool;
    }
    return std::nullopt;
}

QString displayName(ToolSource tool)
{
    return QString::fromLatin1(info(tool).display);
}

QString symbolName(ToolSource tool)
{
    return QString::fromLatin1(info(tool).symbol);
}

QString imageName(ToolSource tool)
{
    return QString::fromLatin1(info(tool).image);
}

QStringList globalSkillPaths(ToolSource tool)
{
    // Plain concatenation onto the home path, not normalised: callers check existence.
    const QString home = QDir::homePath();
    QStringList paths;
    for (const char *suffix : info(tool).globalSuffixes)
        paths.append(home + QLatin1String(suffix));
    return paths;
}

const QList<ProjectSkillLocation> &projectSkillLocations()
{
    static const QList<ProjectSkillLocation> rows{
        {QStringLiteral(".claude/skills"), ToolSource::Claude},
        {QStringLiteral(".cursor/skills"), ToolSource::Cursor},
        {QStringLiteral(".cursor/rules"), ToolSource::Cursor},
        {QStringLiteral(".codex"), ToolSource::Codex},
        {QStringLiteral(".windsurf/rules"), ToolSource::Windsurf},
        {QStringLiteral(".github"), ToolSource::Copilot},
        {QStringLiteral(".config/amp"), ToolSource::Amp},
    };
    return rows;
}

QString copilotInstructionsFileName()
{
    return QStringLiteral("copilot-instructions.md");
}

} // namespace Tools
