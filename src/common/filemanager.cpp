#include "common/filemanager.h"

#include "common/plaintext.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool openFolderOf(const QFileInfo &file)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

bool fileManagerOnBus(QDBusConnection &bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    QDBusConnectionInterface *names = bus.interface();
    return names->isServiceRegistered(fileManagerService).value()
        || names->activatableServiceNames().value().contains(fileManagerService);
}

} // namespace

void revealInFileManager(const QString &path, QObject *context, const std::function<void(DesktopAnswer)> &done)
{
    const QFileInfo file(path);
    const QPointer<QObject> guard(context);
    const auto answer = [guard, done](DesktopAnswer result) {
        if (guard)
            done(result);
    };
    if (!file.exists()) {
        QTimer::singleShot(0, context, [answer] { answer(DesktopAnswer::FileMissing); });
        return;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!fileManagerOnBus(bus)) {
        const bool opened = openFolderOf(file);
        QTimer::singleShot(0, context, [answer, opened] {
            answer(opened ? DesktopAnswer::Done : DesktopAnswer::NothingAnswered);
        });
        return;
    }
    // Starting a file manager that is only activatable can take a moment: wait for
    // its answer without holding up the window.
    QDBusMessage call = QDBusMessage::createMethodCall(fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       fileManagerService, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, file, answer] {
        watcher->deleteLater();
        if (!watcher->isError()) {
            answer(DesktopAnswer::Done);
            return;
        }
        answer(openFolderOf(file) ? DesktopAnswer::Done : DesktopAnswer::NothingAnswered);
    });
}

DesktopAnswer openInDefaultEditor(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return DesktopAnswer::FileMissing;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath())) ? DesktopAnswer::Done
                                                                                   : DesktopAnswer::NothingAnswered;
}

void explainDesktopAnswer(QWidget *parent, DesktopAnswer answer, const QString &title,
                          const QString &nothingAnswered, const QString &path)
{
    if (answer == DesktopAnswer::Done)
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, title,
                                answer == DesktopAnswer::FileMissing
                                    ? QCoreApplication::translate("FileManager", "The skill's file is no longer there.")
                                    : nothingAnswered,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("desktopAnswer"));
    box->setInformativeText(QDir::toNativeSeparators(path));
    showAsPlainText(box); // the path is the disk's: a folder may be named like markup
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
