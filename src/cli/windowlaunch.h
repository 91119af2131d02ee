#pragma once

#include <QString>

// The window is an executable of its own (vesk-window), so that the commands a
// script runs (`vesk list`) start without loading the widget toolkit. vesk
// finds it where the build or the package put it, relative to itself.

// The window's executable for the vesk at `veskPath` (a resolved path).
QString windowExecutableFor(const QString &veskPath);

// Replaces this process with the window's executable, given the same arguments.
// Returns only when that fails, with the reason in `error`.
void execWindow(char **argv, QString *error);
