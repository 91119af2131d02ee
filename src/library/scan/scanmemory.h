#pragma once

#include "library/disk/filesignature.h"
#include "library/records/frontmatter.h"
#include "library/scan/scanlisting.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace Sqlite {
class Database;
}

// What earlier scans learnt about the files they read, kept in the store next to
// the records so that a later scan (in this run or the next) reads only what
// changed: each skill file's signature and resolved path, the path whose reading
// a record's texts come from, and each skill folder's artifact walk.
//
// These tables are a cache: losing them costs one full reading, nothing else. They
// are written in the same transaction as the records they describe, so a record
// is never older than the signature that lets a scan skip its file.
class ScanMemory final
{
public:
    struct File {
        QString resolvedPath;
        FileSignature signature;
        // The reader that read the file (skillReaderVersion then; 0 before there was one).
        int reader = skillReaderVersion;
    };

    // Reads the tables, creating them when missing. A store that cannot hold them
    // (read-only, say) leaves the memory empty: every file is then read. With
    // `mayWriteNow` false, missing tables are made by the first writePending().
    explicit ScanMemory(Sqlite::Database &database, bool mayWriteNow = true);

    // Whether the tables were there to read (with `mayWriteNow` false, missing
    // or outdated ones leave the memory empty until the first write).
    bool wasRead() const { return m_tablesMade; }

    const QHash<QString, File> &files() const { return m_files; }
    // Each skill folder's last walk, encoded: decoding is left to whoever needs
    // one (a worker), so that loading the memory stays cheap.
    const QHash<QString, QByteArray> &walks() const { return m_walks; }
    // Without `withFiles`, the walk's folders alone: enough to tell whether it is current.
    static std::optional<ScanListing::ArtifactWalk> decodeWalk(const QByteArray &bytes, bool withFiles = true);
    // The path as found whose reading a record's texts hold; empty when unknown.
    QString textSource(const QString &resolvedPath) const { return m_textSources.value(resolvedPath); }

    // Room for `files` files and their walks, made before a scan that will bring
    // them: tables grown a file at a time rehash whole each time they double.
    void expect(qsizetype files);
    void rememberFile(const QString &path, const File &file);
    void forgetFile(const QString &path);
    void rememberWalk(const QString &skillFile, const ScanListing::ArtifactWalk &walk);
    void forgetWalk(const QString &skillFile);
    void setTextSource(const QString &resolvedPath, const QString &path);

    bool hasPendingWrites() const;
    // Writes what changed since the last successful call, inside the caller's
    // transaction; the changes stay pending until committed() is called.
    bool writePending(Sqlite::Database &database, QString *error) const;
    void committed();

    // What changed since the last write, as rows that another thread may write
    // while this one goes on (a save in the background), in key order.
    struct PendingRows {
        std::vector<std::pair<QString, std::optional<File>>> files; // none: forgotten
        std::vector<std::pair<QString, QString>> textSources;
        std::vector<std::pair<QString, std::optional<QByteArray>>> walks; // none: forgotten
    };
    // Hands out the pending rows, no longer pending; none while the tables are
    // still to be made (writePending() makes them).
    std::optional<PendingRows> takePending();
    // A write of taken rows that failed: they are pending again, and the next
    // write writes their values as they are then.
    void restorePending(const PendingRows &rows);
    static bool write(Sqlite::Database &database, const PendingRows &rows, QString *error);

private:
    static bool makeTables(Sqlite::Database &database);
    PendingRows pendingRows() const;

    bool m_usable = false;
    bool m_tablesMade = true;
    QHash<QString, File> m_files;
    QHash<QString, QByteArray> m_walks;
    QHash<QString, QString> m_textSources;
    QSet<QString> m_dirtyFiles;
    QSet<QString> m_dirtyWalks;
    QSet<QString> m_dirtyTextSources;
};
