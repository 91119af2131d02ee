#pragma once

#include <QString>

// The main window's title for the selected skill's name: "pr-digest — Vesk", or
// "Vesk" with none. It carries Qt's "[*]" mark, so the window shows "*" after the
// name while the editor holds unsaved text. The name is the file's: a "[*]" in it
// is shown as written, line breaks become spaces and a long one is cut.
QString windowTitleFor(const QString &skillName);
