#include "app/terminaltext.h"

#include <QList>

namespace {

// Marks that reorder or break what follows them on screen.
bool isLayoutControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString terminalSafe(const QString &text)
{
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
