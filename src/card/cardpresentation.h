#pragma once

#include "library/records/skill.h"
#include "library/records/skillartifact.h"
#include "library/catalogue/toolsource.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringList>

#include <optional>

// What the skill card and the metadata bar show, worked out from the record
// apart from any widget, so each rule can be tested on its own.
namespace CardPresentation {

// Frontmatter keys worth a row: not "name" or "description" in any letter case,
// and not empty, in character-code order (upper case before lower case).
QStringList metadataKeys(const Skill::Frontmatter &frontmatter);

struct ArtifactGroup {
    SkillArtifact::Category category;
    QList<SkillArtifact> artifacts;
};
// Artifacts grouped by category, groups in the categories' declared order
// (Scripts, References, Rules, Config, Files), the listing's order kept inside
// each group; categories without artifacts are left out.
QList<ArtifactGroup> artifactGroups(const QList<SkillArtifact> &artifacts);

// The first lines of the body that hold more than spaces and tabs, at most
// `maxLines`, joined by "\n"; "(No content)" when there is no such line. Scanning stops
// once enough lines are found, so a huge body costs no more than its first lines.
// A CRLF line end counts as a line end, not as text on the line.
QString contentPreview(const QString &content, int maxLines = 20);

// "1 resource", "3 resources".
QString resourceCountText(qsizetype count);

// The capsule after the harness badges: "Global" for a skill in a harness's
// home folders, otherwise the project it belongs to, otherwise nothing.
struct LocationBadge {
    enum class Kind { Global, Project };
    Kind kind;
    QString text;
};
std::optional<LocationBadge> locationBadge(const Skill &skill);

// The icon and colour of a supporting file's chip, by its lower-cased extension.
struct ChipStyle {
    QString symbolName;
    QColor color;
};
ChipStyle chipStyle(const QString &fileExtension, const QPalette &palette);

// The colour of a category's group heading and its symbol: the category's own
// colour softened to 0.7, except "Files", which is plain secondary text.
QColor groupHeadingColor(SkillArtifact::Category category, const QPalette &palette);

// The colour of a harness's badge.
QColor harnessTint(ToolSource tool, const QPalette &palette);

// Every installed path with a leading home directory written as "~", one per line.
QString installedPathsText(const QStringList &paths, const QString &home);

} // namespace CardPresentation
