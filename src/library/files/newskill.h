#pragma once

#include "library/catalogue/toolsource.h"

#include <QList>
#include <QString>

#include <optional>

class ModelContext;
class Skill;

// Where a new skill goes and what it starts with. Kept free of widgets so the
// sheet stays a thin form over these functions.

// The name as one line: each line break (pasted text brings them) becomes a space.
QString singleLineName(const QString &name);

// The name lowercased, spaces turned into hyphens, and everything else that is
// not a letter, a digit or a hyphen dropped. Letters and digits are every
// script's, outside the Basic Multilingual Plane too, and a letter keeps its
// combining marks. Empty when nothing usable is left.
QString skillSlug(const QString &name);

// The name lowercased with spaces turned into hyphens; nothing is dropped.
QString frontmatterName(const QString &name);

struct NewSkillTarget {
    QString folder;   // made if missing
    QString filePath; // the file written inside it
    bool isDirectory; // the skill is a folder of its own rather than a single file
};

// Where the sheet can put a new skill: a harness's own folder, or, with no harness,
// the shared folder that every tool following the Agent Skills layout reads.
using NewSkillDestination = std::optional<ToolSource>;

// The sheet's choices, in order: every harness but Custom, then the shared folder.
QList<NewSkillDestination> newSkillDestinations();
// The harness's name, or "All tools (shared folder)".
QString destinationTitle(NewSkillDestination destination);

// The file a new skill called `slug` is written to.
NewSkillTarget newSkillTarget(NewSkillDestination destination, const QString &slug);

// What Create would write for `name`, told before it is pressed.
struct NewSkillPreview {
    QString filePath;     // the file it would write
    bool exists = false;  // something is there already, so Create would refuse
    bool oneFile = false; // the destination keeps one file whatever the name
};
// No value while the name is unusable.
std::optional<NewSkillPreview> previewNewSkill(NewSkillDestination destination, const QString &name);

// The text a new skill file starts with, in the layout its destination expects.
QString starterText(NewSkillDestination destination, const QString &name);

// Writes the starter file for `name` (made one line) and inserts and saves its
// record. Returns nullptr with `error` set when the name is unusable (no letter or
// digit, or only spaces), the folder cannot be made, the file exists already,
// writing fails, or the store refuses the record; the system's own message where
// the system refused. A save failure leaves the written file and the inserted
// record in place. The record's harnesses are the tools that read the file where
// it was written. A record left in the store for that path by a file deleted
// while Vesk was closed is taken over rather than refused.
Skill *createSkill(ModelContext &context, NewSkillDestination destination, const QString &name,
                   QString *error);
