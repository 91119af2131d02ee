#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// A text file's line ends as its author wrote them, kept apart from the text an
// editor shows (where every end is one "\n"), so that saving an edit writes each
// end the user did not touch byte for byte: CR LF, LF, a lone CR, U+2028 and
// U+2029 alike.
namespace LineEnds {

struct Split {
    QString text;     // every line end as "\n"
    QStringList ends; // the ends as written, in order
};

// Splits `text` at each of the five line ends.
Split split(QStringView text);

// `edited` (its ends "\n") with every line end it keeps from `original` (the
// split text `ends` belong to) written as it was, and each new end as `newEnd`.
// Which ends are kept is found by comparing the two texts line by line, with each
// end a line of its own, so an edit within a line keeps the end after it.
QString restore(QStringView original, const QStringList &ends, QStringView edited, QStringView newEnd);

} // namespace LineEnds
