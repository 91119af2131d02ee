#include "cli/windowlaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

QString windowExecutableFor(const QString &veskPath)
{
    // Fixed when the build is set up: where vesk-window is installed, seen from vesk.
    return QDir::cleanPath(QFileInfo(veskPath).absolutePath() + QLatin1Char('/')
                           + QStringLiteral(VESK_WINDOW_FROM_VESK));
}

void execWindow(char **argv, QString *error)
{
    // The running executable itself, not argv[0] (which the caller chose) nor
    // PATH: the window that belongs to this vesk, from the same build.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (self.isEmpty()) {
        *error = QStringLiteral("cannot tell where vesk is installed (/proc/self/exe)");
        return;
    }
    const QString window = windowExecutableFor(self);
    const QByteArray path = QFile::encodeName(window);
    ::execv(path.constData(), argv);
    const int reason = errno;
    *error = QStringLiteral("cannot start the window (%1): %2").arg(window, QString::fromLocal8Bit(std::strerror(reason)));
}
