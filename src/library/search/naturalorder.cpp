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

// Made once: building a collator costs far more than a comparison.
const QCollator &naturalCollator()
{
    static const QCollator collator = makeCollator();
    return collator;
}

} // namespace

int compareNaturally(const QString &a, const QString &b)
{
    const int order = naturalCollator().compare(a, b);
    // Names the collator counts equal ("Skill" and "skill") still need one order.
    return order != 0 ? order : QString::compare(a, b, Qt::CaseSensitive);
}

NaturalKey naturalKey(const QString &text)
{
    return {naturalCollator().sortKey(text), text};
}

int compareNaturally(const NaturalKey &a, const NaturalKey &b)
{
    const int order = a.key.compare(b.key);
    return order != 0 ? order : QString::compare(a.text, b.text, Qt::CaseSensitive);
}
