#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// `vesk use|unuse|off|on|mv|rename|trash NAME ...`: the skill operations from a
// terminal, with --dry-run to print what would change. Exit status 0 when it was
// done, 1 when it could not be, 2 for a command line that makes no sense.
struct ManageCommand {
    enum class Verb { Use, Unuse, Off, On, Move, Rename, Trash };
    Verb verb = Verb::Use;
    QString skill;  // name or path
    QString tool;   // use, unuse: a tool's identifier or "shared"
    QString scope;  // mv: "home" or a project folder
    QString newName; // rename
    bool copy = false;
    bool dryRun = false;
};

// Whether `word` starts one of these commands.
bool isManageVerb(const QString &word);

// Reads the words after the program name (the verb first) and the options.
// Returns an empty string when they make a command, or what is wrong.
QString parseManageCommand(const QStringList &positional, const QString &in, const QString &to, bool copy,
                           bool dryRun, ManageCommand *command);

// Opens the library, scans it, finishes any operation an earlier run left half
// done, and runs the command. Returns the exit status.
int runManageCommand(const ManageCommand &command, const QString &workingDirectory, QTextStream &out,
                     QTextStream &err);
