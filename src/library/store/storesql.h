#pragma once

// The statements the model context runs against the store. Inline, so every file
// shares one address per statement: the context prepares each statement once and
// finds it again by that address.

#define VESK_SKILL_COLUMNS                                                                         \
    "resolvedPath, filePath, isDirectory, name, skillDescription, content, frontmatterData, "     \
    "isFavorite, lastOpened, fileModifiedDate, fileSize, isGlobal, toolSourcesRaw, "              \
    "installedPathsData, hasFrontmatterYamlError"

namespace StoreSql {

// Every record, the bodies left in the store (NULL in their place).
inline constexpr char selectSkillsWithoutContent[] =
    "SELECT id, resolvedPath, filePath, isDirectory, name, skillDescription, NULL, frontmatterData, "
    "isFavorite, lastOpened, fileModifiedDate, fileSize, isGlobal, toolSourcesRaw, installedPathsData, "
    "hasFrontmatterYamlError FROM skill";
inline constexpr char selectContent[] = "SELECT content FROM skill WHERE id = ?1";
inline constexpr char selectSkillById[] = "SELECT id, " VESK_SKILL_COLUMNS " FROM skill WHERE id = ?1";
inline constexpr char selectSkillByPath[] =
    "SELECT id, " VESK_SKILL_COLUMNS " FROM skill WHERE resolvedPath = ?1";
// OR FAIL, not the default ABORT: a statement that fires the stamping trigger and
// may abort has SQLite copy every page it touches aside first, so that it can be
// undone alone, and a first scan then wrote three times the store's size to
// temporary files. A row's constraints are checked before anything is written, and
// the trigger cannot conflict, so a refused row leaves nothing behind either way;
// a failing disk rolls the whole transaction back, and the save keeps its changes.
inline constexpr char insertSkill[] = "INSERT OR FAIL INTO skill (" VESK_SKILL_COLUMNS
                                      ") VALUES (?1, ?2, ?3, ?4, ?5, COALESCE(?6, ''), ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)";
inline constexpr char updateSkill[] =
    "UPDATE OR FAIL skill SET resolvedPath = ?1, filePath = ?2, isDirectory = ?3, name = ?4, "
    "skillDescription = ?5, content = COALESCE(?6, content), frontmatterData = ?7, isFavorite = ?8, "
    "lastOpened = ?9, fileModifiedDate = ?10, fileSize = ?11, isGlobal = ?12, "
    "toolSourcesRaw = ?13, installedPathsData = ?14, hasFrontmatterYamlError = ?15 WHERE id = ?16";
inline constexpr char deleteSkill[] = "DELETE FROM skill WHERE id = ?1";

inline constexpr char selectCollections[] = "SELECT id, name, icon, sortOrder FROM skill_collection";
inline constexpr char selectCollectionById[] =
    "SELECT id, name, icon, sortOrder FROM skill_collection WHERE id = ?1";
inline constexpr char selectCollectionByName[] =
    "SELECT id, name, icon, sortOrder FROM skill_collection WHERE name = ?1";
inline constexpr char insertCollection[] = "INSERT INTO skill_collection (name, icon, sortOrder) VALUES (?1, ?2, ?3)";
inline constexpr char updateCollection[] =
    "UPDATE skill_collection SET name = ?1, icon = ?2, sortOrder = ?3 WHERE id = ?4";
inline constexpr char deleteCollection[] = "DELETE FROM skill_collection WHERE id = ?1";

inline constexpr char selectMemberships[] =
    "SELECT collection_id, skill_id FROM collection_membership ORDER BY rowid";
inline constexpr char membersOf[] =
    "SELECT skill_id FROM collection_membership WHERE collection_id = ?1 ORDER BY rowid";
inline constexpr char collectionsOf[] =
    "SELECT collection_id FROM collection_membership WHERE skill_id = ?1 ORDER BY rowid";
// Not INSERT OR IGNORE: that clause would reach into the stamping trigger as well.
inline constexpr char addMembership[] =
    "INSERT INTO collection_membership (collection_id, skill_id) SELECT ?1, ?2 WHERE NOT EXISTS "
    "(SELECT 1 FROM collection_membership WHERE collection_id = ?1 AND skill_id = ?2)";
inline constexpr char removeMembership[] =
    "DELETE FROM collection_membership WHERE collection_id = ?1 AND skill_id = ?2";

// Every change to a row is stamped by the store's triggers (see ModelContainer):
// kind 0 for skills, 1 for collections (and their memberships).
inline constexpr long long skillKind = 0;
inline constexpr long long collectionKind = 1;
inline constexpr char changesSince[] = "SELECT kind, id, stamp FROM vesk_change WHERE stamp > ?1 ORDER BY stamp";
inline constexpr char newestStamp[] = "SELECT coalesce(max(stamp), 0) FROM vesk_change";

} // namespace StoreSql

#undef VESK_SKILL_COLUMNS
