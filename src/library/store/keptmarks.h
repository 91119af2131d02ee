#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class ModelContext;
class Skill;

namespace Sqlite {
class Database;
}

// The user's marks on records a prune took away although their files are still
// there: the files now lie outside every place a scan starts from (a custom scan
// directory removed in the settings). Kept in the store by resolved path, and
// given back when a scan records the same file again (the directory added back),
// so that nothing the user marked is lost by taking a folder out for a while.
class KeptMarks final : public QObject
{
    Q_OBJECT

public:
    // Reads the table, creating it when missing. A store that cannot hold it
    // (read-only) keeps the marks in memory only, for this run. While the
    // context holds its writes, what changes is written once it lets them go.
    explicit KeptMarks(ModelContext &context);

    // Remembers `skill`'s favorite, collections and last opening; nothing when it has none.
    void keep(const Skill &skill);
    // Gives `skill` what was kept for its resolved path, and forgets it. The
    // collections are found by name; one deleted meanwhile is left out.
    void giveBack(Skill &skill, ModelContext &context);
    bool holds(const QString &resolvedPath) const { return m_marks.contains(resolvedPath); }

private:
    bool tableReady();
    void write(const QString &resolvedPath);
    void writeHeld();

    struct Marks {
        bool favorite = false;
        QDateTime lastOpened;
        QStringList collections;
    };

    ModelContext &m_context;
    Sqlite::Database &m_database;
    bool m_usable = false;
    bool m_tableChecked = false;
    QHash<QString, Marks> m_marks;
    QSet<QString> m_unwritten; // resolved paths changed while writes were held
};
