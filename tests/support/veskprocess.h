#pragma once

// Runs the real `vesk` executable (VESK_EXECUTABLE) against a home folder of the
// test's choosing, with the XDG folders inside it and a platform plugin that does
// not exist, so anything that needs a display fails.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

struct VeskRun {
    int exitCode = -1; // -1 when it crashed or did not finish
    QByteArray out;
    QByteArray err;
};

inline QProcessEnvironment veskEnvironment(const QString &home, const QByteArray &platform = "no-such-platform")
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    environment.insert("XDG_DATA_HOME", home + "/.local/share");
    environment.insert("XDG_CACHE_HOME", home + "/.cache");
    const QString runtime = home + "/.runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("QT_QPA_PLATFORM", QString::fromLatin1(platform));
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    return environment;
}

// Starts vesk without waiting; the caller collects it with finishVesk(). The modifier,
// if any, runs in the child just before vesk starts (to drop privileges, say).
inline void startVesk(QProcess &process, const QString &home, const QStringList &arguments,
                      const QByteArray &platform = "no-such-platform",
                      const std::function<void()> &childModifier = {})
{
    process.setProcessEnvironment(veskEnvironment(home, platform));
    if (childModifier)
        process.setChildProcessModifier(childModifier);
    process.start(QStringLiteral(VESK_EXECUTABLE), arguments);
}

inline VeskRun finishVesk(QProcess &process, int timeoutMs = 60000)
{
    VeskRun run;
    if (process.error() == QProcess::FailedToStart)
        return run;
    // waitForFinished() is false for a process that has already finished, too.
    const bool finished = process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

inline VeskRun runVesk(const QString &home, const QStringList &arguments,
                       const QByteArray &platform = "no-such-platform")
{
    QProcess process;
    startVesk(process, home, arguments, platform);
    return finishVesk(process);
}
