#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

// Which two lower-case ASCII letters ever follow one another in a folded text:
// 26 × 26 bits. A text can contain a needle only if it holds every pair of
// letters the needle holds, so a search skips, without reading them, the texts
// that lack one. The set is exact for those pairs and says nothing of others
// (digits, punctuation, letters beyond ASCII), so it never turns a match away.
class LetterPairs final
{
public:
    static LetterPairs of(QByteArrayView folded);

    // Whether a text with these pairs may contain a needle with `needle`'s.
    bool mayContain(const LetterPairs &needle) const
    {
        for (size_t i = 0; i < m_bits.size(); ++i) {
            if ((m_bits[i] & needle.m_bits[i]) != needle.m_bits[i])
                return false;
        }
        return true;
    }

private:
    std::array<quint64, (26 * 26 + 63) / 64> m_bits{};
};
