#pragma once

#include <QString>

// Why Vesk cannot start, told where the user looks: always on stderr (`line`),
// and, when launched with a display (from a launcher nobody sees stderr of), in
// a dialog too, with `reason` as its detail. Returns the exit status to use.
int reportStartFailure(const QString &line, const QString &reason);

// Whether a process with windows (or without: the list command) on this
// platform plugin has a display someone looks at.
bool startFailureWantsDialog(bool hasWindows, const QString &platform);

// The dialog alone; it returns when the user closes it.
void showStartFailure(const QString &reason);
