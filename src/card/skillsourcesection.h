#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QPalette;
class QWidget;
class Skill;
struct SkillOrigin;

// The card's "Source" section: where a lock file says the skill came from and,
// where its hash allows, whether it was edited since it was installed (with the
// files that differ from the copy Vesk kept, when it installed the skill itself).
// Null for a skill no lock file names.
QWidget *buildSourceSection(const Skill &skill, const QPalette &palette, QWidget *parent);

// "From acme/skills, installed 3 weeks ago, ref main": the parts the entry has.
QString sourceSummary(const SkillOrigin &origin, const QDateTime &now);
