// File ▸ Add Skills from Repository…, driven as a user would: a source typed in,
// the skills found listed with their findings, the ticked ones installed. The
// source is a bare git repository in a temporary folder.

#include "app/addskillsdialog.h"
#include "app/skillupdatesdialog.h"
#include "library/sources/skilladd.h"
#include "library/sources/lockfile.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

using TestFiles::readFile;
using TestFiles::writeFile;

class TestAddSkillsDialog final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_repository;

    QString url() const { return QStringLiteral("file://") + m_repository.filePath(QStringLiteral("remote.git")); }

    bool git(const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_repository.filePath(QStringLiteral("work")));
        process.start(QStringLiteral("git"), QStringList{QStringLiteral("-c"), QStringLiteral("user.name=T"),
                                                         QStringLiteral("-c"), QStringLiteral("user.email=t@e")} + arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("git")).isEmpty())
            QSKIP("git is not installed here");
        const QString work = m_repository.filePath(QStringLiteral("work"));
        writeFile(work + QStringLiteral("/skills/good/SKILL.md"), TestFiles::skillText("good"));
        // A name that is not its folder's: a finding the preview shows before anything is installed.
        writeFile(work + QStringLiteral("/skills/odd/SKILL.md"), "---\nname: Odd_Name\ndescription: odd\n---\nBody\n");
        const auto git = [this](const QStringList &arguments) { return this->git(arguments); };
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

    void anEditedSkillIsShownInThreePanesBeforeItIsMerged_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("inProject");
        QTest::newRow("an edited skill offers Keep Mine, Take Theirs and Merge, and merges") << true << false;
        QTest::newRow("an unedited skill offers Update, and is replaced") << false << false;
        QTest::newRow("a project's edited skill is read and merged through the project's lock") << true << true;
    }

    void anEditedSkillIsShownInThreePanesBeforeItIsMerged()
    {
        QFETCH(bool, edited);
        QFETCH(bool, inProject);
        const QString name = inProject ? QStringLiteral("projectlines") : edited ? QStringLiteral("lines") : QStringLiteral("plain");
        const QString project = inProject ? QDir::homePath() + QStringLiteral("/code/app") : QString();
        if (inProject)
            QVERIFY(QDir().mkpath(project + QStringLiteral("/.git")));
        const QByteArray first = "---\nname: " + name.toUtf8() + "\ndescription: d\n---\none\ntwo\nthree\nfour\n";
        const QString upstreamFile = m_repository.filePath(QStringLiteral("work/skills/") + name + QStringLiteral("/SKILL.md"));
        writeFile(upstreamFile, first);
        QVERIFY(git({QStringLiteral("add"), QStringLiteral("-A")}));
        QVERIFY(git({QStringLiteral("commit"), QStringLiteral("-qm"), QStringLiteral("add")}));
        QVERIFY(git({QStringLiteral("push"), QStringLiteral("-q"), url(), QStringLiteral("HEAD:refs/heads/master")}));
        AddRequest request;
        request.source = url();
        request.workingDirectory = QDir::homePath();
        request.skills = {name};
        request.project = project;
        QVERIFY(addSkills(request).ok);
        const QString installed = (inProject ? project : QDir::homePath()) + QStringLiteral("/.agents/skills/") + name
            + QStringLiteral("/SKILL.md");
        const QByteArray mine = QByteArray(first).replace("one", "ONE mine");
        if (edited)
            writeFile(installed, mine);
        const QByteArray theirs = QByteArray(first).replace("four", "FOUR upstream");
        writeFile(upstreamFile, theirs);
        QVERIFY(git({QStringLiteral("commit"), QStringLiteral("-qam"), QStringLiteral("change")}));
        QVERIFY(git({QStringLiteral("push"), QStringLiteral("-q"), url(), QStringLiteral("HEAD:refs/heads/master")}));

        SkillUpdatesDialog dialog(QList<SkillUpdatesDialog::Outdated>{{project, name}});
        // A project's skill says which project it is in.
        QCOMPARE(dialog.skillList()->item(0)->text(), inProject ? name + QStringLiteral(" (app)") : name);
        QSignalSpy shown(&dialog, &SkillUpdatesDialog::previewShown);
        QVERIFY(shown.wait(60000));
        QCOMPARE(dialog.pane(0)->toPlainText(), QString::fromUtf8(first));
        QCOMPARE(dialog.pane(1)->toPlainText(), QString::fromUtf8(edited ? mine : first));
        QCOMPARE(dialog.pane(2)->toPlainText(), QString::fromUtf8(theirs));
        QSignalSpy applied(&dialog, &SkillUpdatesDialog::applied);
        dialog.apply(edited ? EditPolicy::Merge : EditPolicy::Refuse);
        QVERIFY(applied.wait(60000));
        QCOMPARE(readFile(installed), edited ? QByteArray(theirs).replace("one", "ONE mine") : theirs);
        QCOMPARE(dialog.skillList()->count(), 0);
    }

    // Every file the user edited can be picked beside the panes, which then show
    // that file as installed, as it is now and upstream.
    void everyEditedFileCanBeShownInThePanes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<bool>("localLink"); // the installed notes.md becomes a link to a file outside
        QTest::addColumn<QStringList>("files");
        QTest::newRow("each edited file is listed, and picking one shows it in all three panes")
            << "twofiles" << QStringList{"SKILL.md", "notes.md"} << false << QStringList{"SKILL.md", "notes.md"};
        QTest::newRow("an unedited skill shows its SKILL.md")
            << "untouched" << QStringList() << false << QStringList{"SKILL.md"};
        QTest::newRow("a file of yours turned into a link is not followed into the pane")
            << "linked" << QStringList() << true << QStringList{"notes.md"};
    }

    void everyEditedFileCanBeShownInThePanes()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, edits);
        QFETCH(bool, localLink);
        QFETCH(QStringList, files);
        const QString upstream = m_repository.filePath(QStringLiteral("work/skills/") + name);
        const QByteArray skill = "---\nname: " + name.toUtf8() + "\ndescription: d\n---\none\n";
        writeFile(upstream + QStringLiteral("/SKILL.md"), skill);
        writeFile(upstream + QStringLiteral("/notes.md"), "notes\n");
        const auto push = [this](const char *message) {
            return git({QStringLiteral("add"), QStringLiteral("-A")})
                && git({QStringLiteral("commit"), QStringLiteral("-qm"), QString::fromLatin1(message)})
                && git({QStringLiteral("push"), QStringLiteral("-q"), url(), QStringLiteral("HEAD:refs/heads/master")});
        };
        QVERIFY(push("add"));
        AddRequest request;
        request.source = url();
        request.workingDirectory = QDir::homePath();
        request.skills = {name};
        QVERIFY(addSkills(request).ok);
        const QString installed = QDir::homePath() + QStringLiteral("/.agents/skills/") + name;
        for (const QString &file : edits)
            writeFile(installed + u'/' + file, "mine: " + file.toUtf8() + "\n");
        writeFile(upstream + QStringLiteral("/SKILL.md"), skill + "two upstream\n");
        const QString secret = m_repository.filePath(QStringLiteral("secret.txt"));
        writeFile(secret, "a secret\n");
        if (localLink) {
            QVERIFY(QFile::remove(installed + QStringLiteral("/notes.md")));
            QVERIFY(QFile::link(secret, installed + QStringLiteral("/notes.md")));
        }
        QVERIFY(push("change"));

        SkillUpdatesDialog dialog({name});
        QSignalSpy shown(&dialog, &SkillUpdatesDialog::previewShown);
        QVERIFY(shown.wait(60000));
        QStringList listed;
        for (int row = 0; row < dialog.fileList()->count(); ++row)
            listed.append(dialog.fileList()->item(row)->text());
        QCOMPARE(listed, files);
        for (int row = 0; row < files.size(); ++row) {
            dialog.fileList()->setFocus();
            dialog.fileList()->setCurrentRow(row);
            const QString file = files.at(row);
            const bool edited = edits.contains(file);
            QCOMPARE(dialog.pane(0)->toPlainText(), file == QLatin1String("SKILL.md") ? QString::fromUtf8(skill) : QStringLiteral("notes\n"));
            const QString mine = dialog.pane(1)->toPlainText();
            if (localLink)
                QVERIFY2(!mine.contains(QLatin1String("secret")), qPrintable(mine));
            else
                QCOMPARE(mine, edited ? QStringLiteral("mine: ") + file + u'\n' : QString::fromUtf8(readFile(installed + u'/' + file)));
            QCOMPARE(dialog.pane(2)->toPlainText(),
                     file == QLatin1String("SKILL.md") ? QString::fromUtf8(skill + "two upstream\n") : QStringLiteral("notes\n"));
        }
        // Picked from the keyboard as well: Down moves to the next file.
        if (files.size() > 1) {
            dialog.fileList()->setCurrentRow(0);
            QTest::keyClick(dialog.fileList(), Qt::Key_Down);
            QCOMPARE(dialog.pane(1)->toPlainText(), QStringLiteral("mine: ") + files.at(1) + u'\n');
        }
    }

    // The skills go where the user chose: the home folder or a project folder
    // (one the library knows, or another one picked), into the shared folder
    // alone or linked into one tool's folder there too.
    void theChosenPlaceIsWhereSkillsGo_data()
    {
        QTest::addColumn<QString>("project");     // below the home folder
        QTest::addColumn<bool>("known");          // offered in the list rather than picked
        QTest::addColumn<QString>("place");
        QTest::addColumn<QStringList>("expected"); // entries below the project afterwards
        QTest::newRow("a project the library knows, into its shared folder only")
            << "code/one" << true << "shared" << QStringList{".agents/skills/good/SKILL.md", "skills-lock.json"};
        QTest::newRow("another project folder picked, linked into Claude's folder there")
            << "code/two" << false << "claude"
            << QStringList{".agents/skills/good/SKILL.md", ".claude/skills/good -> link", "skills-lock.json"};
        QTest::newRow("a project folder that went away is refused and nothing is made")
            << "code/gone" << false << "shared" << QStringList();
    }

    void theChosenPlaceIsWhereSkillsGo()
    {
        QFETCH(QString, project);
        QFETCH(bool, known);
        QFETCH(QString, place);
        QFETCH(QStringList, expected);
        const QString folder = QDir::homePath() + u'/' + project;
        if (!expected.isEmpty())
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/.git")));
        AddSkillsDialog dialog;
        if (known) {
            dialog.setProjects({folder});
            QComboBox *scope = dialog.scopeChooser();
            const int index = scope->findData(folder);
            QCOMPARE(index, 1); // after the home folder
            QCOMPARE(scope->itemText(index), QStringLiteral("~/") + project);
            // Chosen from the keyboard, as a user would.
            QTest::keyClick(scope, Qt::Key_Down);
        } else {
            dialog.setProjectFolder(folder);
        }
        QCOMPARE(dialog.scopeChooser()->currentData().toString(), folder);
        QSignalSpy finished(&dialog, &AddSkillsDialog::searchFinished);
        dialog.sourceField()->setText(url());
        dialog.findSkills();
        QVERIFY(finished.wait(60000));
        QListWidget *list = dialog.skillList();
        for (int row = 0; row < list->count(); ++row)
            list->item(row)->setCheckState(list->item(row)->text() == QLatin1String("good") ? Qt::Checked : Qt::Unchecked);
        const int placeIndex = dialog.placeChooser()->findData(place);
        QVERIFY(placeIndex >= 0);
        dialog.placeChooser()->setCurrentIndex(placeIndex);
        const QByteArray homeLock = readFile(globalLockPath());
        QCOMPARE(dialog.installChosen(), !expected.isEmpty());

        QStringList found;
        QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString path = entries.next();
            const QFileInfo info = entries.fileInfo();
            const QString relative = QDir(folder).relativeFilePath(path);
            if (info.isSymLink())
                found.append(relative + QStringLiteral(" -> link"));
            else if (info.isFile())
                found.append(relative);
        }
        found.sort();
        QCOMPARE(found, expected);
        if (!expected.isEmpty()) {
            const std::optional<LockFile> lock = readLockFile(projectLockPath(folder), LockKind::Project);
            QVERIFY(lock && findEntry(*lock, QStringLiteral("good")));
        } else {
            QVERIFY2(dialog.statusLabel()->text().contains(QLatin1String("not a folder")),
                     qPrintable(dialog.statusLabel()->text()));
        }
        // The home folder's lock is not the one a project install writes.
        QCOMPARE(readFile(globalLockPath()), homeLock);
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
