#pragma once

#include "cli/managecommand.h"
#include "cli/sourcecommand.h"

#include <QSize>
#include <QString>
#include <QStringList>

// What the user asked for on the command line. Parsing needs no QCoreApplication,
// so `vesk --help`, `--version` and `list` run without a display.
struct CommandLine {
    enum class Mode { Window, List, Check, Manage, Sources, Help, Version, Invalid };

    Mode mode = Mode::Window;
    bool json = false;          // list: print JSON instead of lines
    QString errorText;          // Invalid: what was wrong
    ManageCommand manage;       // Manage: the operation on a skill
    SourceCommand sources;      // Sources: add, outdated, update, restore

    // Check: the files and folders to check (none: the library), the output's form
    // ("plain", "json" or "sarif") and the lowest level shown and failed on.
    QStringList checkPaths;
    QString checkFormat = QStringLiteral("plain");
    QString checkLevel = QStringLiteral("warning");
    bool checkAllRules = false; // the library by every rule, those turned off in the settings too

    // Window: the skill to select, by name or path, and whether in the editor.
    QString skill;
    bool edit = false;

    // Window: save a screenshot of the main window and quit.
    QString screenshotFile;
    QString selectSkill;
    QString filter;
    QString search;
    bool hasSearch = false;
    QSize size;
    QString detailMode;         // "card", "editor", "compare" or empty for the default
    QString palette;            // "light", "dark" or empty for the desktop's own
};

CommandLine parseCommandLine(const QStringList &arguments);
QString commandLineHelp();
QString versionText();
