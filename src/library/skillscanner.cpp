#include "library/skillscanner.h"

#include "library/artifactcache.h"
#include "library/frontmatter.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "library/skill.h"
#include "library/skillartifact.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const QString skillFileName = QStringLiteral("SKILL.md");
const QString agentsFileName = QStringLiteral("AGENTS.md");

// Entries directly inside `directory`, hidden ones left out, in name order so
// that repeated scans visit files the same way. Empty when it cannot be listed.
QFileInfoList visibleEntries(const QString &directory)
{
    return QDir(directory).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                         QDir::Name);
}

bool usesAgentsFile(ToolSource tool)
{
    return tool == ToolSource::Codex || tool == ToolSource::Amp;
}

} // namespace

SkillScanner::SkillScanner(ModelContext &context, ArtifactCache &artifacts)
    : m_context(context)
    , m_artifacts(artifacts)
{
}

void SkillScanner::scanAll()
{
    for (ToolSource tool : Tools::allCases()) {
        if (tool == ToolSource::Custom)
            continue;
        for (const QString &path : Tools::globalSkillPaths(tool))
            scanLocation(path, tool, true);
    }
    for (const QString &root : readCustomScanPaths())
        scanProjects(root);
}

void SkillScanner::scanProjects(const QString &root)
{
    // The root holds projects; only its children are searched, never the root itself.
    for (const QFileInfo &project : visibleEntries(root)) {
        if (!project.isDir())
            continue;
        for (const ProjectSkillLocation &location : Tools::projectSkillLocations()) {
            const QString path = project.filePath() + QLatin1Char('/') + location.relativePath;
            if (!QFileInfo::exists(path))
                continue;
            if (location.tool == ToolSource::Copilot) {
                const QString instructions = path + QLatin1Char('/') + Tools::copilotInstructionsFileName();
                if (QFileInfo::exists(instructions))
                    recordSkill(instructions, ToolSource::Copilot, false, false);
            } else {
                scanLocation(path, location.tool, false);
            }
        }
    }
}

void SkillScanner::scanLocation(const QString &directory, ToolSource tool, bool isGlobal)
{
    const QFileInfo location(directory);
    if (!location.exists())
        return;

    if (usesAgentsFile(tool)) {
        const QString topLevel = directory + QLatin1Char('/') + agentsFileName;
        if (QFileInfo::exists(topLevel))
            recordSkill(topLevel, tool, false, isGlobal);
        for (const QFileInfo &entry : visibleEntries(directory)) {
            const QString agents = entry.filePath() + QLatin1Char('/') + agentsFileName;
            if (entry.isDir() && QFileInfo::exists(agents))
                recordSkill(agents, tool, true, isGlobal);
        }
        return;
    }

    if (!location.isDir())
        return;
    // Exactly one level deep: single Markdown files, or folders with a main file.
    for (const QFileInfo &entry : visibleEntries(directory)) {
        if (entry.isDir()) {
            const QString skill = entry.filePath() + QLatin1Char('/') + skillFileName;
            const QString agents = entry.filePath() + QLatin1Char('/') + agentsFileName;
            if (QFileInfo::exists(skill))
                recordSkill(skill, tool, true, isGlobal);
            else if (QFileInfo::exists(agents))
                recordSkill(agents, tool, true, isGlobal);
        } else if (entry.isFile()) {
            const QString extension = entry.suffix();
            if (extension == QLatin1String("md") || extension == QLatin1String("mdc"))
                recordSkill(entry.filePath(), tool, false, isGlobal);
        }
    }
}

void SkillScanner::recordSkill(const QString &filePath, ToolSource tool, bool isDirectory,
                               bool isGlobal)
{
    const QFileInfo file(filePath);
    // A file that vanished between listing and here has no canonical path; keying
    // it by its own path keeps the lookup and the stored identity in agreement.
    QString resolved = file.canonicalFilePath();
    if (resolved.isEmpty())
        resolved = filePath;

    const std::optional<ParsedSkill> parsed = readSkillFile(filePath, tool);
    if (!parsed)
        return;

    const QFileInfo attributes(resolved);
    QDateTime modified = attributes.exists() ? attributes.lastModified().toUTC() : QDateTime();
    if (!modified.isValid())
        modified = QDateTime::currentDateTimeUtc();
    const qint64 size = attributes.exists() ? attributes.size() : 0;

    QString name = parsed->name;
    if (name.isEmpty())
        name = isDirectory ? file.dir().dirName() : file.completeBaseName();

    if (Skill *skill = m_context.skillWithResolvedPath(resolved)) {
        skill->setContent(parsed->content);
        skill->setName(name);
        skill->setSkillDescription(parsed->description);
        skill->setFrontmatter(parsed->frontmatter);
        skill->setFileModifiedDate(modified);
        skill->setFileSize(size);
        skill->addInstallation(filePath, tool);
    } else {
        m_context.insert(std::make_unique<Skill>(filePath, resolved, name, parsed->description,
                                                 parsed->content, parsed->frontmatter, tool,
                                                 isDirectory, isGlobal, modified, size));
    }

    if (isDirectory)
        m_artifacts.setArtifacts(listArtifacts(filePath), filePath);

    m_context.save(); // a failed save leaves the change pending for the next one
}

void SkillScanner::removeMissing()
{
    const QList<Skill *> skills = m_context.skills();
    for (Skill *skill : skills) {
        QStringList existing;
        for (const QString &path : skill->installedPaths()) {
            if (QFileInfo::exists(path))
                existing.append(path);
        }
        if (existing.isEmpty()) {
            m_context.remove(skill);
            continue;
        }
        skill->setInstalledPaths(existing);
        if (!QFileInfo::exists(skill->filePath()))
            skill->setFilePath(existing.constFirst());
    }
    m_context.save();
}
