#pragma once

#include <QString>

class ModelContext;
class Skill;

// A skill's record is keyed by where its file really is, so a skill moved on disk
// would come back from the next scan as a stranger, without the favorite, the
// collections and the history the user gave it. These keep the record with it.

// Re-keys every record whose file lies at or inside `oldEntry` (a real path, links
// resolved) to the same place inside `newEntry`, and saves. Paths the record was
// found at through links are kept while they still lead to the file. When a record
// for the new place exists already, the marks go to it and the old one is removed.
void carryRecords(ModelContext &context, const QString &oldEntry, const QString &newEntry);

// Gives `to` the marks of `from`: favorite, collections, the later of the two
// last-opened dates.
void carryMarks(const Skill &from, Skill &to);
