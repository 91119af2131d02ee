#include "library/files/newskill.h"

#include "library/files/skillfile.h"
#include "library/records/frontmatter.h"
#include "library/catalogue/homepath.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/catalogue/skilllocations.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>

#include <filesystem>
#include <memory>
#include <system_error>

namespace {

Skill *fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return nullptr;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

char32_t firstCodePoint(QStringView text)
{
    if (text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return text.isEmpty() ? 0 : text[0].unicode();
}

// Makes the folder and its parents. False with the system's message when it cannot.
bool makeFolder(const QString &folder, QString *error)
{
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(folder).toStdString()), failure);
    if (!failure)
        return true;
    *error = QObject::tr("The folder “%1” could not be created: %2")
                 .arg(abbreviateHome(folder), QString::fromLocal8Bit(failure.message().c_str()));
    return false;
}

} // namespace

QString singleLineName(const QString &name)
{
    QString line = name;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar &c : line) {
        if (isLineBreak(c))
            c = u' ';
    }
    return line;
}

QString frontmatterName(const QString &name)
{
    return name.toLower().replace(u' ', u'-');
}

QString skillSlug(const QString &name)
{
    // Composed first, so "é" typed as "e" and a combining accent is one letter.
    const QString text = frontmatterName(name).normalized(QString::NormalizationForm_C);
    QString slug;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        // A character as the reader sees it: a letter or digit keeps the marks on it.
        const QStringView character = QStringView(text).sliced(start, end - start);
        if (QChar::isLetterOrNumber(firstCodePoint(character)) || character == u"-")
            slug += character;
        start = end;
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

std::optional<NewSkillPreview> previewNewSkill(NewSkillDestination destination, const QString &name)
{
    const QString line = singleLineName(name);
    const QString slug = skillSlug(line);
    if (slug.isEmpty() || line.trimmed().isEmpty())
        return std::nullopt;
    NewSkillPreview preview;
    preview.filePath = newSkillTarget(destination, slug).filePath;
    preview.exists = QFileInfo::exists(preview.filePath);
    // A destination whose file does not depend on the name keeps one skill only.
    preview.oneFile = newSkillTarget(destination, QStringLiteral("a")).filePath
        == newSkillTarget(destination, QStringLiteral("b")).filePath;
    return preview;
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

Skill *createSkill(ModelContext &context, NewSkillDestination destination, const QString &typedName,
                   QString *error)
{
    const QString name = singleLineName(typedName);
    const QString slug = skillSlug(name);
    // A name of spaces alone would make a folder called "---".
    if (slug.isEmpty() || name.trimmed().isEmpty())
        return fail(error, QObject::tr("Invalid skill name"));

    const NewSkillTarget target = newSkillTarget(destination, slug);
    QString message;
    if (!makeFolder(target.folder, &message))
        return fail(error, message);
    if (QFileInfo::exists(target.filePath))
        return fail(error, QObject::tr("A skill with this name already exists"));

    const QString text = starterText(destination, name);
    const QByteArray bytes = text.toUtf8();
    if (!writeSkillFile(target.filePath, bytes, &message))
        return fail(error, QObject::tr("“%1” could not be written: %2").arg(abbreviateHome(target.filePath), message));

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

    Skill *skill = context.skillWithResolvedPath(resolved);
    if (skill) {
        // The file was deleted while Vesk was closed and its record never pruned:
        // the record is this skill's now. What the user gave the old one (favorite,
        // collections) stays; everything read from the file is the new file's.
        skill->setFilePath(target.filePath);
        skill->setInstalledPaths({target.filePath});
        skill->setToolSources(tools);
        skill->setIsDirectory(target.isDirectory);
        skill->setIsGlobal(true);
        skill->setName(name);
        skill->setSkillDescription(parsed.description);
        skill->setContent(parsed.content);
        skill->setFrontmatter(parsed.frontmatter);
        skill->setFileModifiedDate(QDateTime::currentDateTimeUtc());
        skill->setFileSize(bytes.size());
    } else {
        auto record = std::make_unique<Skill>(target.filePath, resolved, name, parsed.description,
                                              parsed.content, parsed.frontmatter, tools.constFirst(),
                                              target.isDirectory, true,
                                              QDateTime::currentDateTimeUtc(), bytes.size());
        record->setToolSources(tools);
        skill = context.insert(std::move(record), error);
        if (!skill)
            return nullptr;
    }
    QString saveError;
    if (!context.save(&saveError))
        return fail(error, saveError);
    return skill;
}
