#pragma once

#include <QtGlobal>

struct stat;

// What the file system says about a file's contents without reading them: when
// none of this changed, the file was not written, and a rescan need not read it.
//
// Like git's index, this cannot see one kind of change: a rewrite that keeps the
// size and leaves both the modification and the change time as they were. The
// change time cannot be set by a program, so that takes a clock set back, or two
// same-sized writes within one tick of the file system's clock. For the second,
// a signature taken within a moment of the file's last change (50 ms, or 2 s on
// file systems that keep whole seconds) is "racy" and is not trusted: the next
// scan reads the file again (git's racy-clean rule).
struct FileSignature {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool racy = true; // a default signature matches nothing

    static FileSignature fromStat(const struct stat &info, qint64 nowNs);

    // Whether a file with signature `now` still holds what was read under this one.
    bool isUnchangedIn(const FileSignature &now) const
    {
        return !racy && device == now.device && inode == now.inode && size == now.size
            && modifiedNs == now.modifiedNs && changedNs == now.changedNs;
    }
};

// Nanoseconds since the epoch, on the clock the file system stamps files with.
qint64 fileSystemNowNs();
