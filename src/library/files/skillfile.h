#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading a skill file into the editor and writing the edited text back, so that
// a save changes only what the user changed: the line ends and a leading
// byte-order mark are kept, links and hard links keep pointing at the edited
// text, permissions survive, and a file another program changed meanwhile is
// noticed rather than overwritten.

// How a text is laid out in bytes beyond its characters.
struct TextLayout {
    bool crlf = false;          // lines end with CR LF (the more common end when mixed)
    bool byteOrderMark = false; // the file starts with the UTF-8 byte-order mark

    bool operator==(const TextLayout &) const = default;
};

// Bytes to the editor's text, whose lines end with "\n" alone. No value when the
// bytes are not valid UTF-8.
std::optional<QString> decodeSkillText(const QByteArray &bytes, TextLayout *layout);
// The editor's text back to bytes in `layout`.
QByteArray encodeSkillText(const QString &text, const TextLayout &layout);

// The longest line the editor takes for editing, in UTF-16 units. Laying out a
// line costs more than its length (a line of a million characters takes
// seconds per keystroke), so a text with a longer line is shown read-only,
// with its long lines cut.
inline constexpr qsizetype maxEditableLineLength = 100'000;

// The length of the longest line of `text`, in UTF-16 units; lines end where the
// editor starts a new one (a line feed, a carriage return, a paragraph separator).
qsizetype longestLineLength(QStringView text);
// `text` with every line longer than `limit` cut to `limit` units and "…".
QString cutLongLines(QStringView text, qsizetype limit);

struct SkillFileContents {
    enum class Status {
        Ok,          // `text` is the file's text
        Missing,     // no file at the path: it may be written afresh
        Unavailable, // something is there but cannot be edited as text; `reason` says why
    };

    Status status = Status::Missing;
    QString text;
    QByteArray bytes; // exactly what was read (Ok)
    TextLayout layout;
    QString reason;
};

SkillFileContents loadSkillFile(const QString &path);

// What is at `path` now, compared with what the editor last read or wrote there
// (`expected`; no value when there was no file).
enum class DiskComparison { Same, Changed, Gone };
DiskComparison compareWithDisk(const QString &path, const std::optional<QByteArray> &expected);

// Writes `bytes` as the new contents of the file at `path`. False with the
// system's own message in `errorText` when it cannot.
bool writeSkillFile(const QString &path, const QByteArray &bytes, QString *errorText);
