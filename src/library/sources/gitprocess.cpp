#include "library/sources/gitprocess.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

QString gitProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("git"));
}

QString gitMissingMessage()
{
    return QObject::tr("Vesk uses git to fetch skills, and no “git” was found on PATH; install it "
                       "(on Debian and Ubuntu: sudo apt install git) and try again");
}

GitRun runGit(const QStringList &arguments, const QString &workingDirectory, int timeoutMs)
{
    GitRun run;
    const QString program = gitProgram();
    if (program.isEmpty()) {
        run.error = gitMissingMessage();
        return run;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A prompt for a password would wait forever where nobody can answer it.
    environment.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    environment.insert(QStringLiteral("GCM_INTERACTIVE"), QStringLiteral("never"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setStandardInputFile(QProcess::nullDevice());
    // Transports that run commands of the repository's choosing stay off whatever
    // the user's configuration says.
    QStringList full{QStringLiteral("-c"), QStringLiteral("protocol.ext.allow=never")};
    full += arguments;
    process.start(program, full);
    if (!process.waitForStarted(10000)) {
        run.error = QObject::tr("git could not be started: %1").arg(process.errorString());
        return run;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        run.error = QObject::tr("git took longer than %1 seconds and was stopped").arg(timeoutMs / 1000);
        return run;
    }
    run.output = process.readAllStandardOutput().left(maxGitOutputBytes);
    const QString errorText = QString::fromUtf8(process.readAllStandardError().left(64 * 1024)).trimmed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.ok = run.exitCode == 0;
    if (!run.ok) {
        // git's first "fatal:" line says what went wrong; advice follows it.
        QString said;
        const QStringList lines = errorText.split(u'\n', Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String("fatal: ")) || line.startsWith(QLatin1String("error: "))) {
                said = line.mid(7).trimmed();
                break;
            }
        }
        if (said.isEmpty() && !lines.isEmpty())
            said = lines.constLast().trimmed();
        if (said.isEmpty())
            said = QObject::tr("git stopped with status %1").arg(run.exitCode);
        run.error = said.left(500);
    }
    return run;
}
