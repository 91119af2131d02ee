#include "library/checks/rules.h"

#include <QCoreApplication>

namespace {

CheckRule rule(const char *id, FindingLevel level, const char *summary)
{
    return {QString::fromLatin1(id), level, QCoreApplication::translate("SkillChecks", summary)};
}

} // namespace

namespace CheckRules {

const QList<CheckRule> &table()
{
    using L = FindingLevel;
    static const QList<CheckRule> rows{
        rule("format/no-frontmatter", L::Error, "SKILL.md starts with a frontmatter block"),
        rule("format/unclosed-frontmatter", L::Error, "The frontmatter block closes with a --- line"),
        rule("format/yaml", L::Error, "The frontmatter is YAML a strict parser accepts"),
        rule("format/not-mapping", L::Error, "The frontmatter is a mapping of keys to values"),
        rule("format/name-missing", L::Error, "The frontmatter has a name"),
        rule("format/name-length", L::Warning, "The name has at most 64 characters"),
        rule("format/name-characters", L::Warning, "The name has only lower-case letters, digits and hyphens"),
        rule("format/name-hyphens", L::Warning, "The name neither starts nor ends with a hyphen, nor has two in a row"),
        rule("format/name-folder", L::Warning, "The name equals the folder's name"),
        rule("format/description-missing", L::Error, "The frontmatter has a description"),
        rule("format/description-length", L::Warning, "The description has at most 1024 characters"),
        rule("format/compatibility", L::Warning, "compatibility is a string of 1 to 500 characters"),
        rule("format/metadata", L::Error, "metadata is a map of strings to strings"),
        rule("format/allowed-tools", L::Warning, "allowed-tools is a string"),
        rule("keys/tool-specific", L::Note, "A key only some tools read"),
        rule("keys/unknown", L::Warning, "A key no tool reads"),
        rule("cursor/always-apply", L::Warning, "A Cursor rule's alwaysApply is true or false"),
        rule("cursor/never-applied", L::Warning, "A Cursor rule has a description, globs or alwaysApply: true"),
        rule("files/missing-file", L::Warning, "Files the body names are in the skill's folder"),
        rule("files/link-escapes", L::Warning, "Links in the body stay inside the skill's folder"),
        rule("files/dangling-link", L::Warning, "Symbolic links among the skill's files have targets"),
        rule("files/empty-body", L::Warning, "The skill has instructions after its frontmatter"),
        rule("files/long-file", L::Note, "SKILL.md is under 500 lines"),
        rule("files/body-tokens", L::Note, "The body is under about 5,000 tokens"),
        rule("files/unreadable", L::Error, "The file can be read"),
        rule("files/not-utf8", L::Error, "The file is UTF-8 text"),
        rule("safety/bidi-control", L::Warning, "No direction-changing control characters"),
        rule("safety/zero-width", L::Warning, "No zero-width characters"),
        rule("safety/tag-characters", L::Warning, "No Unicode tag characters"),
        rule("safety/pipe-to-shell", L::Warning, "No download piped into a shell"),
        rule("safety/encoded-blob", L::Warning, "No long base64 or hex blobs"),
        rule("safety/secret-to-network", L::Warning, "No secrets read on a line that sends to the network"),
        rule("safety/all-shell", L::Warning, "allowed-tools does not grant every shell command"),
        rule("clash/identical-copy", L::Note, "Identical copies a tool reads twice are links"),
        rule("clash/differing-copy", L::Warning, "A tool reads no two different skills of one name"),
        rule("cost/long-description", L::Note, "The description fits what the tools list"),
    };
    return rows;
}

const CheckRule *find(const QString &id)
{
    for (const CheckRule &row : table()) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

} // namespace CheckRules
