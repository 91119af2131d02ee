#include "detail/markdownstyle.h"

#include <QRegularExpression>

#include <array>
#include <vector>

namespace {

// "." in the inline patterns means any character but a line terminator, as the
// usual regular-expression engines read it; PCRE's own "." would take a line
// separator (U+2028), which a line of the editor may hold.
#define VESK_ANY_BUT_LINE_END "[^\\n\\r\\x{0B}\\x{0C}\\x{85}\\x{2028}\\x{2029}]"

struct InlinePattern {
    QChar delimiter; // a line without it cannot match, so the search is skipped
    QRegularExpression expression;
    bool bold; // otherwise: the code background
};

const std::array<InlinePattern, 3> &inlinePatterns()
{
    // Tried in this order; a later pattern adds to what an earlier one set.
    static const std::array<InlinePattern, 3> patterns{{
        {u'*', QRegularExpression(QStringLiteral("\\*\\*(" VESK_ANY_BUT_LINE_END "+?)\\*\\*")), true},
        {u'_', QRegularExpression(QStringLiteral("__(" VESK_ANY_BUT_LINE_END "+?)__")), true},
        {u'`', QRegularExpression(QStringLiteral("`([^`]+)`")), false},
    }};
    return patterns;
}

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isDelimiterLine(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlank(line[begin]))
        ++begin;
    while (end > begin && isBlank(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin) == u"---";
}

TextFont headingFont(int level)
{
    switch (level) {
    case 1:
        return TextFont::Heading1;
    case 2:
        return TextFont::Heading2;
    case 3:
        return TextFont::Heading3;
    default:
        return TextFont::Bold;
    }
}

QList<StyleRun> wholeLine(QStringView line, TextStyle style)
{
    if (line.isEmpty())
        return {};
    return {StyleRun{0, int(line.size()), style}};
}

QList<StyleRun> inlineRuns(QStringView line)
{
    std::vector<TextStyle> styles; // one per code unit, made only once a pattern matched
    for (const InlinePattern &pattern : inlinePatterns()) {
        if (!line.contains(pattern.delimiter) || !pattern.expression.isValid())
            continue;
        auto matches = pattern.expression.globalMatch(line);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            if (styles.empty())
                styles.resize(size_t(line.size()));
            const qsizetype end = match.capturedEnd();
            for (qsizetype i = match.capturedStart(); i < end; ++i) {
                if (pattern.bold)
                    styles[size_t(i)].font = TextFont::Bold;
                else
                    styles[size_t(i)].codeBackground = true;
            }
        }
    }

    QList<StyleRun> runs;
    for (size_t i = 0; i < styles.size();) {
        size_t end = i + 1;
        while (end < styles.size() && styles[end] == styles[i])
            ++end;
        if (!styles[i].isBase())
            runs.append(StyleRun{int(i), int(end - i), styles[i]});
        i = end;
    }
    return runs;
}

} // namespace

TextStyle TextStyle::fromKey(int key)
{
    TextStyle style;
    style.font = TextFont(key / 4);
    style.color = TextColor((key / 2) % 2);
    style.codeBackground = key % 2;
    return style;
}

LineState LineState::fromInt(int value)
{
    LineState state;
    if (value > 0) {
        state.inFrontmatter = value & 1;
        state.inCodeBlock = value & 2;
    }
    return state;
}

int headingLevel(QStringView line)
{
    qsizetype level = 0;
    while (level < line.size() && line[level] == u'#')
        ++level;
    if (level == 0 || level > 6)
        return 0;
    return level == line.size() || line[level] == u' ' ? int(level) : 0;
}

QList<StyleRun> highlightLine(QStringView line, bool isFirstLine, LineState &state)
{
    const TextStyle secondary{TextFont::Base, TextColor::Secondary, false};
    const bool delimiter = isDelimiterLine(line);
    if (delimiter && isFirstLine) {
        state.inFrontmatter = true;
        return wholeLine(line, secondary);
    }
    if (delimiter && state.inFrontmatter) {
        state.inFrontmatter = false;
        return wholeLine(line, secondary);
    }
    if (state.inFrontmatter)
        return wholeLine(line, secondary);
    if (line.startsWith(u"```")) {
        state.inCodeBlock = !state.inCodeBlock;
        return wholeLine(line, secondary);
    }
    if (state.inCodeBlock)
        return wholeLine(line, TextStyle{TextFont::Base, TextColor::Primary, true});
    if (const int level = headingLevel(line))
        return wholeLine(line, TextStyle{headingFont(level), TextColor::Primary, false});
    return inlineRuns(line);
}

QList<QList<StyleRun>> highlightWholeText(const QString &text)
{
    QList<QList<StyleRun>> lines;
    LineState state;
    bool first = true;
    for (QStringView line : QStringView(text).split(u'\n')) {
        lines.append(highlightLine(line, first, state));
        first = false;
    }
    return lines;
}
