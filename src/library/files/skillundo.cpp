// Taking back the last operation on a skill.

#include "library/files/skilloperations.h"

#include "library/catalogue/homepath.h"
#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/files/operationjournal.h"
#include "library/files/recordcarry.h"
#include "library/files/skilllinks.h"
#include "library/files/skillnamefield.h"
#include "library/records/frontmatter.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>

#include <memory>

namespace {

SkillOperationResult outcome(bool ok, const QString &error, const QString &change)
{
    SkillOperationResult result;
    result.ok = ok;
    if (ok)
        result.changes.append(change);
    else
        result.error = error;
    return result;
}

SkillOperationResult moveBack(ModelContext &context, JournalEntry::Kind kind, const QString &from, const QString &to)
{
    QString error;
    const QString journal = writeJournal({kind, from, to, {}, {}}, &error);
    if (journal.isEmpty())
        return outcome(false, error, QString());
    const MoveOutcome moved = moveEntry(from, to, &error);
    closeJournal(journal);
    if (moved != MoveOutcome::Moved)
        return outcome(false, error, QString());
    carryRecords(context, from, to);
    return outcome(true, QString(), QObject::tr("Moved “%1” back to “%2”").arg(abbreviateHome(from), abbreviateHome(to)));
}

// The record of a skill file that came back, made now rather than at the next
// scan so that its marks can be given back to it.
Skill *recordFor(ModelContext &context, const QString &entry)
{
    const bool isDirectory = QFileInfo(entry).isDir();
    const QString file = isDirectory ? entry + QStringLiteral("/SKILL.md") : entry;
    const QString resolved = QFileInfo(file).canonicalFilePath();
    if (resolved.isEmpty())
        return nullptr;
    if (Skill *skill = context.skillWithResolvedPath(resolved))
        return skill;
    const std::optional<ParsedSkill> parsed = readSkillFile(file, SkillReading::FrontmatterOrHeading);
    if (!parsed)
        return nullptr;
    const QList<ToolSource> readers = SkillLocations::readersOf({file}, QDir::homePath()).toList();
    const QFileInfo info(file);
    auto record = std::make_unique<Skill>(file, resolved, parsed->name.isEmpty() ? QFileInfo(entry).fileName() : parsed->name,
                                          parsed->description, parsed->content, parsed->frontmatter,
                                          readers.value(0, ToolSource::Custom), isDirectory,
                                          !SkillLocations::projectFolderOf(file, QDir::homePath()).has_value(),
                                          info.lastModified().toUTC(), info.size());
    if (!readers.isEmpty())
        record->setToolSources(readers);
    return context.insert(std::move(record));
}

} // namespace

QString operationTitle(SkillUndo::Kind kind)
{
    switch (kind) {
    case SkillUndo::Kind::None:
        break;
    case SkillUndo::Kind::UseIn:
        return QObject::tr("Use In");
    case SkillUndo::Kind::StopUsing:
        return QObject::tr("Stop Using");
    case SkillUndo::Kind::TurnOff:
        return QObject::tr("Turn Off");
    case SkillUndo::Kind::TurnOn:
        return QObject::tr("Turn On");
    case SkillUndo::Kind::Rename:
        return QObject::tr("Rename");
    case SkillUndo::Kind::Move:
        return QObject::tr("Move");
    case SkillUndo::Kind::Duplicate:
        return QObject::tr("Duplicate");
    case SkillUndo::Kind::Trash:
        return QObject::tr("Move to Trash");
    }
    return QString();
}

