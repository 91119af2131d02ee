#pragma once

#include <QList>
#include <QString>

#include <optional>

// How bad a finding is. Error: a tool will not load the file, or loads it wrongly.
// Warning: likely a mistake. Note: worth knowing.
enum class FindingLevel { Note, Warning, Error };

// One thing the checker found in one file.
struct Finding {
    QString rule;    // a stable id, "format/name-folder"
    FindingLevel level = FindingLevel::Warning;
    QString message; // what is wrong and what to do about it
    int line = 0;    // from 1; 0 when the finding is about the whole file
    int column = 0;  // from 1; 0 when there is no column
    QString path;    // the file, when the finding is about another file than the one checked

    bool operator==(const Finding &) const = default;
};

namespace FindingLevels {
// "error", "warning", "note": the words SARIF and compilers use.
QString name(FindingLevel level);
std::optional<FindingLevel> fromName(const QString &name);
} // namespace FindingLevels

// Findings in line order, the whole-file ones first; a stable order for output and tests.
void sortFindings(QList<Finding> &findings);
