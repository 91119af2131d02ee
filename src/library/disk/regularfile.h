#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The most Vesk reads of any one skill or supporting file. Skills are a few
// kilobytes; anything this large is a mistake or a trap (a link to a device, a log
// dropped into a skill folder), and reading it whole would cost the whole library.
inline constexpr qint64 maxSkillFileBytes = 8 * 1024 * 1024;

// The outcome of reading a file that the disk claims is a skill file.
struct RegularFileRead {
    enum class Status {
        Ok,
        Missing,    // nothing at the path (or a dangling link)
        NotRegular, // a folder, pipe, socket or device, after following links
        TooLarge,   // larger than the limit
        Unreadable, // anything else the system refused (permissions, I/O errors)
    };

    Status status = Status::Missing;
    QByteArray bytes;  // the whole file when status is Ok
    QString errorText; // the system's own words when the system refused
};

// Reads the whole file at `path` when, after following links, it is a regular
// file of at most `limit` bytes. Never blocks on a pipe and never reads a device.
RegularFileRead readRegularFile(const QString &path, qint64 limit = maxSkillFileBytes);

// Why a read that did not succeed left the file out, in words for the user; empty
// for a file that is simply not there.
QString unreadReason(const RegularFileRead &read, qint64 limit = maxSkillFileBytes);

// Whether the system says nothing exists at `path` (links followed): only "no such
// file" and "not a folder" count. A path that cannot be reached for any other reason
// (permissions, a mount that does not answer) may still be there.
bool isGone(const QString &path);

// The entries of `directory` whose names are not valid UTF-8, hidden ones left
// out, as paths with the bad bytes shown as U+FFFD. Qt's own listings leave such
// entries out without a word (no name of theirs could open them again), so this
// is how a scan learns of them. Empty when the folder cannot be listed.
QStringList undecodableEntries(const QString &directory);
// The reason given for such a name, in words for the user.
QString undecodableNameReason();
// The reason given for a pipe, socket or device where a file was expected.
QString notRegularFileReason();
