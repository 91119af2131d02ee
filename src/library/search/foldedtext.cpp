#include "library/search/foldedtext.h"

#include <QChar>

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool isCased(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
        return true;
    default:
        return QChar::toCaseFolded(codePoint) != codePoint || QChar::toLower(codePoint) != codePoint
            || QChar::toUpper(codePoint) != codePoint;
    }
}

void appendUtf8(char32_t codePoint, QByteArray &out)
{
    if (codePoint < 0x80) {
        out.append(char(codePoint));
    } else if (codePoint < 0x800) {
        const char bytes[] = {char(0xc0 | (codePoint >> 6)), char(0x80 | (codePoint & 0x3f))};
        out.append(bytes, 2);
    } else if (codePoint < 0x10000) {
        const char bytes[] = {char(0xe0 | (codePoint >> 12)), char(0x80 | ((codePoint >> 6) & 0x3f)),
                              char(0x80 | (codePoint & 0x3f))};
        out.append(bytes, 3);
    } else {
        const char bytes[] = {char(0xf0 | (codePoint >> 18)), char(0x80 | ((codePoint >> 12) & 0x3f)),
                              char(0x80 | ((codePoint >> 6) & 0x3f)), char(0x80 | (codePoint & 0x3f))};
        out.append(bytes, 4);
    }
}

// Whether `needle` (at least two bytes) occurs in `haystack`. Compares the first
// and the last byte of the needle at sixteen positions at once and looks closer
// only where both agree, which skips almost all of a text that does not match.
bool containsBytes(std::string_view haystack, std::string_view needle)
{
    const size_t n = needle.size();
    if (n > haystack.size())
        return false;
#if defined(__SSE2__)
    const char *h = haystack.data();
    const size_t last = n - 1;
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i final = _mm_set1_epi8(needle.back());
    size_t i = 0;
    // Each block reads 16 bytes at i and at i + last: stay inside the haystack.
    for (; i + last + 16 <= haystack.size(); i += 16) {
        const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
        const __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + last));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(atFirst, first), _mm_cmpeq_epi8(atLast, final))));
        while (mask != 0) {
            const unsigned bit = unsigned(__builtin_ctz(mask));
            if (std::memcmp(h + i + bit + 1, needle.data() + 1, n - 2) == 0)
                return true;
            mask &= mask - 1;
        }
    }
    return haystack.substr(i).find(needle) != std::string_view::npos;
#else
    return haystack.find(needle) != std::string_view::npos;
#endif
}

} // namespace

namespace FoldedText {

bool appendFolded(QStringView text, QByteArray &out)
{
    const char16_t *units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            out.append(char(unit >= u'A' && unit <= u'Z' ? unit + 32 : unit));
            continue;
        }
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 == size || !QChar::isLowSurrogate(units[i + 1]))
                return false;
            const char32_t codePoint = QChar::surrogateToUcs4(unit, units[i + 1]);
            if (isCased(codePoint))
                return false;
            appendUtf8(codePoint, out);
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(unit))
            return false;
        appendUtf8(QChar::toCaseFolded(char32_t(unit)), out);
    }
    return true;
}

std::optional<QByteArray> fold(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    if (!appendFolded(text, out))
        return std::nullopt;
    return out;
}

} // namespace FoldedText

FoldedNeedle::FoldedNeedle(const QString &text)
{
    if (const std::optional<QByteArray> folded = FoldedText::fold(text)) {
        m_bytes = *folded;
        m_exact = true;
    }
}

bool FoldedNeedle::foundIn(QByteArrayView haystack) const
{
    const std::string_view hay(haystack.data(), size_t(haystack.size()));
    switch (m_bytes.size()) {
    case 0:
        return true;
    case 1:
        return !hay.empty() && std::memchr(hay.data(), m_bytes.front(), hay.size()) != nullptr;
    default:
        return containsBytes(hay, std::string_view(m_bytes.constData(), size_t(m_bytes.size())));
    }
}
