#pragma once

#include <QByteArray>
#include <QString>

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
