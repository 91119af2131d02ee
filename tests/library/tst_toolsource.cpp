#include "library/toolsource.h"
#include "testhome.h"

#include <QtTest/QtTest>

class TestToolSource final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rawValuesRoundTrip()
    {
        QCOMPARE(Tools::allCases().size(), 8);
        QStringList raws;
        for (ToolSource tool : Tools::allCases()) {
            raws.append(Tools::rawValue(tool));
            QCOMPARE(Tools::fromRawValue(Tools::rawValue(tool)), std::optional<ToolSource>(tool));
        }
        QCOMPARE(raws, (QStringList{"claude", "cursor", "windsurf", "codex", "copilot", "aider", "amp", "custom"}));
    }

    void unknownRawValuesYieldNothing_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::newRow("a capitalised raw value is not a harness") << "Claude";
        QTest::newRow("the empty string is not a harness") << "";
        QTest::newRow("a raw value with a trailing space is not a harness") << "cursor ";
        QTest::newRow("a display name is not a raw value") << "Claude Code";
    }
    void unknownRawValuesYieldNothing()
    {
        QFETCH(QString, raw);
        QVERIFY(!Tools::fromRawValue(raw).has_value());
    }

    void globalLocationsFollowTheHomeDirectory_data()
    {
        QTest::addColumn<ToolSource>("tool");
        QTest::addColumn<QStringList>("suffixes");
        QTest::newRow("claude has its skills folder then the shared agents folder")
            << ToolSource::Claude << QStringList{"/.claude/skills", "/.agents/skills"};
        QTest::newRow("codex has one folder") << ToolSource::Codex << QStringList{"/.codex"};
        QTest::newRow("copilot has none") << ToolSource::Copilot << QStringList{};
    }
    void globalLocationsFollowTheHomeDirectory()
    {
        QFETCH(ToolSource, tool);
        QFETCH(QStringList, suffixes);
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", "/home/someone");
        QStringList expected;
        for (const QString &suffix : suffixes)
            expected.append("/home/someone" + suffix);
        const QStringList actual = Tools::globalSkillPaths(tool);
        qputenv("HOME", savedHome);
        QCOMPARE(actual, expected);
    }

};

VESK_TEST_GUILESS_MAIN(TestToolSource)
#include "tst_toolsource.moc"
