#include "library/checks/skillchecker.h"

#include "library/catalogue/toolsource.h"
#include "library/checks/clashes.h"
#include "library/checks/keytable.h"
#include "library/checks/safety.h"
#include "library/checks/skilltext.h"
#include "library/checks/yamlshape.h"
#include "library/records/yamlmapping.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SkillChecks", text);
}

class TextChecker final
{
public:
    explicit TextChecker(QList<Finding> &findings)
        : m_findings(findings)
    {
    }

    void add(const char *rule, FindingLevel level, const QString &message, int line = 0, int column = 0)
    {
        m_findings.append({QString::fromLatin1(rule), level, message, line, column, QString()});
    }

    // The keys of a SKILL.md block that parsed; lines in `entries` count from the block's first line.
    void skillKeys(const QList<YamlEntry> &entries, const QString &folderName)
    {
        const auto at = [&entries](const QString &key) -> const YamlEntry * {
            for (const YamlEntry &entry : entries) {
                if (entry.key == key)
                    return &entry;
            }
            return nullptr;
        };
        name(at(QStringLiteral("name")), folderName);
        description(at(QStringLiteral("description")), at(QStringLiteral("when_to_use")));
        if (const YamlEntry *entry = at(QStringLiteral("compatibility"))) {
            if (entry->kind != YamlEntry::Kind::Scalar || entry->text.isEmpty()
                || entry->text.size() > CheckLimits::compatibilityLength)
                add("format/compatibility", FindingLevel::Warning,
                    tr("compatibility should be one string of 1 to %1 characters.").arg(CheckLimits::compatibilityLength),
                    line(*entry), entry->column);
        }
        if (const YamlEntry *entry = at(QStringLiteral("metadata")))
            metadata(*entry);
        if (const YamlEntry *entry = at(QStringLiteral("allowed-tools"))) {
            if (entry->kind != YamlEntry::Kind::Scalar)
                add("format/allowed-tools", FindingLevel::Warning,
                    tr("allowed-tools should be one string of tool names separated by spaces, such as "
                       "\"Bash(git:*) Read\"; some tools do not read a list."),
                    line(*entry), entry->column);
            else if (grantsAllShell(entry->text))
                add("safety/all-shell", FindingLevel::Warning,
                    tr("allowed-tools lets the skill run every shell command without asking. "
                       "Name the commands it needs instead, such as Bash(git status:*)."),
                    line(*entry), entry->column);
        }
        for (const YamlEntry &entry : entries) {
            const KnownKey *known = KnownKeys::find(entry.key);
            if (known && known->standard)
                continue;
            if (known)
                add("keys/tool-specific", FindingLevel::Note,
                    tr("%1 is read only by %2; other tools ignore it.").arg(entry.key, toolNamesInProse(known->tools)),
                    line(entry), entry.column);
            else
                add("keys/unknown", FindingLevel::Warning,
                    tr("No tool reads the key %1. Check its spelling, or move it under metadata.").arg(entry.key),
                    line(entry), entry.column);
        }
    }

    void cursorRule(QStringView block)
    {
        // Cursor reads its keys line by line, so "globs: **/*.ts" (not YAML) is fine.
        bool hasDescription = false;
        bool hasGlobs = false;
        bool alwaysApply = false;
        int lineNumber = 1;
        for (QStringView raw : block.tokenize(u'\n')) {
            ++lineNumber;
            const QStringView text = raw.trimmed();
            const qsizetype colon = text.indexOf(u':');
            if (colon <= 0 || raw.startsWith(u' ') || raw.startsWith(u'\t'))
                continue;
            const QStringView key = text.first(colon).trimmed();
            const QStringView value = text.sliced(colon + 1).trimmed();
            if (key == u"description")
                hasDescription = !value.isEmpty() && value != u"\"\"" && value != u"''";
            else if (key == u"globs")
                hasGlobs = !value.isEmpty() && value != u"\"\"" && value != u"''";
            else if (key == u"alwaysApply") {
                alwaysApply = value == u"true";
                if (value != u"true" && value != u"false")
                    add("cursor/always-apply", FindingLevel::Warning,
                        tr("alwaysApply is true or false; Cursor reads anything else as false."), lineNumber,
                        int(raw.indexOf(u'a')) + 1);
            }
        }
        if (!hasDescription && !hasGlobs && !alwaysApply)
            add("cursor/never-applied", FindingLevel::Warning,
                tr("The rule has no description, no globs and no alwaysApply: true, so Cursor applies it only "
                   "when you mention it. Add a description or globs."),
                1, 1);
    }

