#pragma once

#include "library/checks/checkrun.h"
#include "library/checks/contextcost.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;

struct CheckCommandOptions {
    enum class Format { Plain, Json, Sarif };
    Format format = Format::Plain;
    FindingLevel level = FindingLevel::Warning; // shown, and failed on, from this level up
    QStringList paths;                          // none: the library
    // The library leaves out the rules turned off in the settings unless this is
    // set; paths are always checked by every rule, so a hook or CI step gives the
    // same answer on every machine.
    bool allRules = false;
};

// `vesk check`: checks the given skill files and folders, or with none the library
// (the same store and scan as `vesk list`), and prints the findings at or above the
// level. Returns 0 when there are none, 1 when there are, 2 when nothing could be
// checked (a path that is not there, a store that does not open).
int runCheckCommand(const CheckCommandOptions &options, QTextStream &out, QTextStream &err);

// The pieces, apart from the I/O. Findings below `level` are left out of each.
// Plain: "file:line:column: level: message [rule]", one a line.
QStringList plainCheckReport(const QList<CheckedFile> &files, FindingLevel level);
QJsonObject jsonCheckReport(const QList<CheckedFile> &files, FindingLevel level, const QList<HarnessCost> &cost = {});
// A SARIF 2.1.0 log with one run.
QJsonObject sarifCheckReport(const QList<CheckedFile> &files, FindingLevel level);
bool hasFindingsAtLevel(const QList<CheckedFile> &files, FindingLevel level);
