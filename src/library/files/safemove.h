#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Moving and copying skill folders without ever losing one: nothing is
// overwritten, a move on one file system is a single rename, and a move across
// file systems copies to a hidden name beside the destination, compares the copy
// with the original, renames it into place and only then removes the original.

// Asked before each step of an operation with the step's name; false stops the
// operation right there, as if the process had been killed (the tests use it to
// leave an operation half done). Empty means every step runs.
using StepGate = std::function<bool(const QString &step)>;

// Whether anything is at `path`, a dangling link included.
bool entryExists(const QString &path);
// Whether `path` is a symbolic link.
bool isSymlink(const QString &path);

// Renames `from` to `to`, refusing when `to` exists. False with the system's
// message; `crossDevice` says the two are on different file systems.
bool renameNoReplace(const QString &from, const QString &to, QString *error, bool *crossDevice = nullptr);

// Copies a file or a folder tree (links copied as links, modes kept) to `to`,
// which must not exist. A failed copy removes what it made.
bool copyEntry(const QString &from, const QString &to, QString *error);

// Whether two files or trees hold the same names, bytes and link targets. The
// paths that differ (relative to the roots) go to `differences`, capped.
bool sameEntry(const QString &a, const QString &b, QStringList *differences = nullptr);

// Removes a file, a link (not what it points at) or a folder tree.
bool removeEntry(const QString &path, QString *error);

// The hidden name a copy is made under before it is renamed into place.
QString partialPathFor(const QString &destination);

// Moves `from` to `to` (which must not exist; its folder is made). Across file
// systems: copy, compare, rename into place, remove the original. The step names
// given to `gate` are "copied", "placed".
enum class MoveOutcome { Moved, Refused, Stopped };
MoveOutcome moveEntry(const QString &from, const QString &to, QString *error, const StepGate &gate = {});

// Makes `folder` and its parents.
bool makeFolders(const QString &folder, QString *error);
