#include "detail/newskill.h"

#include "library/frontmatter.h"
#include "library/modelcontext.h"
#include "library/skill.h"
#include "library/skilllocations.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

namespace {

Skill *fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return nullptr;
}

} // namespace

QString frontmatterName(const QString &name)
{
    return name.toLower().replace(u' ', u'-');
}

QString skillSlug(const QString &name)
{
    QString slug;
    for (const QChar c : frontmatterName(name)) {
        if (c.isLetterOrNumber() || c == u'-')
            slug.append(c);
    }
    return slug;
}

QList<NewSkillDestination> newSkillDestinations()
{
    QList<NewSkillDestination> destinations;
    for (ToolSource tool : Tools::allCases()) {
        if (tool != ToolSource::Custom)
            destinations.append(tool);
    }
    destinations.append(std::nullopt);
    return destinations;
}

QString destinationTitle(NewSkillDestination destination)
{
    return destination ? Tools::displayName(*destination) : QObject::tr("All tools (shared folder)");
}

NewSkillTarget newSkillTarget(NewSkillDestination destination, const QString &slug)
{
    const QString home = QDir::homePath();
    const auto folderSkill = [](const QString &folder) {
        return NewSkillTarget{folder, folder + QStringLiteral("/SKILL.md"), true};
    };
    const auto agentsFile = [](const QString &folder) {
        return NewSkillTarget{folder, folder + QStringLiteral("/AGENTS.md"), false};
    };
    if (!destination)
        return folderSkill(home + QStringLiteral("/.agents/skills/") + slug);
    switch (*destination) {
    case ToolSource::Claude:
        return folderSkill(home + QStringLiteral("/.claude/skills/") + slug);
    case ToolSource::Cursor:
        return folderSkill(home + QStringLiteral("/.cursor/skills/") + slug);
    case ToolSource::Windsurf:
        // One SKILL.md in Windsurf's memories folder, where Vesk has always put it.
        return folderSkill(home + QStringLiteral("/.codeium/windsurf/memories"));
    case ToolSource::Codex:
        return agentsFile(home + QStringLiteral("/.codex"));
    case ToolSource::Amp:
        return agentsFile(home + QStringLiteral("/.config/amp"));
    case ToolSource::Gemini:
        return folderSkill(home + QStringLiteral("/.gemini/skills/") + slug);
    case ToolSource::OpenCode:
        return folderSkill(home + QStringLiteral("/.config/opencode/skills/") + slug);
    case ToolSource::Copilot:
    case ToolSource::Aider:
    case ToolSource::Custom:
        break;
    }
    // Claude's folder, which Copilot reads too; Aider reads no skill folder at all.
    return folderSkill(home + QStringLiteral("/.claude/skills/") + slug);
}

QString starterText(NewSkillDestination destination, const QString &name)
{
    const QString header = QStringLiteral("---\nname: ") + frontmatterName(name)
        + QStringLiteral("\ndescription: ") + name + QStringLiteral("\n---\n\n# ") + name;
    const QString instructions = QStringLiteral("Add your skill instructions here.");
    switch (destination.value_or(ToolSource::Custom)) {
    case ToolSource::Claude:
    case ToolSource::Cursor:
        return header
            + QStringLiteral("\n\n## When to Use\n\n- Describe when this skill should be activated"
                             "\n\n## Instructions\n\n")
            + instructions;
    case ToolSource::Codex:
    case ToolSource::Amp:
        return QStringLiteral("# ") + name + QStringLiteral("\n\n## Instructions\n\n") + instructions;
    default:
        return header + QStringLiteral("\n\n") + instructions;
    }
}

Skill *createSkill(ModelContext &context, NewSkillDestination destination, const QString &name,
                   QString *error)
{
    const QString slug = skillSlug(name);
    if (slug.isEmpty())
        return fail(error, QObject::tr("Invalid skill name"));

    const NewSkillTarget target = newSkillTarget(destination, slug);
    if (!QDir().mkpath(target.folder))
        return fail(error, QObject::tr("The folder “%1” could not be created.").arg(target.folder));
    if (QFileInfo::exists(target.filePath))
        return fail(error, QObject::tr("A skill with this name already exists"));

    const QString text = starterText(destination, name);
    const QByteArray bytes = text.toUtf8();
    QSaveFile file(target.filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(error, file.errorString());

    // Keyed by the symlink-resolved path, as the scanner keys it, so a later scan
    // finds this record rather than adding a second one.
    QString resolved = QFileInfo(target.filePath).canonicalFilePath();
    if (resolved.isEmpty())
        resolved = target.filePath;
    const ParsedSkill parsed = parseFrontmatter(text);
    // The same harnesses a scan will give it: the tools that read where it was written.
    QList<ToolSource> tools = SkillLocations::readersOf({target.filePath}, QDir::homePath()).toList();
    if (tools.isEmpty())
        tools = {destination.value_or(ToolSource::Custom)};
    auto record = std::make_unique<Skill>(target.filePath, resolved, name, parsed.description,
                                          parsed.content, parsed.frontmatter, tools.constFirst(),
                                          target.isDirectory, true,
                                          QDateTime::currentDateTimeUtc(), bytes.size());
    record->setToolSources(tools);
    Skill *skill = context.insert(std::move(record), error);
    if (!skill)
        return nullptr;
    QString saveError;
    if (!context.save(&saveError))
        return fail(error, saveError);
    return skill;
}
