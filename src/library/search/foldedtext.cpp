#include "library/search/foldedtext.h"

#include <QChar>

#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VESK_HAS_AVX2_PATH 1
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

// Writes `codePoint` as UTF-8 at `out`; returns the byte after it.
char *writeUtf8(char32_t codePoint, char *out)
{
    if (codePoint < 0x80) {
        *out++ = char(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = char(0xc0 | (codePoint >> 6));
        *out++ = char(0x80 | (codePoint & 0x3f));
    } else if (codePoint < 0x10000) {
        *out++ = char(0xe0 | (codePoint >> 12));
        *out++ = char(0x80 | ((codePoint >> 6) & 0x3f));
        *out++ = char(0x80 | (codePoint & 0x3f));
    } else {
        *out++ = char(0xf0 | (codePoint >> 18));
        *out++ = char(0x80 | ((codePoint >> 12) & 0x3f));
        *out++ = char(0x80 | ((codePoint >> 6) & 0x3f));
        *out++ = char(0x80 | (codePoint & 0x3f));
    }
    return out;
}

#if defined(__SSE2__) || defined(VESK_HAS_AVX2_PATH)
// Whether `needle` (at least two bytes) starts at one of the offsets from `at`
// that `mask` marks, where its first and last bytes are known to agree.
bool startsAtOneOf(unsigned mask, const char *at, std::string_view needle)
{
    while (mask != 0) {
        const unsigned bit = unsigned(__builtin_ctz(mask));
        if (std::memcmp(at + bit + 1, needle.data() + 1, needle.size() - 2) == 0)
            return true;
        mask &= mask - 1;
    }
    return false;
}
#endif

#if defined(VESK_HAS_AVX2_PATH)
// The same as containsBytes below, thirty-two positions at once, for processors
// that have AVX2 (a search that matches nothing reads every key to its end).
__attribute__((target("avx2"))) bool containsBytesAvx2(std::string_view haystack, std::string_view needle)
{
    const size_t n = needle.size();
    const char *h = haystack.data();
    const size_t last = n - 1;
    const __m256i first = _mm256_set1_epi8(needle.front());
    const __m256i final = _mm256_set1_epi8(needle.back());
    size_t i = 0;
    for (; i + last + 32 <= haystack.size(); i += 32) {
        const __m256i atFirst = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + i));
        const __m256i atLast = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + i + last));
        const unsigned mask = unsigned(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(atFirst, first), _mm256_cmpeq_epi8(atLast, final))));
        if (startsAtOneOf(mask, h + i, needle))
            return true;
    }
    return haystack.substr(i).find(needle) != std::string_view::npos;
}

bool hasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// Whether `needle` (at least two bytes) occurs in `haystack`. Compares the first
// and the last byte of the needle at sixteen positions at once and looks closer
// only where both agree, which skips almost all of a text that does not match.
bool containsBytes(std::string_view haystack, std::string_view needle)
{
    const size_t n = needle.size();
    if (n > haystack.size())
        return false;
#if defined(VESK_HAS_AVX2_PATH)
    if (hasAvx2())
        return containsBytesAvx2(haystack, needle);
#endif
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
        const unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(atFirst, first), _mm_cmpeq_epi8(atLast, final))));
        if (startsAtOneOf(mask, h + i, needle))
            return true;
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
    const qsizetype start = out.size();
    // Room for one byte a unit, which is all most texts (ASCII) need; grown to
    // the most any rest can take (three bytes a unit) at the first unit beyond.
    out.resize(start + size);
    char *begin = out.data();
    char *at = begin + start;
    bool roomForAll = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            *at++ = char(unit >= u'A' && unit <= u'Z' ? unit + 32 : unit);
            continue;
        }
        if (!roomForAll) {
            const qsizetype written = at - begin;
            out.resize(written + (size - i) * 3);
            begin = out.data();
            at = begin + written;
            roomForAll = true;
        }
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 == size || !QChar::isLowSurrogate(units[i + 1]))
                return false;
            const char32_t codePoint = QChar::surrogateToUcs4(unit, units[i + 1]);
            if (isCased(codePoint))
                return false;
            at = writeUtf8(codePoint, at); // four bytes for the pair's six
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(unit))
            return false;
        at = writeUtf8(QChar::toCaseFolded(char32_t(unit)), at);
    }
    out.truncate(at - begin);
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
        m_pairs = LetterPairs::of(m_bytes);
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
