// vesk-window: the window. vesk (cli/main.cpp) becomes this executable when it is
// started without a command, passing its arguments on unchanged.

#include "cli/commandline.h"
#include "app/contentview.h"
#include "app/displayguard.h"
#include "app/instancechannel.h"
#include "app/openrequesthandler.h"
#include "cli/processstart.h"
#include "app/screenshot.h"
#include "app/startfailure.h"
#include "cli/storeopener.h"
#include "cli/terminaltext.h"
#include "app/veskapp.h"
#include "app/windowsession.h"
#include "common/palettecolors.h"
#include "common/toolicon.h"
#include "library/catalogue/homepath.h"
#include "library/store/modelcontainer.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTextStream>

#include <optional>

namespace {

// How long a second launch waits for the running window, which answers after its
// first scan when it has only just started.
constexpr int handOverTimeoutMs = 120000;

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

OpenRequest requestFrom(const CommandLine &commandLine)
{
    QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (token.isEmpty())
        token = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    return OpenRequest{commandLine.skill, commandLine.edit, QDir::currentPath(), token};
}

// Hands the request to the library's running instance. Returns the exit status
// when it was handed over, or nothing when this process is to be the instance
// (then `channel` serves later launches) or must run on its own.
std::optional<int> handOver(InstanceChannel &channel, const OpenRequest &request, VeskApp **primary)
{
    const OpenRequestHandler handler = [primary](const OpenRequest &later, const OpenReply &reply) {
        if (*primary)
            handleOpenRequest(**primary, later, reply);
        else
            reply(QCoreApplication::translate("main", "Vesk is still starting."));
    };
    // A running instance that ends between our claim and our call leaves the name
    // free: claim it on the second round.
    for (int round = 0; round < 2; ++round) {
        switch (channel.claim(handler)) {
        case InstanceChannel::Claim::Primary:
        case InstanceChannel::Claim::Unavailable:
            return std::nullopt;
        case InstanceChannel::Claim::Secondary:
            break;
        }
        const InstanceChannel::Forwarded forwarded = channel.forward(request, handOverTimeoutMs);
        if (forwarded.delivered) {
            if (forwarded.error.isEmpty())
                return 0;
            // The answer comes from another process: spelled out, never obeyed.
            QTextStream(stderr) << "vesk: " << terminalSafe(forwarded.error) << Qt::endl;
            return 1;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    const CommandLine commandLine = parseCommandLine(argumentList(argc, argv));
    if (commandLine.mode != CommandLine::Mode::Window) {
        // The commands, help and wrong arguments are the command line's.
        QTextStream(stderr) << "vesk-window: only the window starts here; run vesk instead.\n";
        return 2;
    }

    // Before anything asks where the home folder is: an unset HOME would put the
    // library at "/", a relative one wherever Vesk happened to start.
    QString homeError;
    const bool homeSettled = settleHome(&homeError);

    std::optional<QApplication> application;
    {
        const DisplayGuard guard;
        application.emplace(argc, argv);
    }
    QApplication &app = *application;
    setApplicationNames();
    // The launcher entry's name: the window's Wayland app id, and how docks match it.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.vesk.Vesk"));
    if (!homeSettled)
        return reportStartFailure(QStringLiteral("vesk: ") + homeError, homeError);

    // A screenshot is a one-off of its own and never reaches a running window.
    std::unique_ptr<InstanceChannel> channel;
    VeskApp *primary = nullptr;
    const OpenRequest request = requestFrom(commandLine);
    if (commandLine.screenshotFile.isEmpty()) {
        channel = openInstanceChannel(InstanceKey::current());
        if (const std::optional<int> status = handOver(*channel, request, &primary))
            return *status;
    }

    QString fatal;
    QString reason;
    const std::unique_ptr<VeskApp> vesk = VeskApp::create(ModelContainer::defaultStorePath(), &fatal, &reason);
    if (!vesk)
        return reportStartFailure(fatal, reason);
    primary = vesk.get();
    // Found while the window was already up: the same stop as a store that cannot
    // open, with nothing of this session written to the damaged file.
    QObject::connect(vesk.get(), &VeskApp::storeDamaged, vesk.get(), [](const QString &message) {
        reportStartFailure(fatalStoreMessage(message), message);
        QCoreApplication::exit(1);
    });
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("app.vesk.Vesk"), applicationIcon()));
    applyAppearance(commandLine.palette);

    if (!commandLine.screenshotFile.isEmpty()) {
        takeScreenshot(*vesk, commandLine);
        return app.exec();
    }
    WindowSession session(vesk->state(), vesk->context());
    session.restoreState();
    QObject::connect(vesk.get(), &VeskApp::windowOpened, &session, &WindowSession::attach);
    vesk->newWindow()->show();
    handleOpenRequest(*vesk, request, [](const QString &error) {
        if (error.isEmpty())
            return;
        QTextStream(stderr) << "vesk: " << error << Qt::endl;
        QCoreApplication::exit(1);
    });
    const int status = app.exec();
    channel.reset(); // before the store and windows go
    return status;
}
