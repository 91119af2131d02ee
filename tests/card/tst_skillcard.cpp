#include "card/artifactbadge.h"
#include "card/clampedlabel.h"
#include "card/collectionpicker.h"
#include "card/comparedialog.h"
#include "card/metadatatable.h"
#include "card/skillcardview.h"
#include "card/skillmetadatabar.h"
#include "card/symboltext.h"
#include "common/appstate.h"
#include "common/libraryactions.h"
#include "library/checks/libraryhealth.h"
#include "library/sources/folderhash.h"
#include "library/sources/installrecord.h"
#include "library/sources/lockfile.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QtTest/QtTest>

namespace {

using TestFiles::writeFile;

QStringList texts(const QList<SymbolLabel *> &labels)
{
    QStringList result;
    for (const SymbolLabel *label : labels)
        result.append(label->text());
    return result;
}

} // namespace

// The card and the bar on real records in a throw-away store.
class TestSkillCard final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;
    AppState *m_state = nullptr;

    ModelContext &context() { return m_library->context(); }
    ArtifactCache &cache() { return m_library->artifacts(); }
    QString path(const QString &relative) const { return m_library->home(relative); }

    Skill *addSkill(const QString &file, const Skill::Frontmatter &frontmatter, const QString &content,
                    bool isDirectory, bool isGlobal = true)
    {
        writeFile(file, content.toUtf8());
        Skill *skill = context().insert(std::make_unique<Skill>(
            file, file, frontmatter.value("name", "unnamed"), frontmatter.value("description"), content, frontmatter,
            ToolSource::Claude, isDirectory, isGlobal, QDateTime::currentDateTime().addSecs(-2 * 3600), 4096));
        skill->setInstalledPaths({file});
        if (isDirectory)
            cache().setArtifacts(listArtifacts(file), file);
        context().save();
        return skill;
    }

    Skill *directorySkill()
    {
        const QString file = path("home/.claude/skills/notes/SKILL.md");
        for (const char *entry : {"scripts/collect.py", "scripts/run.sh", "references/guide.md", "rules/tone.md",
                                  "config.yaml", "settings.ini", "Makefile"})
            writeFile(path("home/.claude/skills/notes/") + QLatin1String(entry), "x\n");
        return addSkill(file,
                        {{"name", "release-notes"}, {"description", "Drafts release notes."}, {"version", "1.4.0"},
                         {"Author", "Dana"}, {"allowed-tools", "Read, Grep"}, {"license", ""}},
                        "# Notes\n\nFirst line.\n", true);
    }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        m_state = new AppState(this);
    }

    void cleanup()
    {
        delete m_state;
        m_library.reset();
    }

    void aDirectorySkillShowsEverySectionAndFollowsItsRecord()
    {
        Skill *skill = directorySkill();
        skill->setToolSources({ToolSource::Claude, ToolSource::Cursor, ToolSource::Windsurf});
        SkillCardView card(*m_state, cache());
        card.resize(600, 900);
        card.setSkill(skill);

        QCOMPARE(texts(card.findChildren<SymbolLabel *>("harnessBadge")),
                 (QStringList{"Claude Code", "Cursor", "Windsurf"}));
        QCOMPARE(card.findChild<SymbolLabel *>("locationBadge")->text(), QStringLiteral("Global"));
        QCOMPARE(card.findChild<ClampedLabel *>("cardName")->text(), QStringLiteral("release-notes"));
        QCOMPARE(card.findChild<ClampedLabel *>("cardDescription")->text(), QStringLiteral("Drafts release notes."));
        QCOMPARE(card.findChild<SymbolLabel *>("sizeFact")->text(), QStringLiteral("4 KB"));
        QCOMPARE(card.findChild<SymbolLabel *>("dateFact")->text(), QStringLiteral("2 hours ago"));
        QCOMPARE(card.findChild<SymbolLabel *>("resourceFact")->text(), QStringLiteral("7 resources"));

        auto *table = card.findChild<MetadataTable *>();
        QVERIFY(table);
        QCOMPARE(table->keys(), (QStringList{"Author", "allowed-tools", "version"}));
        QVERIFY(table->valueLabels().first()->isSelectable());

        QCOMPARE(texts(card.findChildren<SymbolLabel *>("artifactGroupHeading")),
                 (QStringList{"Scripts", "References", "Rules", "Config", "Files"}));
        const QList<ArtifactBadge *> chips = card.findChildren<ArtifactBadge *>();
        QCOMPARE(chips.size(), 7);
        for (ArtifactBadge *chip : chips) {
            if (chip->artifact().name == QLatin1String("settings.ini")) {
                QCOMPARE(chip->symbolName(), QStringLiteral("doc.fill"));
                QCOMPARE(chip->toolTip(), QStringLiteral("settings.ini"));
            }
        }
        QCOMPARE(card.findChild<ClampedLabel *>("contentPreview")->text(), QStringLiteral("# Notes\nFirst line."));

        // A rescan writes several fields; the card redraws once, after them.
        QSignalSpy rebuilt(&card, &SkillCardView::rebuilt);
        writeFile(path("home/.claude/skills/notes/scripts/extra.py"), "x\n");
        cache().setArtifacts(listArtifacts(skill->filePath()), skill->filePath());
        skill->setName(QStringLiteral("renamed"));
        skill->setFrontmatter({{"name", "renamed"}, {"model", "opus"}});
        QVERIFY(rebuilt.wait(5000));
        QCOMPARE(rebuilt.count(), 1);
        QCOMPARE(card.findChild<ClampedLabel *>("cardName")->text(), QStringLiteral("renamed"));
        QCOMPARE(card.findChild<MetadataTable *>()->keys(), QStringList{"model"});
        QCOMPARE(card.findChild<SymbolLabel *>("resourceFact")->text(), QStringLiteral("8 resources"));
    }

    void problemsListWhatTheChecksFound_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("otherContent"); // a second skill of the same name, if any
        QTest::addColumn<QStringList>("places");
        QTest::addColumn<QString>("firstMessagePart");
        const QString good = QStringLiteral("---\nname: notes\ndescription: Takes notes.\n---\nWrite them down.\n");
        QTest::newRow("a clean skill has no problems section") << good << QString() << QStringList() << QString();
        QTest::newRow("notes are not problems")
            << QStringLiteral("---\nname: notes\ndescription: x\nwhen_to_use: always\n---\nBody\n") << QString()
            << QStringList() << QString();
        QTest::newRow("a block that is not YAML is an error at its line")
            << QStringLiteral("---\nname: notes\ndescription: \"never closes\n---\nBody\n") << QString()
            << QStringList{"Line 3"} << QStringLiteral("Strict YAML");
        QTest::newRow("errors come before warnings")
            << QStringLiteral("---\nname: Notes\n---\nBody\n") << QString()
            << QStringList{"Line 1", "Line 2", "Line 2"} << QStringLiteral("no description");
        QTest::newRow("a differing copy of the same name names the other file")
            << good << QStringLiteral("---\nname: notes\ndescription: Other notes.\n---\nElse.\n")
            << QStringList{"File"} << QStringLiteral(".agents/skills/notes/SKILL.md");
    }

    void problemsListWhatTheChecksFound()
    {
        QFETCH(QString, content);
        QFETCH(QString, otherContent);
        QFETCH(QStringList, places);
        QFETCH(QString, firstMessagePart);
        Skill *skill = addSkill(path("home/.claude/skills/notes/SKILL.md"), {{"name", "notes"}}, content, true);
        if (!otherContent.isEmpty()) {
            Skill *other = addSkill(path("home/.agents/skills/notes/SKILL.md"), {{"name", "notes"}}, otherContent, true);
            other->setToolSources({ToolSource::Claude});
        }
        SkillCardView card(*m_state, cache());
        card.setSkill(skill);
        const QWidget *section = card.findChild<QWidget *>("problemsSection");
        QCOMPARE(section != nullptr, !places.isEmpty());
        if (!section)
            return;
        QCOMPARE(texts(section->findChildren<SymbolLabel *>("problemPlace")), places);
        const QList<ClampedLabel *> messages = section->findChildren<ClampedLabel *>("problemMessage");
        QVERIFY2(messages.first()->text().contains(firstMessagePart), qPrintable(messages.first()->text()));
    }

    void problemsFollowTheLibraryHealth_data()
    {
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<QStringList>("places"); // after the rules are turned off
        QTest::newRow("the health's findings show as they are") << QStringList() << QStringList{"Line 1", "Line 2", "Line 2"};
        QTest::newRow("a rule turned off leaves the card at once")
            << QStringList{"format/description-missing"} << QStringList{"Line 2", "Line 2"};
        QTest::newRow("with every problem's rule off the section goes")
            << QStringList{"format/description-missing", "format/name-characters", "format/name-folder"} << QStringList();
    }

    void problemsFollowTheLibraryHealth()
    {
        QFETCH(QStringList, disabled);
        QFETCH(QStringList, places);
        Skill *skill = addSkill(path("home/.claude/skills/notes/SKILL.md"), {{"name", "notes"}},
                                QStringLiteral("---\nname: Notes\n---\nBody\n"), true);
        LibraryHealth health(context());
        QSignalSpy finished(&health, &LibraryHealth::roundFinished);
        health.start();
        QVERIFY(finished.wait(20000));
        SkillCardView card(*m_state, cache());
        card.setHealth(&health);
        card.setSkill(skill);
        QCOMPARE(texts(card.findChild<QWidget *>("problemsSection")->findChildren<SymbolLabel *>("problemPlace")),
                 (QStringList{"Line 1", "Line 2", "Line 2"}));
        QSignalSpy rebuilt(&card, &SkillCardView::rebuilt);
        health.setDisabledRules(QSet<QString>(disabled.cbegin(), disabled.cend()));
        if (!disabled.isEmpty())
            QVERIFY(rebuilt.wait(5000));
        const QWidget *section = card.findChild<QWidget *>("problemsSection");
        QCOMPARE(section ? texts(section->findChildren<SymbolLabel *>("problemPlace")) : QStringList(), places);
    }

    // Each problem offers what can be done about it: its line in the editor, or
    // for a clash the other skill and the two files side by side.
    void problemsOfferWhatCanBeDoneAboutThem_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("otherContent"); // a second skill of the same name, if any
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QString>("expectedRequest");
        const QString good = QStringLiteral("---\nname: notes\ndescription: Takes notes.\n---\nWrite them down.\n");
        QTest::newRow("a problem on a line offers Show Line, which asks for that line")
            << QStringLiteral("---\nname: notes\ndescription: x\nfavourite: yes\n---\nBody\n") << QString()
            << QStringList{"showLineButton"} << QStringLiteral("showLineButton") << QStringLiteral("line 4");
        QTest::newRow("a clash names the other skill, which it asks to show")
            << good << QStringLiteral("---\nname: notes\ndescription: Other notes.\n---\nElse.\n")
            << QStringList{"otherSkillLink", "compareButton"} << QStringLiteral("otherSkillLink")
            << QStringLiteral("other home/.agents/skills/notes/SKILL.md");
        QTest::newRow("a clash's Compare asks for this file beside the other")
            << good << QStringLiteral("---\nname: notes\ndescription: Other notes.\n---\nElse.\n")
            << QStringList{"otherSkillLink", "compareButton"} << QStringLiteral("compareButton")
            << QStringLiteral("compare home/.claude/skills/notes/SKILL.md home/.agents/skills/notes/SKILL.md");
    }

    void problemsOfferWhatCanBeDoneAboutThem()
    {
        QFETCH(QString, content);
        QFETCH(QString, otherContent);
        QFETCH(QStringList, buttons);
        QFETCH(QString, clicked);
        QFETCH(QString, expectedRequest);
        Skill *skill = addSkill(path("home/.claude/skills/notes/SKILL.md"), {{"name", "notes"}}, content, true);
        if (!otherContent.isEmpty()) {
            Skill *other = addSkill(path("home/.agents/skills/notes/SKILL.md"), {{"name", "notes"}}, otherContent, true);
            other->setToolSources({ToolSource::Claude});
        }
        SkillCardView card(*m_state, cache());
        card.resize(700, 900);
        card.setSkill(skill);
        QStringList requests;
        const auto relative = [this](const QString &file) { return QDir(path(QString())).relativeFilePath(file); };
        connect(&card, &SkillCardView::showLineRequested, this,
                [&](int line) { requests.append(QStringLiteral("line %1").arg(line)); });
        connect(&card, &SkillCardView::otherSkillRequested, this,
                [&](const QString &other) { requests.append(QStringLiteral("other ") + relative(other)); });
        connect(&card, &SkillCardView::compareRequested, this, [&](const QString &own, const QString &other) {
            requests.append(QStringLiteral("compare %1 %2").arg(relative(own), relative(other)));
        });
        const QWidget *section = card.findChild<QWidget *>("problemsSection");
        QVERIFY(section);
        QStringList found;
        for (const QAbstractButton *button : section->findChildren<QAbstractButton *>())
            found.append(button->objectName());
        QCOMPARE(found, buttons);
        auto *button = section->findChild<QAbstractButton *>(clicked);
        // Reached from the keyboard, and pressed with it.
        QVERIFY(button->focusPolicy() & Qt::TabFocus);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QCOMPARE(requests, QStringList{expectedRequest});
    }

    // A skill installed from a repository and edited since: each changed file
    // that is a file on both sides compares the copy kept at install with the
    // user's; the others are named with what happened to them.
    void editedFilesCompareWithTheInstalledCopy_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("copyKept");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("an edited file is a button that compares the installed copy with yours")
            << "edit SKILL.md" << true << QStringList{"SKILL.md"} << QStringList();
        QTest::newRow("every edited file has its own button, in folder order")
            << "edit both" << true << QStringList{"SKILL.md", "references/guide.md"} << QStringList();
        QTest::newRow("a file added since is named but has nothing to compare")
            << "add notes.md" << true << QStringList() << QStringList{"notes.md (added)"};
        QTest::newRow("a file removed since is named but has nothing to compare")
            << "remove references/guide.md" << true << QStringList() << QStringList{"references/guide.md (removed)"};
        QTest::newRow("a file turned into a link to elsewhere is not read through it")
            << "link SKILL.md" << true << QStringList() << QStringList{"SKILL.md (changed)"};
        QTest::newRow("without a kept copy the edit is said but no file is offered")
            << "edit SKILL.md" << false << QStringList() << QStringList();
        QTest::newRow("an untouched skill offers nothing") << "" << true << QStringList() << QStringList();
    }

    void editedFilesCompareWithTheInstalledCopy()
    {
        QFETCH(QString, edit);
        QFETCH(bool, copyKept);
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, labels);
        const QString folder = path(QStringLiteral(".agents/skills/alpha"));
        const QByteArray skillText = "---\nname: alpha\ndescription: x\n---\none\ntwo\n";
        writeFile(folder + QStringLiteral("/references/guide.md"), "guide\n");
        Skill *skill = addSkill(folder + QStringLiteral("/SKILL.md"), {{"name", "alpha"}}, QString::fromUtf8(skillText), true);
        LockEntry entry;
        entry.name = QStringLiteral("alpha");
        entry.source = QStringLiteral("acme/skills");
        entry.sourceType = QStringLiteral("github");
        entry.hash = gitTreeId(folder).value_or(QString());
        QVERIFY(!entry.hash.isEmpty());
        QVERIFY(writeLockEntry(globalLockPath(), LockKind::Global, entry));
        if (copyKept)
            QVERIFY(keepPristine(folder, folder));

        const QString secret = path(QStringLiteral("secret.txt"));
        writeFile(secret, "not the skill's\n");
        if (edit == QLatin1String("edit SKILL.md") || edit == QLatin1String("edit both"))
            writeFile(folder + QStringLiteral("/SKILL.md"), skillText + "three\n");
        if (edit == QLatin1String("edit both"))
            writeFile(folder + QStringLiteral("/references/guide.md"), "guide, edited\n");
        if (edit == QLatin1String("add notes.md"))
            writeFile(folder + QStringLiteral("/notes.md"), "mine\n");
        if (edit == QLatin1String("remove references/guide.md"))
            QVERIFY(QFile::remove(folder + QStringLiteral("/references/guide.md")));
        if (edit == QLatin1String("link SKILL.md")) {
            QVERIFY(QFile::remove(folder + QStringLiteral("/SKILL.md")));
            QVERIFY(QFile::link(secret, folder + QStringLiteral("/SKILL.md")));
        }

        SkillCardView card(*m_state, cache());
        card.resize(700, 900);
        card.setSkill(skill);
        QVERIFY(card.findChild<QWidget *>("sourceSection"));
        QCOMPARE(bool(card.findChild<QWidget *>("editedSinceInstalled")), !edit.isEmpty());
        QStringList foundButtons;
        QStringList foundLabels;
        for (const SymbolButton *button : card.findChildren<SymbolButton *>("editedFileCompare"))
            foundButtons.append(button->content().text);
        for (const SymbolLabel *label : card.findChildren<SymbolLabel *>("editedFileOnly"))
            foundLabels.append(label->text());
        QCOMPARE(foundButtons, buttons);
        QCOMPARE(foundLabels, labels);

        QStringList requests;
        connect(&card, &SkillCardView::installedCompareRequested, this,
                [&](const QString &installed, const QString &current) { requests = {installed, current}; });
        for (SymbolButton *button : card.findChildren<SymbolButton *>("editedFileCompare")) {
            // Reached from the keyboard, and pressed with it.
            QVERIFY(button->focusPolicy() & Qt::TabFocus);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Space);
            const QString relative = button->content().text;
            QCOMPARE(requests, (QStringList{pristineFolderFor(folder) + u'/' + relative, folder + u'/' + relative}));
            // The kept copy is the file as installed: the two differ where the edit is.
            const CompareDialog dialog(requests.at(0), requests.at(1));
            QVERIFY(dialog.diff().rows.size() >= 1);
            QVERIFY(std::any_of(dialog.diff().rows.cbegin(), dialog.diff().rows.cend(),
                                [](const DiffRow &row) { return row.kind != DiffRow::Kind::Same; }));
        }
    }

    void aSingleFileSkillHasNoResourcesAndNoEmptySections()
    {
        Skill *skill = addSkill(path("home/.cursor/rules/style.mdc"), {{"name", "style"}, {"Description", "x"}},
                                "", false, false);
        SkillCardView card(*m_state, cache());
        card.setSkill(skill);
        QVERIFY(!card.findChild<QWidget *>("resourcesSection"));
        QVERIFY(!card.findChild<SymbolLabel *>("resourceFact"));
        QVERIFY(!card.findChild<QWidget *>("metadataSection"));
        // Not global: the folder before the first dot-folder names the project.
        QCOMPARE(card.findChild<SymbolLabel *>("locationBadge")->text(), QStringLiteral("home"));
        QCOMPARE(card.findChild<ClampedLabel *>("contentPreview")->text(), QStringLiteral("(No content)"));
    }

    void chipsRevealTheirFileAndWrapWhenNarrowAndEditOpensTheEditor()
    {
        Skill *skill = directorySkill();
        QWidget window;
        auto *card = new SkillCardView(*m_state, cache(), &window);
        card->setSkill(skill);
        window.resize(700, 800);
        card->resize(700, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy reveal(card, &SkillCardView::revealRequested);
        ArtifactBadge *chip = card->findChildren<ArtifactBadge *>().first();
        QTest::mouseClick(chip, Qt::LeftButton);
        QCOMPARE(reveal.count(), 1);
        QCOMPARE(reveal.first().first().toString(), chip->artifact().path);

        auto *content = card->widget();
        const int wide = content->heightForWidth(700);
        const int narrow = content->heightForWidth(240);
        QVERIFY2(narrow > wide, qPrintable(QStringLiteral("%1 <= %2").arg(narrow).arg(wide)));
        card->resize(260, 800);
        QTRY_VERIFY(card->widget()->width() <= 260);
        for (ArtifactBadge *badge : card->findChildren<ArtifactBadge *>()) {
            const QRect inCard(badge->mapTo(content, QPoint(0, 0)), badge->size());
            QVERIFY2(inCard.right() < content->width() || badge->width() > content->width() - 48,
                     qPrintable(badge->artifact().name));
        }

        QCOMPARE(m_state->detailViewMode(), DetailViewMode::Card);
        card->findChild<QAbstractButton *>("editButton")->click();
        QCOMPARE(m_state->detailViewMode(), DetailViewMode::Editor);
        // The card's picture fades out above what replaces it, then goes.
        QVERIFY(window.findChild<QLabel *>("crossFadePicture"));
        QTRY_VERIFY(!window.findChild<QLabel *>("crossFadePicture"));
    }

    void previewAndDescriptionAreCutWithAnEllipsis()
    {
        QStringList body;
        // Long lines wrap, so twenty of them need more than twenty lines on screen.
        for (int i = 1; i <= 40; ++i)
            body.append(QStringLiteral("line %1 ").arg(i) + QString(30, u'z') + u' ' + QString(30, u'z'));
        // A body of several megabytes: only its first lines are ever laid out.
        const QString huge = body.join(u'\n') + u'\n' + QString(5 * 1024 * 1024, u'y');
        Skill *skill = addSkill(path("home/.claude/skills/big.md"),
                                {{"name", "big"}, {"description", QString(3000, u'w') + " end"}}, huge, false);
        SkillCardView card(*m_state, cache());
        card.resize(500, 800);
        card.setSkill(skill);
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        auto *preview = card.findChild<ClampedLabel *>("contentPreview");
        QTRY_VERIFY(preview->width() > 100);
        QVERIFY(preview->isTruncated());
        const QStringList shown = preview->displayedText().split(u'\n');
        QCOMPARE(shown.size(), 20);
        QVERIFY(shown.first().startsWith(QStringLiteral("line 1 ")));
        QVERIFY(shown.last().endsWith(QChar(0x2026)));
        auto *description = card.findChild<ClampedLabel *>("cardDescription");
        QVERIFY(description->isTruncated());
        QCOMPARE(description->displayedText().count(u'\n'), 2);
    }

    void previewTextCanBeSelectedAndCopied()
    {
        ClampedLabel label;
        label.setFont(designMonospaceFont(13));
        label.setMaximumLineCount(20);
        label.setSelectable(true);
        label.setText(QStringLiteral("alpha beta\ngamma <b>delta</b>"));
        label.resize(600, 200);
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        // Markup is shown as the characters it is made of.
        QCOMPARE(label.displayedText(), QStringLiteral("alpha beta\ngamma <b>delta</b>"));
        label.selectAll();
        QCOMPARE(label.selectedText(), label.text());
        QTest::keySequence(&label, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), label.text());
        QTest::mouseDClick(&label, Qt::LeftButton, {}, QPoint(3, 5));
        QCOMPARE(label.selectedText(), QStringLiteral("alpha"));
    }

    void longPathsKeepTheirStartAndFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("widthOf"); // the width offered is this text's
        QTest::addColumn<QString>("startsWith");
        QTest::addColumn<QString>("endsWith");
        const QString path = QStringLiteral("~/Projects/atlas/.claude/skills/deploy/SKILL.md");
        QTest::newRow("a path that fits is shown whole") << path << path << path << path;
        QTest::newRow("a long path loses its middle, not its file name")
            << path << QStringLiteral("~/Projects/atl…/SKILL.md") << "~/Projects/" << "…/SKILL.md";
        QTest::newRow("a file name wider than the room is cut in its middle too")
            << QStringLiteral("~/x/a-very-long-file-name-that-goes-on-and-on.md") << QStringLiteral("~/x/a-very…on.md")
            << "~/x/" << "on.md";
        QTest::newRow("a bare file name is cut in its middle")
            << QStringLiteral("a-very-long-file-name-that-goes-on.md") << QStringLiteral("a-very-lo…-on.md") << "a-ve"
            << "on.md";
    }

    void longPathsKeepTheirStartAndFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, widthOf);
        QFETCH(QString, startsWith);
        QFETCH(QString, endsWith);
        const QFontMetricsF metrics(designFont(10));
        const qreal width = metrics.horizontalAdvance(widthOf);
        const QString shown = elidePath(path, metrics, width);
        QVERIFY2(shown.startsWith(startsWith) && shown.endsWith(endsWith), qPrintable(shown));
        QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
        QCOMPARE(shown.contains(QChar(0x2026)), shown != path);
    }

    void theBarSaysWhereALinkedSkillReallyIs_data()
    {
        QTest::addColumn<QString>("link");   // relative to home, made a link to `target`; empty: none
        QTest::addColumn<QString>("target"); // relative to home
        QTest::addColumn<QString>("file");   // the skill file, relative to home
        QTest::addColumn<QString>("shown");
        QTest::newRow("a file where its path says") << "" << "" << "linkcheck/plain/SKILL.md" << "";
        QTest::newRow("a project file linked to the profile")
            << "linkcheck/app/SKILL.md" << "linkcheck/.profile" << "linkcheck/app/SKILL.md"
            << "link to ~/linkcheck/.profile";
        QTest::newRow("a skill folder linked to another folder")
            << "linkcheck/skills/x" << "linkcheck/shared/x" << "linkcheck/skills/x/SKILL.md"
            << "link to ~/linkcheck/shared/x/SKILL.md";
    }

    void theBarSaysWhereALinkedSkillReallyIs()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QString, file);
        QFETCH(QString, shown);
        const QString home = QDir(QDir::homePath()).canonicalPath() + u'/';
        QDir(home + "linkcheck").removeRecursively();
        TestFiles::writeFile(home + "linkcheck/plain/SKILL.md", "plain");
        TestFiles::writeFile(home + "linkcheck/.profile", "export PATH");
        TestFiles::writeFile(home + "linkcheck/shared/x/SKILL.md", "shared");
        QVERIFY(QDir().mkpath(home + "linkcheck/app") && QDir().mkpath(home + "linkcheck/skills"));
        if (!link.isEmpty())
            QVERIFY(QFile::link(home + target, home + link));
        QCOMPARE(SkillMetadataBar::linkText(home + file), shown);
        QDir(home + "linkcheck").removeRecursively();
    }

    void theBarShowsWhereTheSkillLivesAndItsPickerSavesAtOnce()
    {
        Skill *skill = directorySkill();
        const QString home = QDir::homePath();
        skill->setInstalledPaths({skill->filePath(), home + "/.cursor/skills/notes/SKILL.md"});
        skill->setToolSources({ToolSource::Claude, ToolSource::Cursor});
        QWidget window;
        auto *bar = new SkillMetadataBar(context(), &window);
        bar->setSkill(skill);
        QCOMPARE(bar->findChildren<QLabel *>("harnessIcon").size(), 2);
        const QStringList lines = bar->installedPathsText().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(1), QStringLiteral("~/.cursor/skills/notes/SKILL.md"));
        QCOMPARE(bar->findChild<QWidget *>("metadataHarnesses")->toolTip(), bar->installedPathsText());
        QCOMPARE(bar->findChild<ClampedLabel *>("metadataPath")->toolTip(), bar->installedPathsText());
        QCOMPARE(bar->findChild<QLabel *>("metadataSize")->text(), QStringLiteral("4 KB"));
        QCOMPARE(bar->findChild<QLabel *>("metadataDate")->text(), QStringLiteral("2 hours ago"));

        window.resize(700, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Without collections the picker says so.
        bar->collectionsButton()->click();
        QTRY_VERIFY(bar->collectionPicker()->isVisible());
        QVERIFY(bar->collectionPicker()->rows().isEmpty());
        QVERIFY(bar->collectionPicker()->isShowingEmptyText());
        QCOMPARE(bar->collectionPicker()->findChild<QLabel *>("noCollectionsYet")->text(),
                 QStringLiteral("No collections yet"));
        // The click outside that closes the picker, landing on its button, does not reopen it;
        // closing it any other way leaves the button's next click free to open it.
        const QPointF outside(-5, -5);
        QMouseEvent press(QEvent::MouseButtonPress, outside, bar->collectionPicker()->mapToGlobal(outside),
                          Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(bar->collectionPicker(), &press);
        QVERIFY(!bar->collectionPicker()->isVisible());
        bar->collectionsButton()->click();
        QVERIFY(!bar->collectionPicker()->isVisible());
        QTRY_VERIFY(!bar->collectionPicker()->wasJustClosed());
        bar->collectionsButton()->click();
        QTRY_VERIFY(bar->collectionPicker()->isVisible());
        bar->setSkill(nullptr); // showing another skill closes the picker
        bar->setSkill(skill);
        QVERIFY(!bar->collectionPicker()->isVisible());
        bar->collectionsButton()->click();
        QTRY_VERIFY(bar->collectionPicker()->isVisible());
        bar->collectionPicker()->hide();

        QString error;
        // Created out of name order: rows are not sorted by name.
        SkillCollection *work = createCollection(context(), "Work", "hammer", &error);
        SkillCollection *archive = createCollection(context(), "Archive", "archivebox", &error);
        QVERIFY(work && archive);
        work->addSkill(skill);
        context().save();

        bar->collectionsButton()->click();
        CollectionPicker *picker = bar->collectionPicker();
        QTRY_VERIFY(picker->isVisible());
        QList<QAbstractButton *> rows = picker->rows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0)->text(), QStringLiteral("Work"));
        QCOMPARE(rows.at(1)->text(), QStringLiteral("Archive"));
        QVERIFY(rows.at(0)->isChecked());
        QVERIFY(!rows.at(1)->isChecked());
        QVERIFY(!picker->isShowingEmptyText());

        QTRY_VERIFY(!rows.at(0)->rect().isEmpty()); // laid out, so the click lands on it
        QTest::mouseClick(rows.at(0), Qt::LeftButton);
        QVERIFY(!isMember(*skill, *work));
        QVERIFY(!context().hasChanges());
        QTRY_VERIFY(!picker->rows().at(0)->isChecked());
        QVERIFY(picker->isVisible());

        QTest::mouseClick(picker->rows().at(1), Qt::LeftButton);
        QTest::mouseClick(picker->rows().at(0), Qt::LeftButton);
        // Added back at the end of the skill's collections.
        QCOMPARE(skill->collections(), (QList<SkillCollection *>{archive, work}));
        QVERIFY(!context().hasChanges());
        QTRY_VERIFY(picker->rows().at(0)->isChecked() && picker->rows().at(1)->isChecked());

        // Rows follow the sort order, not the order of creation, and move at once.
        archive->setSortOrder(work->sortOrder() - 1);
        QTRY_COMPARE(picker->rows().at(0)->text(), QStringLiteral("Archive"));
        QCOMPARE(picker->rows().at(1)->text(), QStringLiteral("Work"));
        context().save();

        // What was saved is what a fresh opening of the store reads.
        bar->setSkill(nullptr);
        m_library->openStore();
        QCOMPARE(context().collectionNamed("Work")->skills().size(), 1);
        QCOMPARE(context().collectionNamed("Archive")->skills().size(), 1);
    }
};

VESK_TEST_MAIN(TestSkillCard)
#include "tst_skillcard.moc"
