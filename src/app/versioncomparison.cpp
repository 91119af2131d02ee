#include "app/versioncomparison.h"

#include <QList>

namespace {

// A version is read as a run of tokens: digit runs and letter runs. Every other
// character (".", "-", "+", "_", spaces) only separates tokens.
struct Token {
    bool isNumber = false;
    QStringView text;
};

QList<Token> tokenize(QStringView version)
{
    version = version.trimmed();
    if (version.startsWith(QLatin1Char('v'), Qt::CaseInsensitive) && version.size() > 1
        && version.at(1).isDigit())
        version = version.mid(1);

    QList<Token> tokens;
    qsizetype i = 0;
    while (i < version.size()) {
        const QChar c = version.at(i);
        if (!c.isLetterOrNumber()) {
            ++i;
            continue;
        }
        const bool number = c.isDigit();
        const qsizetype start = i;
        while (i < version.size() && version.at(i).isLetterOrNumber() && version.at(i).isDigit() == number)
            ++i;
        tokens.append({number, version.mid(start, i - start)});
    }
    return tokens;
}

// Compares two digit runs of any length without converting them, so that a
// build number longer than any integer type still orders correctly.
int compareNumbers(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int compareVersions(QStringView a, QStringView b)
{
    const QList<Token> left = tokenize(a);
    const QList<Token> right = tokenize(b);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const bool hasLeft = i < left.size();
        const bool hasRight = i < right.size();
        // A version that has ended reads as zero against a number, and as the
        // release against a pre-release tag.
        if (!hasLeft || !hasRight) {
            const Token &rest = hasLeft ? left.at(i) : right.at(i);
            const int restIsNewer = hasLeft ? 1 : -1;
            if (!rest.isNumber)
                return -restIsNewer;
            if (compareNumbers(rest.text, u"0") != 0)
                return restIsNewer;
            continue;
        }
        const Token &l = left.at(i);
        const Token &r = right.at(i);
        if (l.isNumber != r.isNumber)
            return l.isNumber ? 1 : -1; // "1.0.1" is past "1.0b1"
        const int order = l.isNumber ? compareNumbers(l.text, r.text)
                                     : l.text.compare(r.text, Qt::CaseInsensitive);
        if (order != 0)
            return sign(order);
    }
    return 0;
}
