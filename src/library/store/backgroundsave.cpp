#include "library/store/backgroundsave.h"

#include "library/store/sqlite.h"
#include "library/store/storerows.h"
#include "library/store/storesql.h"

namespace BackgroundSave {

Outcome write(Sqlite::Database &database, const std::vector<SkillRow> &rows, size_t inserted, qint64 seenStamp,
              const AlsoWrite &alsoWrite)
{
    Outcome outcome;
    outcome.dataVersion = database.dataVersion();
    Sqlite::Transaction transaction(database);
    if (!transaction.isActive())
        return outcome;
    {
        // Another process's rows would have to be merged into records first.
        Sqlite::Statement changes(database, StoreSql::changesSince);
        changes.bind(1, seenStamp);
        if (changes.next() || !changes.error().isEmpty())
            return outcome;
    }
    Sqlite::Statement insert(database, StoreSql::insertSkill);
    outcome.ids.reserve(inserted);
    for (size_t i = 0; i < inserted; ++i) {
        StoreRows::bindSkill(insert, rows[i]);
        if (!insert.run())
            return outcome;
        outcome.ids.push_back(database.lastInsertRowId());
    }
    Sqlite::Statement update(database, StoreSql::updateSkill);
    for (size_t i = inserted; i < rows.size(); ++i) {
        StoreRows::bindSkill(update, rows[i]);
        update.bind(16, rows[i].id);
        // No row to update: only another process deletes rows, and its
        // change would have been seen above; the careful save sorts it out.
        if (!update.run() || database.changes() != 1)
            return outcome;
    }
    if (alsoWrite && !alsoWrite(database, nullptr))
        return outcome;
    Sqlite::Statement newest(database, StoreSql::newestStamp);
    if (!newest.next())
        return outcome;
    outcome.stamp = newest.integer(0);
    newest.reset();
    outcome.written = transaction.commit();
    return outcome;
}

} // namespace BackgroundSave
