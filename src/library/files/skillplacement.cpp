// Placing a skill in more tools' folders, and taking such a placement away.

#include "library/files/skilloperations.h"

#include "library/catalogue/skilllocations.h"
#include "library/files/skilllinks.h"
#include "library/files/skilloperationsupport.h"
#include "library/records/skill.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <algorithm>

using SkillOperationSupport::folderProblem;
using SkillOperationSupport::refused;
using SkillOperationSupport::shown;

namespace {

bool isReadBy(const Skill &skill, PlacementTool tool)
{
    const QString scope = scopeOf(skill.filePath());
    QStringList paths = skill.installedPaths();
    paths.append(skill.filePath());
    if (!tool) {
        const QString shared = placementFolder(std::nullopt, scope);
        return std::any_of(paths.cbegin(), paths.cend(), [&shared](const QString &path) {
            return path.startsWith(shared + u'/');
        });
    }
    if (SkillLocations::readersOf(paths, QDir::homePath()).contains(*tool))
        return true;
    // A placement made since the last scan.
    // A placement made since the last scan, or a copy that is the same skill.
    const QString folder = placementFolder(tool, scope);
    if (folder.isEmpty())
        return false;
    const QString placed = folder + u'/' + QFileInfo(skillEntry(skill)).fileName();
    if (QFileInfo(placed).canonicalFilePath() == skillEntry(skill))
        return true;
    return !isSymlink(placed) && QFileInfo(placed).isDir() && sameEntry(placed, skillEntry(skill));
}

// The placement of the skill in `tool`'s folder that Vesk may remove, if any.
QString placementIn(const Skill &skill, PlacementTool tool)
{
    const QString entry = skillEntry(skill);
    const QString folder = placementFolder(tool, scopeOf(skill.filePath()));
    if (folder.isEmpty())
        return QString();
    QStringList candidates{folder + u'/' + QFileInfo(entry).fileName()};
    for (const QString &path : skill.installedPaths()) {
        const QString placed = skill.isDirectory() ? QFileInfo(path).absolutePath() : path;
        if (QFileInfo(placed).absolutePath() == folder && !candidates.contains(placed))
            candidates.append(placed);
    }
    for (const QString &candidate : std::as_const(candidates)) {
        if (!entryExists(candidate) || QDir::cleanPath(candidate) == entry)
            continue;
        if (isSymlink(candidate) && QFileInfo(candidate).canonicalFilePath() == entry)
            return candidate;
        if (!isSymlink(candidate) && QFileInfo(candidate).isDir())
            return candidate;
    }
    return QString();
}


} // namespace

QList<PlacementTool> toolsNotReading(const Skill &skill)
{
    QList<PlacementTool> tools;
    if (!folderProblem(skill).isEmpty())
        return tools;
    const QString scope = scopeOf(skill.filePath());
    const QString shared = placementFolder(std::nullopt, scope);
    for (const PlacementTool &tool : placementTools()) {
        const QString folder = placementFolder(tool, scope);
        // A tool whose own folder is the shared one is offered as the shared folder.
        if (folder.isEmpty() || (tool && folder == shared))
            continue;
        if (!isReadBy(skill, tool))
            tools.append(tool);
    }
    return tools;
}

QList<PlacementTool> toolsWithPlacement(const Skill &skill)
{
    QList<PlacementTool> tools;
    if (!folderProblem(skill).isEmpty())
        return tools;
    for (const PlacementTool &tool : placementTools()) {
        if (!placementIn(skill, tool).isEmpty())
            tools.append(tool);
    }
    return tools;
}

