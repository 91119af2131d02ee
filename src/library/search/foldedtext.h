#pragma once

#include "library/search/letterpairs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Case-insensitive substring search with exactly the answers of
// QString::contains(text, Qt::CaseInsensitive), done on case-folded UTF-8
// copies that a byte search scans at memory speed.
//
// QString compares case-insensitively by folding each UTF-16 unit (each code
// point, for surrogate pairs) with the simple Unicode case folding and comparing
// the folded units. Folding both texts once with the same function and encoding
// them as UTF-8 keeps that relation: UTF-8 is self-synchronising, so a byte
// match is a code-point match. Two things cannot be carried over faithfully and
// make a text "inexact", to be searched the plain way instead: a lone surrogate
// (UTF-8 cannot encode it), and a cased letter outside the Basic Multilingual
// Plane (QString's several search paths treat those differently at the edges).
namespace FoldedText {

// The folded UTF-8 form of `text`, or no value when the text is inexact.
std::optional<QByteArray> fold(QStringView text);

// Appends the folded form of `text` to `out`; false (with `out` in an
// unspecified state) when the text is inexact.
bool appendFolded(QStringView text, QByteArray &out);

} // namespace FoldedText

// A search text prepared once for many searches.
class FoldedNeedle final
{
public:
    explicit FoldedNeedle(const QString &text);

    // False when the text cannot be searched in folded form (see above).
    bool isExact() const { return m_exact; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    QByteArrayView bytes() const { return m_bytes; }
    const LetterPairs &letterPairs() const { return m_pairs; }

    // Whether the folded text `haystack` contains this needle.
    bool foundIn(QByteArrayView haystack) const;

private:
    QByteArray m_bytes;
    LetterPairs m_pairs;
    bool m_exact = false;
};
