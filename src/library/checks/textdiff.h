#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One row of two texts set side by side: a line of each, or of one of them.
struct DiffRow {
    enum class Kind { Same, Changed, Removed, Added };
    Kind kind = Kind::Same;
    int leftLine = 0;  // from 1; 0 where the left text has no line in this row
    int rightLine = 0; // likewise for the right text
    QString left;
    QString right;

    bool operator==(const DiffRow &) const = default;
};

// How much of two texts is compared: two copies of a skill are small, and what
// goes beyond this is left out (and said so) rather than stalling the window.
namespace DiffLimits {
inline constexpr int lines = 5000;      // of each text
inline constexpr int lineLength = 1000; // characters of a line; a longer one is cut
} // namespace DiffLimits

struct TextDiff {
    QList<DiffRow> rows;
    bool cut = false; // a text had more lines, or a longer line, than the limits
};

// The two texts line by line, as the rows of a side-by-side view: lines both
// share, lines only the left has (removed), only the right has (added), and,
// where a run of removed lines meets a run of added ones, rows that pair them
// (changed). Line ends are "\n"; a final line end adds no empty line.
TextDiff sideBySideDiff(QStringView left, QStringView right, int maxLines = DiffLimits::lines,
                        int maxLineLength = DiffLimits::lineLength);
