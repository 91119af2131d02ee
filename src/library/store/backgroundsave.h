#pragma once

#include "library/records/recordrows.h"

#include <QString>

#include <functional>
#include <future>
#include <vector>

class Skill;

namespace Sqlite {
class Database;
}

// The writing half of a save of new and changed records that runs on a thread of its own
// while the records' thread goes on applying a scan. It writes rows copied
// beforehand and touches no record: what it learns (the rows' ids, the change
// stamp) goes back to the records' thread. Whatever it cannot write plainly
// (another process wrote since the records' thread last looked, a row the store
// refuses, a store that fails) rolls the whole transaction back: the records
// stay pending and the next save, on their own thread, takes in, merges, sets
// aside and reports as every save does.
namespace BackgroundSave {

using AlsoWrite = std::function<bool(Sqlite::Database &, QString *)>;

struct Outcome {
    bool written = false;
    std::vector<qint64> ids; // one for each new row, in order
    qint64 stamp = 0;        // the newest change stamp, this save's own included
    qint64 dataVersion = -1; // the connection's data_version before it began
};

// One save under way, as the records' thread keeps it.
struct Batch {
    // In the order of insertion, with their running numbers, so that records
    // left pending take their places again ahead of any inserted since.
    std::vector<Skill *> skills;
    std::vector<quint64> numbers;
    // The changed records (stored before), after the new ones in `rows`.
    std::vector<Skill *> changed;
    // What the writer writes, copied on the records' thread: the new records'
    // rows, then the changed ones' (with their ids).
    std::vector<SkillRow> rows;
    std::function<void(bool)> settled;
    quint64 number = 0; // which of the context's saves in the background
    std::future<Outcome> outcome;
};

// Inserts the first `inserted` of `rows` and updates the rest by their ids, in
// one transaction, then writes `alsoWrite`'s rows, unless the store holds
// changes stamped after `seenStamp`. The connection must be this call's alone
// until it returns.
Outcome write(Sqlite::Database &database, const std::vector<SkillRow> &rows, size_t inserted, qint64 seenStamp,
              const AlsoWrite &alsoWrite);

} // namespace BackgroundSave
