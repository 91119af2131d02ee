#pragma once

#include "library/checks/checkcache.h"
#include "library/checks/finding.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace Sqlite {
class Database;
}

// The checker's findings kept in the store next to the records, file by file with
// the stamp they were checked at, so that a later run (or another process) shows
// them at once and checks again only the files whose stamp changed. Like the
// scan's memory this table is a cache: losing it costs one checking of every
// file, nothing else; so it is made when missing rather than by a schema version,
// which would make an older Vesk refuse the whole library.
namespace HealthStore {

// Who checked a stored row: the rules' revision and the language of the messages.
// A row with another tag is checked again.
QString checkerTag();

// Reads the stored rows into `cache`; gives how many. None when there is no table.
int restore(Sqlite::Database &database, CheckCache &cache);

// Writes the rows of `paths` as the cache holds them and deletes those of `gone`,
// in one transaction, making the table when missing. False with `error` when the
// store could not be written; nothing is then written.
bool write(Sqlite::Database &database, const CheckCache &cache, const QSet<QString> &paths,
           const QStringList &gone, QString *error = nullptr);

QByteArray encodeFindings(const QList<Finding> &findings);
// Null for bytes that are not what encodeFindings() wrote.
std::optional<QList<Finding>> decodeFindings(const QByteArray &bytes);

} // namespace HealthStore
