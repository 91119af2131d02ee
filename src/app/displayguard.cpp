#include "app/displayguard.h"

#include <QCoreApplication>
#include <QList>

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

void guardHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (isPlatformFailure(type, text)) {
        const QByteArray line = noDisplayMessage().toLocal8Bit() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    if (heldMessages && type != QtFatalMsg && category.startsWith(QLatin1String("qt.qpa"))) {
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

DisplayGuard::DisplayGuard()
{
    heldMessages = new QList<HeldMessage>;
    previousHandler = qInstallMessageHandler(guardHandler);
}

DisplayGuard::~DisplayGuard()
{
    qInstallMessageHandler(previousHandler);
    const QList<HeldMessage> held = std::move(*heldMessages);
    delete heldMessages;
    heldMessages = nullptr;
    for (const HeldMessage &message : held) {
        const QByteArray category = message.category.toLatin1();
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(message.type, context, message.text);
    }
}
