#pragma once

#include "library/files/safemove.h"
#include "library/files/skillplaces.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class ModelContext;
class Skill;

// What a user does to a skill as a whole: use it in more tools, stop, turn it off
// and on, rename, move to another scope, duplicate, move to the trash. Each is
// one function here, tested on a temporary home; the window and `vesk` only call
// them. None overwrites anything: a clash is refused with the path that is in
// the way. The skill's record, and the marks the user gave it, follow it.

enum class PlacementKind {
    Link, // a relative symbolic link to the skill's folder
    Copy, // a copy of the folder
};

// What it takes to take the last operation back.
struct SkillUndo {
    enum class Kind { None, UseIn, StopUsing, TurnOff, TurnOn, Rename, Move, Duplicate, Trash };
    Kind kind = Kind::None;
    QString entry;    // where the skill (or the placement made) is after the operation
    QString previous; // where it was before (the original, for placements)
    QString oldName;  // Rename
    QString linkText; // StopUsing of a link: what it pointed at, as written
    // Trash: the marks the record had, given back when it comes out again.
    bool favorite = false;
    QDateTime lastOpened;
    QStringList collections;
};

struct SkillOperationResult {
    bool ok = false;
    QString error;       // why nothing (more) was done
    QStringList changes; // what changed, or with a dry run what would, one line each
    SkillUndo undo;
    // Stop using: the copy there differs from the skill; these of its files would be lost.
    QStringList wouldLose;
};

struct SkillOperationOptions {
    bool dryRun = false;     // only say what would change
    bool discardDiffering = false; // Stop using: move a differing copy to the trash
    StepGate gate;           // tests stop an operation between two steps
};

// The tools a skill can still be placed for in its own scope (the shared folder
// first): those that have a skill folder there and do not read the skill yet.
QList<PlacementTool> toolsNotReading(const Skill &skill);
// The tools that read the skill through a placement Vesk may remove: a link to it
// or an identical copy, in that tool's folder of the skill's scope.
QList<PlacementTool> toolsWithPlacement(const Skill &skill);

SkillOperationResult useSkillIn(ModelContext &context, Skill &skill, PlacementTool tool, PlacementKind kind,
                                const SkillOperationOptions &options = {});
SkillOperationResult stopUsingSkillIn(ModelContext &context, Skill &skill, PlacementTool tool,
                                      const SkillOperationOptions &options = {});
SkillOperationResult turnSkillOff(ModelContext &context, Skill &skill, const SkillOperationOptions &options = {});
SkillOperationResult turnSkillOn(ModelContext &context, Skill &skill, const SkillOperationOptions &options = {});
SkillOperationResult renameSkill(ModelContext &context, Skill &skill, const QString &newName,
                                 const SkillOperationOptions &options = {});
// `project` empty: to the home folder.
SkillOperationResult moveSkillTo(ModelContext &context, Skill &skill, const QString &project,
                                 const SkillOperationOptions &options = {});
// `newName` empty: the first free "<name>-copy", "<name>-copy-2", ...
SkillOperationResult duplicateSkill(ModelContext &context, Skill &skill, const QString &newName,
                                    const SkillOperationOptions &options = {});
SkillOperationResult trashSkill(ModelContext &context, Skill &skill, const SkillOperationOptions &options = {});

// Takes back the operation `undo` came from.
SkillOperationResult undoSkillOperation(ModelContext &context, const SkillUndo &undo);

// The words for an undo's operation: "Turn Off", "Rename", ...
QString operationTitle(SkillUndo::Kind kind);
