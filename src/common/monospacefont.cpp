#include "common/monospacefont.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>

namespace MonospaceFont {

bool isMonospaced(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal narrow = metrics.horizontalAdvance(QLatin1Char('i'));
    return narrow > 0 && qFuzzyCompare(narrow, metrics.horizontalAdvance(QLatin1Char('W')))
        && qFuzzyCompare(narrow, metrics.horizontalAdvance(QLatin1Char('0')));
}

QFont monospacedOr(const QFont &preferred)
{
    if (isMonospaced(preferred))
        return preferred;
    static const QStringList known{
        QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans Mono"), QStringLiteral("Liberation Mono"),
        QStringLiteral("Ubuntu Mono"),      QStringLiteral("Cascadia Mono"),  QStringLiteral("Source Code Pro"),
        QStringLiteral("Hack"),             QStringLiteral("Fira Mono"),      QStringLiteral("Noto Mono"),
        QStringLiteral("FreeMono"),
    };
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : known) {
        if (!installed.contains(family))
            continue;
        QFont candidate = preferred;
        candidate.setFamilies({family});
        if (isMonospaced(candidate))
            return candidate;
    }
    // Last, whatever the font system gives for the monospace hint.
    QFont hinted = preferred;
    hinted.setFamilies({QStringLiteral("monospace")});
    hinted.setStyleHint(QFont::Monospace);
    return isMonospaced(hinted) ? hinted : preferred;
}

QFont system()
{
    return monospacedOr(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

} // namespace MonospaceFont
