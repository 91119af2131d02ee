#pragma once

#include "library/catalogue/skillreading.h"
#include "library/catalogue/toolsource.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

// What Vesk reads out of one skill file.
struct ParsedSkill {
    QMap<QString, QString> frontmatter; // keys and folded values; empty when there is no block
    QString content;                    // the body
    QString name;                       // frontmatter["name"] or ""
    QString description;                // frontmatter["description"] or ""

    bool operator==(const ParsedSkill &) const = default;
};

// Reads a leading block of "key: value" lines fenced by "---" lines. Without a
// complete block the whole text is the content, unchanged.
ParsedSkill parseFrontmatter(const QString &text);

// Takes the name from the first line that starts with "# "; the whole text is the content.
ParsedSkill parseHeading(const QString &text);

// Reads the bytes of a skill file. No value when they are not valid UTF-8; a
// leading byte-order mark is dropped.
std::optional<ParsedSkill> parseSkillBytes(const QByteArray &bytes, SkillReading reading);

// A skill file as read, or why it was not: `problem` says so in words for the
// user, and is empty when the file is simply not there (any more).
struct SkillFileRead {
    std::optional<ParsedSkill> skill;
    QString problem;
};

// Reads a UTF-8 file that is a regular file within maxSkillFileBytes.
SkillFileRead readSkillFileOrProblem(const QString &filePath, SkillReading reading);

// The same without the reason. No value when the file cannot be read or is not valid UTF-8.
std::optional<ParsedSkill> readSkillFile(const QString &filePath, SkillReading reading);
// The same, read the way the given tool writes its skills.
std::optional<ParsedSkill> readSkillFile(const QString &filePath, ToolSource tool);
