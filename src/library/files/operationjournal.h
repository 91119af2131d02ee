#pragma once

#include <QString>

class ModelContext;

// A note, written before a skill operation of more than one step touches the
// disk and removed once it is done, so that an operation the process never
// finished (killed, power gone) is finished or undone at the next start: the
// skill ends up where it was or where it was going, never half way.

struct JournalEntry {
    enum class Kind { Move, Rename, TurnOff, TurnOn };
    Kind kind = Kind::Move;
    QString from;    // the entry before
    QString to;      // the entry after
    QString oldName; // Rename: the name field before
    QString newName; // Rename: the name field after
};

// Writes the note; returns its file, or empty with `error` set when it cannot.
QString writeJournal(const JournalEntry &entry, QString *error);
// Removes the note of a finished operation.
void closeJournal(const QString &file);

// Finishes or undoes every operation whose note is still there, carrying the
// records of skills that ended up moved. Returns how many it found.
int finishInterruptedOperations(ModelContext &context);
