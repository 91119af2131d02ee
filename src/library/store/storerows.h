#pragma once

#include "library/records/recordrows.h"

namespace Sqlite {
class Statement;
}

// Rows to and from the store's statements.
namespace StoreRows {

// Reads the row whose id is in column 0 and whose fields follow it.
SkillRow readSkill(const Sqlite::Statement &statement);
CollectionRow readCollection(const Sqlite::Statement &statement);
// Binds the fields (not the id) to parameters 1, 2, ...
void bindSkill(Sqlite::Statement &statement, const SkillRow &row);
void bindCollection(Sqlite::Statement &statement, const CollectionRow &row);

} // namespace StoreRows
