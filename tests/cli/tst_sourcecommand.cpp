// Skills from repositories, from a terminal: the real `vesk` against a bare git
// repository in a temporary folder, each run with its own home and no display.

#include "cli/commandline.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest/QtTest>

using TestFiles::readFile;
using TestFiles::writeFile;

class TestSourceCommand final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    QTemporaryDir m_repository;

    QString home(const QString &relative) const { return m_home->path() + u'/' + relative; }
    VeskRun vesk(const QStringList &arguments) const { return runVesk(m_home->path(), arguments); }
    QString url() const { return QStringLiteral("file://") + m_repository.filePath(QStringLiteral("remote.git")); }

    void git(const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_repository.filePath(QStringLiteral("work")));
        process.start(QStringLiteral("git"), QStringList{QStringLiteral("-c"), QStringLiteral("user.name=Test"), QStringLiteral("-c"),
                                                         QStringLiteral("user.email=test@example.org")} + arguments);
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    }
    void publish(const QByteArray &text)
    {
        writeFile(m_repository.filePath(QStringLiteral("work/skills/demo/SKILL.md")), text);
        git({QStringLiteral("add"), QStringLiteral("-A")});
        git({QStringLiteral("commit"), QStringLiteral("-qm"), QStringLiteral("change")});
        git({QStringLiteral("push"), QStringLiteral("-q"), url(), QStringLiteral("HEAD:refs/heads/main")});
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("git")).isEmpty())
            QSKIP("git is not installed here");
        QDir().mkpath(m_repository.filePath(QStringLiteral("work")));
        QProcess::execute(QStringLiteral("git"), {QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("--bare"),
                                                  QStringLiteral("--initial-branch=main"), m_repository.filePath(QStringLiteral("remote.git"))});
        git({QStringLiteral("init"), QStringLiteral("-q")});
    }

    void init() { m_home = std::make_unique<QTemporaryDir>(); }

    void wrongCommandLinesAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("add without a source") << QStringList{"add"} << "one source";
        QTest::newRow("add with two sources") << QStringList{"add", "a/b", "c/d"} << "one source";
        QTest::newRow("outdated with names") << QStringList{"outdated", "demo"} << "takes no names";
        QTest::newRow("taking theirs and merging at once") << QStringList{"update", "--theirs", "--merge"} << "not both";
        QTest::newRow("--theirs on anything but update") << QStringList{"add", "a/b", "--theirs"} << "go with update";
        QTest::newRow("--skill on update") << QStringList{"update", "--skill", "demo"} << "go with add";
        QTest::newRow("--json on update") << QStringList{"update", "--json"} << "--json goes with";
        QTest::newRow("--in a tool Vesk does not know") << QStringList{"add", "a/b", "--in", "emacs"} << "--in is one of";
        QTest::newRow("--dry-run, which these commands do not offer") << QStringList{"add", "a/b", "--dry-run"} << "--dry-run";
        QTest::newRow("--project with the list command") << QStringList{"list", "--project", "."} << "--project goes with";
    }

    void wrongCommandLinesAreUsageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        const CommandLine parsed = parseCommandLine(QStringList{"vesk"} + arguments);
        QCOMPARE(parsed.mode, CommandLine::Mode::Invalid);
        QVERIFY2(parsed.errorText.contains(complaint), qPrintable(parsed.errorText));
        const VeskRun run = vesk(arguments);
        QCOMPARE(run.exitCode, 2);
    }

    void addOutdatedUpdateAndRestoreFromATerminal()
    {
        const QByteArray first = "---\nname: demo\ndescription: a demo\n---\none\ntwo\nthree\n";
        publish(first);
        VeskRun run = vesk({QStringLiteral("add"), url(), QStringLiteral("--in"), QStringLiteral("claude")});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(readFile(home(QStringLiteral(".claude/skills/demo/SKILL.md"))), first);
        QVERIFY(QFileInfo(home(QStringLiteral(".claude/skills/demo"))).isSymLink());
        QVERIFY(readFile(home(QStringLiteral(".agents/.skill-lock.json"))).contains("\"skillPath\": \"skills/demo/SKILL.md\""));

        const auto outdatedState = [this] {
            const VeskRun outdated = vesk({QStringLiteral("outdated"), QStringLiteral("--json")});
            const QJsonArray array = QJsonDocument::fromJson(outdated.out).array();
            return array.size() == 1 ? array.at(0).toObject().value(QLatin1String("state")).toString() : QString();
        };
        QCOMPARE(outdatedState(), QStringLiteral("up-to-date"));
        const QByteArray second = QByteArray(first).replace("three", "THREE upstream");
        publish(second);
        QCOMPARE(outdatedState(), QStringLiteral("outdated"));

        const QByteArray mine = QByteArray(first).replace("one", "ONE mine");
        writeFile(home(QStringLiteral(".agents/skills/demo/SKILL.md")), mine);
        run = vesk({QStringLiteral("update")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("edited: SKILL.md") && run.err.contains("--merge"), run.err.constData());
        QCOMPARE(readFile(home(QStringLiteral(".agents/skills/demo/SKILL.md"))), mine);

        run = vesk({QStringLiteral("update"), QStringLiteral("demo"), QStringLiteral("--merge")});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(readFile(home(QStringLiteral(".agents/skills/demo/SKILL.md"))),
                 QByteArray(second).replace("one", "ONE mine"));
        QCOMPARE(outdatedState(), QStringLiteral("up-to-date"));

        QVERIFY(QDir(home(QStringLiteral(".agents/skills/demo"))).removeRecursively());
        run = vesk({QStringLiteral("restore")});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(readFile(home(QStringLiteral(".agents/skills/demo/SKILL.md"))), second);
    }

    void listSaysWhereALockFileSaysASkillCameFrom_data()
    {
        QTest::addColumn<QString>("skillFolder"); // relative to home
        QTest::addColumn<QString>("lockFile");    // relative to home; empty: none
        QTest::addColumn<QString>("source");      // empty: no source object

        QTest::newRow("a skill the installer recorded in the global lock")
            << QStringLiteral(".agents/skills/pdf") << QStringLiteral(".agents/.skill-lock.json") << QStringLiteral("acme/skills");
        QTest::newRow("a project's skill named in its skills-lock.json")
            << QStringLiteral("code/app/.claude/skills/pdf") << QStringLiteral("code/app/skills-lock.json")
            << QStringLiteral("acme/skills");
        QTest::newRow("a skill no lock file names has no source")
            << QStringLiteral(".claude/skills/pdf") << QString() << QString();
        QTest::newRow("the global lock does not claim a project's skill of the same name")
            << QStringLiteral("code/app/.claude/skills/pdf") << QStringLiteral(".agents/.skill-lock.json") << QString();
    }

    void listSaysWhereALockFileSaysASkillCameFrom()
    {
        QFETCH(QString, skillFolder);
        QFETCH(QString, lockFile);
        QFETCH(QString, source);
        QDir().mkpath(home(QStringLiteral("code/app/.git")));
        writeFile(home(QStringLiteral(".config/Vesk/Vesk.conf")),
                  QByteArray("[General]\ncustomScanPaths=") + QFile::encodeName(home(QStringLiteral("code"))) + "\n");
        writeFile(home(skillFolder + QStringLiteral("/SKILL.md")), "---\nname: pdf\ndescription: PDFs\n---\nBody\n");
        // As the installer writes them.
        if (lockFile.endsWith(QLatin1String(".skill-lock.json")))
            writeFile(home(lockFile), R"({"version":3,"skills":{"pdf":{"source":"acme/skills","sourceType":"github",)"
                                      R"("sourceUrl":"https://github.com/acme/skills.git","skillPath":"skills/pdf/SKILL.md",)"
                                      R"("skillFolderHash":"abc","installedAt":"2026-01-01T00:00:00.000Z",)"
                                      R"("updatedAt":"2026-01-01T00:00:00.000Z"}}})");
        else if (!lockFile.isEmpty())
            writeFile(home(lockFile), R"({"version":1,"skills":{"pdf":{"source":"acme/skills","sourceType":"github",)"
                                      R"("computedHash":"def"}}})");
        const VeskRun run = vesk({QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray skills = QJsonDocument::fromJson(run.out).array();
        QCOMPARE(skills.size(), 1);
        const QJsonObject skill = skills.at(0).toObject();
        QCOMPARE(skill.contains(QLatin1String("source")), !source.isEmpty());
        if (source.isEmpty())
            return;
        const QJsonObject origin = skill.value(QLatin1String("source")).toObject();
        QCOMPARE(origin.value(QLatin1String("source")).toString(), source);
        QCOMPARE(origin.value(QLatin1String("sourceType")).toString(), QStringLiteral("github"));
        QCOMPARE(origin.value(QLatin1String("lockFile")).toString(), home(lockFile));
    }

    void aMissingGitIsSaidPlainly()
    {
        QProcess process;
        QProcessEnvironment environment = veskEnvironment(m_home->path());
        environment.insert(QStringLiteral("PATH"), m_home->path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESK_EXECUTABLE), {QStringLiteral("add"), QStringLiteral("acme/skills")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(process.readAllStandardError().contains("no “git” was found on PATH"), "the reason is said");
        QVERIFY(!QFileInfo::exists(home(QStringLiteral(".agents"))));
    }
};

VESK_TEST_GUILESS_MAIN(TestSourceCommand)
#include "tst_sourcecommand.moc"
