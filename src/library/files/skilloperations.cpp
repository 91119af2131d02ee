// Turning a skill off and on, renaming, moving, duplicating and trashing it.

#include "library/files/skilloperations.h"

#include "library/catalogue/homepath.h"
#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/files/operationjournal.h"
#include "library/files/recordcarry.h"
#include "library/files/skilllinks.h"
#include "library/files/skilloperationsupport.h"
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

using SkillOperationSupport::folderProblem;
using SkillOperationSupport::refused;
using SkillOperationSupport::shown;

namespace {

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
