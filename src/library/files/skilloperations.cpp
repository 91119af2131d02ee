#include "library/files/skilloperations.h"

#include "library/catalogue/homepath.h"
#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/files/operationjournal.h"
#include "library/files/recordcarry.h"
#include "library/files/skilllinks.h"
#include "library/files/skillnamefield.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <functional>

namespace {

SkillOperationResult refused(const QString &message)
{
    SkillOperationResult result;
    result.error = message;
    return result;
}

QString shown(const QString &path)
{
    return abbreviateHome(path);
}

// What stops an operation on a whole skill folder before it starts.
QString folderProblem(const Skill &skill)
{
    if (!isSkillFolder(skill))
        return QObject::tr("Only a skill folder (a folder holding SKILL.md) can be placed, moved or renamed");
    if (isTurnedOff(skill))
        return QObject::tr("The skill is turned off; turn it on first");
    if (!entryExists(skillEntry(skill)))
        return QObject::tr("“%1” is not there any more").arg(shown(skillEntry(skill)));
    return QString();
}

// Whether `tool` reads the skill through one of the paths it was found at.
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

bool writeOrigin(const QString &holder, const QString &origin, QString *error)
{
    QSaveFile out(holder + QStringLiteral("/origin"));
    if (out.open(QIODevice::WriteOnly) && out.write(QFile::encodeName(origin)) >= 0 && out.commit())
        return true;
    if (error)
        *error = out.errorString();
    return false;
}

std::optional<QString> readOrigin(const QString &holder)
{
    QFile in(holder + QStringLiteral("/origin"));
    constexpr qint64 maxPathBytes = 4096;
    if (!in.open(QIODevice::ReadOnly) || in.size() > maxPathBytes)
        return std::nullopt;
    const QString origin = QFile::decodeName(in.readAll());
    if (!QDir::isAbsolutePath(origin) || QDir::cleanPath(origin) != origin)
        return std::nullopt;
    return origin;
}

// Moves a whole entry under a note, then carries the records. Shared by the
// operations that move a skill and by their undos.
SkillOperationResult moveUnderNote(ModelContext &context, JournalEntry note, const StepGate &gate,
                                   const std::function<bool(QString *)> &prepare = {})
{
    QString error;
    const QString journal = writeJournal(note, &error);
    if (journal.isEmpty())
        return refused(error);
    if (prepare && !prepare(&error)) {
        closeJournal(journal);
        return refused(error);
    }
    if (gate && !gate(QStringLiteral("noted")))
        return refused(QObject::tr("Stopped"));
    const MoveOutcome outcome = moveEntry(note.from, note.to, &error, gate);
    if (outcome == MoveOutcome::Stopped)
        return refused(QObject::tr("Stopped"));
    if (outcome == MoveOutcome::Refused) {
        closeJournal(journal);
        return refused(error);
    }
    carryRecords(context, note.from, note.to);
    closeJournal(journal);
    SkillOperationResult result;
    result.ok = true;
    result.changes.append(QObject::tr("Move “%1” to “%2”").arg(shown(note.from), shown(note.to)));
    return result;
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

SkillOperationResult turnSkillOff(ModelContext &context, Skill &skill, const SkillOperationOptions &options)
{
    if (isTurnedOff(skill))
        return refused(QObject::tr("“%1” is off already").arg(skill.name()));
    const QString entry = skillEntry(skill);
    if (!entryExists(entry))
        return refused(QObject::tr("“%1” is not there any more").arg(shown(entry)));
    const QString holder = turnedOffFolder() + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString target = holder + u'/' + QFileInfo(entry).fileName();
    if (options.dryRun) {
        SkillOperationResult result;
        result.ok = true;
        result.changes.append(QObject::tr("Turn off “%1” (Vesk keeps it until it is turned on)").arg(shown(entry)));
        return result;
    }
    const auto prepare = [&holder, &entry](QString *error) {
        if (makeFolders(holder, error) && writeOrigin(holder, entry, error))
            return true;
        removeEntry(holder, nullptr);
        return false;
    };
    SkillOperationResult result =
        moveUnderNote(context, {JournalEntry::Kind::TurnOff, entry, target, {}, {}}, options.gate, prepare);
    if (!result.ok) {
        if (!entryExists(target) && result.error != QObject::tr("Stopped"))
            removeEntry(holder, nullptr);
        return result;
    }
    result.changes = {QObject::tr("Turn off “%1” (Vesk keeps it until it is turned on)").arg(shown(entry))};
    result.undo.kind = SkillUndo::Kind::TurnOff;
    result.undo.entry = target;
    result.undo.previous = entry;
    return result;
}

SkillOperationResult turnSkillOn(ModelContext &context, Skill &skill, const SkillOperationOptions &options)
{
    if (!isTurnedOff(skill))
        return refused(QObject::tr("“%1” is not off").arg(skill.name()));
    const QString entry = skillEntry(skill);
    const QString holder = QFileInfo(entry).absolutePath();
    const std::optional<QString> origin = readOrigin(holder);
    if (!origin)
        return refused(QObject::tr("Vesk does not know where “%1” came from").arg(skill.name()));
    if (entryExists(*origin))
        return refused(QObject::tr("“%1” is there already").arg(shown(*origin)));
    if (options.dryRun) {
        SkillOperationResult result;
        result.ok = true;
        result.changes.append(QObject::tr("Turn on “%1”").arg(shown(*origin)));
        return result;
    }
    SkillOperationResult result = moveUnderNote(context, {JournalEntry::Kind::TurnOn, entry, *origin, {}, {}}, options.gate);
    if (!result.ok)
        return result;
    removeEntry(holder, nullptr);
    result.changes = {QObject::tr("Turn on “%1”").arg(shown(*origin))};
    result.undo.kind = SkillUndo::Kind::TurnOn;
    result.undo.entry = *origin;
    result.undo.previous = entry;
    return result;
}

SkillOperationResult renameSkill(ModelContext &context, Skill &skill, const QString &newName,
                                 const SkillOperationOptions &options)
{
    if (const QString problem = folderProblem(skill); !problem.isEmpty())
        return refused(problem);
    if (!isValidSkillName(newName))
        return refused(QObject::tr("“%1” is not a skill name: use lowercase letters, digits and single hyphens, "
                                   "at most 64").arg(newName));
    const QString entry = skillEntry(skill);
    const QString target = QFileInfo(entry).absolutePath() + u'/' + newName;
    if (target == entry)
        return refused(QObject::tr("The skill is called “%1” already").arg(newName));
    if (entryExists(target))
        return refused(QObject::tr("“%1” is there already").arg(shown(target)));
    const QList<SkillLink> links = linksTo(entry, skill);
    SkillOperationResult result;
    result.changes.append(QObject::tr("Rename “%1” to “%2” and set its name field").arg(shown(entry), newName));
    for (const SkillLink &link : links)
        result.changes.append(QObject::tr("Point the link “%1” at the new name").arg(shown(link.path)));
    if (options.dryRun) {
        result.ok = true;
        return result;
    }
    const QString oldName = skill.frontmatter().value(QStringLiteral("name"), QFileInfo(entry).fileName());
    QString error;
    const QString journal = writeJournal({JournalEntry::Kind::Rename, entry, target, oldName, newName}, &error);
    if (journal.isEmpty())
        return refused(error);
    const QString file = entry + QStringLiteral("/SKILL.md");
    if (!setSkillNameField(file, newName, &error)) {
        closeJournal(journal);
        return refused(error);
    }
    if (options.gate && !options.gate(QStringLiteral("named")))
        return refused(QObject::tr("Stopped"));
    if (!renameNoReplace(entry, target, &error)) {
        setSkillNameField(file, oldName, nullptr);
        closeJournal(journal);
        return refused(error);
    }
    retargetLinks(links, target, newName, QFileInfo(entry).fileName());
    carryRecords(context, entry, target);
    closeJournal(journal);
    if (Skill *renamed = context.skillWithResolvedPath(target + QStringLiteral("/SKILL.md"))) {
        renamed->setName(newName);
        context.save();
    }
    result.ok = true;
    result.undo.kind = SkillUndo::Kind::Rename;
    result.undo.entry = target;
    result.undo.previous = entry;
    result.undo.oldName = oldName;
    return result;
}

SkillOperationResult moveSkillTo(ModelContext &context, Skill &skill, const QString &project,
                                 const SkillOperationOptions &options)
{
    if (const QString problem = folderProblem(skill); !problem.isEmpty())
        return refused(problem);
    const QString entry = skillEntry(skill);
    const QString from = scopeOf(skill.resolvedPath());
    const QString to = project.isEmpty() ? QString() : QDir::cleanPath(project);
    if (from == to)
        return refused(QObject::tr("“%1” is there already").arg(skill.name()));
    // The same tool's folder in the other scope; the shared folder when none matches.
    PlacementTool tool = std::nullopt;
    for (const PlacementTool &candidate : placementTools()) {
        if (placementFolder(candidate, from) == QFileInfo(entry).absolutePath()) {
            tool = candidate;
            break;
        }
    }
    const QString target = placementFolder(tool, to) + u'/' + QFileInfo(entry).fileName();
    if (entryExists(target))
        return refused(QObject::tr("“%1” is there already").arg(shown(target)));
    const QList<SkillLink> links = linksTo(entry, skill);
    if (options.dryRun) {
        SkillOperationResult result;
        result.ok = true;
        result.changes.append(QObject::tr("Move “%1” to “%2”").arg(shown(entry), shown(target)));
        for (const SkillLink &link : links)
            result.changes.append(QObject::tr("Point the link “%1” at the new place").arg(shown(link.path)));
        return result;
    }
    SkillOperationResult result = moveUnderNote(context, {JournalEntry::Kind::Move, entry, target, {}, {}}, options.gate);
    if (!result.ok)
        return result;
    const QString name = QFileInfo(entry).fileName();
    retargetLinks(links, target, name, name);
    result.undo.kind = SkillUndo::Kind::Move;
    result.undo.entry = target;
    result.undo.previous = entry;
    return result;
}

SkillOperationResult duplicateSkill(ModelContext &, Skill &skill, const QString &newName,
                                    const SkillOperationOptions &options)
{
    if (const QString problem = folderProblem(skill); !problem.isEmpty())
        return refused(problem);
    const QString entry = skillEntry(skill);
    const QString parent = QFileInfo(entry).absolutePath();
    QString name = newName;
    if (name.isEmpty()) {
        const QString base = QFileInfo(entry).fileName() + QStringLiteral("-copy");
        name = base;
        for (int n = 2; entryExists(parent + u'/' + name); ++n)
            name = base + u'-' + QString::number(n);
    }
    if (!isValidSkillName(name))
        return refused(QObject::tr("“%1” is not a skill name: use lowercase letters, digits and single hyphens, "
                                   "at most 64").arg(name));
    const QString target = parent + u'/' + name;
    if (entryExists(target))
        return refused(QObject::tr("“%1” is there already").arg(shown(target)));
    SkillOperationResult result;
    result.changes.append(QObject::tr("Copy “%1” to “%2”").arg(shown(entry), shown(target)));
    if (options.dryRun) {
        result.ok = true;
        return result;
    }
    QString error;
    const QString partial = partialPathFor(target);
    if ((entryExists(partial) && !removeEntry(partial, &error)) || !copyEntry(entry, partial, &error))
        return refused(error);
    if (!setSkillNameField(partial + QStringLiteral("/SKILL.md"), name, &error)
        || !renameNoReplace(partial, target, &error)) {
        removeEntry(partial, nullptr);
        return refused(error);
    }
    result.ok = true;
    result.undo.kind = SkillUndo::Kind::Duplicate;
    result.undo.entry = target;
    result.undo.previous = entry;
    return result;
}

SkillOperationResult trashSkill(ModelContext &context, Skill &skill, const SkillOperationOptions &options)
{
    const QString entry = skillEntry(skill);
    if (!entryExists(entry))
        return refused(QObject::tr("“%1” is not there any more").arg(shown(entry)));
    SkillOperationResult result;
    result.changes.append(QObject::tr("Move “%1” to the trash").arg(shown(entry)));
    if (options.dryRun) {
        result.ok = true;
        return result;
    }
    QString inTrash;
    // The trash is made inside the data folder, which a fresh account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (!QFile::moveToTrash(entry, &inTrash))
        return refused(QObject::tr("“%1” could not be moved to the trash").arg(shown(entry)));
    result.ok = true;
    result.undo.kind = SkillUndo::Kind::Trash;
    result.undo.entry = inTrash;
    result.undo.previous = entry;
    result.undo.favorite = skill.isFavorite();
    result.undo.lastOpened = skill.lastOpened();
    for (const SkillCollection *collection : skill.collections())
        result.undo.collections.append(collection->name());
    // The record goes with the file; Undo gives the marks back to the one the
    // restored file gets.
    context.remove(&skill);
    context.save();
    return result;
}
