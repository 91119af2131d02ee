#include "app/saverecovery.h"

#include "common/plaintext.h"
#include "library/store/modelcontext.h"
#include "library/store/storedpaths.h"
#include "library/files/savebackups.h"
#include "library/records/skill.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

using namespace std::chrono_literals;

namespace {

// A save takes milliseconds; a temporary this old belongs to no running save.
constexpr std::chrono::seconds staleAfter = 10min;

QString folderOf(const QString &filePath)
{
    return QFileInfo(filePath).absolutePath();
}

} // namespace

SaveRecovery::SaveRecovery(ModelContext &context, QWidget *window)
    : QObject(window)
    , m_context(context)
    , m_window(window)
{
    connect(&m_looking, &QFutureWatcher<SaveLeftovers>::finished, this, &SaveRecovery::looked);
    connect(&m_context, &ModelContext::skillInserted, this, &SaveRecovery::noteFolders);
    connect(&m_context, &ModelContext::skillChanged, this, &SaveRecovery::noteFolders);
}

void SaveRecovery::noteFolders(const Skill *skill)
{
    if (!m_lookedEverywhere)
        return; // the first look takes in every record anyway
    // In-place saves write at the end of a file's links, so both folders count.
    m_pending.insert(folderOf(skill->filePath()));
    m_pending.insert(folderOf(skill->resolvedPath()));
}

void SaveRecovery::check()
{
    if (m_looking.isRunning()) {
        m_lookAgain = true;
        return;
    }
    // The first look covers every folder (its folders worked out on the worker):
    // a save may have been cut short by a Vesk that is no longer running. Later
    // ones cover what changed since: a save cut short changes its file (or, for
    // an ordinary save, leaves only a temporary that the next start sweeps away).
    QStringList files;
    QStringList folders;
    QString storePath; // where the worker reads every record's paths instead
    if (!std::exchange(m_lookedEverywhere, true)) {
        // At a hundred thousand records, gathering their paths here stalls the
        // window for tens of milliseconds: the store has them all once nothing
        // is waiting to be saved.
        if (!m_context.hasChanges() && !m_context.writesHeld())
            storePath = m_context.databasePath();
        if (storePath.isEmpty()) {
            const QList<Skill *> skills = m_context.skillsInAnyOrder();
            files.reserve(2 * skills.size());
            for (const Skill *skill : skills) {
                files.append(skill->filePath());
                files.append(skill->resolvedPath());
            }
        }
    } else {
        folders = QStringList(m_pending.cbegin(), m_pending.cend());
    }
    m_pending.clear();
    if (files.isEmpty() && folders.isEmpty() && storePath.isEmpty())
        return;
    m_looking.setFuture(QtConcurrent::run([files, folders, storePath]() mutable {
        if (!storePath.isEmpty())
            folders += readStoredSkillFolders(storePath).value_or(QStringList());
        for (const QString &file : std::as_const(files))
            folders.append(folderOf(file));
        return sweepSaveLeftovers(folders, staleAfter);
    }));
}

void SaveRecovery::looked()
{
    for (const SaveBackup &backup : m_looking.result().backups) {
        if (m_asked.contains(backup.copyPath))
            continue;
        m_asked.insert(backup.copyPath);
        QTimer::singleShot(0, this, [this, backup] { askAbout(backup.copyPath, backup.filePath); });
    }
    if (std::exchange(m_lookAgain, false))
        check();
}

void SaveRecovery::askAbout(const QString &copyPath, const QString &filePath)
{
    // Another window may have dealt with it meanwhile.
    if (!m_window || !QFileInfo::exists(copyPath))
        return;
    QMessageBox ask(QMessageBox::Warning, tr("Vesk"),
                    tr("A save of “%1” was interrupted.").arg(QFileInfo(filePath).fileName()), QMessageBox::NoButton,
                    m_window);
    ask.setObjectName(QStringLiteral("interruptedSave"));
    ask.setInformativeText(tr("The text it had before the save is kept in “%1”. Put that text back into “%2”, "
                              "or discard the copy and keep the file as it is now?")
                               .arg(QDir::toNativeSeparators(copyPath), QDir::toNativeSeparators(filePath)));
    QPushButton *restore = ask.addButton(tr("Restore"), QMessageBox::AcceptRole);
    restore->setObjectName(QStringLiteral("restoreCopy"));
    QPushButton *discard = ask.addButton(tr("Discard Copy"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("discardCopy"));
    ask.addButton(tr("Later"), QMessageBox::RejectRole);
    ask.setDefaultButton(restore);
    showAsPlainText(&ask);
    ask.exec();

    const SaveBackup backup{copyPath, filePath};
    QString error;
    if (ask.clickedButton() == restore) {
        if (restoreSaveBackup(backup, &error))
            Q_EMIT restored(filePath);
    } else if (ask.clickedButton() == discard) {
        discardSaveBackup(backup, &error);
    }
    if (!error.isEmpty() && m_window) {
        QMessageBox failed(QMessageBox::Warning, tr("Vesk"), tr("The copy could not be dealt with."), QMessageBox::Ok,
                           m_window);
        failed.setObjectName(QStringLiteral("interruptedSaveError"));
        failed.setInformativeText(error);
        showAsPlainText(&failed);
        failed.exec();
    }
}
