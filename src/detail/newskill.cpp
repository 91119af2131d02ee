#include "detail/newskill.h"

#include "library/frontmatter.h"
#include "library/modelcontext.h"
#include "library/skill.h"

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

NewSkillTarget newSkillTarget(ToolSource tool, const QString &slug)
{
    const QString home = QDir::homePath();
    const auto folderSkill = [](const QString &folder) {
        return NewSkillTarget{folder, folder + QStringLiteral("/SKILL.md"), true};
    };
    const auto agentsFile = [](const QString &folder) {
        return NewSkillTarget{folder, folder + QStringLiteral("/AGENTS.md"), false};
    };
    switch (tool) {
    case ToolSource::Claude:
        return folderSkill(home + QStringLiteral("/.claude/skills/") + slug);
    case ToolSource::Cursor:
        return folderSkill(home + QStringLiteral("/.cursor/skills/") + slug);
    case ToolSource::Codex:
        return agentsFile(home + QStringLiteral("/.codex"));
    case ToolSource::Amp:
        return agentsFile(home + QStringLiteral("/.config/amp"));
    default:
        break;
    }
    // Harnesses without a global folder of their own get Claude's layout.
    const QStringList paths = Tools::globalSkillPaths(tool);
    if (paths.isEmpty())
        return newSkillTarget(ToolSource::Claude, slug);
    return folderSkill(paths.first());
}

QString starterText(ToolSource tool, const QString &name)
{
    const QString header = QStringLiteral("---\nname: ") + frontmatterName(name)
        + QStringLiteral("\ndescription: ") + name + QStringLiteral("\n---\n\n# ") + name;
    const QString instructions = QStringLiteral("Add your skill instructions here.");
    switch (tool) {
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

Skill *createSkill(ModelContext &context, ToolSource tool, const QString &name, QString *error)
{
    const QString slug = skillSlug(name);
    if (slug.isEmpty())
        return fail(error, QObject::tr("Invalid skill name"));

    const NewSkillTarget target = newSkillTarget(tool, slug);
    if (!QDir().mkpath(target.folder))
        return fail(error, QObject::tr("The folder “%1” could not be created.").arg(target.folder));
    if (QFileInfo::exists(target.filePath))
        return fail(error, QObject::tr("A skill with this name already exists"));

    const QString text = starterText(tool, name);
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
    auto record = std::make_unique<Skill>(target.filePath, resolved, name, parsed.description,
                                          parsed.content, parsed.frontmatter, tool,
                                          target.isDirectory, true,
                                          QDateTime::currentDateTimeUtc(), bytes.size());
    Skill *skill = context.insert(std::move(record), error);
    if (!skill)
        return nullptr;
    QString saveError;
    if (!context.save(&saveError))
        return fail(error, saveError);
    return skill;
}
