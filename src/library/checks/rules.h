#pragma once

#include "library/checks/finding.h"

#include <QList>
#include <QString>

// Every rule the checker has, for reports that list them (SARIF) and settings.
struct CheckRule {
    QString id;
    FindingLevel level = FindingLevel::Warning; // the level its findings have
    QString summary;                            // one line: what the rule looks for
};

namespace CheckRules {
const QList<CheckRule> &table();
// The row for `id`, or null.
const CheckRule *find(const QString &id);
} // namespace CheckRules