    int m_offset = 1; // added to block lines: the opening fence is the file's first line

private:
    int line(const YamlEntry &entry) const { return entry.line + m_offset; }

    void name(const YamlEntry *entry, const QString &folderName)
    {
        if (!entry || entry->kind != YamlEntry::Kind::Scalar || entry->text.isEmpty()) {
            add("format/name-missing", FindingLevel::Error,
                tr("The block has no name. Add \"name: %1\".").arg(folderName.isEmpty() ? QStringLiteral("my-skill") : folderName),
                entry ? line(*entry) : 1, entry ? entry->column : 1);
            return;
        }
        const QString &name = entry->text;
        if (name.size() > CheckLimits::nameLength)
            add("format/name-length", FindingLevel::Warning,
                tr("The name has %1 characters; the format allows at most %2.").arg(name.size()).arg(CheckLimits::nameLength),
                line(*entry), entry->column);
        const bool characters = std::all_of(name.cbegin(), name.cend(), [](QChar c) {
            return c == u'-' || c.isDigit() || (c.isLetter() && c.isLower());
        });
        if (!characters)
            add("format/name-characters", FindingLevel::Warning,
                tr("The name may hold only lower-case letters, digits and hyphens; strict tools skip \"%1\".").arg(name),
                line(*entry), entry->column);
        else if (name.startsWith(u'-') || name.endsWith(u'-') || name.contains(QStringLiteral("--")))
            add("format/name-hyphens", FindingLevel::Warning,
                tr("The name may not start or end with a hyphen or hold two in a row."), line(*entry), entry->column);
        if (!folderName.isEmpty() && name != folderName)
            add("format/name-folder", FindingLevel::Warning,
                tr("The name \"%1\" differs from the folder's name \"%2\". Rename one so they match.").arg(name, folderName),
                line(*entry), entry->column);
    }

    void description(const YamlEntry *entry, const YamlEntry *whenToUse)
    {
        if (!entry || entry->kind != YamlEntry::Kind::Scalar || entry->text.trimmed().isEmpty()) {
            add("format/description-missing", FindingLevel::Error,
                tr("The block has no description, so tools skip the skill or never choose it. "
                   "Add one that says what the skill does and when to use it."),
                entry ? line(*entry) : 1, entry ? entry->column : 1);
            return;
        }
        if (entry->text.size() > CheckLimits::descriptionLength)
            add("format/description-length", FindingLevel::Warning,
                tr("The description has %1 characters; the format allows at most %2.").arg(entry->text.size()).arg(CheckLimits::descriptionLength),
                line(*entry), entry->column);
        const qsizetype listed = entry->text.size() + (whenToUse ? whenToUse->text.size() : 0);
        if (listed > CheckLimits::listedDescriptionLength)
            add("cost/long-description", FindingLevel::Note,
                tr("Claude Code shows only the first %1 characters of the description; shorten it.").arg(CheckLimits::listedDescriptionLength),
                line(*entry), entry->column);
    }

