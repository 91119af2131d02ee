#pragma once

#include <QString>

// `text` with every character that a terminal would obey rather than show spelled
// out: control characters as \n, \t, \r, \e or \xHH, the C1 controls, line and
// paragraph separators and the bidirectional overrides as \u{HHHH}. A line of
// plain `vesk list` output then stays one line and shows what the file says.
QString terminalSafe(const QString &text);
