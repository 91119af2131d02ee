#pragma once

#include <QString>

// Where Vesk keeps the skills the user turned off: a folder of its own under the
// data folder, which no tool reads. Each turned-off skill sits in a folder of its
// own there, next to a note of where it came from, so Turn On can put it back.
// The scan keeps the records of skills found here (they are off, not gone).

// The folder itself (not made here).
QString turnedOffFolder();

// Whether `path` lies inside the turned-off folder.
bool isTurnedOffPath(const QString &path);
// The same with the folder looked up once for many paths: finding it reads the
// environment and the application's names each time.
bool isTurnedOffPath(const QString &path, const QString &turnedOffFolder);