    void metadata(const YamlEntry &entry)
    {
        if (entry.kind != YamlEntry::Kind::Mapping) {
            if (!entry.isNull)
                add("format/metadata", FindingLevel::Error,
                    tr("metadata must be a map of keys to strings; strict tools drop the skill."), line(entry), entry.column);
            return;
        }
        for (const YamlEntry &child : entry.children) {
            if (child.kind != YamlEntry::Kind::Scalar) {
                add("format/metadata", FindingLevel::Error,
                    tr("metadata.%1 is a nested %2; strict tools drop skills whose metadata is not strings. "
                       "Write it as one string.")
                        .arg(child.key, child.kind == YamlEntry::Kind::Mapping ? tr("map") : tr("list")),
                    line(child), child.column);
            }
        }
    }

    QList<Finding> &m_findings;
};

void checkSize(TextChecker &checker, const QString &text, const SkillTextParts &parts)
{
    const QStringView body = parts.body.trimmed();
    if (body.isEmpty())
        checker.add("files/empty-body", FindingLevel::Warning,
                    tr("The skill has no instructions after its frontmatter. Write what the tool should do."),
                    parts.bodyFirstLine, 0);
    const qsizetype lines = text.count(u'\n') + (text.endsWith(u'\n') ? 0 : 1);
    if (lines >= CheckLimits::adviseLines)
        checker.add("files/long-file", FindingLevel::Note,
                    tr("SKILL.md has %1 lines; keep it under %2 and move detail into files under references/.")
                        .arg(lines).arg(CheckLimits::adviseLines));
    const qsizetype tokens = estimatedTokens(body.size());
    if (tokens > CheckLimits::adviseBodyTokens)
        checker.add("files/body-tokens", FindingLevel::Note,
                    tr("The body is about %1 tokens, loaded whole whenever the skill is used; keep it under about %2.")
                        .arg(tokens).arg(CheckLimits::adviseBodyTokens));
}

} // namespace

CheckedKind checkedKindFor(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    if (fileName.compare(QLatin1String("SKILL.md"), Qt::CaseInsensitive) == 0)
        return CheckedKind::SkillFile;
    if (fileName.endsWith(QLatin1String(".mdc"), Qt::CaseInsensitive))
        return CheckedKind::CursorRule;
    return CheckedKind::OtherFile;
}

QList<Finding> checkSkillText(const QString &text, CheckedKind kind, const QString &folderName)
{
    QList<Finding> findings;
    TextChecker checker(findings);
    const SkillTextParts parts = splitSkillText(text);
    if (kind == CheckedKind::SkillFile) {
        if (!parts.opens) {
            checker.add("format/no-frontmatter", FindingLevel::Error,
                        tr("SKILL.md must start with a \"---\" line and a block with name and description; "
                           "without it tools skip the skill."),
                        1, 1);
        } else if (!parts.closes) {
            checker.add("format/unclosed-frontmatter", FindingLevel::Error,
                        tr("The frontmatter block never closes. Add a \"---\" line after its last key."), 1, 1);
        } else {
            const YamlMapping yaml = readYamlMapping(parts.block);
            if (yaml.error) {
                const bool notMapping = yaml.error->message.contains(QLatin1String("not a mapping"));
                checker.add(notMapping ? "format/not-mapping" : "format/yaml", FindingLevel::Error,
                            notMapping ? tr("The frontmatter is not a list of \"key: value\" lines; tools find no name or description.")
                                       : tr("Strict YAML parsers reject this block (%1), and tools that use one skip the skill. "
                                            "Quote values that hold \": \" or \" #\", or start with a quote or other sign.")
                                             .arg(yaml.error->message),
                            yaml.error->line + 1, yaml.error->column);
            } else if (const std::optional<QList<YamlEntry>> entries = readYamlShape(parts.block)) {
                checker.skillKeys(*entries, folderName);
            }
        }
        checkSize(checker, text, parts);
    } else if (kind == CheckedKind::CursorRule) {
        if (parts.closes)
            checker.cursorRule(parts.block);
        else
            checker.add("cursor/never-applied", FindingLevel::Warning,
                        tr("The rule has no frontmatter, so Cursor applies it only when you mention it. "
                           "Add a block with a description or globs."),
                        1, 1);
    }
    findings += checkSafety(text);
    sortFindings(findings);
    return findings;
}
