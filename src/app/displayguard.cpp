#include "app/displayguard.h"

#include <QCoreApplication>
#include <QList>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

namespace {

struct HeldMessage {
    QtMsgType type;
    QString category;
    QString text;
};

// A message handler is process-wide by nature; these live only while a guard does.
QtMessageHandler previousHandler = nullptr;
QList<HeldMessage> *heldMessages = nullptr;

bool isPlatformFailure(QtMsgType type, const QString &text)
{
    return type == QtFatalMsg && text.contains(QLatin1String("platform plugin"));
}

QStringList heldTexts()
{
    QStringList texts;
    if (heldMessages) {
        for (const HeldMessage &message : std::as_const(*heldMessages))
            texts.append(message.text);
    }
    return texts;
}

void guardHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (isPlatformFailure(type, text)) {
        const QByteArray line = platformFailureMessage(missingPlatformPlugins(heldTexts())).toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    // Every warning while the platform starts: a plugin's own (the Wayland one's
    // "Failed to create wl_display") need not be in a qt.qpa category.
    if (heldMessages && type != QtFatalMsg) {
        heldMessages->append({type, category, text});
        return;
    }
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

QString noDisplayMessage()
{
    return QCoreApplication::translate(
        "DisplayGuard", "vesk: the window needs a graphical session, and none was found; in a terminal, "
                        "\"vesk list\" lists your skills.");
}

QStringList missingPlatformPlugins(const QStringList &messages)
{
    static const QRegularExpression notFound(QStringLiteral(R"re(Could not find the Qt platform plugin "([^"]{1,64})")re"));
    QStringList plugins;
    for (const QString &message : messages) {
        const QRegularExpressionMatch match = notFound.match(message);
        if (match.hasMatch() && !plugins.contains(match.captured(1)))
            plugins.append(match.captured(1));
    }
    return plugins;
}

QString packageForPlatformPlugin(const QString &plugin)
{
    // "wayland", "wayland-egl", "wayland-brcm": every Wayland flavour comes in one package.
    if (plugin == QLatin1String("wayland") || plugin.startsWith(QLatin1String("wayland-")))
        return QStringLiteral("qt6-wayland");
    return {};
}

QString platformFailureMessage(const QStringList &missingPlugins)
{
    for (const QString &plugin : missingPlugins) {
        const QString package = packageForPlatformPlugin(plugin);
        if (!package.isEmpty())
            return QCoreApplication::translate(
                       "DisplayGuard", "vesk: the window needs Qt's \"%1\" platform plugin, which is not installed; "
                                       "install the %2 package (sudo apt install %2).")
                .arg(plugin, package);
    }
    return noDisplayMessage();
}

QString missingPluginHint(const QStringList &missingPlugins)
{
    for (const QString &plugin : missingPlugins) {
        const QString package = packageForPlatformPlugin(plugin);
        if (!package.isEmpty())
            return QCoreApplication::translate(
                       "DisplayGuard", "vesk: Qt's \"%1\" platform plugin is not installed, so the window goes "
                                       "through XWayland; install the %2 package for a native Wayland window.")
                .arg(plugin, package);
    }
    return {};
}

DisplayGuard::DisplayGuard()
{
    heldMessages = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(guardHandler);
}

DisplayGuard::~DisplayGuard()
{
    qInstallMessageHandler(previousHandler);
    const QStringList texts = heldTexts();
    const QList<HeldMessage> held = std::move(*heldMessages);
    delete heldMessages;
    heldMessages = nullptr;
    for (const HeldMessage &message : held) {
        const QByteArray category = message.category.toLatin1();
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(message.type, context, message.text);
    }
    const QString hint = missingPluginHint(missingPlatformPlugins(texts));
    if (!hint.isEmpty()) {
        const QByteArray line = hint.toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    }
}
