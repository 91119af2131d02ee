#include "app/sourcemenu.h"

#include "app/addskillsdialog.h"
#include "app/contentview.h"
#include "app/skillmanagement.h"
#include "app/skillupdatesdialog.h"
#include "common/plaintext.h"
#include "library/catalogue/homepath.h"
#include "library/sources/skillupdate.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SourceMenu", text);
}

// Runs `work` off the window's thread, then `done` on it, unless the window went.
template<typename Work, typename Done>
void inBackground(ContentView *window, Work work, Done done)
{
    QThread *worker = QThread::create(work);
    QObject::connect(worker, &QThread::finished, QCoreApplication::instance(), [worker] {
        worker->wait();
        delete worker;
    }, Qt::QueuedConnection);
    QObject::connect(worker, &QThread::finished, window, done);
    worker->start();
}

} // namespace

void addSourceActions(QMenu *file, ContentView *window)
{
    QAction *add = file->addAction(tr("Add Skills from &Repository…"), window, [window] {
        auto *dialog = new AddSkillsDialog(window);
        dialog->setProjects(window->skillManagement()->projects());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &AddSkillsDialog::skillsInstalled, window, &ContentView::reload);
        dialog->open();
    });
    add->setObjectName(QStringLiteral("addSkillsFromRepository"));
    QAction *check = file->addAction(tr("Check for Skill &Updates"), window, [window] { checkForSkillUpdates(window); });
    check->setObjectName(QStringLiteral("checkForSkillUpdates"));
}

void checkForSkillUpdates(ContentView *window)
{
    // The home folder's lock and the lock of each project the library has skills in.
    const QStringList projects = window->skillManagement()->projects();
    auto statuses = std::make_shared<QList<SkillSourceStatus>>();
    inBackground(window, [statuses, projects] { *statuses = checkForUpdates(scopesWithLocks(projects)); }, [window, statuses] {
        QList<SkillUpdatesDialog::Outdated> outdated;
        QStringList lines;
        for (const SkillSourceStatus &status : std::as_const(*statuses)) {
            if (status.state == SkillSourceStatus::State::Outdated)
                outdated.append({status.project, status.name});
            const QString name = status.project.isEmpty()
                ? status.name
                : tr("%1 in %2").arg(status.name.isEmpty() ? tr("The lock file") : status.name, abbreviateHome(status.project));
            if (status.state == SkillSourceStatus::State::Failed)
                lines << tr("%1: %2").arg(name, status.error);
            else if (status.state == SkillSourceStatus::State::Outdated)
                lines << tr("%1: its source moved on").arg(name);
            else if (status.state == SkillSourceStatus::State::Unknown)
                lines << tr("%1: installed by another tool; its source is at %2").arg(name, status.latestCommit.left(12));
        }
        QMessageBox box(QMessageBox::Information, tr("Skill Updates"),
                        statuses->isEmpty() ? tr("No lock file records where any skill came from.")
                        : outdated.isEmpty() ? tr("Every skill is up to date with its source.")
                        : outdated.size() == 1 ? tr("1 skill can be updated.")
                                               : tr("%1 skills can be updated.").arg(outdated.size()),
                        QMessageBox::Close, window);
        box.setInformativeText(lines.join(u'\n'));
        QPushButton *review = outdated.isEmpty() ? nullptr : box.addButton(tr("Review Updates…"), QMessageBox::AcceptRole);
        showAsPlainText(&box);
        box.exec();
        if (!review || box.clickedButton() != review)
            return;
        auto *dialog = new SkillUpdatesDialog(outdated, window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &SkillUpdatesDialog::skillsChanged, window, &ContentView::reload);
        dialog->open();
    });
}
