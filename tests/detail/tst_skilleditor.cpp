#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilleditorview.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest/QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestFiles::writeBytes;

// Changes the file the way another editor saves: a new file renamed over it.
bool replaceBytes(const QString &path, const QByteArray &bytes)
{
    return writeBytes(path + ".other", bytes) && ::rename(QFile::encodeName(path + ".other").constData(),
                                                          QFile::encodeName(path).constData()) == 0;
}

const QByteArray kReview = "---\nname: review\ndescription: Reviews diffs\n---\n# Review\n\nRead the **whole** diff.\n";

} // namespace

// The editor mode of the detail column, on real files in a temporary home.
class TestSkillEditor final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ModelContainer> m_container;

    ModelContext &context() const { return *m_container->mainContext(); }
    QString skillPath(const QString &name) const { return m_home->path() + "/.claude/skills/" + name + "/SKILL.md"; }

    // A stored record for the file at `name`'s path (written first unless `bytes` is null).
    Skill *addSkill(const QString &name, const QByteArray &bytes, const QString &storedBody = QStringLiteral("Stored body."))
    {
        if (!bytes.isNull() && !writeBytes(skillPath(name), bytes))
            return nullptr;
        Skill *skill = context().insert(std::make_unique<Skill>(
            skillPath(name), skillPath(name), name, QStringLiteral("old description"), storedBody,
            Skill::Frontmatter{{"name", name}}, ToolSource::Claude, true, true, QDateTime::currentDateTimeUtc(), 1));
        return skill && context().save() ? skill : nullptr;
    }

    static void type(SkillEditorView &view, const QString &text)
    {
        QTest::keyClicks(view.textEditor(), text);
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QString error;
        m_container = ModelContainer::open(m_home->path() + "/data/vesk.sqlite", &error);
        QVERIFY2(m_container, qPrintable(error));
    }

    void cleanup()
    {
        m_container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_home.reset();
    }

    void loadsTheWholeFileUnmodified()
    {
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        QCOMPARE(view.text(), QString::fromUtf8(kReview));
        QVERIFY(!view.hasUnsavedChanges());
        QVERIFY(view.isEditable());
        QVERIFY(!view.textEditor()->isReadOnly());
        QVERIFY(view.saveAction().has_value());
        QVERIFY(view.modifiedBadge()->isHidden());
        QVERIFY(view.findChild<QLabel *>("readOnlyNotice")->isHidden());
    }

    void typingShowsModifiedAndTakingItBackHidesIt()
    {
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QSignalSpy modified(&view, &SkillEditorView::modifiedChanged);
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "x");
        QVERIFY(view.hasUnsavedChanges());
        QVERIFY(view.modifiedBadge()->isVisible());
        QCOMPARE(view.modifiedBadge()->text(), QStringLiteral("Modified"));
        QTest::keyClick(view.textEditor(), Qt::Key_Backspace);
        QVERIFY(!view.hasUnsavedChanges());
        QVERIFY(view.modifiedBadge()->isHidden());
        // Replacing a character by another keeps the length: still noticed.
        QTest::keyClick(view.textEditor(), Qt::Key_Backspace);
        type(view, "?");
        QVERIFY(view.hasUnsavedChanges());
        QCOMPARE(modified.size(), 3);
    }

    void savingRefreshesTheRecordFromTheSavedText_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QStringList>("keys");
        const QString body = QStringLiteral("# Review\n\nRead the **whole** diff.");
        QTest::newRow("a new name in the frontmatter renames the skill")
            << "name: review" << "name: careful-review" << "careful-review" << "Reviews diffs" << body
            << QStringList{"description", "name"};
        QTest::newRow("deleting the name line keeps the old name")
            << "name: review\n" << "" << "review" << "Reviews diffs" << body << QStringList{"description"};
        QTest::newRow("deleting the description line empties the description")
            << "description: Reviews diffs\n" << "" << "review" << "" << body << QStringList{"name"};
        QTest::newRow("without frontmatter the whole text is the body and the name stays")
            << "---\nname: review\ndescription: Reviews diffs\n---\n" << "" << "review" << "" << body + u'\n'
            << QStringList{};
    }

    void savingRefreshesTheRecordFromTheSavedText()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, content);
        QFETCH(QStringList, keys);
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        const QString edited = QString::fromUtf8(kReview).replace(from, to);
        view.textEditor()->setPlainText(edited);
        QVERIFY(view.hasUnsavedChanges());

        QVERIFY(view.save());
        QCOMPARE(TestFiles::readFile(skillPath("review")), edited.toUtf8());
        QVERIFY(!view.hasUnsavedChanges());
        QCOMPARE(skill->name(), name);
        QCOMPARE(skill->skillDescription(), description);
        QCOMPARE(skill->content(), content);
        QCOMPARE(skill->frontmatter().keys(), keys);
        QCOMPARE(skill->fileSize(), qint64(edited.toUtf8().size()));
        QVERIFY(!context().hasChanges()); // the store was saved with the file
    }

    // A save changes only what the user changed: untouched text goes back byte
    // for byte, whatever the editor made of it on the way in.
    void savingUntouchedTextWritesTheSameBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("line feeds") << kReview;
        QTest::newRow("CRLF line ends") << QByteArray(kReview).replace("\n", "\r\n");
        QTest::newRow("a byte-order mark and CRLF") << "\xEF\xBB\xBF" + QByteArray(kReview).replace("\n", "\r\n");
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\r\n");
        QTest::newRow("lone carriage returns") << QByteArray("a\rb\r");
        QTest::newRow("no-break spaces and separators") << QByteArray("a\xC2\xA0" "b\xE2\x80\xA8" "c\xE2\x80\xA9" "d");
        QTest::newRow("no line end at the end") << QByteArray("# Title");
    }

    void savingUntouchedTextWritesTheSameBytes()
    {
        QFETCH(QByteArray, bytes);
        Skill *skill = addSkill("review", bytes);
        SkillEditorView view;
        view.setSkill(skill);
        QVERIFY(!view.hasUnsavedChanges());
        QVERIFY(view.save());
        QCOMPARE(TestFiles::readFile(skillPath("review")), bytes);
    }

    void anEditKeepsTheFilesLineEndsAndMark()
    {
        const QByteArray crlf = "\xEF\xBB\xBF" + QByteArray(kReview).replace("\n", "\r\n");
        Skill *skill = addSkill("review", crlf);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "More.");
        QTest::keyClick(view.textEditor(), Qt::Key_Return);
        QVERIFY(view.save());
        QCOMPARE(TestFiles::readFile(skillPath("review")), crlf + "More.\r\n");
    }

    void aMissingFileShowsTheStoredBodyAndSavingRestoresIt()
    {
        Skill *skill = addSkill("gone", QByteArray(), QStringLiteral("Stored body."));
        QVERIFY(QDir().mkpath(QFileInfo(skillPath("gone")).absolutePath()));
        SkillEditorView view;
        view.setSkill(skill);
        QCOMPARE(view.text(), QStringLiteral("Stored body."));
        QVERIFY(view.isEditable());
        QVERIFY(view.save());
        QCOMPARE(TestFiles::readFile(skillPath("gone")), QByteArray("Stored body."));
    }

    // Saving such a file would replace bytes that were never shown.
    void aFileThatCannotBeReadAsTextIsShownReadOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not UTF-8") << "latin1" << "it is not valid UTF-8 text";
        QTest::newRow("a named pipe") << "fifo" << "it is not a regular file";
        QTest::newRow("no permission to read") << "private" << "Permission denied";
    }

    void aFileThatCannotBeReadAsTextIsShownReadOnly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QByteArray latin1 = "---\nname: caf\xE9\n---\nbody";
        Skill *skill = addSkill("odd", kind == "fifo" ? QByteArray() : latin1);
        QVERIFY(skill);
        if (kind == "fifo") {
            QVERIFY(QDir().mkpath(QFileInfo(skillPath("odd")).absolutePath()));
            QCOMPARE(::mkfifo(QFile::encodeName(skillPath("odd")).constData(), 0600), 0);
        } else if (kind == "private") {
            if (::geteuid() == 0)
                QSKIP("permissions do not bind root");
            QVERIFY(QFile::setPermissions(skillPath("odd"), QFileDevice::WriteOwner));
        }
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QCOMPARE(view.text(), QStringLiteral("Stored body."));
        QVERIFY(!view.isEditable());
        QVERIFY(view.textEditor()->isReadOnly());
        QVERIFY(!view.saveAction().has_value());
        QCOMPARE(view.readOnlyReason(), reason);
        auto *notice = view.findChild<QLabel *>("readOnlyNotice");
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(reason), qPrintable(notice->text()));
        view.save();
        if (kind != "fifo")
            QCOMPARE(TestFiles::readFile(skillPath("odd")), latin1);
    }

    // A line of hundreds of thousands of characters takes seconds per keystroke
    // to lay out: such a file is shown at once, read-only, its long lines cut.
    void aFileWithAVeryLongLineIsShownReadOnly()
    {
        const QByteArray line(int(maxEditableLineLength) + 5000, 'a');
        const QByteArray bytes = "# Title\n" + line + "\nend\n";
        Skill *skill = addSkill("long", bytes);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QVERIFY(!view.isEditable());
        QVERIFY(!view.saveAction().has_value());
        QVERIFY(view.textEditor()->isReadOnly());
        QCOMPARE(view.text(), "# Title\n" + QString(line.first(maxEditableLineLength)) + "…\nend\n");
        auto *notice = view.findChild<QLabel *>("readOnlyNotice");
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(QLocale().toString(qlonglong(line.size()))), qPrintable(notice->text()));
        view.save();
        QCOMPARE(TestFiles::readFile(skillPath("long")), bytes);
        QVERIFY(!view.textEditor()->isColouring());

        // The next skill is coloured again.
        Skill *other = addSkill("other", "# Title\n");
        view.setSkill(other);
        QVERIFY(view.isEditable());
        QVERIFY(view.textEditor()->isColouring());
        QVERIFY(!view.textEditor()->document()->firstBlock().layout()->formats().isEmpty());
    }

    void aFailedSaveShowsTheSystemsMessageAndKeepsTheEdit()
    {
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        type(view, "x");
        QVERIFY(QDir(QFileInfo(skillPath("review")).absolutePath()).removeRecursively());

        MessageBoxAnswers answers({QMessageBox::Ok});
        QVERIFY(!view.save());
        QCOMPARE(answers.texts(), QStringList{"No such file or directory"});
        QVERIFY(view.hasUnsavedChanges());
        QVERIFY(view.modifiedBadge()->isVisible());
        QCOMPARE(skill->name(), QStringLiteral("review"));
        QCOMPARE(skill->skillDescription(), QStringLiteral("old description"));
    }

    void anUnmodifiedEditorFollowsChangesOnDisk()
    {
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        QVERIFY(replaceBytes(skillPath("review"), "changed elsewhere"));
        QTRY_COMPARE_WITH_TIMEOUT(view.text(), QStringLiteral("changed elsewhere"), 10000);
        QVERIFY(!view.hasUnsavedChanges());
        // And again: the watch follows the replaced file.
        QVERIFY(writeBytes(skillPath("review"), "and again"));
        QTRY_COMPARE_WITH_TIMEOUT(view.text(), QStringLiteral("and again"), 10000);
    }

    void savingOverAFileChangedOnDiskAsksFirst_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("inEditor");
        QTest::addColumn<bool>("modified");
        QTest::newRow("overwrite writes the editor's text")
            << "overwrite" << QByteArray(kReview + "x") << QString::fromUtf8(kReview + "x") << false;
        QTest::newRow("reload takes the other program's text")
            << "reload" << QByteArray("theirs") << "theirs" << false;
        QTest::newRow("cancel changes nothing") << "cancel" << QByteArray("theirs") << QString::fromUtf8(kReview + "x")
                                                << true;
    }

    void savingOverAFileChangedOnDiskAsksFirst()
    {
        QFETCH(QString, answer);
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, inEditor);
        QFETCH(bool, modified);
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "x");
        QVERIFY(writeBytes(skillPath("review"), "theirs"));

        MessageBoxAnswers answers;
        if (answer == "cancel")
            answers.add(QMessageBox::Cancel);
        else
            answers.add(answer);
        view.save();
        QCOMPARE(answers.texts(), QStringList{"“SKILL.md” was changed by another program."});
        QCOMPARE(TestFiles::readFile(skillPath("review")), onDisk);
        QCOMPARE(view.text(), inEditor);
        QCOMPARE(view.hasUnsavedChanges(), modified);
    }

    void leavingWithUnsavedTextAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("mayLeave");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<bool>("modified");
        QTest::newRow("save writes the text and lets go") << int(QMessageBox::Save) << true << QByteArray(kReview + "x") << false;
        QTest::newRow("discard drops the text and lets go") << int(QMessageBox::Discard) << true << kReview << false;
        QTest::newRow("cancel keeps editing") << int(QMessageBox::Cancel) << false << kReview << true;
    }

    void leavingWithUnsavedTextAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, mayLeave);
        QFETCH(QByteArray, onDisk);
        QFETCH(bool, modified);
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QVERIFY(view.confirmLeave()); // nothing to lose yet: no question
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "x");

        MessageBoxAnswers answers({QMessageBox::StandardButton(answer)});
        QCOMPARE(view.confirmLeave(), mayLeave);
        QCOMPARE(answers.texts(), QStringList{"Save changes to “review”?"});
        QCOMPARE(TestFiles::readFile(skillPath("review")), onDisk);
        QCOMPARE(view.hasUnsavedChanges(), modified);
    }

    void findMatchesIgnoresCaseAndDoesNotOverlap_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("matches");
        QTest::newRow("case does not matter") << "Diff diff DIFF" << "diff" << QList<int>{0, 5, 10};
        QTest::newRow("matches do not overlap") << "aaaaa" << "aa" << QList<int>{0, 2};
        QTest::newRow("an empty query finds nothing") << "text" << "" << QList<int>{};
        QTest::newRow("positions count UTF-16 units") << "😀 x 😀 x" << "x" << QList<int>{3, 8};
    }

    void findMatchesIgnoresCaseAndDoesNotOverlap()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(QList<int>, matches);
        QCOMPARE(findMatches(text, query), matches);
    }

    void theFindBarSearchesAsYouTypeAndStepsThroughMatches()
    {
        Skill *skill = addSkill("review", "one diff\ntwo DIFF\nthree diff\n");
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.activateWindow();
        view.textEditor()->setFocus();
        QTRY_VERIFY(view.textEditor()->hasFocus());
        FindBar *bar = view.findBar();
        QVERIFY(bar->isHidden());

        QTest::keySequence(view.textEditor(), QKeySequence::Find);
        QVERIFY(bar->isVisible());
        auto *field = bar->findChild<QLineEdit *>("findField");
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, "dif");
        QCOMPARE(bar->matches(), (QList<int>{4, 13, 24}));
        QCOMPARE(bar->statusText(), QStringLiteral("1 of 3"));
        QCOMPARE(view.textEditor()->extraSelections().size(), 3);
        QCOMPARE(view.textEditor()->textCursor().selectedText(), QStringLiteral("dif"));

        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(bar->statusText(), QStringLiteral("2 of 3"));
        QCOMPARE(view.textEditor()->textCursor().selectionStart(), 13);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->statusText(), QStringLiteral("3 of 3")); // round from the first to the last
        QTest::keyClicks(field, "x");
        QCOMPARE(bar->statusText(), QStringLiteral("No matches"));
        QVERIFY(view.textEditor()->extraSelections().isEmpty());

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QTRY_VERIFY(view.textEditor()->hasFocus());
    }
};

VESK_TEST_MAIN(TestSkillEditor)
#include "tst_skilleditor.moc"
