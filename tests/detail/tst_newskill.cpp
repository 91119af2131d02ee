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
const QByteArray kDescribedTemplate =
    "---\nname: pilot-notes!\ndescription: Checks the pre-flight list\n---\n\n# Pilot Notes!\n\n"
    "Add your skill instructions here.";


} // namespace

// Every test gets its own home folder and store.
class TestNewSkill final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    QString home(const QString &relative = QString()) const { return m_library->home(relative); }
    ModelContext &context() const { return m_library->context(); }

private Q_SLOTS:
    void initTestCase()
    {
        // Lists of tool names read the same whatever the machine's language.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        // One project Vesk knows: a folder inside a custom scan directory.
        QVERIFY(QDir().mkpath(home("code/app")));
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("code")});
    }

    void cleanup()
    {
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
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
        QTest::addColumn<bool>("inProject"); // the project ~/code/app, else the home folder
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("first"); // a skill made first with the same choices
        QTest::addColumn<QString>("file");  // relative to the home folder or the project
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("harnesses"); // the tools that read the file where it lands

        const QString claudeReaders = "claude,copilot,cursor,opencode";
        const QString sharedReaders = "codex,copilot,cursor,gemini,opencode,windsurf";
        const auto tool = [](ToolSource source) { return NewSkillDestination(source); };
        using enum ToolSource;

        // ---- in the home folder ----
        QTest::newRow("a Claude skill gets a folder of its own and the long template")
            << tool(Claude) << false << "Résumé Writer" << "" << "" << ".claude/skills/résumé-writer/SKILL.md"
            << kLongTemplate << claudeReaders;
        QTest::newRow("a Cursor skill gets the long template in Cursor's folder")
            << tool(Cursor) << false << "Résumé Writer" << "" << "" << ".cursor/skills/résumé-writer/SKILL.md"
            << kLongTemplate << "cursor";
        QTest::newRow("a Windsurf skill goes into Windsurf's skills folder")
            << tool(Windsurf) << false << "Pilot Notes!" << "" << "" << ".codeium/windsurf/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "windsurf";
        QTest::newRow("a second Windsurf skill goes beside the first")
            << tool(Windsurf) << false << "Pilot Notes!" << "" << "Other" << ".codeium/windsurf/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "windsurf";
        QTest::newRow("a Codex skill goes into the shared folder Codex reads")
            << tool(Codex) << false << "Pilot Notes!" << "" << "" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
        QTest::newRow("a second Codex skill goes beside the first")
            << tool(Codex) << false << "Pilot Notes!" << "" << "Other" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
        QTest::newRow("a Copilot skill goes into Copilot's own folder")
            << tool(Copilot) << false << "Pilot Notes!" << "" << "" << ".copilot/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "copilot";
        QTest::newRow("an Amp skill goes into Amp's skills folder")
            << tool(Amp) << false << "Pilot Notes!" << "" << "" << ".config/amp/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "amp";
        QTest::newRow("a Gemini CLI skill gets a folder of its own in Gemini's skills folder")
            << tool(Gemini) << false << "Pilot Notes!" << "" << "" << ".gemini/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "gemini";
        QTest::newRow("an OpenCode skill gets a folder of its own in OpenCode's config")
            << tool(OpenCode) << false << "Pilot Notes!" << "" << "" << ".config/opencode/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "opencode";
        QTest::newRow("a skill for all tools goes into the shared agents folder")
            << NewSkillDestination() << false << "Pilot Notes!" << "" << "" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
        QTest::newRow("a description given is the starter file's description")
            << tool(Gemini) << false << "Pilot Notes!" << "  Checks the pre-flight list\n" << ""
            << ".gemini/skills/pilot-notes/SKILL.md" << kDescribedTemplate << "gemini";
        QTest::newRow("a description of spaces keeps the name as the description")
            << tool(Gemini) << false << "Pilot Notes!" << "   " << "" << ".gemini/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "gemini";

        // ---- in a project ----
        QTest::newRow("a Claude skill in a project goes into its .claude/skills")
            << tool(Claude) << true << "Résumé Writer" << "" << "" << ".claude/skills/résumé-writer/SKILL.md"
            << kLongTemplate << claudeReaders;
        QTest::newRow("a Cursor skill in a project goes into its .cursor/skills")
            << tool(Cursor) << true << "Résumé Writer" << "" << "" << ".cursor/skills/résumé-writer/SKILL.md"
            << kLongTemplate << "cursor";
        QTest::newRow("a Windsurf skill in a project goes into its .windsurf/skills")
            << tool(Windsurf) << true << "Pilot Notes!" << "" << "" << ".windsurf/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "windsurf";
        QTest::newRow("a Codex skill in a project goes into its .agents/skills")
            << tool(Codex) << true << "Pilot Notes!" << "" << "" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
        QTest::newRow("a Copilot skill in a project goes into its .github/skills")
            << tool(Copilot) << true << "Pilot Notes!" << "" << "" << ".github/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "copilot";
        QTest::newRow("an Amp skill in a project goes into the shared .agents/skills")
            << tool(Amp) << true << "Pilot Notes!" << "" << "" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
        QTest::newRow("a Gemini CLI skill in a project goes into its .gemini/skills")
            << tool(Gemini) << true << "Pilot Notes!" << "" << "" << ".gemini/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "gemini";
        QTest::newRow("an OpenCode skill in a project goes into its .opencode/skills")
            << tool(OpenCode) << true << "Pilot Notes!" << "" << "" << ".opencode/skills/pilot-notes/SKILL.md"
            << kShortTemplate << "opencode";
        QTest::newRow("a skill for all tools in a project goes into its .agents/skills")
            << NewSkillDestination() << true << "Pilot Notes!" << "" << "" << ".agents/skills/pilot-notes/SKILL.md"
            << kShortTemplate << sharedReaders;
    }

    void createWritesTheStarterFileAndStoresItsRecord()
    {
        QFETCH(NewSkillDestination, destination);
        QFETCH(bool, inProject);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, first);
        QFETCH(QString, file);
        QFETCH(QByteArray, text);
        QFETCH(QString, harnesses);

        const QString project = inProject ? home("code/app") : QString();
        QString error;
        if (!first.isEmpty())
            QVERIFY2(createSkill(context(), destination, first, &error, project), qPrintable(error));
        Skill *skill = createSkill(context(), destination, name, &error, project, description);
        QVERIFY2(skill, qPrintable(error));

        const QString path = (inProject ? project : home()) + '/' + file;
        QCOMPARE(TestFiles::readFile(path), text);
        QCOMPARE(skill->filePath(), path);
        QCOMPARE(skill->name(), name);
        QCOMPARE(skill->skillDescription(), parseFrontmatter(QString::fromUtf8(text)).description);
        QVERIFY(skill->isDirectory()); // a folder of its own
        QCOMPARE(skill->isGlobal(), !inProject);
        QCOMPARE(skill->toolSourcesRaw(), harnesses);
        QCOMPARE(skill->fileSize(), qint64(text.size())); // bytes, not characters
        QVERIFY(qAbs(skill->fileModifiedDate().secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QCOMPARE(context().skills().size(), first.isEmpty() ? 1 : 2);
        QVERIFY(context().skills().contains(skill));
        QVERIFY(skill->persistentId() > 0);
        // What the sheet said before Create: the same file, and the same readers.
        const std::optional<NewSkillPreview> preview = previewNewSkill(destination, name, project);
        QVERIFY(preview);
        QCOMPARE(preview->filePath, path);
        QVERIFY(preview->exists);
        const QList<ToolSource> stored = skill->toolSources();
        QCOMPARE(QSet<ToolSource>(preview->readers.cbegin(), preview->readers.cend()),
                 QSet<ToolSource>(stored.cbegin(), stored.cend()));
    }

    void theProjectsAreTheFoldersInsideTheScanDirectories()
    {
        QVERIFY(QDir().mkpath(home("code/site")));
        QVERIFY(QDir().mkpath(home("work/api")));
        QVERIFY(QDir().mkpath(home("code/.hidden")));
        TestFiles::writeFile(home("code/notes.md"), "not a project");
        QCOMPARE(newSkillProjects({home("code"), home("work/"), home("code"), home("missing"), QString()}),
                 (QStringList{home("code/app"), home("code/site"), home("work/api")}));
    }

    void createIsRefusedWithoutTouchingWhatIsThere_data()
    {
        QTest::addColumn<ToolSource>("tool");
        QTest::addColumn<QString>("existing"); // created first; empty: a plain file blocks ~/.claude
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error"); // %1 is the home folder
        QTest::newRow("the same name again in another case")
            << ToolSource::Claude << "First" << "first" << "A skill with this name already exists";
        QTest::newRow("a Codex skill of the same name in the shared folder")
            << ToolSource::Codex << "First" << "FIRST" << "A skill with this name already exists";
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
        QTest::newRow("Aider has no skill folder") << QVariant("aider") << "Claude Code";
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
        // Aider is not: it reads no skill folder.
        QCOMPARE(names, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Amp",
                                     "Gemini CLI", "OpenCode", "All tools (shared folder)"}));
        // Where: the home folder, then each project Vesk knows.
        auto *place = sheet.findChild<QComboBox *>("place");
        QCOMPARE(place->count(), 2);
        QCOMPARE(place->itemText(0), QStringLiteral("Home folder"));
        QCOMPARE(place->itemText(1), QStringLiteral("~/code/app"));
    }

    void sheetShowsTheFileItWillWrite_data()
    {
        QTest::addColumn<QString>("existing"); // made first, with the same choices
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");
        QTest::newRow("the path of the file, from the home folder, and who else reads it")
            << "" << "Claude Code" << "Home folder" << "Team Rules"
            << "~/.claude/skills/team-rules/SKILL.md\nAlso read by Cursor, Copilot, and OpenCode.";
        QTest::newRow("a folder only its tool reads is the path alone")
            << "" << "Copilot" << "Home folder" << "Team Rules" << "~/.copilot/skills/team-rules/SKILL.md";
        QTest::newRow("Codex's folder says that other tools read it too")
            << "" << "Codex" << "Home folder" << "Team Rules"
            << "~/.agents/skills/team-rules/SKILL.md\nAlso read by Cursor, Windsurf, Copilot, Gemini CLI, and OpenCode.";
        QTest::newRow("a project uses the tool's project folder")
            << "" << "Copilot" << "~/code/app" << "Team Rules" << "~/code/app/.github/skills/team-rules/SKILL.md";
        QTest::newRow("nothing while the name is unusable") << "" << "Claude Code" << "Home folder" << "!!!" << "";
        QTest::newRow("a name that is taken says so in full")
            << "Team Rules" << "Claude Code" << "Home folder" << "team rules"
            << "~/.claude/skills/team-rules/SKILL.md already exists. Choose another name, tool or place.";
        QTest::newRow("a name taken in a project says so too")
            << "Team Rules" << "Windsurf" << "~/code/app" << "Team Rules"
            << "~/code/app/.windsurf/skills/team-rules/SKILL.md already exists. Choose another name, tool or place.";
    }

    void sheetShowsTheFileItWillWrite()
    {
        QFETCH(QString, existing);
        QFETCH(QString, choice);
        QFETCH(QString, place);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *tool = sheet.findChild<QComboBox *>("tool");
        auto *where = sheet.findChild<QComboBox *>("place");
        auto *create = sheet.findChild<QPushButton *>("create");
        tool->setCurrentIndex(tool->findText(choice));
        where->setCurrentIndex(where->findText(place));
        QVERIFY(tool->currentIndex() >= 0 && where->currentIndex() >= 0);
        if (!existing.isEmpty()) {
            QString error;
            QVERIFY2(createSkill(context(), Tools::fromRawValue(tool->currentData().toString()), existing, &error,
                                 where->currentData().toString()),
                     qPrintable(error));
        }
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        QTest::keyClicks(name, typed);
        QCOMPARE(sheet.targetText(), line);
        auto *target = sheet.findChild<QLabel *>("target");
        QCOMPARE(target->text().remove(QChar(0x200b)), line);
        // Create waits while the file is there; the line says why.
        QCOMPARE(create->isEnabled(), !existing.isEmpty() ? false : true);
        // The whole line is inside the sheet: nothing cut off at the right or the bottom.
        QCOMPARE(target->isVisible(), !line.isEmpty());
        if (!line.isEmpty()) {
            QVERIFY(target->geometry().right() < sheet.width());
            QVERIFY(target->height() >= target->heightForWidth(target->width()));
            QVERIFY(target->geometry().bottom() < create->geometry().top());
        }

        // It follows the harness and the place too.
        tool->setCurrentIndex(tool->findText("Cursor"));
        where->setCurrentIndex(0);
        QCOMPARE(sheet.targetText().startsWith("~/.cursor/skills/"), !line.isEmpty());
        where->setCurrentIndex(1);
        QCOMPARE(sheet.targetText().startsWith("~/code/app/.cursor/skills/"), !line.isEmpty());
        QCOMPARE(create->isEnabled(), true);

        // Line breaks pasted into the name become spaces.
        name->setText(QStringLiteral("Team\nRules"));
        QCOMPARE(name->text(), QStringLiteral("Team Rules"));
    }

    void aLongPathWrapsInsideTheSheet()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *target = sheet.findChild<QLabel *>("target");
        const int before = sheet.height();
        QTest::keyClicks(sheet.findChild<QLineEdit *>("skillName"), QString(90, u'x'));
        QVERIFY(sheet.targetText().size() > 100);
        QVERIFY(target->geometry().right() < sheet.width());
        QVERIFY(target->height() >= target->heightForWidth(target->width()));
        QVERIFY(sheet.height() > before); // it grew to hold the extra lines
        QVERIFY(target->geometry().bottom() < sheet.findChild<QPushButton *>("create")->geometry().top());
    }

    void sheetCreatesOrShowsTheFailureOrCancels_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("created");
        QTest::newRow("Return creates the skill, selects it and closes")
            << "Cursor" << "Home folder" << "Fresh Idea" << int(Qt::Key_Return) << ""
            << ".cursor/skills/fresh-idea/SKILL.md";
        QTest::newRow("the shared folder is a choice of its own")
            << "All tools (shared folder)" << "Home folder" << "Fresh Idea" << int(Qt::Key_Return) << ""
            << ".agents/skills/fresh-idea/SKILL.md";
        QTest::newRow("a project chosen under Where gets the tool's folder in that project")
            << "Copilot" << "~/code/app" << "Fresh Idea" << int(Qt::Key_Return) << ""
            << "code/app/.github/skills/fresh-idea/SKILL.md";
        QTest::newRow("an unusable name is shown, nothing is written and the sheet stays open")
            << "Cursor" << "Home folder" << "!!!" << int(Qt::Key_Return) << "Invalid skill name" << "";
        QTest::newRow("Escape closes without writing anything")
            << "Cursor" << "Home folder" << "Never Made" << int(Qt::Key_Escape) << "" << "";
    }

    void sheetCreatesOrShowsTheFailureOrCancels()
    {
        QFETCH(QString, choice);
        QFETCH(QString, place);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, error);
        QFETCH(QString, created);

        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *tool = sheet.findChild<QComboBox *>("tool");
        auto *where = sheet.findChild<QComboBox *>("place");
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        auto *errorLabel = sheet.findChild<QLabel *>("error");
        auto *create = sheet.findChild<QPushButton *>("create");
        QVERIFY(tool && where && name && errorLabel && create);
        QVERIFY(tool->findText(choice) >= 0 && where->findText(place) >= 0);
        tool->setCurrentIndex(tool->findText(choice));
        where->setCurrentIndex(where->findText(place));
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
        QCOMPARE(context().skills().size(), made ? 1 : 0);
        if (made)
            QVERIFY(QFileInfo(home(created)).isFile());
        else
            QVERIFY(!QFileInfo::exists(home(".cursor")) && !QFileInfo::exists(home(".agents")));
    }

    void anErrorClearsWhenAChoiceChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("the name") << "name";
        QTest::newRow("the tool") << "tool";
        QTest::newRow("the place") << "place";
    }

    void anErrorClearsWhenAChoiceChanges()
    {
        QFETCH(QString, change);
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        auto *errorLabel = sheet.findChild<QLabel *>("error");
        QTest::keyClicks(name, "!!!");
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(errorLabel->isVisible());

        if (change == "name")
            QTest::keyClick(name, Qt::Key_Backspace);
        else
            sheet.findChild<QComboBox *>(change)->setCurrentIndex(1);
        QVERIFY(!errorLabel->isVisible());
        QVERIFY(sheet.isVisible());
    }
};

VESK_TEST_MAIN(TestNewSkill)
#include "tst_newskill.moc"
