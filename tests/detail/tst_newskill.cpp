#include "common/appstate.h"
#include "library/files/newskill.h"
#include "detail/newskillsheet.h"
#include "library/records/artifactcache.h"
#include "library/catalogue/settingskeys.h"
#include "library/scan/skillscanner.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest/QtTest>

namespace {

const QByteArray kLongTemplate =
    "---\nname: résumé-writer\ndescription: Résumé Writer\n---\n\n# Résumé Writer\n\n## When to Use\n\n"
    "- Describe when this skill should be activated\n\n## Instructions\n\nAdd your skill instructions here.";
const QByteArray kShortTemplate =
    "---\nname: pilot-notes!\ndescription: Pilot Notes!\n---\n\n# Pilot Notes!\n\nAdd your skill instructions here.";
const QByteArray kAgentsTemplate = "# First\n\n## Instructions\n\nAdd your skill instructions here.";


} // namespace

// Every test gets its own home folder and store.
class TestNewSkill final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    QString home(const QString &relative = QString()) const { return m_library->home(relative); }
    ModelContext &context() const { return m_library->context(); }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
    }

    void cleanup()
    {
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void slugAndFrontmatterName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("slug");
        QTest::addColumn<QString>("frontmatterName");
        QTest::newRow("the slug drops punctuation the frontmatter name keeps")
            << "My Skill!" << "my-skill" << "my-skill!";
        QTest::newRow("a name of punctuation only leaves an empty slug") << "!?._/" << "" << "!?._/";
        QTest::newRow("every space becomes a hyphen") << "   " << "---" << "---";
        QTest::newRow("hyphens and digits are kept") << "Step-by-step 2" << "step-by-step-2" << "step-by-step-2";
        QTest::newRow("letters with accents are kept") << "Résumé Writer" << "résumé-writer" << "résumé-writer";
        QTest::newRow("a tab is not a space") << "a\tb" << "ab" << "a\tb";
        QTest::newRow("an accent typed as a combining mark is composed and kept")
            << "Cafe\u0301" << "caf\u00e9" << "cafe\u0301";
        QTest::newRow("letters outside the Basic Multilingual Plane are kept")
            << "\U0001D49Clpha \U00010428" << "\U0001D49Clpha-\U00010428" << "\U0001D49Clpha-\U00010428";
        QTest::newRow("digits outside the Basic Multilingual Plane are kept") << "v\U0001D7D9" << "v\U0001D7D9"
                                                                              << "v\U0001D7D9";
        QTest::newRow("a letter keeps the marks written on it")
            << "\u0939\u093f\u0928\u094d\u0926\u0940" << "\u0939\u093f\u0928\u094d\u0926\u0940"
            << "\u0939\u093f\u0928\u094d\u0926\u0940";
        QTest::newRow("emoji are not letters") << "Ship it \U0001F680" << "ship-it-" << "ship-it-\U0001F680";
    }

    void slugAndFrontmatterName()
    {
        QFETCH(QString, name);
        QFETCH(QString, slug);
        QFETCH(QString, frontmatterName);
        QCOMPARE(skillSlug(name), slug);
        QCOMPARE(::frontmatterName(name), frontmatterName);
    }

    void aNameIsOneLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");
        QTest::newRow("a line feed becomes a space") << "Team\nRules" << "Team Rules";
        QTest::newRow("CR LF is one break") << "Team\r\nRules" << "Team Rules";
        QTest::newRow("every other kind of break too") << "a\rb\vc\fd\u0085e\u2028f\u2029g" << "a b c d e f g";
        QTest::newRow("a tab stays") << "a\tb" << "a\tb";
    }

    void aNameIsOneLine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, line);
        QCOMPARE(singleLineName(typed), line);
    }

    void pastedLineBreaksNeverReachTheFile()
    {
        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "Team\nRules\nextra: key", &error);
        QVERIFY2(skill, qPrintable(error));
        QCOMPARE(skill->name(), QStringLiteral("Team Rules extra: key"));
        QCOMPARE(skill->frontmatter().keys(), (QStringList{"description", "name"}));
        QVERIFY(TestFiles::readFile(home(".claude/skills/team-rules-extra-key/SKILL.md"))
                    .startsWith("---\nname: team-rules-extra:-key\ndescription: Team Rules extra: key\n---\n"));
    }

    void createWritesTheStarterFileAndStoresItsRecord_data()
    {
        QTest::addColumn<NewSkillDestination>("destination");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("harnesses"); // the tools that read the file where it lands

        QTest::newRow("a Claude skill gets a folder of its own and the long template")
            << NewSkillDestination(ToolSource::Claude) << "Résumé Writer" << ".claude/skills/résumé-writer/SKILL.md"
            << kLongTemplate << "claude,copilot,cursor,opencode";
        QTest::newRow("a Cursor skill gets the long template in Cursor's folder")
            << NewSkillDestination(ToolSource::Cursor) << "Résumé Writer" << ".cursor/skills/résumé-writer/SKILL.md"
            << kLongTemplate << "cursor";
        QTest::newRow("a Copilot skill falls back to Claude's folder with the short template")
            << NewSkillDestination(ToolSource::Copilot) << "Pilot Notes!" << ".claude/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "claude,copilot,cursor,opencode";
        QTest::newRow("an Aider skill lands in Claude's folder, which Aider does not read")
            << NewSkillDestination(ToolSource::Aider) << "Pilot Notes!" << ".claude/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "claude,copilot,cursor,opencode";
        QTest::newRow("a Windsurf skill goes into Windsurf's memories folder")
            << NewSkillDestination(ToolSource::Windsurf) << "Pilot Notes!" << ".codeium/windsurf/memories/SKILL.md"
            << kShortTemplate << "windsurf";
        QTest::newRow("a Codex skill is the one AGENTS.md, without frontmatter")
            << NewSkillDestination(ToolSource::Codex) << "First" << ".codex/AGENTS.md" << kAgentsTemplate << "codex";
        QTest::newRow("an Amp skill is the one AGENTS.md in Amp's config folder")
            << NewSkillDestination(ToolSource::Amp) << "First" << ".config/amp/AGENTS.md" << kAgentsTemplate << "amp";
        QTest::newRow("a Gemini CLI skill gets a folder of its own in Gemini's skills folder")
            << NewSkillDestination(ToolSource::Gemini) << "Pilot Notes!" << ".gemini/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "gemini";
        QTest::newRow("an OpenCode skill gets a folder of its own in OpenCode's config")
            << NewSkillDestination(ToolSource::OpenCode) << "Pilot Notes!"
            << ".config/opencode/skills/pilot-notes/SKILL.md" << kShortTemplate << "opencode";
        QTest::newRow("a skill for all tools goes into the shared agents folder")
            << NewSkillDestination() << "Pilot Notes!" << ".agents/skills/pilot-notes/SKILL.md" << kShortTemplate
            << "codex,copilot,cursor,gemini,opencode,windsurf";
    }

    void createWritesTheStarterFileAndStoresItsRecord()
    {
        QFETCH(NewSkillDestination, destination);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QString, harnesses);

        QString error;
        Skill *skill = createSkill(context(), destination, name, &error);
        QVERIFY2(skill, qPrintable(error));

        const QString path = home(file);
        QCOMPARE(TestFiles::readFile(path), text);
        QCOMPARE(skill->filePath(), path);
        QCOMPARE(skill->name(), name);
        QCOMPARE(skill->skillDescription(), text.startsWith("---") ? name : QString());
        QCOMPARE(skill->isDirectory(), file.endsWith("/SKILL.md")); // a folder of its own
        QVERIFY(skill->isGlobal());
        QCOMPARE(skill->toolSourcesRaw(), harnesses);
        QCOMPARE(skill->fileSize(), qint64(text.size())); // bytes, not characters
        QVERIFY(qAbs(skill->fileModifiedDate().secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QCOMPARE(context().skills(), QList<Skill *>{skill});
        QVERIFY(skill->persistentId() > 0);
    }

    void createIsRefusedWithoutTouchingWhatIsThere_data()
    {
        QTest::addColumn<ToolSource>("tool");
        QTest::addColumn<QString>("existing"); // created first; empty: a plain file blocks ~/.claude
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error"); // %1 is the home folder
        QTest::newRow("the same name again in another case")
            << ToolSource::Claude << "First" << "first" << "A skill with this name already exists";
        QTest::newRow("a second name where one AGENTS.md is kept")
            << ToolSource::Codex << "First" << "Second" << "A skill with this name already exists";
        QTest::newRow("a folder that cannot be made, even by root, with the system's words")
            << ToolSource::Claude << "" << "Blocked"
            << "The folder “~/.claude/skills/blocked” could not be created: Not a directory";
        QTest::newRow("a name of spaces only")
            << ToolSource::Claude << "First" << "   " << "Invalid skill name";
    }

    void createIsRefusedWithoutTouchingWhatIsThere()
    {
        QFETCH(ToolSource, tool);
        QFETCH(QString, existing);
        QFETCH(QString, name);
        QFETCH(QString, error);

        QString message;
        if (existing.isEmpty()) {
            QFile blocker(home(".claude"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(createSkill(context(), tool, existing, &message));
        }

        QVERIFY(!createSkill(context(), tool, name, &message));
        QVERIFY2(message.contains(error.arg(home())), qPrintable(message));
        QCOMPARE(context().skills().size(), existing.isEmpty() ? 0 : 1);
        if (!existing.isEmpty())
            QCOMPARE(TestFiles::readFile(context().skills().first()->filePath()), starterText(tool, existing).toUtf8());
    }

    // The file was deleted while Vesk was closed, so its record is still stored.
    void aStaleRecordForTheTargetIsTakenOver()
    {
        const QString path = home(".claude/skills/team-rules/SKILL.md");
        Skill *stale = context().insert(std::make_unique<Skill>(
            path, path, QStringLiteral("old name"), QStringLiteral("old description"), QStringLiteral("old body"),
            Skill::Frontmatter{{"name", "old"}}, ToolSource::Cursor, true, true, QDateTime(), 99));
        QVERIFY(stale);
        stale->setIsFavorite(true);
        QVERIFY(context().save());

        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "Team Rules", &error);
        QVERIFY2(skill, qPrintable(error));
        QCOMPARE(skill, stale);
        QCOMPARE(context().skills().size(), 1);
        QCOMPARE(TestFiles::readFile(path), starterText(ToolSource::Claude, "Team Rules").toUtf8());
        QCOMPARE(skill->name(), QStringLiteral("Team Rules"));
        QCOMPARE(skill->skillDescription(), QStringLiteral("Team Rules"));
        QCOMPARE(skill->frontmatter().value("name"), QStringLiteral("team-rules"));
        QCOMPARE(skill->installedPaths(), QStringList{path});
        QVERIFY(skill->toolSources().contains(ToolSource::Claude));
        QCOMPARE(skill->fileSize(), qint64(TestFiles::readFile(path).size()));
        QVERIFY(skill->isFavorite()); // the user's own marks stay
        QVERIFY(!context().hasChanges());
    }

    void aLaterScanFindsTheSameRecordBehindALinkedHome()
    {
        QTemporaryDir linkParent;
        const QString linkedHome = linkParent.path() + "/home";
        QVERIFY(QFile::link(home(), linkedHome));
        qputenv("HOME", QFile::encodeName(linkedHome));

        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "Linked", &error);
        QVERIFY2(skill, qPrintable(error));
        QCOMPARE(skill->filePath(), linkedHome + "/.claude/skills/linked/SKILL.md");

        ArtifactCache artifacts;
        SkillScanner(context(), artifacts).scanAll();
        QCOMPARE(context().skills(), QList<Skill *>{skill});
    }

    void sheetOffersEveryHarnessAndStartsAtTheOneInTheSettings_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a harness chosen in the settings") << QVariant("cursor") << "Cursor";
        QTest::newRow("nothing chosen yet") << QVariant() << "Claude Code";
        QTest::newRow("Custom has no folder of its own") << QVariant("custom") << "Claude Code";
        QTest::newRow("a value this version does not know") << QVariant("vim") << "Claude Code";
    }

    void sheetOffersEveryHarnessAndStartsAtTheOneInTheSettings()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        QSettings settings;
        if (stored.isValid())
            settings.setValue(QLatin1String(SettingsKeys::defaultTool), stored);
        else
            settings.remove(QLatin1String(SettingsKeys::defaultTool));
        AppState state;
        NewSkillSheet sheet(state, context());
        auto *tool = sheet.findChild<QComboBox *>("tool");
        QCOMPARE(tool->currentText(), shown);
        settings.remove(QLatin1String(SettingsKeys::defaultTool));
        // Every harness but Custom is offered, whatever the start.
        QStringList names;
        for (int i = 0; i < tool->count(); ++i)
            names.append(tool->itemText(i));
        QCOMPARE(names, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Aider", "Amp",
                                     "Gemini CLI", "OpenCode", "All tools (shared folder)"}));
    }

    void sheetShowsTheFileItWillWrite_data()
    {
        QTest::addColumn<QString>("existing"); // made first, for the same destination
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");
        QTest::newRow("the path of the file, from the home folder")
            << "" << "Claude Code" << "Team Rules" << "~/.claude/skills/team-rules/SKILL.md";
        QTest::newRow("nothing while the name is unusable") << "" << "Claude Code" << "!!!" << "";
        QTest::newRow("a name that is taken says so")
            << "Team Rules" << "Claude Code" << "team rules"
            << "~/.claude/skills/team-rules/SKILL.md — this file already exists.";
        QTest::newRow("a harness that keeps one file explains the refusal before it comes")
            << "First" << "Codex" << "Second" << "~/.codex/AGENTS.md — Codex keeps one file here, and it already exists.";
    }

    void sheetShowsTheFileItWillWrite()
    {
        QFETCH(QString, existing);
        QFETCH(QString, choice);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        AppState state;
        NewSkillSheet sheet(state, context());
        auto *tool = sheet.findChild<QComboBox *>("tool");
        tool->setCurrentIndex(tool->findText(choice));
        if (!existing.isEmpty()) {
            QString error;
            QVERIFY2(createSkill(context(), Tools::fromRawValue(tool->currentData().toString()), existing, &error),
                     qPrintable(error));
        }
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        QTest::keyClicks(name, typed);
        QCOMPARE(sheet.targetText(), line);
        QCOMPARE(sheet.findChild<QLabel *>("target")->text(), line);

        // It follows the harness too.
        tool->setCurrentIndex(tool->findText("Cursor"));
        QCOMPARE(sheet.targetText().startsWith("~/.cursor/skills/"), !line.isEmpty());

        // Line breaks pasted into the name become spaces.
        name->setText(QStringLiteral("Team\nRules"));
        QCOMPARE(name->text(), QStringLiteral("Team Rules"));
    }

    void sheetCreatesOrShowsTheFailureOrCancels_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("created");
        QTest::newRow("Return creates the skill, selects it and closes")
            << "Cursor" << "Fresh Idea" << int(Qt::Key_Return) << "" << ".cursor/skills/fresh-idea/SKILL.md";
        QTest::newRow("the shared folder is a choice of its own")
            << "All tools (shared folder)" << "Fresh Idea" << int(Qt::Key_Return) << ""
            << ".agents/skills/fresh-idea/SKILL.md";
        QTest::newRow("an unusable name is shown, nothing is written and the sheet stays open")
            << "Cursor" << "!!!" << int(Qt::Key_Return) << "Invalid skill name" << "";
        QTest::newRow("Escape closes without writing anything")
            << "Cursor" << "Never Made" << int(Qt::Key_Escape) << "" << "";
    }

    void sheetCreatesOrShowsTheFailureOrCancels()
    {
        QFETCH(QString, choice);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, error);
        QFETCH(QString, created);

        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *tool = sheet.findChild<QComboBox *>("tool");
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        auto *errorLabel = sheet.findChild<QLabel *>("error");
        auto *create = sheet.findChild<QPushButton *>("create");
        QVERIFY(tool && name && errorLabel && create);
        QVERIFY(tool->findText(choice) >= 0);
        tool->setCurrentIndex(tool->findText(choice));
        QVERIFY(!create->isEnabled());
        QTest::keyClicks(name, typed);
        QVERIFY(create->isEnabled()); // and the default button, which Return presses
        QTest::keyClick(name, Qt::Key(key));

        const bool made = !created.isEmpty();
        QCOMPARE(sheet.isVisible(), !error.isEmpty());
        QCOMPARE(errorLabel->isVisible(), !error.isEmpty());
        QCOMPARE(errorLabel->text(), error);
        QCOMPARE(sheet.result(), int(made ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(state.selectedSkill() ? state.selectedSkill()->filePath() : QString(), made ? home(created) : QString());
        QCOMPARE(QFileInfo::exists(home(".cursor")) || QFileInfo::exists(home(".agents")), made);
        QCOMPARE(context().skills().size(), made ? 1 : 0);
    }
};

VESK_TEST_MAIN(TestNewSkill)
#include "tst_newskill.moc"