SkillOperationResult undoSkillOperation(ModelContext &context, const SkillUndo &undo)
{
    QString error;
    switch (undo.kind) {
    case SkillUndo::Kind::None:
        return outcome(false, QObject::tr("There is nothing to undo"), QString());
    case SkillUndo::Kind::UseIn:
        // Only what the operation made: the link to the skill, or a copy that
        // nobody has changed since.
        if (isSymlink(undo.entry) && QFileInfo(undo.entry).canonicalFilePath() == undo.previous) {
            QFile::remove(undo.entry);
        } else if (!isSymlink(undo.entry) && sameEntry(undo.previous, undo.entry)) {
            if (!removeEntry(undo.entry, &error))
                return outcome(false, error, QString());
        } else {
            return outcome(false, QObject::tr("“%1” has changed since; it is left as it is").arg(abbreviateHome(undo.entry)),
                           QString());
        }
        context.save();
        return outcome(true, QString(), QObject::tr("Removed “%1”").arg(abbreviateHome(undo.entry)));
    case SkillUndo::Kind::StopUsing: {
        const bool made = undo.linkText.isEmpty() ? copyEntry(undo.previous, undo.entry, &error)
                                                  : makeLink(undo.linkText, undo.entry, &error);
        return outcome(made, error, QObject::tr("Placed “%1” again").arg(abbreviateHome(undo.entry)));
    }
    case SkillUndo::Kind::TurnOff: {
        SkillOperationResult result = moveBack(context, JournalEntry::Kind::TurnOn, undo.entry, undo.previous);
        if (result.ok)
            removeEntry(QFileInfo(undo.entry).absolutePath(), nullptr);
        return result;
    }
    case SkillUndo::Kind::TurnOn: {
        const QString holder = QFileInfo(undo.previous).absolutePath();
        QSaveFile origin(holder + QStringLiteral("/origin"));
        if (!makeFolders(holder, &error))
            return outcome(false, error, QString());
        if (!origin.open(QIODevice::WriteOnly) || origin.write(QFile::encodeName(undo.entry)) < 0 || !origin.commit())
            return outcome(false, origin.errorString(), QString());
        return moveBack(context, JournalEntry::Kind::TurnOff, undo.entry, undo.previous);
    }
    case SkillUndo::Kind::Rename: {
        const QString oldFolderName = QFileInfo(undo.previous).fileName();
        const QString newFolderName = QFileInfo(undo.entry).fileName();
        if (entryExists(undo.previous))
            return outcome(false, QObject::tr("“%1” is there already").arg(abbreviateHome(undo.previous)), QString());
        Skill *skill = context.skillWithResolvedPath(undo.entry + QStringLiteral("/SKILL.md"));
        const QList<SkillLink> links = skill ? linksTo(undo.entry, *skill) : QList<SkillLink>();
        const QString journal = writeJournal({JournalEntry::Kind::Rename, undo.entry, undo.previous, newFolderName,
                                              undo.oldName}, &error);
        if (journal.isEmpty() || !setSkillNameField(undo.entry + QStringLiteral("/SKILL.md"), undo.oldName, &error)
            || !renameNoReplace(undo.entry, undo.previous, &error)) {
            if (entryExists(undo.entry))
                setSkillNameField(undo.entry + QStringLiteral("/SKILL.md"), newFolderName, nullptr);
            closeJournal(journal);
            return outcome(false, error, QString());
        }
        retargetLinks(links, undo.previous, oldFolderName, newFolderName);
        carryRecords(context, undo.entry, undo.previous);
        closeJournal(journal);
        if (Skill *renamed = context.skillWithResolvedPath(undo.previous + QStringLiteral("/SKILL.md"))) {
            renamed->setName(undo.oldName);
            context.save();
        }
        return outcome(true, QString(), QObject::tr("Renamed back to “%1”").arg(undo.oldName));
    }
    case SkillUndo::Kind::Move: {
        Skill *skill = context.skillWithResolvedPath(undo.entry + QStringLiteral("/SKILL.md"));
        const QList<SkillLink> links = skill ? linksTo(undo.entry, *skill) : QList<SkillLink>();
        SkillOperationResult result = moveBack(context, JournalEntry::Kind::Move, undo.entry, undo.previous);
        if (result.ok) {
            const QString name = QFileInfo(undo.entry).fileName();
            retargetLinks(links, undo.previous, name, name);
        }
        return result;
    }
    case SkillUndo::Kind::Duplicate:
        if (!QFile::moveToTrash(undo.entry))
            return outcome(false, QObject::tr("“%1” could not be moved to the trash").arg(abbreviateHome(undo.entry)),
                           QString());
        return outcome(true, QString(), QObject::tr("Moved the copy “%1” to the trash").arg(abbreviateHome(undo.entry)));
    case SkillUndo::Kind::Trash: {
        if (moveEntry(undo.entry, undo.previous, &error) != MoveOutcome::Moved)
            return outcome(false, error, QString());
        // The trash's note of where the item came from goes with it.
        const QFileInfo inTrash(undo.entry);
        QFile::remove(QFileInfo(inTrash.absolutePath()).absolutePath() + QStringLiteral("/info/")
                      + inTrash.fileName() + QStringLiteral(".trashinfo"));
        if (Skill *skill = recordFor(context, undo.previous)) {
            if (undo.favorite)
                skill->setIsFavorite(true);
            if (undo.lastOpened.isValid())
                skill->setLastOpened(undo.lastOpened);
            for (const QString &name : undo.collections) {
                if (SkillCollection *collection = context.collectionNamed(name); collection && !collection->contains(skill))
                    collection->addSkill(skill);
            }
            context.save();
        }
        return outcome(true, QString(), QObject::tr("Took “%1” back out of the trash").arg(abbreviateHome(undo.previous)));
    }
    }
    return outcome(false, QObject::tr("There is nothing to undo"), QString());
}
