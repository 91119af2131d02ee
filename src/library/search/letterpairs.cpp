#include "library/search/letterpairs.h"

LetterPairs LetterPairs::of(QByteArrayView folded)
{
    LetterPairs pairs;
    unsigned previous = 26; // not a letter
    for (const char byte : folded) {
        const unsigned letter = unsigned(byte) - 'a';
        if (letter < 26 && previous < 26) {
            const unsigned bit = previous * 26 + letter;
            pairs.m_bits[bit / 64] |= quint64(1) << (bit % 64);
        }
        previous = letter < 26 ? letter : 26;
    }
    return pairs;
}
