#pragma once

#include <QString>

// The order people expect of names in a list: letters without regard to case,
// runs of digits by their value ("skill-2" before "skill-10"), the user's
// language deciding the rest. Negative, zero or positive, as QString::compare.
int compareNaturally(const QString &a, const QString &b);
