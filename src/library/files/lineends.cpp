#include "library/files/lineends.h"

#include <algorithm>
#include <vector>

namespace LineEnds {

namespace {

bool isEnd(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// A text as tokens: each line's content, and between two lines the end (all
// ends compare equal: they are "\n" in both texts).
struct Tokens {
    std::vector<QStringView> lines;
    qsizetype size() const { return qsizetype(lines.size()) * 2 - 1; }
    bool isEnd(qsizetype token) const { return token % 2 == 1; }
    QStringView line(qsizetype token) const { return lines[size_t(token / 2)]; }
};

Tokens tokensOf(QStringView text)
{
    Tokens tokens;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            tokens.lines.push_back(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    tokens.lines.push_back(text.sliced(start));
    return tokens;
}

bool same(const Tokens &a, qsizetype i, const Tokens &b, qsizetype j)
{
    const bool end = a.isEnd(i);
    return end == b.isEnd(j) && (end || a.line(i) == b.line(j));
}

// Beyond this many differences the middle of the texts is not matched up: its
// ends are written as new ones (the memory a diff needs grows as its square).
constexpr qsizetype maxDifferences = 1000;

// Calls `matched(i, j)` for the pairs of tokens a shortest edit script keeps
// (Myers' algorithm), within a[aBegin, aEnd) and b[bBegin, bEnd).
template <typename Matched>
void diff(const Tokens &a, qsizetype aBegin, qsizetype aEnd, const Tokens &b, qsizetype bBegin, qsizetype bEnd,
          Matched matched)
{
    const qsizetype n = aEnd - aBegin;
    const qsizetype m = bEnd - bBegin;
    const qsizetype limit = std::min(n + m, maxDifferences);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> furthest(size_t(2 * limit + 3), 0);
    std::vector<std::vector<qsizetype>> trace; // trace[d][k + d]: furthest x on diagonal k after d steps
    for (qsizetype d = 0; d <= limit; ++d) {
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = k == -d || (k != d && furthest[size_t(offset + k - 1)] < furthest[size_t(offset + k + 1)])
                ? furthest[size_t(offset + k + 1)]
                : furthest[size_t(offset + k - 1)] + 1;
            qsizetype y = x - k;
            while (x < n && y < m && same(a, aBegin + x, b, bBegin + y)) {
                ++x;
                ++y;
            }
            furthest[size_t(offset + k)] = x;
            if (x < n || y < m)
                continue;
            // Found: walk back through the steps, reporting each diagonal run.
            for (qsizetype step = d; step > 0; --step) {
                const std::vector<qsizetype> &before = trace[size_t(step - 1)];
                const auto at = [&before, step](qsizetype diagonal) { return before[size_t(diagonal + step - 1)]; };
                const qsizetype diagonal = x - y;
                const qsizetype previousK = diagonal == -step || (diagonal != step && at(diagonal - 1) < at(diagonal + 1))
                    ? diagonal + 1
                    : diagonal - 1;
                const qsizetype previousX = at(previousK);
                const qsizetype previousY = previousX - previousK;
                while (x > previousX && y > previousY) {
                    --x;
                    --y;
                    matched(aBegin + x, bBegin + y);
                }
                x = previousX;
                y = previousY;
            }
            while (x > 0 && y > 0) {
                --x;
                --y;
                matched(aBegin + x, bBegin + y);
            }
            return;
        }
        trace.emplace_back(furthest.begin() + (offset - d), furthest.begin() + (offset + d + 1));
    }
}

} // namespace

Split split(QStringView text)
{
    Split result;
    result.text.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEnd(text[i]))
            continue;
        result.text += text.sliced(start, i - start);
        result.text += u'\n';
        const bool crlf = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        result.ends.append(text.sliced(i, crlf ? 2 : 1).toString());
        if (crlf)
            ++i;
        start = i + 1;
    }
    result.text += text.sliced(start);
    return result;
}

QString restore(QStringView original, const QStringList &ends, QStringView edited, QStringView newEnd)
{
    const Tokens before = tokensOf(original);
    const Tokens after = tokensOf(edited);
    // One end given per end of the original, or the ends cannot be placed.
    const bool known = qsizetype(before.lines.size()) - 1 == ends.size();
    std::vector<qsizetype> kept(after.lines.size(), -1); // for each end of `edited`, the original end it is
    if (known) {
        // The unchanged start and end of the texts first: the diff then sees
        // only the middle, usually a few lines.
        qsizetype head = 0;
        const qsizetype common = std::min(before.size(), after.size());
        while (head < common && same(before, head, after, head))
            ++head;
        qsizetype tail = 0;
        while (tail < common - head && same(before, before.size() - 1 - tail, after, after.size() - 1 - tail))
            ++tail;
        const auto match = [&before, &kept](qsizetype i, qsizetype j) {
            if (before.isEnd(i))
                kept[size_t(j / 2)] = i / 2;
        };
        for (qsizetype t = 0; t < head; ++t)
            match(t, t);
        for (qsizetype t = 1; t <= tail; ++t)
            match(before.size() - t, after.size() - t);
        diff(before, head, before.size() - tail, after, head, after.size() - tail, match);
    }
    QString text;
    text.reserve(edited.size() + edited.size() / 16);
    for (size_t line = 0; line < after.lines.size(); ++line) {
        text += after.lines[line];
        if (line + 1 < after.lines.size())
            text += kept[line] >= 0 ? QStringView(ends[kept[line]]) : newEnd;
    }
    return text;
}

} // namespace LineEnds
