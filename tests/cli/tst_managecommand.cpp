#include "cli/commandline.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QtTest/QtTest>

#include <sys/stat.h>

using TestFiles::readFile;
using TestFiles::writeSkill;

// The skill operations from a terminal, through the real `vesk`, each run with
// its own home folder and no display.
class TestManageCommand final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    VeskRun vesk(const QStringList &arguments) const { return runVesk(m_home->path(), arguments); }

    static bool isLink(const QString &path)
    {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        writeSkill(home(".claude/skills/demo/SKILL.md"), "demo");
        writeSkill(home(".claude/skills/other/SKILL.md"), "other");
        QDir().mkpath(home("code/app/.git"));
    }

    void wrongCommandLinesAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("use without --in") << QStringList{"use", "demo"} << "--in TOOL";
        QTest::newRow("use in a tool Vesk does not know") << QStringList{"use", "demo", "--in", "emacs"} << "--in is one of";
        QTest::newRow("use without a skill") << QStringList{"use", "--in", "gemini"} << "name or path";
        QTest::newRow("two skills at once") << QStringList{"off", "demo", "other"} << "one skill";
        QTest::newRow("rename without the new name") << QStringList{"rename", "demo"} << "new name";
        QTest::newRow("mv without --to") << QStringList{"mv", "demo"} << "--to home";
        QTest::newRow("--copy on anything but use") << QStringList{"unuse", "demo", "--in", "gemini", "--copy"} << "--copy";
        QTest::newRow("--dry-run without an operation") << QStringList{"--dry-run"} << "--dry-run";
        QTest::newRow("--json with an operation") << QStringList{"trash", "demo", "--json"} << "--json";
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
        QVERIFY2(!QFileInfo::exists(home(".local/share/Vesk/Vesk/vesk.sqlite")), "a usage error opens no store");
    }

    void eachOperationSaysWhatItDidOrWouldDo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");  // on standard output, or error when it failed
        QTest::addColumn<QString>("appears"); // a path there afterwards (without --dry-run)
        QTest::addColumn<QString>("goes");    // a path gone afterwards (without --dry-run)
        QTest::newRow("use links the skill into Gemini's folder")
            << QStringList{"use", "demo", "--in", "gemini"} << 0 << "Link “~/.gemini/skills/demo”"
            << ".gemini/skills/demo" << "";
        QTest::newRow("use --copy copies it into the shared folder")
            << QStringList{"use", "demo", "--in", "shared", "--copy"} << 0 << "Copy" << ".agents/skills/demo/SKILL.md" << "";
        QTest::newRow("use in a tool that reads it already fails")
            << QStringList{"use", "demo", "--in", "copilot"} << 1 << "reads “demo” already" << "" << "";
        QTest::newRow("unuse never removes the original")
            << QStringList{"unuse", "demo", "--in", "claude"} << 1 << "the original is never removed" << "" << "";
        QTest::newRow("off moves the skill out of every tool's reach")
            << QStringList{"off", "demo"} << 0 << "Turn off “~/.claude/skills/demo”" << "" << ".claude/skills/demo";
        QTest::newRow("on for a skill that is on fails")
            << QStringList{"on", "demo"} << 1 << "not off" << "" << "";
        QTest::newRow("mv takes the skill into a project")
            << QStringList{"mv", "demo", "--to", "~/code/app"} << 0 << "Move “~/.claude/skills/demo” to “~/code/app/.claude/skills/demo”" << "code/app/.claude/skills/demo/SKILL.md"
            << ".claude/skills/demo";
        QTest::newRow("rename renames the folder")
            << QStringList{"rename", "demo", "fresh"} << 0 << "Rename" << ".claude/skills/fresh/SKILL.md" << ".claude/skills/demo";
        QTest::newRow("rename onto another skill fails")
            << QStringList{"rename", "demo", "other"} << 1 << "is there already" << "" << "";
        QTest::newRow("trash moves it to the trash")
            << QStringList{"trash", "demo"} << 0 << "to the trash" << "" << ".claude/skills/demo";
        QTest::newRow("an unknown skill fails")
            << QStringList{"off", "nobody"} << 1 << "No skill matches" << "" << "";
    }
    void eachOperationSaysWhatItDidOrWouldDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(QString, appears);
        QFETCH(QString, goes);
        const QByteArray before = readFile(home(".claude/skills/demo/SKILL.md"));

        // The dry run gives the same answer and leaves everything as it was.
        const VeskRun dry = vesk(arguments + QStringList{"--dry-run"});
        QCOMPARE(dry.exitCode, exitCode);
        QVERIFY2(QString::fromUtf8(exitCode == 0 ? dry.out : dry.err).contains(said), dry.out + dry.err);
        if (exitCode == 0)
            QVERIFY(dry.out.startsWith("Would: "));
        QCOMPARE(readFile(home(".claude/skills/demo/SKILL.md")), before);
        if (!appears.isEmpty())
            QVERIFY(!QFileInfo::exists(home(appears)) && !isLink(home(appears)));

        const VeskRun run = vesk(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(QString::fromUtf8(exitCode == 0 ? run.out : run.err).contains(said), run.out + run.err);
        if (!appears.isEmpty())
            QVERIFY2(QFileInfo::exists(home(appears)) || isLink(home(appears)), qPrintable(appears));
        if (!goes.isEmpty())
            QVERIFY(!QFileInfo::exists(home(goes)));
        if (exitCode != 0)
            QCOMPARE(readFile(home(".claude/skills/demo/SKILL.md")), before);
    }

    void offThenOnPutsTheSkillBack()
    {
        QCOMPARE(vesk({"off", "demo"}).exitCode, 0);
        QVERIFY(!QFileInfo::exists(home(".claude/skills/demo")));
        const VeskRun on = vesk({"on", "demo"});
        QCOMPARE(on.exitCode, 0);
        QCOMPARE(readFile(home(".claude/skills/demo/SKILL.md")), TestFiles::skillText("demo"));
    }
};

VESK_TEST_GUILESS_MAIN(TestManageCommand)
#include "tst_managecommand.moc"
