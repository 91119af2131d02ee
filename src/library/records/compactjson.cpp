#include "library/records/compactjson.h"

namespace {

char hexDigit(uint value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

void appendEscape(QByteArray &out, char16_t unit)
{
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += hexDigit((unit >> shift) & 0xf);
}

// As Qt's writer escapes: the quote, the backslash and control characters
// (the usual ones by letter, the rest as \u00XX); a code unit that is half
// of no surrogate pair as \uXXXX; everything else as UTF-8.
void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    const char16_t *unit = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = unit + text.size();
    while (unit != end) {
        const char16_t u = *unit++;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            out += char(u);
            continue;
        }
        if (u < 0x80) {
            out += '\\';
            switch (u) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '\b': out += 'b'; break;
            case '\f': out += 'f'; break;
            case '\n': out += 'n'; break;
            case '\r': out += 'r'; break;
            case '\t': out += 't'; break;
            default:
                out += "u00";
                out += hexDigit(u >> 4);
                out += hexDigit(u & 0xf);
            }
        } else if (u < 0x800) {
            out += char(0xc0 | (u >> 6));
            out += char(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
            const char32_t code = QChar::surrogateToUcs4(u, *unit++);
            out += char(0xf0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3f));
            out += char(0x80 | ((code >> 6) & 0x3f));
            out += char(0x80 | (code & 0x3f));
        } else if (QChar::isSurrogate(u)) {
            appendEscape(out, u);
        } else {
            out += char(0xe0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3f));
            out += char(0x80 | (u & 0x3f));
        }
    }
    out += '"';
}

} // namespace

namespace CompactJson {

QByteArray stringMap(const QMap<QString, QString> &map)
{
    QByteArray out;
    out.reserve(2 + map.size() * 32);
    out += '{';
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it != map.cbegin())
            out += ',';
        appendString(out, it.key());
        out += ':';
        appendString(out, it.value());
    }
    out += '}';
    return out;
}

QByteArray stringArray(const QStringList &list)
{
    QByteArray out;
    qsizetype size = 2;
    for (const QString &text : list)
        size += text.size() + 3;
    out.reserve(size);
    out += '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += ',';
        appendString(out, list.at(i));
    }
    out += ']';
    return out;
}

} // namespace CompactJson
