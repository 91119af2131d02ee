// The words the card uses for where a skill came from.

#include "card/skillsourcesection.h"
#include "library/sources/skillorigin.h"

#include "testhome.h"

#include <QApplication>

class TestSkillSourceSection final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void summarySaysWhatTheEntryHas_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("installedAt");
        QTest::addColumn<QString>("ref");
        QTest::addColumn<QString>("summary");
        QTest::newRow("source, install time and ref")
            << "acme/skills" << "2026-02-28T12:00:00.000Z" << "main" << "From acme/skills, installed 3 weeks ago, ref main";
        QTest::newRow("no ref: the default branch, not said")
            << "acme/skills" << "2026-03-21T11:00:00.000Z" << "" << "From acme/skills, installed 1 hour ago";
        QTest::newRow("a project lock has no install time") << "acme/skills" << "" << "v2" << "From acme/skills, ref v2";
        QTest::newRow("an install time that is not one is left out")
            << "https://example.org/x.git" << "yesterday" << "" << "From https://example.org/x.git";
    }

    void summarySaysWhatTheEntryHas()
    {
        QFETCH(QString, source);
        QFETCH(QString, installedAt);
        QFETCH(QString, ref);
        QFETCH(QString, summary);
        SkillOrigin origin;
        origin.entry.source = source;
        origin.entry.installedAt = installedAt;
        origin.entry.ref = ref;
        const QDateTime now = QDateTime::fromString(QStringLiteral("2026-03-21T12:00:00.000Z"), Qt::ISODateWithMs);
        QCOMPARE(sourceSummary(origin, now), summary);
    }
};

VESK_TEST_MAIN(TestSkillSourceSection)
#include "tst_skillsourcesection.moc"
