#include "cli/sourcecommand.h"

#include "cli/terminaltext.h"
#include "library/catalogue/homepath.h"
#include "library/files/skillplaces.h"
#include "library/sources/skilladd.h"
#include "library/sources/skillupdate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SourceCommand", text);
}

QString folderFrom(const QString &written, const QString &workingDirectory)
{
    QString folder = written;
    if (folder == u'~' || folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    return QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(folder));
}

void printLines(QTextStream &stream, const QStringList &lines, const QString &prefix = QString())
{
    for (const QString &line : lines)
        stream << prefix << terminalSafe(line) << '\n';
}

int runAdd(const SourceCommand &command, const QString &project, const QString &workingDirectory, QTextStream &out,
           QTextStream &err)
{
    AddRequest request;
    request.source = command.source;
    request.workingDirectory = workingDirectory;
    request.skills = command.skills;
    request.project = project;
    request.copy = command.copy;
    request.ref = command.ref;
    for (const QString &tool : command.tools)
        request.tools.append(*placementFromKey(tool));
    const AddResult result = addSkills(request);
    printLines(out, result.changes);
    out.flush();
    if (!result.ok) {
        err << "vesk: " << terminalSafe(result.error) << Qt::endl;
        return 1;
    }
    return 0;
}

int runOutdated(const SourceCommand &command, const QString &project, QTextStream &out, QTextStream &err)
{
    QStringList scopes{QString()};
    if (!project.isEmpty())
        scopes = {project};
    const QList<SkillSourceStatus> statuses = checkForUpdates(scopes);
    bool failed = false;
    if (command.json) {
        QJsonArray array;
        for (const SkillSourceStatus &status : statuses) {
            array.append(QJsonObject{
                {QStringLiteral("name"), status.name},
                {QStringLiteral("project"), status.project.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(status.project)},
                {QStringLiteral("source"), status.source},
                {QStringLiteral("ref"), status.ref},
                {QStringLiteral("state"), stateKey(status.state)},
                {QStringLiteral("installedCommit"), status.installedCommit},
                {QStringLiteral("latestCommit"), status.latestCommit},
                {QStringLiteral("error"), status.error},
            });
            failed = failed || status.state == SkillSourceStatus::State::Failed;
        }
        out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
        out.flush();
        return failed ? 1 : 0;
    }
    for (const SkillSourceStatus &status : statuses) {
        QString line = terminalSafe(status.name) + QLatin1String("  ") + terminalSafe(status.source);
        switch (status.state) {
        case SkillSourceStatus::State::UpToDate:
            line += QLatin1String("  ") + tr("up to date");
            break;
        case SkillSourceStatus::State::Outdated:
            line += QLatin1String("  ") + tr("outdated: %1 → %2").arg(status.installedCommit.left(12), status.latestCommit.left(12));
            break;
        case SkillSourceStatus::State::Unknown:
            line += QLatin1String("  ") + tr("installed by another tool; the source is at %1").arg(status.latestCommit.left(12));
            break;
        case SkillSourceStatus::State::Local:
            line += QLatin1String("  ") + tr("a local folder");
            break;
        case SkillSourceStatus::State::Failed:
            failed = true;
            err << "vesk: " << terminalSafe(status.name) << ": " << terminalSafe(status.error) << '\n';
            continue;
        }
        out << line << '\n';
    }
    if (statuses.isEmpty())
        out << tr("No lock file records any skill here.") << '\n';
    out.flush();
    err.flush();
    return failed ? 1 : 0;
}

int runUpdate(const SourceCommand &command, const QString &project, QTextStream &out, QTextStream &err)
{
    const EditPolicy policy = command.theirs ? EditPolicy::Theirs : command.merge ? EditPolicy::Merge : EditPolicy::Refuse;
    const QList<SkillUpdate> updates = updateSkills(project, command.names, policy);
    bool failed = false;
    for (const SkillUpdate &update : updates) {
        const QString name = terminalSafe(update.name);
        switch (update.state) {
        case SkillUpdate::State::Updated:
            out << tr("Updated “%1”").arg(name) << '\n';
            break;
        case SkillUpdate::State::UpToDate:
            out << tr("“%1” is up to date").arg(name) << '\n';
            break;
        case SkillUpdate::State::Merged:
            out << tr("Merged upstream's changes into “%1”").arg(name) << '\n';
            break;
        case SkillUpdate::State::Conflicts:
            failed = true;
            out << tr("Merged “%1”; conflicts are marked in: %2")
                       .arg(name, terminalSafe(update.conflictFiles.join(QStringLiteral(", "))))
                << '\n';
            break;
        case SkillUpdate::State::Edited:
            failed = true;
            err << "vesk: "
                << tr("“%1” was not updated: %2%3. --theirs takes upstream's (yours goes to the trash); "
                      "--merge merges the two.")
                       .arg(name, terminalSafe(update.error),
                            update.editedFiles.isEmpty()
                                ? QString()
                                : tr(" (edited: %1)").arg(terminalSafe(update.editedFiles.join(QStringLiteral(", ")))))
                << '\n';
            break;
        case SkillUpdate::State::Failed:
            failed = true;
            err << "vesk: " << (update.name.isEmpty() ? QString() : name + QLatin1String(": "))
                << terminalSafe(update.error) << '\n';
            break;
        }
    }
    if (updates.isEmpty())
        out << tr("No lock file records any skill here.") << '\n';
    out.flush();
    err.flush();
    return failed ? 1 : 0;
}

