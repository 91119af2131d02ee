#pragma once

#include <QList>
#include <QString>

class Skill;

// Finds the skill a launch names, as `vesk NAME-OR-PATH` and the launcher's files do.
// A path (absolute, relative to `workingDirectory`, or starting with ~/) matches the
// skill whose file it is, through any of its installations or symbolic links; a
// skill folder stands for its SKILL.md or AGENTS.md. Otherwise the text is a name:
// the exact name, then the name ignoring case, then the skill's folder or file name.
// Among several skills of one name a global skill wins, then the first given.
// Returns nullptr when nothing matches.
Skill *findSkill(const QList<Skill *> &skills, const QString &nameOrPath, const QString &workingDirectory);
