#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QPalette;
class QWidget;
class Skill;
struct SkillOrigin;

// The card's "Source" section: where a lock file says the skill came from and,
// where its hash allows, whether it was edited since it was installed (with the
// files that differ from the copy Vesk kept, when it installed the skill itself).
// Null for a skill no lock file names. Each changed file that is a file on both
// sides is a button that calls `compare` with the installed copy and the file as
// it is now.
using CompareWithInstalled = std::function<void(const QString &installed, const QString &current)>;
QWidget *buildSourceSection(const Skill &skill, const QPalette &palette, QWidget *parent,
                            const CompareWithInstalled &compare = {});

// "From acme/skills, installed 3 weeks ago, ref main": the parts the entry has.
QString sourceSummary(const SkillOrigin &origin, const QDateTime &now);
