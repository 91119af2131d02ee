#pragma once

#include <QCollatorSortKey>
#include <QString>

// The order people expect of names in a list: letters without regard to case,
// runs of digits by their value ("skill-2" before "skill-10"), the user's
// language deciding the rest. Negative, zero or positive, as QString::compare.
int compareNaturally(const QString &a, const QString &b);

// A name's place in that order, worked out once: sorting many names compares
// their keys, which costs a fraction of comparing the names each time.
struct NaturalKey {
    QCollatorSortKey key;
    QString text;
};
NaturalKey naturalKey(const QString &text);
// As compareNaturally(a.text, b.text).
int compareNaturally(const NaturalKey &a, const NaturalKey &b);
