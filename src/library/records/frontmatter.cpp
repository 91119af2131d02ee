#include "library/records/frontmatter.h"

#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace {

// Spaces and tabs, Unicode space separators included; line breaks are never blanks.
bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isBlankOrNewline(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return isBlank(c);
    }
}

template<typename Predicate>
QStringView trimmedWhere(QStringView text, Predicate strip)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && strip(text[begin]))
        ++begin;
    while (end > begin && strip(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QStringView trimBlanks(QStringView text)
{
    return trimmedWhere(text, isBlank);
}

QStringView trimBlanksAndNewlines(QStringView text)
{
    return trimmedWhere(text, isBlankOrNewline);
}

ParsedSkill plainText(const QString &text)
{
    ParsedSkill skill;
    skill.content = text;
    return skill;
}

// The line of `text` that starts at `begin`, without its line feed.
QStringView lineAt(QStringView text, qsizetype begin)
{
    const qsizetype feed = text.indexOf(u'\n', begin);
    return text.sliced(begin, (feed < 0 ? text.size() : feed) - begin);
}

} // namespace

// One pass over the lines, and every character is copied a bounded number of times:
// lines are views into the text, a value grows in place, and a key's value is stored
// once, when the next key replaces it or the block ends. Hostile files (a value
// continued over a million lines) therefore cost time in proportion to their size.
ParsedSkill parseFrontmatter(const QString &text)
{
    const QStringView all(text);
    const QStringView first = lineAt(all, 0);
    if (trimBlanks(first) != u"---")
        return plainText(text);

    // Find the closing fence first: without one the file has no block, and nothing
    // inside it needs reading.
    qsizetype closing = -1;
    for (qsizetype begin = first.size() + 1; begin <= all.size();) {
        const QStringView line = lineAt(all, begin);
        if (trimBlanks(line) == u"---") {
            closing = begin;
            break;
        }
        begin += line.size() + 1;
    }
    if (closing < 0)
        return plainText(text);

    QMap<QString, QString> frontmatter;
    QStringView pendingKey; // empty while no key is pending; a stored key is never empty
    QString pendingValue;
    bool block = false; // the value started on its own lines ("key:", "key: |", "key: >")

    // A key stays pending until another key line replaces it: indented lines that follow
    // lines the reader ignores still extend its value. Storing it only then gives the
    // same map as storing it after every line, without copying the value each time.
    const auto commit = [&] {
        if (pendingKey.isEmpty())
            return;
        // Trimmed in place and moved into the map: a value of many megabytes is
        // not copied once more.
        const QStringView trimmed = trimBlanksAndNewlines(pendingValue);
        const qsizetype lead = trimmed.data() - pendingValue.constData();
        pendingValue.truncate(lead + trimmed.size());
        pendingValue.remove(0, lead);
        frontmatter.insert(pendingKey.toString(), std::move(pendingValue));
        pendingValue = QString();
    };

    for (qsizetype begin = first.size() + 1; begin < closing;) {
        const QStringView line = lineAt(all, begin);
        begin += line.size() + 1;
        const QStringView trimmed = trimBlanks(line);
        const bool indented = line.startsWith(u' ') || line.startsWith(u'\t');
        if (trimmed.isEmpty()) {
            if (block)
                pendingValue += u'\n';
        } else if (indented && !pendingKey.isEmpty()) {
            const QStringView item = trimmed.startsWith(u"- ") ? trimmed.sliced(2) : trimmed;
            if (!pendingValue.isEmpty())
                pendingValue += u'\n';
            pendingValue += item;
        } else {
            const qsizetype colon = trimmed.indexOf(u':');
            const QStringView key = colon < 0 ? QStringView() : trimBlanks(trimmed.first(colon));
            if (!key.isEmpty() && !key.startsWith(u'-')) {
                commit();
                const QStringView value = trimBlanks(trimmed.sliced(colon + 1));
                pendingKey = key;
                block = value.isEmpty() || value == u"|" || value == u">";
                pendingValue = block ? QString() : value.toString();
            }
        }
    }
    commit();

    ParsedSkill skill;
    skill.frontmatter = std::move(frontmatter);
    const qsizetype body = closing + lineAt(all, closing).size() + 1;
    if (body <= all.size())
        skill.content = trimBlanksAndNewlines(all.sliced(body)).toString();
    skill.name = skill.frontmatter.value(QStringLiteral("name"));
    skill.description = skill.frontmatter.value(QStringLiteral("description"));
    return skill;
}

ParsedSkill parseHeading(const QString &text)
{
    ParsedSkill skill = plainText(text);
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        if (line.startsWith(u"# ")) {
            skill.name = trimBlanks(line.sliced(2)).toString();
            break;
        }
    }
    return skill;
}

SkillFileRead readSkillFileOrProblem(const QString &filePath, SkillReading reading)
{
    const RegularFileRead file = readRegularFile(filePath);
    if (file.status != RegularFileRead::Status::Ok)
        return {std::nullopt, unreadReason(file)};
    std::optional<ParsedSkill> skill = parseSkillBytes(file.bytes, reading);
    if (!skill)
        return {std::nullopt, QCoreApplication::translate("FileProblems", "Not UTF-8 text; not read.")};
    return {std::move(skill), QString()};
}

std::optional<ParsedSkill> parseSkillBytes(const QByteArray &bytes, SkillReading reading)
{
    // Stateless: a file cut off inside a character is an error, not a shorter text.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;

    switch (reading) {
    case SkillReading::Frontmatter:
        return parseFrontmatter(text);
    case SkillReading::Heading:
        return parseHeading(text);
    case SkillReading::FrontmatterOrHeading:
        break;
    }
    // Folders that hold either kind: a block without a name falls back to the heading.
    const ParsedSkill skill = parseFrontmatter(text);
    return skill.name.isEmpty() ? parseHeading(text) : skill;
}

std::optional<ParsedSkill> readSkillFile(const QString &filePath, SkillReading reading)
{
    return readSkillFileOrProblem(filePath, reading).skill;
}

std::optional<ParsedSkill> readSkillFile(const QString &filePath, ToolSource tool)
{
    return readSkillFile(filePath, readingFor(tool));
}
