#include "app/startfailure.h"

#include "common/plaintext.h"

#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

int reportStartFailure(const QString &line, const QString &reason)
{
    QTextStream(stderr) << line << Qt::endl;
    if (startFailureWantsDialog(qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr,
                                QGuiApplication::platformName()))
        showStartFailure(reason);
    return 1;
}

bool startFailureWantsDialog(bool hasWindows, const QString &platform)
{
    // Offscreen and minimal platforms draw nowhere anyone could see.
    return hasWindows && !platform.isEmpty() && platform != QLatin1String("offscreen")
        && platform != QLatin1String("minimal");
}

void showStartFailure(const QString &reason)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("StartFailure", "Vesk"),
                    QCoreApplication::translate("StartFailure", "Vesk could not start."), QMessageBox::Close);
    box.setObjectName(QStringLiteral("startFailure"));
    // The reason names paths and the system's own words: shown as written.
    box.setInformativeText(reason);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    showAsPlainText(&box);
    box.exec();
}
