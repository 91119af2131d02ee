#include "library/checks/finding.h"

#include <algorithm>

namespace FindingLevels {

QString name(FindingLevel level)
{
    switch (level) {
    case FindingLevel::Note:
        return QStringLiteral("note");
    case FindingLevel::Warning:
        return QStringLiteral("warning");
    case FindingLevel::Error:
        return QStringLiteral("error");
    }
    return QString();
}

std::optional<FindingLevel> fromName(const QString &name)
{
    for (FindingLevel level : {FindingLevel::Note, FindingLevel::Warning, FindingLevel::Error}) {
        if (FindingLevels::name(level) == name)
            return level;
    }
    return std::nullopt;
}

} // namespace FindingLevels

void sortFindings(QList<Finding> &findings)
{
    std::stable_sort(findings.begin(), findings.end(), [](const Finding &a, const Finding &b) {
        if (a.path != b.path)
            return a.path < b.path;
        if (a.line != b.line)
            return a.line < b.line;
        if (a.column != b.column)
            return a.column < b.column;
        return a.rule < b.rule;
    });
}
