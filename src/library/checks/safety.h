#pragma once

#include "library/checks/finding.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

// Text that may make a skill do something other than what its reader sees: each a
// warning, never an error, since a skill may mean it.

// A pattern that a line matches; with `alsoOnLine`, only lines matching both count.
// Files are untrusted: every pattern must take time in proportion to the line
// (bounded repetitions, nothing that rescans the rest of the line from each start).
struct SafetyPattern {
    QString rule;
    QRegularExpression pattern;
    QRegularExpression alsoOnLine; // empty pattern: no second condition
    QString message;               // "%1" is the matched text, shortened
};

// Characters that show as nothing, or change the direction text is shown in.
struct InvisibleClass {
    QString rule;
    QString what; // "bidirectional control characters"
    QList<std::pair<char32_t, char32_t>> ranges;
};

namespace SafetyTables {
const QList<SafetyPattern> &patterns();
const QList<InvisibleClass> &invisibleClasses();
} // namespace SafetyTables

// "⟨U+202E⟩": how an invisible character is shown to the user.
QString visibleCodePoint(char32_t codePoint);

// The safety findings of a file's text, lines from 1.
QList<Finding> checkSafety(QStringView text);

// Whether an allowed-tools value pre-approves every shell command.
bool grantsAllShell(const QString &allowedTools);
