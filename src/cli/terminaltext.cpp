#include "cli/terminaltext.h"

#include <QList>
#include <QTextBoundaryFinder>

#include <utf8proc.h>

#include <algorithm>

namespace {

// Marks that reorder or break what follows them on screen.
bool isLayoutControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

bool isRegionalIndicator(char32_t c)
{
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

int graphemeWidth(QStringView grapheme)
{
    int width = 0;
    for (const char32_t c : grapheme.toUcs4()) {
        // Emoji presentation asked for, or one half of a flag: drawn two columns wide.
        if (c == 0xFE0F || isRegionalIndicator(c))
            return 2;
        width = std::max(width, int(utf8proc_charwidth(utf8proc_int32_t(c))));
    }
    return width;
}

// Printable ASCII only: one column per character, nothing to escape. Most names
// and paths are, and the general paths below cost far more per character.
bool isPlainAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

} // namespace

QString terminalSafe(const QString &text)
{
    if (isPlainAscii(text))
        return text;
    QString safe;
    safe.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x20 || c == 0x7F) {
            switch (c) {
            case '\n': safe += QLatin1String("\\n"); break;
            case '\t': safe += QLatin1String("\\t"); break;
            case '\r': safe += QLatin1String("\\r"); break;
            case 0x1B: safe += QLatin1String("\\e"); break;
            default: safe += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0')); break;
            }
        } else if ((c >= 0x80 && c <= 0x9F) || isLayoutControl(c)) {
            safe += QStringLiteral("\\u{%1}").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            safe += QString::fromUcs4(&c, 1);
        }
    }
    return safe;
}

int displayWidth(const QString &text)
{
    if (isPlainAscii(text))
        return int(text.size());
    int width = 0;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        width += graphemeWidth(QStringView(text).sliced(start, end - start));
        start = end;
    }
    return width;
}

QString padToWidth(const QString &text, int width)
{
    const int missing = width - displayWidth(text);
    return missing > 0 ? text + QString(missing, u' ') : text;
}
