#pragma once

#include "library/checks/finding.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

// Remembers each file's findings (clashes aside, which depend on the others) and
// digest, so that checking a library again after a scan reads only what changed.
// An entry is reused while the file, its folder and the folder's supporting-file
// folders (scripts/, references/, assets/) keep their size and change times;
// a file changed deeper down is seen at the next change of any of those.
class CheckCache final
{
public:
    struct Entry {
        QList<Finding> findings;
        QByteArray digest; // of the file's bytes; empty when it could not be read
        quint64 round = 0; // the last round that asked for it (see startRound())
    };

    // What says a file is unchanged: its size and the change times of the file,
    // its folder and the folder's supporting-file folders. Kept with the entry
    // wherever the entry is stored.
    struct Stamp {
        qint64 size = -1;
        qint64 fileTimes = 0;   // change and modification times of the file, mixed
        qint64 folderTimes = 0; // of the folder and its supporting-file folders, mixed
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const QString &path);

    // The entry for the file at `path`, checked again when it looks changed.
    const Entry &entryFor(const QString &path);
    // The entry kept for `path` as it is, without looking at the file: for a caller
    // told of every change on disk, which knows this file has none. A file never
    // checked is checked now.
    const Entry &keptEntryFor(const QString &path);

    // Takes in an entry checked earlier (by another run, read back from a store);
    // it is reused while the file still has `stamp`.
    void restore(const QString &path, const Stamp &stamp, Entry entry);
    // The stamp and entry kept for `path`, or null.
    const std::pair<Stamp, Entry> *find(const QString &path) const;
    // The files checked afresh since the last call.
    QSet<QString> takeFresh() { return std::exchange(m_fresh, {}); }
    // Begins a round of asking for entries; forgetUnasked() ends it.
    void startRound()
    {
        ++m_round;
        m_askedThisRound = 0;
    }
    // Forgets every file not asked for since startRound(); gives the paths
    // forgotten. No set of the files asked for is made: a round asks for tens of
    // thousands, and each entry keeps the round that last asked for it.
    QStringList forgetUnasked();

    qsizetype size() const { return m_entries.size(); }
    // How many files the last calls checked afresh, and how many they reused.
    qint64 checked() const { return m_checked; }
    qint64 reused() const { return m_reused; }

private:
    void markAsked(Entry &entry);

    QHash<QString, std::pair<Stamp, Entry>> m_entries;
    qsizetype m_askedThisRound = 0; // entries asked for since startRound()
    qint64 m_checked = 0;
    qint64 m_reused = 0;
    quint64 m_round = 0;
    QSet<QString> m_fresh;
};
