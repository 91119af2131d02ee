#include "library/search/naturalorder.h"

#include <QCollator>
#include <QLocale>

namespace {

QCollator makeCollator()
{
    // The "C" locale's collation is plain code-point order, numbers and case and
    // all; a session without a language (a service, a bare terminal) gets English.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    collator.setIgnorePunctuation(false);
    return collator;
}

} // namespace

int compareNaturally(const QString &a, const QString &b)
{
    // Made once: building a collator costs far more than a comparison.
    static const QCollator collator = makeCollator();
    const int order = collator.compare(a, b);
    // Names the collator counts equal ("Skill" and "skill") still need one order.
    return order != 0 ? order : QString::compare(a, b, Qt::CaseSensitive);
}