int runRestore(const QString &project, QTextStream &out, QTextStream &err)
{
    const RestoreResult result = restoreSkills(project);
    printLines(out, result.changes);
    out.flush();
    if (!result.error.isEmpty()) {
        err << "vesk: " << terminalSafe(result.error) << Qt::endl;
        return 1;
    }
    printLines(err, result.failures, QStringLiteral("vesk: "));
    err.flush();
    if (result.ok && result.restored.isEmpty())
        out << tr("Everything the lock file lists is installed.") << Qt::endl;
    return result.ok ? 0 : 1;
}

} // namespace

bool isSourceVerb(const QString &word)
{
    return word == QLatin1String("add") || word == QLatin1String("outdated") || word == QLatin1String("update")
        || word == QLatin1String("restore");
}

QString parseSourceCommand(const SourceArguments &arguments, SourceCommand *command)
{
    const QString word = arguments.positional.value(0);
    const QStringList rest = arguments.positional.mid(1);
    command->verb = word == QLatin1String("add")        ? SourceCommand::Verb::Add
        : word == QLatin1String("outdated")             ? SourceCommand::Verb::Outdated
        : word == QLatin1String("update")               ? SourceCommand::Verb::Update
                                                        : SourceCommand::Verb::Restore;
    const bool adding = command->verb == SourceCommand::Verb::Add;
    if (adding && rest.size() != 1)
        return tr("add wants one source: owner/repo, a git URL or a folder.");
    if ((command->verb == SourceCommand::Verb::Outdated || command->verb == SourceCommand::Verb::Restore) && !rest.isEmpty())
        return tr("%1 takes no names.").arg(word);
    if (!adding && (!arguments.skills.isEmpty() || !arguments.tools.isEmpty() || arguments.copy || arguments.hasRef))
        return tr("--skill, --in, --copy and --ref go with add.");
    if (arguments.json && command->verb != SourceCommand::Verb::Outdated)
        return tr("--json goes with list, check and outdated.");
    if ((arguments.theirs || arguments.merge) && command->verb != SourceCommand::Verb::Update)
        return tr("--theirs and --merge go with update.");
    if (arguments.theirs && arguments.merge)
        return tr("Give --theirs or --merge, not both.");
    if (arguments.hasProject && arguments.project.isEmpty())
        return tr("--project wants a folder.");
    for (const QString &tool : arguments.tools) {
        if (!placementFromKey(tool)) {
            QStringList keys;
            for (const PlacementTool &known : placementTools())
                keys.append(placementKey(known));
            return tr("--in is one of: %1.").arg(keys.join(QStringLiteral(", ")));
        }
    }
    if (arguments.hasRef && arguments.ref.isEmpty())
        return tr("--ref wants a branch or tag.");
    command->source = rest.value(0);
    command->names = adding ? QStringList() : rest;
    command->skills = arguments.skills;
    command->tools = arguments.tools;
    command->project = arguments.project;
    command->ref = arguments.ref;
    command->copy = arguments.copy;
    command->json = arguments.json;
    command->theirs = arguments.theirs;
    command->merge = arguments.merge;
    return QString();
}

int runSourceCommand(const SourceCommand &command, const QString &workingDirectory, QTextStream &out,
                     QTextStream &err)
{
    QString project;
    if (!command.project.isEmpty()) {
        project = folderFrom(command.project, workingDirectory);
        if (!QFileInfo(project).isDir()) {
            err << "vesk: " << tr("“%1” is not a folder.").arg(terminalSafe(command.project)) << Qt::endl;
            return 1;
        }
        project = QFileInfo(project).canonicalFilePath();
    }
    switch (command.verb) {
    case SourceCommand::Verb::Add:
        return runAdd(command, project, workingDirectory, out, err);
    case SourceCommand::Verb::Outdated:
        return runOutdated(command, project, out, err);
    case SourceCommand::Verb::Update:
        return runUpdate(command, project, out, err);
    case SourceCommand::Verb::Restore:
        return runRestore(project, out, err);
    }
    return 2;
}
