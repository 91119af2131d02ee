#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Reading a skill file into the editor and writing the edited text back, so that
// a save changes only what the user changed: the line ends and a leading
// byte-order mark are kept, links and hard links keep pointing at the edited
// text, permissions survive, and a file another program changed meanwhile is
// noticed rather than overwritten.

// How a text is laid out in bytes beyond its characters.
struct TextLayout {
    bool crlf = false;          // new lines end with CR LF (the more common end when mixed)
    bool byteOrderMark = false; // the file starts with the UTF-8 byte-order mark
    QString text;               // the decoded text the line ends below belong to
    QStringList lineEnds;       // its line ends as the file has them, in order

    bool operator==(const TextLayout &) const = default;
};

// Bytes to the editor's text, whose lines end with "\n" alone (CR LF, a lone
// CR, U+2028 and U+2029 included). No value when the bytes are not valid UTF-8.
std::optional<QString> decodeSkillText(const QByteArray &bytes, TextLayout *layout);
// The editor's text back to bytes in `layout`: each line end kept from the
// decoded text is written as the file had it, each new one in the common end.
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

// The file a save to `path` would change, when links lead it outside `folder`
// (a project, the home folder); nothing when it stays inside.
std::optional<QString> linkTargetOutside(const QString &path, const QString &folder);

// Writes `bytes` as the new contents of the file at `path`, through links to the
// file they end at; a link that ends nowhere is refused, never followed into a
// new file. False with the system's own message in `errorText` when it cannot.
bool writeSkillFile(const QString &path, const QByteArray &bytes, QString *errorText);
