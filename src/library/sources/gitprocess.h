#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The user's own `git`, run as a child process: found on PATH, given its
// arguments as a list (no shell ever sees them), never asking on the terminal
// (a private repository is reached through the user's SSH keys and credential
// helpers, or not at all), and stopped when it takes longer than allowed.

struct GitRun {
    bool ok = false;     // started, finished in time and exited 0
    int exitCode = -1;
    QByteArray output;   // standard output, capped
    QString error;       // in words for the user when not ok
};

// The most of a command's standard output kept; ls-remote of one ref and
// rev-parse print a line or two.
inline constexpr qint64 maxGitOutputBytes = 1024 * 1024;

// Where `git` is on PATH; empty when it is not installed.
QString gitProgram();
// The message for a missing git.
QString gitMissingMessage();

// Runs `git ARGUMENTS` in `workingDirectory` (may be empty), giving up after
// `timeoutMs` (the child is killed). `input` goes to its standard input.
GitRun runGit(const QStringList &arguments, const QString &workingDirectory, int timeoutMs);
