#pragma once

#include <QString>

// Text from a skill file (a name, a description, a path) made safe for a tooltip.
// Qt shows a tooltip that merely looks like HTML as HTML, so "<img src=…>" in a
// name would load whatever it names; this spells the text out exactly instead,
// line breaks kept.
QString plainToolTip(const QString &text);
