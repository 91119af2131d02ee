#pragma once

#include "library/checks/finding.h"

#include <QList>
#include <QString>

// What kind of file is checked, which decides the rules that apply.
enum class CheckedKind {
    SkillFile,  // SKILL.md: the open skill format
    CursorRule, // a Cursor .mdc rule: its own keys, read literally rather than as YAML
    OtherFile,  // any other instruction file: only the safety rules
};

CheckedKind checkedKindFor(const QString &path);

// Limits the format and the tools' documentation give.
namespace CheckLimits {
inline constexpr int nameLength = 64;
inline constexpr int descriptionLength = 1024;
inline constexpr int compatibilityLength = 500;
inline constexpr int listedDescriptionLength = 1536; // what Claude Code shows of a description
inline constexpr int adviseLines = 500;
inline constexpr int adviseBodyTokens = 5000;
} // namespace CheckLimits

// A rough token count: about four characters a token for English prose and code.
inline qsizetype estimatedTokens(qsizetype characters)
{
    return (characters + 3) / 4;
}

// The findings about a file's text alone, without looking at the disk: the block,
// its keys, the body's size and the safety patterns. `folderName` is the name of
// the folder that holds a SKILL.md (empty: not compared).
QList<Finding> checkSkillText(const QString &text, CheckedKind kind, const QString &folderName);

// The findings about a skill folder's files: every relative link or path in the
// text names a file inside `folderPath`, and no symbolic link in it dangles.
QList<Finding> checkSkillFolderFiles(const QString &folderPath, const QString &text);

// Checks `text` as the file at `path` will be once it is saved there: the rules of its
// kind, its folder's name and, for a SKILL.md, the links it makes into its folder as
// the folder is now. The file itself is not read: the editor checks what is typed.
QList<Finding> checkSkillTextAs(const QString &text, const QString &path);

// Reads the file at `path` (a regular file of bounded size, UTF-8) and checks it;
// a SKILL.md also has its folder checked. A file that cannot be read is one error.
// With `digest`, also gives a hash of the bytes read (empty when none were).
QList<Finding> checkSkillFile(const QString &path, QByteArray *digest = nullptr);
