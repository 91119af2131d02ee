#pragma once

#include "library/toolsource.h"

#include <QString>

class ModelContext;
class Skill;

// Where a new skill goes and what it starts with. Kept free of widgets so the
// sheet stays a thin form over these functions.

// The name lowercased, spaces turned into hyphens, and everything else that is
// not a letter, a digit or a hyphen dropped. Empty when nothing usable is left.
QString skillSlug(const QString &name);

// The name lowercased with spaces turned into hyphens; nothing is dropped.
QString frontmatterName(const QString &name);

struct NewSkillTarget {
    QString folder;   // made if missing
    QString filePath; // the file written inside it
    bool isDirectory; // the skill is a folder of its own rather than a single file
};

// The global location `tool` reads skills from, for a skill called `slug`.
NewSkillTarget newSkillTarget(ToolSource tool, const QString &slug);

// The text a new skill file starts with, in the layout `tool` expects.
QString starterText(ToolSource tool, const QString &name);

// Writes the starter file for `name` and inserts and saves its record. Returns
// nullptr with `error` set when the name is unusable, the folder cannot be made,
// the file exists already, writing fails, or the store refuses the record. A save
// failure leaves the written file and the inserted record in place.
Skill *createSkill(ModelContext &context, ToolSource tool, const QString &name, QString *error);
