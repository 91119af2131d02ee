#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>

class ArtifactCache;
class QTextStream;
class Skill;

// `vesk list [--json]`: opens the same store as the window, scans, prunes and
// prints every skill in name order. Returns the process exit status.
int runListCommand(bool json, QTextStream &out, QTextStream &err);

// The pieces, kept apart from the I/O so they can be checked directly.
QJsonArray skillsToJson(const QList<Skill *> &skills, const ArtifactCache &artifacts);
QString skillToLine(const Skill &skill, int nameWidth, int toolsWidth);
QString toolNames(const Skill &skill);
