#include "library/catalogue/turnedoff.h"
#include "library/files/operationjournal.h"
#include "library/files/skilllinks.h"
#include "library/files/skilloperations.h"
#include "library/records/skillcollection.h"
#include "library/scan/skillscanner.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "smallfilesystem.h"
#include "testhome.h"

#include <QtTest/QtTest>

using TestFiles::readFile;
using TestFiles::writeFile;
using TestFiles::writeSkill;

namespace {

// Where a test's skill starts: "home" for ~/.claude/skills, or a project.
QString scopeFolder(const LibraryFixture &library, const QString &scope)
{
    return scope == QLatin1String("home") ? library.home() : library.home(QStringLiteral("code/app"));
}

} // namespace

class TestSkillOperations final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;
    std::unique_ptr<SkillScanner> m_scanner;

    QString home(const QString &relative = {}) const { return m_library->home(relative); }
    ModelContext &context() const { return m_library->context(); }

    void scanAndPrune()
    {
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A skill "demo" in Claude's folder of `scope`, scanned, with every mark set.
    Skill *markedSkill(const QString &scope)
    {
        const QString base = scopeFolder(*m_library, scope);
        writeSkill(base + "/.claude/skills/demo/SKILL.md", "demo");
        writeFile(base + "/.claude/skills/demo/notes/extra.txt", "extra");
        scanAndPrune();
        Skill *skill = m_library->named("demo");
        if (!skill)
            return nullptr;
        skill->setIsFavorite(true);
        skill->setLastOpened(QDateTime(QDate(2026, 5, 1), QTime(12, 0), QTimeZone::utc()));
        auto collection = std::make_unique<SkillCollection>("Work", "folder", 0);
        context().insert(std::move(collection))->addSkill(skill);
        context().save();
        return skill;
    }

    // The one record whose file lies inside `entry`.
    Skill *recordAt(const QString &entry) const
    {
        for (Skill *skill : context().skillsInAnyOrder()) {
            if (skill->resolvedPath().startsWith(QFileInfo(entry).canonicalFilePath() + u'/'))
                return skill;
        }
        return nullptr;
    }

    static void verifyMarks(const Skill *skill)
    {
        QVERIFY(skill);
        QVERIFY(skill->isFavorite());
        QCOMPARE(skill->lastOpened(), QDateTime(QDate(2026, 5, 1), QTime(12, 0), QTimeZone::utc()));
        QCOMPARE(skill->collections().size(), 1);
        QCOMPARE(skill->collections().constFirst()->name(), QStringLiteral("Work"));
    }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        QDir().mkpath(home("code/app/.git"));
        LibraryFixture::setCustomScanPaths({home("code")});
        m_scanner = std::make_unique<SkillScanner>(context(), m_library->artifacts());
    }

    void cleanup()
    {
        m_scanner.reset();
        m_library.reset();
    }

    void usingASkillInAnotherToolPlacesItThere_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("expectedPlace"); // relative to the scope; empty: refused
        QTest::addColumn<QString>("expectedLink");  // the link's text; empty for a copy
        QTest::newRow("a home skill is linked into Gemini's folder, relatively")
            << "home" << "gemini" << false << ".gemini/skills/demo" << "../../.claude/skills/demo";
        QTest::newRow("a home skill is linked into the shared folder")
            << "home" << "shared" << false << ".agents/skills/demo" << "../../.claude/skills/demo";
        QTest::newRow("a home skill is copied into Windsurf's folder")
            << "home" << "windsurf" << true << ".codeium/windsurf/skills/demo" << "";
        QTest::newRow("a project skill is linked into the project's shared folder")
            << "project" << "shared" << false << ".agents/skills/demo" << "../../.claude/skills/demo";
        QTest::newRow("a project skill is copied into the project's Gemini folder")
            << "project" << "gemini" << true << ".gemini/skills/demo" << "";
        QTest::newRow("a tool that reads the skill already through Claude's folder is refused")
            << "home" << "copilot" << false << "" << "";
    }
    void usingASkillInAnotherToolPlacesItThere()
    {
        QFETCH(QString, scope);
        QFETCH(QString, tool);
        QFETCH(bool, copy);
        QFETCH(QString, expectedPlace);
        QFETCH(QString, expectedLink);
        Skill *skill = markedSkill(scope);
        QVERIFY(skill);
        const PlacementTool placement = *placementFromKey(tool);
        QCOMPARE(toolsNotReading(*skill).contains(placement), !expectedPlace.isEmpty());

        SkillOperationOptions dryRun;
        dryRun.dryRun = true;
        const PlacementKind kind = copy ? PlacementKind::Copy : PlacementKind::Link;
        const SkillOperationResult preview = useSkillIn(context(), *skill, placement, kind, dryRun);
        QCOMPARE(preview.ok, !expectedPlace.isEmpty());
        const QString target = scopeFolder(*m_library, scope) + u'/' + expectedPlace;
        QVERIFY2(expectedPlace.isEmpty() || !entryExists(target), "a dry run changes nothing");

        const SkillOperationResult result = useSkillIn(context(), *skill, placement, kind);
        QCOMPARE(result.ok, !expectedPlace.isEmpty());
        if (expectedPlace.isEmpty()) {
            QVERIFY(result.error.contains("already"));
            return;
        }
        QCOMPARE(isSymlink(target), !copy);
        if (!copy)
            QCOMPARE(readLinkText(target), expectedLink);
        const QString original = QFileInfo(scopeFolder(*m_library, scope) + "/.claude/skills/demo").canonicalFilePath();
        QVERIFY(copy ? sameEntry(target, original) : QFileInfo(target).canonicalFilePath() == original);
        if (placement && !copy)
            QVERIFY2(skill->hasToolSource(*placement), "the card shows the tool before the next scan");

        // The scan agrees, and the skill is offered no more for that tool.
        scanAndPrune();
        Skill *again = recordAt(original);
        QVERIFY(again);
        QVERIFY(!toolsNotReading(*again).contains(placement));

        const SkillOperationResult undone = undoSkillOperation(context(), result.undo);
        QVERIFY2(undone.ok, qPrintable(undone.error));
        QVERIFY(!entryExists(target));
        QVERIFY(QFileInfo::exists(scopeFolder(*m_library, scope) + "/.claude/skills/demo/SKILL.md"));
    }

    void aPlacementNeverOverwritesWhatIsInTheWay()
    {
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        writeFile(home(".gemini/skills/demo/SKILL.md"), "someone else's");
        const SkillOperationResult result = useSkillIn(context(), *skill, ToolSource::Gemini, PlacementKind::Link);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(".gemini/skills/demo"), qPrintable(result.error));
        QCOMPARE(readFile(home(".gemini/skills/demo/SKILL.md")), QByteArray("someone else's"));
    }

    void stoppingRemovesOnlyAPlacementOfTheSameSkill_data()
    {
        QTest::addColumn<QString>("placed"); // link, copy, changed copy, none
        QTest::addColumn<bool>("removed");
        QTest::newRow("a link to the skill is removed") << "link" << true;
        QTest::newRow("an identical copy is removed") << "copy" << true;
        QTest::newRow("a copy that differs is kept and its differences named") << "changed copy" << false;
        QTest::newRow("the original itself is never removed this way") << "none" << false;
    }
    void stoppingRemovesOnlyAPlacementOfTheSameSkill()
    {
        QFETCH(QString, placed);
        QFETCH(bool, removed);
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        const QString original = home(".claude/skills/demo");
        const QString place = home(".gemini/skills/demo");
        if (placed != "none") {
            const SkillOperationResult used = useSkillIn(
                context(), *skill, ToolSource::Gemini, placed == "link" ? PlacementKind::Link : PlacementKind::Copy);
            QVERIFY2(used.ok, qPrintable(used.error));
        }
        if (placed == "changed copy")
            writeFile(place + "/notes/extra.txt", "changed");
        const PlacementTool tool = placed == "none" ? PlacementTool(ToolSource::Claude) : PlacementTool(ToolSource::Gemini);
        const SkillOperationResult result = stopUsingSkillIn(context(), *skill, tool);
        QCOMPARE(result.ok, removed);
        QVERIFY(QFileInfo::exists(original + "/SKILL.md"));
        QCOMPARE(readFile(original + "/notes/extra.txt"), QByteArray("extra"));
        if (placed == "changed copy") {
            QCOMPARE(result.wouldLose, QStringList{"notes/extra.txt"});
            QVERIFY(entryExists(place));
        }
        if (removed) {
            QVERIFY(!entryExists(place));
            QVERIFY(undoSkillOperation(context(), result.undo).ok);
            QVERIFY(placed == "link" ? QFileInfo(place).canonicalFilePath() == QFileInfo(original).canonicalFilePath()
                                     : sameEntry(place, original));
        }
    }

    void turningOffKeepsTheRecordAndItsMarks_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::newRow("a home skill") << "home";
        QTest::newRow("a project skill") << "project";
    }
    void turningOffKeepsTheRecordAndItsMarks()
    {
        QFETCH(QString, scope);
        Skill *skill = markedSkill(scope);
        QVERIFY(skill);
        const QString original = scopeFolder(*m_library, scope) + "/.claude/skills/demo";
        QVERIFY(useSkillIn(context(), *skill, ToolSource::Gemini, PlacementKind::Link).ok);

        const SkillOperationResult off = turnSkillOff(context(), *skill);
        QVERIFY2(off.ok, qPrintable(off.error));
        QVERIFY(!entryExists(original));
        QVERIFY(isTurnedOffPath(off.undo.entry));
        // No tool reads it now, and a full scan with its prune keeps the record.
        scanAndPrune();
        Skill *offSkill = m_library->named("demo");
        verifyMarks(offSkill);
        QVERIFY(isTurnedOff(*offSkill));
        QCOMPARE(context().skillCount(), 1);

        const SkillOperationResult on = turnSkillOn(context(), *offSkill);
        QVERIFY2(on.ok, qPrintable(on.error));
        QCOMPARE(readFile(original + "/notes/extra.txt"), QByteArray("extra"));
        QVERIFY2(!entryExists(QFileInfo(off.undo.entry).absolutePath()), "nothing is left behind in Vesk's folder");
        scanAndPrune();
        Skill *back = recordAt(original);
        verifyMarks(back);
        QVERIFY(!isTurnedOff(*back));
        QVERIFY2(back->hasToolSource(ToolSource::Gemini), "the link into Gemini's folder works again");
        QCOMPARE(context().skillCount(), 1);
    }

    void turningOnRefusesWhenSomethingTookThePlace()
    {
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        QVERIFY(turnSkillOff(context(), *skill).ok);
        writeSkill(home(".claude/skills/demo/SKILL.md"), "newcomer");
        const SkillOperationResult on = turnSkillOn(context(), *m_library->named("demo"));
        QVERIFY(!on.ok);
        QVERIFY2(on.error.contains(".claude/skills/demo"), qPrintable(on.error));
        QCOMPARE(readFile(home(".claude/skills/demo/SKILL.md")), TestFiles::skillText("newcomer"));
    }

    void renamingChangesFolderNameFieldAndLinksTogether_data()
    {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("refusal"); // part of the message; empty when it works
        QTest::newRow("a new name renames the folder, the field and the link into Gemini") << "fresh" << "";
        QTest::newRow("a name with capitals is refused") << "Fresh" << "not a skill name";
        QTest::newRow("a name another skill has is refused") << "taken" << ".claude/skills/taken";
    }
    void renamingChangesFolderNameFieldAndLinksTogether()
    {
        QFETCH(QString, newName);
        QFETCH(QString, refusal);
        writeSkill(home(".claude/skills/taken/SKILL.md"), "taken");
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        QVERIFY(useSkillIn(context(), *skill, ToolSource::Gemini, PlacementKind::Link).ok);
        const SkillOperationResult result = renameSkill(context(), *skill, newName);
        QCOMPARE(result.ok, refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QVERIFY2(result.error.contains(refusal), qPrintable(result.error));
            QVERIFY(QFileInfo::exists(home(".claude/skills/demo/SKILL.md")));
            return;
        }
        const QString renamed = home(".claude/skills/") + newName;
        QVERIFY(!entryExists(home(".claude/skills/demo")));
        QVERIFY(readFile(renamed + "/SKILL.md").startsWith("---\nname: " + newName.toUtf8() + "\ndescription:"));
        QCOMPARE(readLinkText(home(".gemini/skills/") + newName), "../../.claude/skills/" + newName);
        QVERIFY(!entryExists(home(".gemini/skills/demo")));
        scanAndPrune();
        verifyMarks(m_library->named(newName));
        QCOMPARE(context().skillCount(), 2);

        QVERIFY(undoSkillOperation(context(), result.undo).ok);
        QVERIFY(readFile(home(".claude/skills/demo/SKILL.md")).startsWith("---\nname: demo\n"));
        QCOMPARE(readLinkText(home(".gemini/skills/demo")), QString("../../.claude/skills/demo"));
        scanAndPrune();
        verifyMarks(m_library->named("demo"));
    }

    void movingToAnotherScopeKeepsTheMarks_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("from home into a project") << "home";
        QTest::newRow("from a project to home") << "project";
    }
    void movingToAnotherScopeKeepsTheMarks()
    {
        QFETCH(QString, from);
        Skill *skill = markedSkill(from);
        QVERIFY(skill);
        const QString to = from == "home" ? home("code/app") : QString();
        const SkillOperationResult result = moveSkillTo(context(), *skill, to);
        QVERIFY2(result.ok, qPrintable(result.error));
        const QString moved = (to.isEmpty() ? home() : to) + "/.claude/skills/demo";
        QCOMPARE(readFile(moved + "/notes/extra.txt"), QByteArray("extra"));
        QVERIFY(!entryExists(scopeFolder(*m_library, from) + "/.claude/skills/demo"));
        scanAndPrune();
        verifyMarks(recordAt(moved));
        QCOMPARE(recordAt(moved)->isGlobal(), to.isEmpty());
        QVERIFY(undoSkillOperation(context(), result.undo).ok);
        QVERIFY(QFileInfo::exists(scopeFolder(*m_library, from) + "/.claude/skills/demo/SKILL.md"));
    }

    void duplicatingMakesANewSkillBesideTheOriginal()
    {
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        const SkillOperationResult result = duplicateSkill(context(), *skill, QString());
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.undo.entry, home(".claude/skills/demo-copy"));
        QVERIFY(readFile(home(".claude/skills/demo-copy/SKILL.md")).startsWith("---\nname: demo-copy\n"));
        QCOMPARE(readFile(home(".claude/skills/demo-copy/notes/extra.txt")), QByteArray("extra"));
        QVERIFY(readFile(home(".claude/skills/demo/SKILL.md")).startsWith("---\nname: demo\n"));
        QCOMPARE(duplicateSkill(context(), *skill, QString()).undo.entry, home(".claude/skills/demo-copy-2"));
        QVERIFY(!duplicateSkill(context(), *skill, "demo-copy").ok);
    }

    void trashAndUndoGiveTheSkillBackWithItsMarks()
    {
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        const SkillOperationResult result = trashSkill(context(), *skill);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(!entryExists(home(".claude/skills/demo")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        scanAndPrune();
        QCOMPARE(context().skillCount(), 0);
        const SkillOperationResult undone = undoSkillOperation(context(), result.undo);
        QVERIFY2(undone.ok, qPrintable(undone.error));
        QCOMPARE(readFile(home(".claude/skills/demo/notes/extra.txt")), QByteArray("extra"));
        scanAndPrune();
        verifyMarks(m_library->named("demo"));
    }

    void anInterruptedOperationEndsInTheOldStateOrTheNew_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("stopAfter");
        QTest::addColumn<bool>("endsMoved");
        QTest::newRow("turning off, killed once the origin is noted, stays on") << "off" << "noted" << false;
        QTest::newRow("renaming, killed once the name field is written, keeps the old name") << "rename" << "named" << false;
        QTest::newRow("moving across file systems, killed once copied, stays where it was") << "move" << "copied" << false;
        QTest::newRow("moving across file systems, killed once placed, ends moved") << "move" << "placed" << true;
    }
    void anInterruptedOperationEndsInTheOldStateOrTheNew()
    {
        QFETCH(QString, operation);
        QFETCH(QString, stopAfter);
        QFETCH(bool, endsMoved);
        SmallFileSystem other(8 * 1024 * 1024);
        if (operation == "move" && !other.isMounted())
            QSKIP("A second file system could not be mounted here");
        Skill *skill = markedSkill("home");
        QVERIFY(skill);
        const QString original = home(".claude/skills/demo");
        const QByteArray before = readFile(original + "/SKILL.md");
        SkillOperationOptions options;
        options.gate = [stopAfter](const QString &step) { return step != stopAfter; };
        QString destination;
        if (operation == "off") {
            QVERIFY(!turnSkillOff(context(), *skill, options).ok);
        } else if (operation == "rename") {
            QVERIFY(!renameSkill(context(), *skill, "fresh", options).ok);
            destination = home(".claude/skills/fresh");
        } else {
            QDir().mkpath(other.path() + "/app/.git");
            destination = other.path() + "/app/.claude/skills/demo";
            QVERIFY(!moveSkillTo(context(), *skill, other.path() + "/app", options).ok);
        }
        // The next start finishes or undoes it.
        QCOMPARE(finishInterruptedOperations(context()), 1);
        QCOMPARE(entryExists(original), !endsMoved);
        QVERIFY(!entryExists(partialPathFor(destination.isEmpty() ? original : destination)));
        if (endsMoved) {
            QCOMPARE(readFile(destination + "/SKILL.md"), before);
            verifyMarks(recordAt(destination));
        } else {
            QCOMPARE(readFile(original + "/SKILL.md"), before);
            QCOMPARE(readFile(original + "/notes/extra.txt"), QByteArray("extra"));
            if (!destination.isEmpty())
                QVERIFY(!entryExists(destination));
            QVERIFY(QDir(turnedOffFolder()).isEmpty());
            scanAndPrune();
            verifyMarks(m_library->named("demo"));
        }
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillOperations)
#include "tst_skilloperations.moc"
