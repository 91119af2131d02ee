#pragma once

#include "library/scan/unchangedlibrary.h"

#include <QJsonArray>
#include <QList>
#include <QString>

class ArtifactCache;
class FileProblems;
class QTextStream;
class ScanPipeline;
class Skill;

// Runs one full scan of the library to its end on this thread, for the commands
// that answer without a window. Its saves run beside it, and the last may still
// run on return: the context's next save waits for it, as does the pipeline's end.
void scanToEnd(ScanPipeline &pipeline, FileProblems &problems);

// How `vesk list` ends once it has said everything: by returning, with every
// record freed, or by ending the process itself once the store is closed (ten
// thousand records are not worth taking apart one by one just before exit).
enum class ListCommandEnd { Return, EndProcess };

// `vesk list [--json]`: opens the same store as the window, scans, prunes and
// prints every skill in name order; the plain form in columns, with a header line
// when `header` (standard output is a terminal). Returns the process exit status,
// or with EndProcess, exits with it.
int runListCommand(bool json, QTextStream &out, QTextStream &err, bool header = false,
                   ListCommandEnd end = ListCommandEnd::Return);

// The pieces, kept apart from the I/O so they can be checked directly.
QJsonArray skillsToJson(const QList<Skill *> &skills, const ArtifactCache &artifacts);
QString skillToLine(const Skill &skill, int nameWidth, int toolsWidth);
QString toolNames(const Skill &skill);
// The plain listing: one line per skill, the name and tools columns padded to the
// widest entry by display width, and the header line first when asked for.
QStringList plainListing(const QList<Skill *> &skills, bool header);
// The same, for records read straight from an unchanged library.
QStringList plainListing(const QList<UnchangedLibrary::ListedSkill> &skills, bool header);
