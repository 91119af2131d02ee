// vesk: the command line. The commands run here, on Qt Core alone; the window
// is an executable of its own (app/main.cpp), which this process becomes.

#include "cli/checkcommand.h"
#include "cli/commandline.h"
#include "cli/listcommand.h"
#include "cli/managecommand.h"
#include "cli/processstart.h"
#include "cli/sourcecommand.h"
#include "cli/windowlaunch.h"
#include "library/catalogue/homepath.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The leak checker looks at what is left at exit: everything is freed for it.
constexpr ListCommandEnd listCommandEnd = ListCommandEnd::Return;
#else
constexpr ListCommandEnd listCommandEnd = ListCommandEnd::EndProcess;
#endif

} // namespace

int main(int argc, char **argv)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CommandLine commandLine = parseCommandLine(argumentList(argc, argv));

    switch (commandLine.mode) {
    case CommandLine::Mode::Help:
        out << commandLineHelp();
        return 0;
    case CommandLine::Mode::Version:
        out << versionText();
        return 0;
    case CommandLine::Mode::Invalid:
        err << "vesk: " << commandLine.errorText << "\nTry 'vesk --help'.\n";
        return 2;
    case CommandLine::Mode::Window: {
        // The window is vesk-window's: this process becomes it, arguments and all.
        QString launchError;
        execWindow(argv, &launchError);
        err << "vesk: " << launchError << Qt::endl;
        return 1;
    }
    case CommandLine::Mode::List:
    case CommandLine::Mode::Check:
    case CommandLine::Mode::Manage:
    case CommandLine::Mode::Sources:
        break;
    }

    // Before anything asks where the home folder is: an unset HOME would put the
    // library at "/", a relative one wherever Vesk happened to start.
    QString homeError;
    const bool homeSettled = settleHome(&homeError);

    if (commandLine.mode == CommandLine::Mode::Check) {
        if (!homeSettled && commandLine.checkPaths.isEmpty()) {
            err << "vesk: " << homeError << Qt::endl;
            return 2;
        }
        // Without a display, like the list command: it serves hooks and CI.
        QCoreApplication app(argc, argv);
        setApplicationNames();
        CheckCommandOptions options;
        options.paths = commandLine.checkPaths;
        options.format = commandLine.checkFormat == QLatin1String("json")  ? CheckCommandOptions::Format::Json
            : commandLine.checkFormat == QLatin1String("sarif")            ? CheckCommandOptions::Format::Sarif
                                                                            : CheckCommandOptions::Format::Plain;
        options.level = FindingLevels::fromName(commandLine.checkLevel).value_or(FindingLevel::Warning);
        options.allRules = commandLine.checkAllRules;
        return runCheckCommand(options, out, err);
    }

    if (commandLine.mode == CommandLine::Mode::List) {
        if (!homeSettled) {
            err << "vesk: " << homeError << Qt::endl;
            return 1;
        }
        // No QApplication here: the list command must run without a display.
        QCoreApplication app(argc, argv);
        setApplicationNames();
        // Column titles are for people: a pipe or a file gets the lines alone.
        return runListCommand(commandLine.json, out, err, ::isatty(STDOUT_FILENO) == 1, listCommandEnd);
    }

    if (commandLine.mode == CommandLine::Mode::Manage) {
        if (!homeSettled) {
            err << "vesk: " << homeError << Qt::endl;
            return 1;
        }
        QCoreApplication app(argc, argv);
        setApplicationNames();
        return runManageCommand(commandLine.manage, QDir::currentPath(), out, err);
    }

    // Mode::Sources, the last left.
    if (!homeSettled) {
        err << "vesk: " << homeError << Qt::endl;
        return 1;
    }
    QCoreApplication app(argc, argv);
    setApplicationNames();
    return runSourceCommand(commandLine.sources, QDir::currentPath(), out, err);
}
