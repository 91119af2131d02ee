#include "library/catalogue/toolsource.h"


namespace {

struct ToolInfo {
    ToolSource tool;
    const char *raw;
    const char *display;
    const char *symbol;
    const char *image;
};

const QList<ToolInfo> &catalogue()
{
    static const QList<ToolInfo> table{
        {ToolSource::Claude, "claude", "Claude Code", "brain.head.profile", "tool-claude"},
        {ToolSource::Cursor, "cursor", "Cursor", "cursorarrow.rays", "tool-cursor"},
        {ToolSource::Windsurf, "windsurf", "Windsurf", "wind", "tool-windsurf"},
        {ToolSource::Codex, "codex", "Codex", "book.closed", "tool-codex"},
        {ToolSource::Copilot, "copilot", "Copilot", "airplane", ""},
        {ToolSource::Aider, "aider", "Aider", "wrench.and.screwdriver", ""},
        {ToolSource::Amp, "amp", "Amp", "bolt.fill", "tool-amp"},
        {ToolSource::Gemini, "gemini", "Gemini CLI", "wand.and.stars", "tool-gemini"},
        {ToolSource::OpenCode, "opencode", "OpenCode", "terminal", "tool-opencode"},
        {ToolSource::Custom, "custom", "Custom", "folder", ""},
    };
    return table;
}

const ToolInfo &info(ToolSource tool)
{
    return catalogue().at(static_cast<int>(tool));
}

} // namespace

QList<ToolSource> ToolSet::toList() const
{
    QList<ToolSource> tools;
    for (ToolSource tool : Tools::allCases()) {
        if (contains(tool))
            tools.append(tool);
    }
    return tools;
}

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

} // namespace Tools
