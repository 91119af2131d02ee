#pragma once

// Random texts for the search property tests: characters chosen to trip a
// case-insensitive search up, from a seeded generator so a failure repeats.

#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <algorithm>

namespace RandomText {

// ASCII, Latin-1 and other letters with case, letters whose folding lands in
// ASCII (KELVIN SIGN, LONG S), the three Greek sigmas, dotted and dotless i, the
// sharp s and its capital, Cherokee (folds to upper case), a combining accent,
// caseless scripts, an emoji and a cased letter outside the BMP (surrogate
// pairs), and lone surrogates.
inline const QList<QString> &alphabet()
{
    static const QList<QString> pieces = [] {
        QList<QString> list;
        for (const char *ascii : {"a", "A", "b", "B", "k", "K", "s", "S", "i", "I", "z", "Z", " ", "-", "_", "1", "\n", ".", "#"})
            list.append(QString::fromLatin1(ascii));
        for (char16_t unit : {u'\u00e9', u'\u00c9', u'\u00df', u'\u1e9e', u'\u00ff', u'\u0178', u'\u212a', u'\u017f',
                              u'\u03a3', u'\u03c3', u'\u03c2', u'\u0130', u'\u0131', u'\u0410', u'\u0430', u'\u13a0',
                              u'\uab70', u'\u6771', u'\u4eac', u'\ud55c', u'\u0301', u'\u1f88', u'\u1f80'})
            list.append(QString(QChar(unit)));
        list.append(QString::fromUcs4(U"\U0001F600")); // emoji: no case
        list.append(QString::fromUcs4(U"\U00020000")); // CJK extension B: no case
        list.append(QString::fromUcs4(U"\U00010400")); // DESERET CAPITAL LONG I
        list.append(QString::fromUcs4(U"\U00010428")); // its small letter
        list.append(QString(QChar(char16_t(0xd800))));        // lone high surrogate
        list.append(QString(QChar(char16_t(0xdc00))));        // lone low surrogate
        return list;
    }();
    return pieces;
}

// Up to `maxPieces` characters of the alphabet; `plainShare` of 0..100 says how
// often a piece comes from the ASCII letters only, so that many texts are exact.
inline QString make(QRandomGenerator &random, int maxPieces, int plainShare = 0)
{
    const QList<QString> &pieces = alphabet();
    QString text;
    const int count = int(random.bounded(maxPieces + 1));
    for (int i = 0; i < count; ++i) {
        const bool plain = int(random.bounded(100)) < plainShare;
        text += pieces.at(int(random.bounded(plain ? 12 : int(pieces.size()))));
    }
    return text;
}

// A query that often does occur: a slice of `text`, its case changed here and there.
inline QString sliceOf(QRandomGenerator &random, const QString &text)
{
    if (text.isEmpty())
        return text;
    const int start = int(random.bounded(int(text.size())));
    const int length = 1 + int(random.bounded(int(std::min<qsizetype>(12, text.size() - start))));
    QString slice = text.mid(start, length);
    for (QChar &c : slice) {
        if (random.bounded(3) == 0)
            c = random.bounded(2) ? c.toUpper() : c.toLower();
    }
    return slice;
}

} // namespace RandomText
