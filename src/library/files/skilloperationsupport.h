#pragma once

#include "library/files/skilloperations.h"

// What the files of the skill operations share, and nothing outside them uses.
namespace SkillOperationSupport {

// A result that did nothing, saying why.
SkillOperationResult refused(const QString &message);
// A path as the user reads it: the home folder written as "~".
QString shown(const QString &path);
// What stops an operation on a whole skill folder before it starts; empty when nothing does.
QString folderProblem(const Skill &skill);

} // namespace SkillOperationSupport
