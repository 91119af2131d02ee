#include "cli/managecommand.h"

#include "cli/skilllookup.h"
#include "cli/storeopener.h"
#include "cli/terminaltext.h"
#include "library/files/operationjournal.h"
#include "library/files/skilloperations.h"
#include "library/records/artifactcache.h"
#include "library/records/skill.h"
#include "library/scan/scanpipeline.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

namespace {

struct VerbName {
    const char *word;
    ManageCommand::Verb verb;
};

constexpr VerbName verbs[] = {
    {"use", ManageCommand::Verb::Use},       {"unuse", ManageCommand::Verb::Unuse},
    {"off", ManageCommand::Verb::Off},       {"on", ManageCommand::Verb::On},
    {"mv", ManageCommand::Verb::Move},       {"rename", ManageCommand::Verb::Rename},
    {"trash", ManageCommand::Verb::Trash},
};

QString tr(const char *text)
{
    return QCoreApplication::translate("ManageCommand", text);
}

void scan(ModelContext &context)
{
    ArtifactCache artifacts;
    ScanPipeline pipeline(context, artifacts);
    pipeline.setSliceBudget(std::chrono::milliseconds(0));
    QEventLoop loop;
    QObject::connect(&pipeline, &ScanPipeline::finished, &loop, &QEventLoop::quit);
    pipeline.request(ScanRequest::full(true));
    if (pipeline.isRunning())
        loop.exec();
}

} // namespace

bool isManageVerb(const QString &word)
{
    return std::any_of(std::begin(verbs), std::end(verbs),
                       [&word](const VerbName &verb) { return word == QLatin1String(verb.word); });
}

QString parseManageCommand(const QStringList &positional, const QString &in, const QString &to, bool copy,
                           bool dryRun, ManageCommand *command)
{
    const QString word = positional.value(0);
    for (const VerbName &verb : verbs) {
        if (word == QLatin1String(verb.word))
            command->verb = verb.verb;
    }
    const ManageCommand::Verb verb = command->verb;
    const qsizetype wanted = verb == ManageCommand::Verb::Rename ? 3 : 2;
    if (positional.size() < 2)
        return tr("%1 wants the name or path of a skill.").arg(word);
    if (positional.size() != wanted)
        return verb == ManageCommand::Verb::Rename ? tr("rename wants a skill and its new name.")
                                                   : tr("%1 takes one skill.").arg(word);
    command->skill = positional.at(1);
    command->newName = positional.value(2);
    command->dryRun = dryRun;
    const bool placing = verb == ManageCommand::Verb::Use || verb == ManageCommand::Verb::Unuse;
    if (placing) {
        if (in.isEmpty())
            return tr("%1 wants --in TOOL, or --in shared for the folder all tools read.").arg(word);
        if (!placementFromKey(in)) {
            QStringList keys;
            for (const PlacementTool &tool : placementTools())
                keys.append(placementKey(tool));
            return tr("--in is one of: %1.").arg(keys.join(QStringLiteral(", ")));
        }
        command->tool = in;
    } else if (!in.isEmpty()) {
        return tr("--in goes with use and unuse.");
    }
    if (copy && verb != ManageCommand::Verb::Use)
        return tr("--copy goes with use.");
    command->copy = copy;
    if (verb == ManageCommand::Verb::Move) {
        if (to.isEmpty())
            return tr("mv wants --to home or --to PROJECT-FOLDER.");
        command->scope = to;
    } else if (!to.isEmpty()) {
        return tr("--to goes with mv.");
    }
    return QString();
}

int runManageCommand(const ManageCommand &command, const QString &workingDirectory, QTextStream &out,
                     QTextStream &err)
{
    QString fatal;
    const std::unique_ptr<ModelContainer> container = openApplicationStore(&fatal);
    if (!container) {
        err << "vesk: " << fatal << Qt::endl;
        return 1;
    }
    ModelContext &context = *container->mainContext();
    finishInterruptedOperations(context);
    scan(context);

    Skill *skill = findSkill(context.skills(), command.skill, workingDirectory);
    if (!skill) {
        err << "vesk: " << tr("No skill matches “%1”.").arg(terminalSafe(command.skill)) << Qt::endl;
        return 1;
    }
    SkillOperationOptions options;
    options.dryRun = command.dryRun;
    SkillOperationResult result;
    switch (command.verb) {
    case ManageCommand::Verb::Use:
        result = useSkillIn(context, *skill, *placementFromKey(command.tool),
                            command.copy ? PlacementKind::Copy : PlacementKind::Link, options);
        break;
    case ManageCommand::Verb::Unuse:
        result = stopUsingSkillIn(context, *skill, *placementFromKey(command.tool), options);
        break;
    case ManageCommand::Verb::Off:
        result = turnSkillOff(context, *skill, options);
        break;
    case ManageCommand::Verb::On:
        result = turnSkillOn(context, *skill, options);
        break;
    case ManageCommand::Verb::Move: {
        QString project;
        if (command.scope != QLatin1String("home")) {
            QString folder = command.scope;
            if (folder.startsWith(QLatin1String("~/")))
                folder = QDir::homePath() + folder.mid(1);
            project = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(folder));
            if (!QFileInfo(project).isDir()) {
                err << "vesk: " << tr("“%1” is not a folder.").arg(terminalSafe(command.scope)) << Qt::endl;
                return 1;
            }
        }
        result = moveSkillTo(context, *skill, project, options);
        break;
    }
    case ManageCommand::Verb::Rename:
        result = renameSkill(context, *skill, command.newName, options);
        break;
    case ManageCommand::Verb::Trash:
        result = trashSkill(context, *skill, options);
        break;
    }
    for (const QString &change : std::as_const(result.changes))
        out << (command.dryRun ? tr("Would: ") : QString()) << terminalSafe(change) << '\n';
    out.flush();
    if (!result.ok) {
        err << "vesk: " << terminalSafe(result.error) << Qt::endl;
        return 1;
    }
    QString saveError;
    if (!context.save(&saveError)) {
        err << "vesk: " << tr("the library could not be saved: ") << saveError << Qt::endl;
        return 1;
    }
    return 0;
}
