#pragma once

#include "library/catalogue/toolsource.h"

#include <QList>
#include <QString>

#include <optional>

class Skill;

// Where a skill is, seen as something that can be placed, moved and linked: its
// folder (or file), the scope it belongs to, and the folder each tool reads in
// that scope.

// A tool, or no tool for the shared folder that every tool following the Agent
// Skills layout reads.
using PlacementTool = std::optional<ToolSource>;

// The tools a skill can be placed for, shared folder first.
QList<PlacementTool> placementTools();
// "All tools (shared folder)" or the tool's name.
QString placementTitle(PlacementTool tool);
// "shared" or the tool's stored identifier, for the command line.
QString placementKey(PlacementTool tool);
std::optional<PlacementTool> placementFromKey(const QString &key);

// The folder `tool` reads skill folders from in a scope: the home folder when
// `project` is empty, else that project. Empty when the tool reads none there.
QString placementFolder(PlacementTool tool, const QString &project);

// What an operation works on: the real folder of a skill (links resolved), or
// the file itself for a skill that is one file.
QString skillEntry(const Skill &skill);
// Whether the skill is a folder holding SKILL.md, the layout tools place and link.
bool isSkillFolder(const Skill &skill);
// The project a path belongs to, or empty for the home scope.
QString scopeOf(const QString &path);
// Whether the skill is turned off.
bool isTurnedOff(const Skill &skill);
