#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>

// What a save cut short leaves beside a skill file. A save that rewrites a file
// in place (one with several hard links, or someone else's) first puts a copy of
// the previous text beside it, ".<name>.vesk-backup-…", and removes it once the
// new text is safely on disk; an ordinary save writes ".<name>.vesk-save-…" and
// renames it over the file. A process killed in between leaves either behind:
// the copy is the only whole version of the text, so it is offered back to the
// user; a temporary is only half of a text nobody has yet, and goes.

struct SaveBackup {
    QString copyPath; // the copy of the previous text
    QString filePath; // the file it was taken of, in the same folder
};

// What a look through some folders found and did.
struct SaveLeftovers {
    QList<SaveBackup> backups; // copies, each for a file that is still there, in path order
    int temporariesRemoved = 0;
};

// Lists each of `folders` once: removes the temporaries of ordinary saves older
// than `age` (a younger one may belong to a save still running) and gathers the
// copies of previous texts.
SaveLeftovers sweepSaveLeftovers(const QStringList &folders, std::chrono::seconds age);

// Puts the copy's text back into the file, in place so that every hard link
// sees it, then removes the copy. False with the system's words in `error`.
bool restoreSaveBackup(const SaveBackup &backup, QString *error);

// Removes the copy, leaving the file as it is.
bool discardSaveBackup(const SaveBackup &backup, QString *error);
