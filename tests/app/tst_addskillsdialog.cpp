// File ▸ Add Skills from Repository…, driven as a user would: a source typed in,
// the skills found listed with their findings, the ticked ones installed. The
// source is a bare git repository in a temporary folder.

#include "app/addskillsdialog.h"
#include "library/sources/lockfile.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>

using TestFiles::readFile;
using TestFiles::writeFile;

class TestAddSkillsDialog final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_repository;

    QString url() const { return QStringLiteral("file://") + m_repository.filePath(QStringLiteral("remote.git")); }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("git")).isEmpty())
            QSKIP("git is not installed here");
        const QString work = m_repository.filePath(QStringLiteral("work"));
        writeFile(work + QStringLiteral("/skills/good/SKILL.md"), TestFiles::skillText("good"));
        // A name that is not its folder's: a finding the preview shows before anything is installed.
        writeFile(work + QStringLiteral("/skills/odd/SKILL.md"), "---\nname: Odd_Name\ndescription: odd\n---\nBody\n");
        const auto git = [&work](const QStringList &arguments) {
            QProcess process;
            process.setWorkingDirectory(work);
            process.start(QStringLiteral("git"), QStringList{QStringLiteral("-c"), QStringLiteral("user.name=T"),
                                                             QStringLiteral("-c"), QStringLiteral("user.email=t@e")} + arguments);
            return process.waitForFinished(60000) && process.exitCode() == 0;
        };
        QVERIFY(git({QStringLiteral("init"), QStringLiteral("-q")}));
        QVERIFY(git({QStringLiteral("add"), QStringLiteral("-A")}));
        QVERIFY(git({QStringLiteral("commit"), QStringLiteral("-qm"), QStringLiteral("skills")}));
        QVERIFY(git({QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("--bare"), m_repository.filePath(QStringLiteral("remote.git"))}));
        QVERIFY(git({QStringLiteral("push"), QStringLiteral("-q"), url(), QStringLiteral("HEAD:refs/heads/master")}));
        QVERIFY(git({QStringLiteral("--git-dir"), m_repository.filePath(QStringLiteral("remote.git")), QStringLiteral("symbolic-ref"),
                     QStringLiteral("HEAD"), QStringLiteral("refs/heads/master")}));
    }

    void findsListsPreviewsAndInstalls()
    {
        AddSkillsDialog dialog;
        QSignalSpy finished(&dialog, &AddSkillsDialog::searchFinished);
        dialog.sourceField()->setText(url());
        dialog.findSkills();
        QVERIFY(finished.wait(60000));
        QListWidget *list = dialog.skillList();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("good"));
        // The odd one's preview shows its findings before anything is installed.
        list->setCurrentRow(1);
        const QString preview = dialog.findChild<QPlainTextEdit *>(QStringLiteral("preview"))->toPlainText();
        QVERIFY2(preview.contains(QLatin1String("error")) || preview.contains(QLatin1String("warning")), qPrintable(preview));
        QVERIFY(preview.contains(QLatin1String("Odd_Name")));

        // All ticked at first, as the command installs every skill; the odd one is unticked.
        QCOMPARE(list->item(0)->checkState(), Qt::Checked);
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        list->item(1)->setCheckState(Qt::Unchecked);
        dialog.placeChooser()->setCurrentIndex(dialog.placeChooser()->findData(QStringLiteral("claude")));
        QSignalSpy installed(&dialog, &AddSkillsDialog::skillsInstalled);
        QVERIFY2(dialog.installChosen(), qPrintable(dialog.statusLabel()->text()));
        QCOMPARE(installed.count(), 1);
        const QString home = QDir::homePath();
        QCOMPARE(readFile(home + QStringLiteral("/.claude/skills/good/SKILL.md")), TestFiles::skillText("good"));
        QVERIFY(QFileInfo(home + QStringLiteral("/.claude/skills/good")).isSymLink());
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.agents/skills/odd")));
        const std::optional<LockFile> lock = readLockFile(globalLockPath(), LockKind::Global);
        QVERIFY(lock && findEntry(*lock, QStringLiteral("good")) && !findEntry(*lock, QStringLiteral("odd")));
    }

    void aSourceThatIsNotThereIsSaidInTheDialog()
    {
        AddSkillsDialog dialog;
        QSignalSpy finished(&dialog, &AddSkillsDialog::searchFinished);
        dialog.sourceField()->setText(QStringLiteral("file:///nonexistent/repository.git"));
        dialog.findSkills();
        QVERIFY(finished.wait(60000));
        QCOMPARE(dialog.skillList()->count(), 0);
        QVERIFY2(dialog.statusLabel()->text().contains(QLatin1String("could not be cloned")),
                 qPrintable(dialog.statusLabel()->text()));
        QVERIFY(!dialog.installChosen());
    }
};

VESK_TEST_MAIN(TestAddSkillsDialog)
#include "tst_addskillsdialog.moc"