SkillOperationResult useSkillIn(ModelContext &context, Skill &skill, PlacementTool tool, PlacementKind kind,
                                const SkillOperationOptions &options)
{
    if (const QString problem = folderProblem(skill); !problem.isEmpty())
        return refused(problem);
    const QString entry = skillEntry(skill);
    const QString scope = scopeOf(skill.filePath());
    const QString folder = placementFolder(tool, scope);
    if (folder.isEmpty())
        return refused(QObject::tr("%1 reads no skill folder here").arg(placementTitle(tool)));
    if (isReadBy(skill, tool))
        return refused(QObject::tr("%1 reads “%2” already").arg(placementTitle(tool), skill.name()));
    const QString target = folder + u'/' + QFileInfo(entry).fileName();
    if (entryExists(target))
        return refused(QObject::tr("“%1” is there already").arg(shown(target)));

    SkillOperationResult result;
    if (kind == PlacementKind::Link) {
        // Relative, from where the folder really is, so that the pair can move
        // together (a dotfiles checkout, a project cloned elsewhere).
        QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        const QString text = QDir(canonicalFolder.isEmpty() ? folder : canonicalFolder).relativeFilePath(entry);
        result.changes.append(QObject::tr("Link “%1” → %2").arg(shown(target), text));
        if (!options.dryRun) {
            QString error;
            if (!makeFolders(folder, &error))
                return refused(error);
            canonicalFolder = QFileInfo(folder).canonicalFilePath();
            if (!makeLink(QDir(canonicalFolder).relativeFilePath(entry), target, &error))
                return refused(error);
        }
    } else {
        result.changes.append(QObject::tr("Copy “%1” to “%2”").arg(shown(entry), shown(target)));
        if (!options.dryRun) {
            QString error;
            const QString partial = partialPathFor(target);
            if (!makeFolders(folder, &error) || (entryExists(partial) && !removeEntry(partial, &error))
                || !copyEntry(entry, partial, &error))
                return refused(error);
            if (!sameEntry(entry, partial) || !renameNoReplace(partial, target, &error)) {
                removeEntry(partial, nullptr);
                return refused(error.isEmpty() ? QObject::tr("The copy did not match the original") : error);
            }
        }
    }
    if (options.dryRun) {
        result.ok = true;
        return result;
    }
    if (kind == PlacementKind::Link && skill.isDirectory()) {
        // Seen at once, without waiting for the scan.
        skill.addInstallation(target + QStringLiteral("/SKILL.md"), tool.value_or(ToolSource::Codex));
        const ToolSet readers = SkillLocations::readersOf(skill.installedPaths(), QDir::homePath());
        if (!readers.isEmpty())
            skill.setToolSources(readers.toList());
        context.save();
    }
    result.ok = true;
    result.undo.kind = SkillUndo::Kind::UseIn;
    result.undo.entry = target;
    result.undo.previous = entry;
    return result;
}

SkillOperationResult stopUsingSkillIn(ModelContext &context, Skill &skill, PlacementTool tool,
                                      const SkillOperationOptions &options)
{
    if (const QString problem = folderProblem(skill); !problem.isEmpty())
        return refused(problem);
    const QString entry = skillEntry(skill);
    const QString placement = placementIn(skill, tool);
    if (placement.isEmpty())
        return refused(QObject::tr("“%1” has no link or copy in %2's folder that Vesk could remove; "
                                   "the original is never removed this way")
                           .arg(skill.name(), placementTitle(tool)));
    SkillOperationResult result;
    result.undo.kind = SkillUndo::Kind::StopUsing;
    result.undo.entry = placement;
    result.undo.previous = entry;
    QString error;
    if (isSymlink(placement)) {
        result.undo.linkText = readLinkText(placement);
        result.changes.append(QObject::tr("Remove the link “%1”").arg(shown(placement)));
        if (!options.dryRun && !QFile::remove(placement))
            return refused(QObject::tr("“%1” could not be removed").arg(shown(placement)));
    } else {
        QStringList differences;
        if (!sameEntry(entry, placement, &differences)) {
            if (!options.discardDiffering) {
                result.error = QObject::tr("The copy “%1” differs from the skill; removing it would lose: %2")
                                   .arg(shown(placement), differences.join(QStringLiteral(", ")));
                result.wouldLose = differences;
                return result;
            }
            result.changes.append(QObject::tr("Move the differing copy “%1” to the trash").arg(shown(placement)));
            if (!options.dryRun && !QFile::moveToTrash(placement))
                return refused(QObject::tr("“%1” could not be moved to the trash").arg(shown(placement)));
            result.undo.kind = SkillUndo::Kind::None; // the trash has it
        } else {
            result.changes.append(QObject::tr("Remove the identical copy “%1”").arg(shown(placement)));
            if (!options.dryRun && !removeEntry(placement, &error))
                return refused(error);
        }
    }
    result.ok = true;
    if (options.dryRun)
        return result;
    QStringList installed = skill.installedPaths();
    installed.removeIf([&placement](const QString &path) { return path.startsWith(placement + u'/') || path == placement; });
    if (!installed.isEmpty() && installed != skill.installedPaths()) {
        skill.setInstalledPaths(installed);
        if (!installed.contains(skill.filePath()))
            skill.setFilePath(installed.constFirst());
        const ToolSet readers = SkillLocations::readersOf(installed, QDir::homePath());
        if (!readers.isEmpty())
            skill.setToolSources(readers.toList());
        context.save();
    }
    return result;
}

