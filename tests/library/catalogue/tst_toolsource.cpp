#include "library/catalogue/toolsource.h"
#include "testhome.h"

#include <QtTest/QtTest>

class TestToolSource final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rawValuesRoundTrip()
    {
        QCOMPARE(Tools::allCases().size(), 10);
        QStringList raws;
        for (ToolSource tool : Tools::allCases()) {
            raws.append(Tools::rawValue(tool));
            QCOMPARE(Tools::fromRawValue(Tools::rawValue(tool)), std::optional<ToolSource>(tool));
        }
        // The eight raw values older libraries store keep their meaning; the new
        // harnesses come after Amp, and Custom stays last.
        QCOMPARE(raws, (QStringList{"claude", "cursor", "windsurf", "codex", "copilot", "aider", "amp",
                                    "gemini", "opencode", "custom"}));
        QCOMPARE(Tools::displayName(ToolSource::Gemini), QStringLiteral("Gemini CLI"));
        QCOMPARE(Tools::displayName(ToolSource::OpenCode), QStringLiteral("OpenCode"));
        // Nothing else is a raw value: not another case, not a blank, not a display name.
        for (const char *raw : {"Claude", "", "cursor ", "Claude Code"})
            QVERIFY2(!Tools::fromRawValue(QString::fromLatin1(raw)).has_value(), raw);
    }

    void toolSetsListTheirMembersInCatalogueOrder()
    {
        ToolSet set{ToolSource::OpenCode, ToolSource::Claude};
        set |= ToolSet{ToolSource::Gemini, ToolSource::Claude};
        QCOMPARE(set.toList(), (QList<ToolSource>{ToolSource::Claude, ToolSource::Gemini, ToolSource::OpenCode}));
        QVERIFY(set.contains(ToolSource::Gemini));
        QVERIFY(!set.contains(ToolSource::Custom));
        QVERIFY(ToolSet().isEmpty());
        QCOMPARE(ToolSet().toList(), QList<ToolSource>());
    }
};

VESK_TEST_GUILESS_MAIN(TestToolSource)
#include "tst_toolsource.moc"
