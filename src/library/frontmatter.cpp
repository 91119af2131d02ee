#include "library/frontmatter.h"

#include "library/regularfile.h"

#include <QStringDecoder>
#include <QStringList>

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
QString trimmedWhere(QStringView text, Predicate strip)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && strip(text[begin]))
        ++begin;
    while (end > begin && strip(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

QString trimBlanks(QStringView text)
{
    return trimmedWhere(text, isBlank);
}

QString trimBlanksAndNewlines(QStringView text)
{
    return trimmedWhere(text, isBlankOrNewline);
}

ParsedSkill plainText(const QString &text)
{
    ParsedSkill skill;
    skill.content = text;
    return skill;
}

} // namespace

ParsedSkill parseFrontmatter(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    if (trimBlanks(lines.first()) != u"---")
        return plainText(text);

    QMap<QString, QString> frontmatter;
    QString pendingKey; // empty while no key is pending; a stored key is never empty
    QString pendingValue;
    bool block = false; // the value started on its own lines ("key:", "key: |", "key: >")

    // Storing keeps the key pending: indented lines that follow still extend its value.
    const auto commit = [&] {
        if (!pendingKey.isEmpty())
            frontmatter.insert(pendingKey, trimBlanksAndNewlines(pendingValue));
    };

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QString trimmed = trimBlanks(line);

        if (trimmed == u"---") {
            commit();
            ParsedSkill skill;
            skill.frontmatter = frontmatter;
            skill.content = trimBlanksAndNewlines(lines.sliced(i + 1).join(u'\n'));
            skill.name = frontmatter.value(QStringLiteral("name"));
            skill.description = frontmatter.value(QStringLiteral("description"));
            return skill;
        }

        const bool indented = line.startsWith(u' ') || line.startsWith(u'\t');
        if (trimmed.isEmpty()) {
            if (block)
                pendingValue += u'\n';
        } else if (indented && !pendingKey.isEmpty()) {
            const QString item = trimmed.startsWith(u"- ") ? trimmed.sliced(2) : trimmed;
            pendingValue = pendingValue.isEmpty() ? item : pendingValue + u'\n' + item;
        } else {
            commit();
            const qsizetype colon = trimmed.indexOf(u':');
            if (colon < 0)
                continue;
            const QString key = trimBlanks(QStringView(trimmed).first(colon));
            if (key.isEmpty() || key.startsWith(u'-'))
                continue;
            const QString value = trimBlanks(QStringView(trimmed).sliced(colon + 1));
            pendingKey = key;
            block = value.isEmpty() || value == u"|" || value == u">";
            pendingValue = block ? QString() : value;
        }
    }

    // The block was never closed: treat the file as having none.
    return plainText(text);
}

ParsedSkill parseHeading(const QString &text)
{
    ParsedSkill skill = plainText(text);
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        if (line.startsWith(u"# ")) {
            skill.name = trimBlanks(line.sliced(2));
            break;
        }
    }
    return skill;
}

std::optional<ParsedSkill> readSkillFile(const QString &filePath, ToolSource tool)
{
    const RegularFileRead file = readRegularFile(filePath);
    if (file.status != RegularFileRead::Status::Ok)
        return std::nullopt;
    const QByteArray &bytes = file.bytes;

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;

    switch (tool) {
    case ToolSource::Claude:
    case ToolSource::Cursor:
    case ToolSource::Windsurf:
        return parseFrontmatter(text);
    case ToolSource::Codex:
    case ToolSource::Copilot:
    case ToolSource::Aider:
    case ToolSource::Amp:
        return parseHeading(text);
    case ToolSource::Custom:
        break;
    }

    // Custom folders hold either kind; a block without a name falls back to the heading.
    const ParsedSkill skill = parseFrontmatter(text);
    return skill.name.isEmpty() ? parseHeading(text) : skill;
}
