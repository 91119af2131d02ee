#pragma once

#include <QList>
#include <QString>

#include <optional>

// The catalogue of harnesses: the AI coding tools whose skill files Vesk manages.
// The declaration order is the order every list of harnesses uses.
enum class ToolSource {
    Claude,
    Cursor,
    Windsurf,
    Codex,
    Copilot,
    Aider,
    Amp,
    Custom,
};

// One folder inside a project where a harness keeps skills.
struct ProjectSkillLocation {
    QString relativePath;
    ToolSource tool;
};

namespace Tools {

// All eight harnesses in catalogue order.
const QList<ToolSource> &allCases();

// The stored identifier ("claude", "cursor", ...).
QString rawValue(ToolSource tool);
// Exact, case-sensitive inverse of rawValue(); anything else yields no value.
std::optional<ToolSource> fromRawValue(const QString &raw);

QString displayName(ToolSource tool);
QString symbolName(ToolSource tool);
// Name of the bundled artwork for harnesses that have their own image, empty otherwise.
QString imageName(ToolSource tool);

// Absolute folders under the current user's home directory, recomputed on every call.
QStringList globalSkillPaths(ToolSource tool);

// The fixed table the scanner applies inside every project directory.
const QList<ProjectSkillLocation> &projectSkillLocations();
// The single file read inside a project's ".github" folder.
QString copilotInstructionsFileName();

} // namespace Tools
