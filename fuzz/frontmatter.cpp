// The skill-file reader, given any bytes as a file's contents, in all three
// readings. What must hold for every input:
//   - bytes are accepted exactly when they are valid UTF-8 (checked against a
//     validator of our own), and then the text read is those bytes, less a
//     leading byte-order mark;
//   - the same bytes always give the same answer;
//   - name and description are the values of the "name" and "description" keys;
//   - a text without a complete fenced block comes back whole as the body;
//   - keys are single lines without a colon, values and body have no blank ends;
//   - the heading reading keeps the whole text and takes a one-line name;
//   - the mixed reading is the block's answer, or the heading's when the block
//     names nothing.

#include "harness.h"

#include "library/records/frontmatter.h"

#include <QByteArray>

#include <algorithm>

namespace {

// RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p++;
        if (lead < 0x80)
            continue;
        int more = 0;
        unsigned min = 0;
        unsigned value = 0;
        if ((lead & 0xE0) == 0xC0) {
            more = 1, min = 0x80, value = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, min = 0x800, value = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, value = lead & 0x07;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            value = value << 6 | (p[i] & 0x3F);
        }
        p += more;
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
    }
    return true;
}

// What the reader calls blank: spaces and tabs, Unicode space separators included.
bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isFence(QStringView line)
{
    while (!line.isEmpty() && isBlank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlank(line.back()))
        line.chop(1);
    return line == u"---";
}

// A first line that is a fence, and a later line that is one too.
bool hasCompleteBlock(const QString &text)
{
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    return isFence(lines.front()) && std::any_of(lines.begin() + 1, lines.end(), isFence);
}

bool hasBlankEnds(const QString &text)
{
    const auto blankOrBreak = [](QChar c) { return isBlank(c) || c == u'\n' || c == u'\r'; };
    return !text.isEmpty() && (blankOrBreak(text.front()) || blankOrBreak(text.back()));
}

} // namespace

int fuzzOne(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<ParsedSkill> block = parseSkillBytes(bytes, SkillReading::Frontmatter);
    const std::optional<ParsedSkill> heading = parseSkillBytes(bytes, SkillReading::Heading);
    const std::optional<ParsedSkill> either = parseSkillBytes(bytes, SkillReading::FrontmatterOrHeading);

    const bool valid = isValidUtf8(bytes);
    FUZZ_CHECK(block.has_value() == valid);
    FUZZ_CHECK(heading.has_value() == valid);
    FUZZ_CHECK(either.has_value() == valid);
    if (!valid)
        return 0;

    FUZZ_CHECK(parseSkillBytes(bytes, SkillReading::Frontmatter) == block);
    FUZZ_CHECK(parseSkillBytes(bytes, SkillReading::Heading) == heading);

    // The heading reading keeps the whole text, so it shows what was decoded.
    const QString &text = heading->content;
    const QByteArray bom("\xEF\xBB\xBF");
    FUZZ_CHECK(text.toUtf8() == (bytes.startsWith(bom) ? bytes.sliced(bom.size()) : bytes));

    FUZZ_CHECK(block->name == block->frontmatter.value(QStringLiteral("name")));
    FUZZ_CHECK(block->description == block->frontmatter.value(QStringLiteral("description")));
    if (!hasCompleteBlock(text)) {
        FUZZ_CHECK(block->frontmatter.isEmpty());
        FUZZ_CHECK(block->content == text);
    } else {
        FUZZ_CHECK(!hasBlankEnds(block->content));
        FUZZ_CHECK(text.contains(block->content));
        for (auto it = block->frontmatter.cbegin(); it != block->frontmatter.cend(); ++it) {
            FUZZ_CHECK(!it.key().isEmpty());
            FUZZ_CHECK(!it.key().contains(u':') && !it.key().contains(u'\n'));
            FUZZ_CHECK(!hasBlankEnds(it.value()));
        }
    }

    FUZZ_CHECK(heading->frontmatter.isEmpty() && heading->description.isEmpty());
    FUZZ_CHECK(!heading->name.contains(u'\n'));
    FUZZ_CHECK(heading->name.isEmpty() || text.contains(heading->name));

    FUZZ_CHECK(*either == (block->name.isEmpty() ? *heading : *block));
    return 0;
}
