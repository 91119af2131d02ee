#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// `vesk add|outdated|update|restore`: skills from repositories, from a terminal.
// Each reaches the network only through the user's own git, and only because
// the user asked. Exit status 0 when it was done, 1 when it was not (or not all
// of it), 2 for a command line that makes no sense.
struct SourceCommand {
    enum class Verb { Add, Outdated, Update, Restore };
    Verb verb = Verb::Add;
    QString source;       // add
    QStringList skills;   // add: --skill NAME...
    QStringList names;    // update: the skills named
    QStringList tools;    // add: --in TOOL|shared ...
    QString project;      // --project DIR, as written
    QString ref;          // add: --ref REF
    bool copy = false;
    bool json = false;    // outdated
    bool theirs = false;  // update
    bool merge = false;   // update
};

// What the command line gave, for the parser to judge.
struct SourceArguments {
    QStringList positional; // the verb first
    QStringList skills;
    QStringList tools;
    QString project;
    QString ref;
    bool hasProject = false;
    bool hasRef = false;
    bool copy = false;
    bool json = false;
    bool theirs = false;
    bool merge = false;
};

bool isSourceVerb(const QString &word);

// Returns an empty string when the arguments make a command, or what is wrong.
QString parseSourceCommand(const SourceArguments &arguments, SourceCommand *command);

int runSourceCommand(const SourceCommand &command, const QString &workingDirectory, QTextStream &out,
                     QTextStream &err);
