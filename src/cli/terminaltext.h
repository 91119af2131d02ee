#pragma once

#include <QString>

// `text` with every character that a terminal would obey rather than show spelled
// out: control characters as \n, \t, \r, \e or \xHH, the C1 controls, line and
// paragraph separators and the bidirectional overrides as \u{HHHH}. A line of
// plain `vesk list` output then stays one line and shows what the file says.
QString terminalSafe(const QString &text);

// The columns `text` takes in a terminal: a character as the reader sees it (one
// grapheme) takes the width of its widest code point as Unicode's East Asian Width
// and emoji data give it (utf8proc): two for wide CJK and emoji, none for
// combining marks and joiners. An emoji asked for with U+FE0F and a flag take two.
int displayWidth(const QString &text);

// `text` followed by spaces up to `width` columns; as it is when wider already.
QString padToWidth(const QString &text, int width);
