#include "app/appstate.h"
#include "detail/newskill.h"
#include "detail/newskillsheet.h"
#include "library/artifactcache.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "library/skillscanner.h"
#include "testhome.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QtTest>

// The naming rules, the target of each harness, what a create writes and stores,
// and the sheet around it. Every test gets its own home folder and store.
class TestNewSkill final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ModelContainer> m_container;

    QString home(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_home->path() : m_home->path() + '/' + relative;
    }
    ModelContext &context() const { return *m_container->mainContext(); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void openStore()
    {
        QString error;
        m_container = ModelContainer::open(m_home->path() + "/data/vesk.sqlite", &error);
        QVERIFY2(m_container, qPrintable(error));
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", QFile::encodeName(m_home->path()));
        openStore();
    }

    void cleanup()
    {
        m_container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_home.reset();
    }

    void slugAndFrontmatterName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("slug");
        QTest::addColumn<QString>("frontmatterName");
        QTest::newRow("plain") << "My Skill" << "my-skill" << "my-skill";
        QTest::newRow("punctuation dropped") << "My Skill!" << "my-skill" << "my-skill!";
        QTest::newRow("punctuation only") << "!?.,/" << "" << "!?.,/";
        QTest::newRow("spaces only") << "   " << "---" << "---";
        QTest::newRow("hyphens and digits") << "Step-by-step 2" << "step-by-step-2" << "step-by-step-2";
        QTest::newRow("accents kept") << "Résumé Writer" << "résumé-writer" << "résumé-writer";
        QTest::newRow("cjk kept") << "日本語 スキル" << "日本語-スキル" << "日本語-スキル";
        QTest::newRow("underscore and dot dropped") << "a_b.c" << "abc" << "a_b.c";
        QTest::newRow("tab is not a space") << "a\tb" << "ab" << "a\tb";
        QTest::newRow("empty") << "" << "" << "";
    }

    void slugAndFrontmatterName()
    {
        QFETCH(QString, name);
        QFETCH(QString, slug);
        QFETCH(QString, frontmatterName);
        QCOMPARE(skillSlug(name), slug);
        QCOMPARE(::frontmatterName(name), frontmatterName);
    }

    void targets_data()
    {
        QTest::addColumn<ToolSource>("tool");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("isDirectory");
        QTest::newRow("claude") << ToolSource::Claude << ".claude/skills/my-skill" << "SKILL.md" << true;
        QTest::newRow("cursor") << ToolSource::Cursor << ".cursor/skills/my-skill" << "SKILL.md" << true;
        QTest::newRow("windsurf") << ToolSource::Windsurf << ".codeium/windsurf/memories" << "SKILL.md" << true;
        QTest::newRow("codex") << ToolSource::Codex << ".codex" << "AGENTS.md" << false;
        QTest::newRow("copilot") << ToolSource::Copilot << ".claude/skills/my-skill" << "SKILL.md" << true;
        QTest::newRow("aider") << ToolSource::Aider << ".claude/skills/my-skill" << "SKILL.md" << true;
        QTest::newRow("amp") << ToolSource::Amp << ".config/amp" << "AGENTS.md" << false;
    }

    void targets()
    {
        QFETCH(ToolSource, tool);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(bool, isDirectory);
        const NewSkillTarget target = newSkillTarget(tool, "my-skill");
        QCOMPARE(target.folder, home(folder));
        QCOMPARE(target.filePath, home(folder) + '/' + file);
        QCOMPARE(target.isDirectory, isDirectory);
    }

    void starterTexts()
    {
        QCOMPARE(starterText(ToolSource::Codex, "My Notes"),
                 QStringLiteral("# My Notes\n\n## Instructions\n\nAdd your skill instructions here."));
        QCOMPARE(starterText(ToolSource::Amp, "My Notes"), starterText(ToolSource::Codex, "My Notes"));
        QCOMPARE(starterText(ToolSource::Windsurf, "My Notes"),
                 QStringLiteral("---\nname: my-notes\ndescription: My Notes\n---\n\n# My Notes\n\n"
                                "Add your skill instructions here."));
        QCOMPARE(starterText(ToolSource::Cursor, "My Notes"), starterText(ToolSource::Claude, "My Notes"));
    }

    void claudeSkillIsWrittenAndStored()
    {
        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "My Skill!", &error);
        QVERIFY2(skill, qPrintable(error));

        const QString path = home(".claude/skills/my-skill/SKILL.md");
        const QByteArray expected =
            "---\nname: my-skill!\ndescription: My Skill!\n---\n\n# My Skill!\n\n## When to Use\n\n"
            "- Describe when this skill should be activated\n\n## Instructions\n\n"
            "Add your skill instructions here.";
        QCOMPARE(contents(path), expected);

        QCOMPARE(skill->filePath(), path);
        QCOMPARE(skill->resolvedPath(), QFileInfo(path).canonicalFilePath());
        QCOMPARE(skill->name(), QStringLiteral("My Skill!"));
        QCOMPARE(skill->skillDescription(), QStringLiteral("My Skill!"));
        QCOMPARE(skill->frontmatter().value("name"), QStringLiteral("my-skill!"));
        QVERIFY(skill->content().startsWith("# My Skill!"));
        QVERIFY(skill->isDirectory());
        QVERIFY(skill->isGlobal());
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("claude"));
        QCOMPARE(skill->fileSize(), qint64(expected.size()));
        QCOMPARE(skill->fileModifiedDate().timeSpec(), Qt::UTC);
        QVERIFY(qAbs(skill->fileModifiedDate().secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QCOMPARE(context().skills(), QList<Skill *>{skill});
        QVERIFY(!context().hasChanges());
        QVERIFY(skill->persistentId() > 0);
    }

    void sizeCountsUtf8Bytes()
    {
        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "Résumé Writer", &error);
        QVERIFY2(skill, qPrintable(error));
        const QString path = home(".claude/skills/résumé-writer/SKILL.md");
        QCOMPARE(skill->fileSize(), QFileInfo(path).size());
        QVERIFY(skill->fileSize() > starterText(ToolSource::Claude, "Résumé Writer").size());
    }

    void sameNameTwiceIsRefused()
    {
        QString error;
        QVERIFY(createSkill(context(), ToolSource::Claude, "Twice", &error));
        const QString path = home(".claude/skills/twice/SKILL.md");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("edited");
        file.close();

        QVERIFY(!createSkill(context(), ToolSource::Claude, "twice", &error));
        QCOMPARE(error, QStringLiteral("A skill with this name already exists"));
        QCOMPARE(contents(path), QByteArray("edited"));
        QCOMPARE(context().skills().size(), 1);
    }

    void codexKeepsOneFile()
    {
        QString error;
        Skill *first = createSkill(context(), ToolSource::Codex, "First", &error);
        QVERIFY2(first, qPrintable(error));
        QCOMPARE(first->filePath(), home(".codex/AGENTS.md"));
        QVERIFY(!first->isDirectory());
        QCOMPARE(first->skillDescription(), QString()); // no frontmatter in this layout

        QVERIFY(!createSkill(context(), ToolSource::Codex, "Second", &error));
        QCOMPARE(error, QStringLiteral("A skill with this name already exists"));
        QCOMPARE(contents(home(".codex/AGENTS.md")),
                 QByteArray("# First\n\n## Instructions\n\nAdd your skill instructions here."));
    }

    void copilotUsesClaudesFolder()
    {
        QString error;
        Skill *skill = createSkill(context(), ToolSource::Copilot, "Pilot Notes", &error);
        QVERIFY2(skill, qPrintable(error));
        QCOMPARE(skill->filePath(), home(".claude/skills/pilot-notes/SKILL.md"));
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("copilot"));
        QCOMPARE(contents(skill->filePath()),
                 QByteArray("---\nname: pilot-notes\ndescription: Pilot Notes\n---\n\n# Pilot Notes\n\n"
                            "Add your skill instructions here."));
    }

    void punctuationOnlyTouchesNothing()
    {
        QString error;
        QVERIFY(!createSkill(context(), ToolSource::Claude, "?!", &error));
        QCOMPARE(error, QStringLiteral("Invalid skill name"));
        QVERIFY(!QFileInfo::exists(home(".claude")));
        QVERIFY(context().skills().isEmpty());
    }

    void folderThatCannotBeMadeIsReported()
    {
        // A plain file where a folder must go defeats mkpath even for root.
        QFile blocker(home(".claude"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QString error;
        QVERIFY(!createSkill(context(), ToolSource::Claude, "Blocked", &error));
        QVERIFY2(error.contains(home(".claude/skills/blocked")), qPrintable(error));
        QVERIFY(context().skills().isEmpty());
    }

    void aLaterScanFindsTheSameRecordBehindALinkedHome()
    {
        QTemporaryDir linkParent;
        const QString linkedHome = linkParent.path() + "/home";
        QVERIFY(QFile::link(m_home->path(), linkedHome));
        qputenv("HOME", QFile::encodeName(linkedHome));

        QString error;
        Skill *skill = createSkill(context(), ToolSource::Claude, "Linked", &error);
        QVERIFY2(skill, qPrintable(error));
        QCOMPARE(skill->filePath(), linkedHome + "/.claude/skills/linked/SKILL.md");
        QCOMPARE(skill->resolvedPath(), QFileInfo(home(".claude/skills/linked/SKILL.md")).canonicalFilePath());

        ArtifactCache artifacts;
        SkillScanner(context(), artifacts).scanLocation(linkedHome + "/.claude/skills", ToolSource::Claude, true);
        QCOMPARE(context().skills(), QList<Skill *>{skill});
    }

    void createIsEnabledByAnyText()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        auto *create = sheet.findChild<QPushButton *>("create");
        QVERIFY(name && create);
        QCOMPARE(name->placeholderText(), QStringLiteral("Skill name"));
        QVERIFY(!create->isEnabled());
        QVERIFY(create->isDefault());
        QTest::keyClicks(name, "a");
        QVERIFY(create->isEnabled());
        name->clear();
        QVERIFY(!create->isEnabled());
        QTest::keyClicks(name, " ");
        QVERIFY(create->isEnabled());
    }

    void toolsAreEveryHarnessButCustom()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        auto *tool = sheet.findChild<QComboBox *>("tool");
        QVERIFY(tool);
        QCOMPARE(tool->count(), 7);
        QCOMPARE(tool->currentText(), QStringLiteral("Claude Code"));
        QStringList names;
        for (int i = 0; i < tool->count(); ++i) {
            names.append(tool->itemText(i));
            QVERIFY(!tool->itemIcon(i).isNull());
        }
        QCOMPARE(names, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Aider", "Amp"}));
        QVERIFY(!names.contains(Tools::displayName(ToolSource::Custom)));
    }

    void createSelectsTheSkillAndCloses()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *tool = sheet.findChild<QComboBox *>("tool");
        tool->setCurrentIndex(tool->findText("Cursor"));
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        QTest::keyClicks(name, "Fresh Idea");
        QTest::keyClick(name, Qt::Key_Return);

        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QVERIFY(!sheet.isVisible());
        QVERIFY(state.selectedSkill());
        QCOMPARE(state.selectedSkill()->name(), QStringLiteral("Fresh Idea"));
        QCOMPARE(state.selectedSkill()->toolSourcesRaw(), QStringLiteral("cursor"));
        QVERIFY(QFileInfo::exists(home(".cursor/skills/fresh-idea/SKILL.md")));
    }

    void failureKeepsTheSheetOpen()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *error = sheet.findChild<QLabel *>("error");
        QVERIFY(error && error->isHidden());
        QTest::keyClicks(sheet.findChild<QLineEdit *>("skillName"), "!!!");
        QTest::mouseClick(sheet.findChild<QPushButton *>("create"), Qt::LeftButton);

        QVERIFY(sheet.isVisible());
        QVERIFY(error->isVisible());
        QCOMPARE(error->text(), QStringLiteral("Invalid skill name"));
        QVERIFY(!state.selectedSkill());
        QVERIFY(context().skills().isEmpty());
    }

    void escapeCancelsWithoutWriting()
    {
        AppState state;
        NewSkillSheet sheet(state, context());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto *name = sheet.findChild<QLineEdit *>("skillName");
        QTest::keyClicks(name, "Never Made");
        QTest::keyClick(name, Qt::Key_Escape);

        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        QVERIFY(!sheet.isVisible());
        QVERIFY(!QFileInfo::exists(home(".claude")));
        QVERIFY(context().skills().isEmpty());
    }
};

VESK_TEST_MAIN(TestNewSkill)
#include "tst_newskill.moc"
