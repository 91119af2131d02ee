#include "app/commandline.h"
#include "app/contentview.h"
#include "app/listcommand.h"
#include "common/palettecolors.h"
#include "app/screenshot.h"
#include "common/toolicon.h"
#include "app/veskapp.h"
#include "library/modelcontainer.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTextStream>

namespace {

void setApplicationNames()
{
    // Organisation and application name decide where the store and settings live.
    QCoreApplication::setOrganizationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
}

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// Without --palette the desktop's own style and colours apply; with it, Vesk's own
// colours on the Fusion style, which draws them the same everywhere.
void applyAppearance(const QString &palette)
{
    if (palette.isEmpty())
        return;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (palette == QLatin1String("dark"))
        QApplication::setPalette(PaletteColors::darkPalette());
    else if (palette == QLatin1String("light"))
        QApplication::setPalette(PaletteColors::lightPalette());
}

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
    case CommandLine::Mode::List: {
        // No QApplication here: the list command must run without a display.
        QCoreApplication app(argc, argv);
        setApplicationNames();
        return runListCommand(commandLine.json, out, err);
    }
    case CommandLine::Mode::Window:
        break;
    }

    QApplication app(argc, argv);
    setApplicationNames();
    QString fatal;
    const std::unique_ptr<VeskApp> vesk = VeskApp::create(ModelContainer::defaultStorePath(), &fatal);
    if (!vesk) {
        err << fatal << Qt::endl;
        return 1;
    }
    QApplication::setWindowIcon(applicationIcon());
    applyAppearance(commandLine.palette);

    if (!commandLine.screenshotFile.isEmpty()) {
        takeScreenshot(*vesk, commandLine);
        return app.exec();
    }
    vesk->newWindow()->show();
    return app.exec();
}
