#pragma once

#include <QString>

// Text from a skill file (a name, a description, a path) made safe for a tooltip.
// Qt shows a tooltip that merely looks like HTML as HTML, so "<img src=…>" in a
// name would load whatever it names; this spells the text out exactly instead,
// line breaks kept.
QString plainToolTip(const QString &text);

class QMessageBox;

// Shows every text of a message box as plain text: its text and its informative
// text (a label Qt makes on demand that would otherwise take anything looking
// like HTML for HTML). Call it once the texts are set.
void showAsPlainText(QMessageBox *box);
