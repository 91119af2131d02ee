#include "detail/findbar.h"
#include "common/itemroles.h"
#include "detail/findingstrip.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilleditorview.h"
#include "library/catalogue/homepath.h"
#include "libraryfixture.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest/QtTest>

#include <cstdio>

namespace {

using TestFiles::writeBytes;

// "rule line" for each finding the editor shows, errors and warnings only.
QStringList shown(const QList<Finding> &findings)
{
    QStringList rows;
    for (const Finding &finding : findings) {
        if (finding.level != FindingLevel::Note)
            rows.append(QStringLiteral("%1 %2").arg(finding.rule).arg(finding.line));
    }
    return rows;
}

// "error line" or "warning line" for each line marked in the text.
QStringList marked(const HighlightedTextEditor *editor)
{
    QStringList lines;
    for (const LineMark &mark : editor->lineMarks())
        lines.append(QStringLiteral("%1 %2").arg(mark.error ? "error" : "warning").arg(mark.line));
    return lines;
}

// Replaces the whole text as one edit, as a paste over a selection would.
void replaceText(SkillEditorView &view, const QString &text)
{
    QTextCursor cursor(view.textEditor()->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
}

// Changes the file the way another editor saves: a new file renamed over it.
bool replaceBytes(const QString &path, const QByteArray &bytes)
{
    return writeBytes(path + ".other", bytes) && ::rename(QFile::encodeName(path + ".other").constData(),
                                                          QFile::encodeName(path).constData()) == 0;
}

const QByteArray kLongLine(int(maxEditableLineLength) + 5000, 'a');
const QByteArray kReview = "---\nname: review\ndescription: Reviews diffs\n---\n# Review\n\nRead the **whole** diff.\n";

} // namespace

// The editor mode of the detail column, on real files in a temporary home.
class TestSkillEditor final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    ModelContext &context() const { return m_library->context(); }
    QString skillPath(const QString &name) const { return m_library->home(".claude/skills/" + name + "/SKILL.md"); }

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
        m_library = std::make_unique<LibraryFixture>();
    }

    void cleanup()
    {
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Every line end the user did not touch is written back byte for byte,
    // whatever its kind: random files mixing LF, CR LF, lone CR, U+2028 and
    // U+2029, random edits within lines, each saved through the editor.
    void untouchedLineEndsSurviveASave()
    {
        QRandomGenerator random(20261207);
        const QStringList kinds{QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r"),
                                QString(QChar::LineSeparator), QString(QChar::ParagraphSeparator)};
        const QString letters = QStringLiteral("ab yz#-*é");
        const auto randomLine = [&] {
            QString line;
            for (int length = int(random.bounded(6)); length > 0; --length)
                line += letters.at(int(random.bounded(letters.size())));
            return line;
        };
        for (int round = 0; round < 60; ++round) {
            QStringList lines{QStringLiteral("---"), QStringLiteral("name: r%1").arg(round), QStringLiteral("---")};
            for (int more = int(random.bounded(10)); more >= 0; --more)
                lines.append(randomLine());
            QStringList ends;
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                ends.append(kinds.at(int(random.bounded(kinds.size()))));
            const auto joined = [&lines, &ends] {
                QString text;
                for (qsizetype i = 0; i < lines.size(); ++i)
                    text += lines.at(i) + (i < ends.size() ? ends.at(i) : QString());
                return text.toUtf8();
            };
            const QString name = QStringLiteral("r%1").arg(round);
            Skill *skill = addSkill(name, joined());
            QVERIFY(skill);
            SkillEditorView view;
            view.setSkill(skill);
            QVERIFY(view.isEditable());

            for (int edits = 1 + int(random.bounded(3)); edits > 0; --edits) {
                const qsizetype line = 3 + random.bounded(int(lines.size() - 3));
                int start = 0;
                for (qsizetype i = 0; i < line; ++i)
                    start += int(lines.at(i).size()) + 1; // one block break per end in the editor
                QTextCursor cursor(view.textEditor()->document());
                QString &content = lines[line];
                if (content.isEmpty() || random.bounded(2) == 0) {
                    const int at = int(random.bounded(int(content.size()) + 1));
                    const QString typed(letters.at(int(random.bounded(letters.size()))));
                    cursor.setPosition(start + at);
                    cursor.insertText(typed);
                    content.insert(at, typed);
                } else {
                    const int at = int(random.bounded(int(content.size())));
                    cursor.setPosition(start + at);
                    cursor.deleteChar();
                    content.remove(at, 1);
                }
            }
            if (!view.hasUnsavedChanges())
                continue; // the edits took each other back
            QVERIFY(view.save());
            QVERIFY2(TestFiles::readFile(skillPath(name)) == joined(), qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void loadsTheWholeFileAndTypingMarksItModified()
    {
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QCOMPARE(view.text(), QString::fromUtf8(kReview));
        QVERIFY(!view.hasUnsavedChanges());
        QVERIFY(view.isEditable());
        QVERIFY(!view.textEditor()->isReadOnly());
        QVERIFY(!view.saveAction().has_value()); // nothing typed, nothing to save
        QVERIFY(view.modifiedBadge()->isHidden());
        QVERIFY(view.findChild<QLabel *>("readOnlyNotice")->isHidden());

        // Typing shows the badge and taking the change back hides it again.
        QSignalSpy modified(&view, &SkillEditorView::modifiedChanged);
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "x");
        QVERIFY(view.hasUnsavedChanges());
        QVERIFY(view.saveAction().has_value());
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
    // for byte, whatever the editor made of it on the way in, and a typed line
    // takes the file's own line end.
    void savingWritesTheFilesOwnBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("typed"); // at the end, then Return; empty: no edit
        QTest::addColumn<QByteArray>("added"); // to the file's bytes by the typed line
        const QByteArray crlf = QByteArray(kReview).replace("\n", "\r\n");
        QTest::newRow("line feeds") << kReview << "" << QByteArray();
        QTest::newRow("CRLF line ends") << crlf << "" << QByteArray();
        QTest::newRow("a byte-order mark and CRLF") << "\xEF\xBB\xBF" + crlf << "" << QByteArray();
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\r\n") << "" << QByteArray();
        QTest::newRow("lone carriage returns") << QByteArray("a\rb\r") << "" << QByteArray();
        QTest::newRow("no-break spaces and separators")
            << QByteArray("a\xC2\xA0" "b\xE2\x80\xA8" "c\xE2\x80\xA9" "d") << "" << QByteArray();
        QTest::newRow("no line end at the end") << QByteArray("# Title") << "" << QByteArray();
        QTest::newRow("an edit keeps the file's mark and CRLF")
            << "\xEF\xBB\xBF" + crlf << "More." << QByteArray("More.\r\n");
    }

    void savingWritesTheFilesOwnBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, typed);
        QFETCH(QByteArray, added);
        Skill *skill = addSkill("review", bytes);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QVERIFY(!view.hasUnsavedChanges());
        if (!typed.isEmpty()) {
            view.textEditor()->moveCursor(QTextCursor::End);
            type(view, typed);
            QTest::keyClick(view.textEditor(), Qt::Key_Return);
        }
        QVERIFY(view.save());
        QCOMPARE(TestFiles::readFile(skillPath("review")), bytes + added);
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

    // Saving a file that cannot be read as text would replace bytes that were
    // never shown. A line of hundreds of thousands of characters takes seconds
    // per keystroke to lay out: such a file is shown at once, its long lines cut.
    // Both are shown read-only. (Every kind of unreadable file gives its reason
    // through the same path: tst_skillfile checks each reason.)
    void aFileThatCannotBeEditedAsTextIsShownReadOnly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("notice"); // a part of the notice above the text
        QTest::addColumn<QString>("shown");
        QTest::newRow("not UTF-8") << QByteArray("---\nname: caf\xE9\n---\nbody") << "it is not valid UTF-8 text"
                                   << "it is not valid UTF-8 text" << "Stored body.";
        const QString length = QLocale().toString(kLongLine.size());
        QTest::newRow("a very long line")
            << "# Title\n" + kLongLine + "\nend\n" << QStringLiteral("it has a line of %1 characters").arg(length)
            << "a line of " + length << "# Title\n" + QString(kLongLine.first(maxEditableLineLength)) + "…\nend\n";
    }

    void aFileThatCannotBeEditedAsTextIsShownReadOnly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(QString, notice);
        QFETCH(QString, shown);
        Skill *skill = addSkill("odd", bytes);
        QVERIFY(skill);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QCOMPARE(view.text(), shown);
        QVERIFY(!view.isEditable());
        QVERIFY(view.textEditor()->isReadOnly());
        QVERIFY(!view.saveAction().has_value());
        QCOMPARE(view.readOnlyReason(), reason);
        auto *noticeLabel = view.findChild<QLabel *>("readOnlyNotice");
        QVERIFY(noticeLabel->isVisible());
        QVERIFY2(noticeLabel->text().contains(notice), qPrintable(noticeLabel->text()));
        view.save();
        QCOMPARE(TestFiles::readFile(skillPath("odd")), bytes);
        // Only cut text goes uncoloured, and the next skill is coloured again.
        QCOMPARE(view.textEditor()->isColouring(), !shown.contains(u'…'));
        view.setSkill(addSkill("other", "# Title\n"));
        QVERIFY(view.isEditable());
        QVERIFY(view.textEditor()->isColouring());
        QVERIFY(!view.textEditor()->document()->firstBlock().layout()->formats().isEmpty());
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

    // Whenever an edit could be lost, the user is asked first; "done" is what
    // save() or confirmLeave() return, and an edit is kept exactly when it is false.
    void anEditIsNeverLostWithoutAsking_data()
    {
        QTest::addColumn<QString>("step");     // "save" or "leave"
        QTest::addColumn<QString>("meanwhile"); // what happens to the file after the edit
        QTest::addColumn<QString>("answer");   // a standard button or a button's object name
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("inEditor");
        const QByteArray edited = kReview + "x";
        // FOLDER stands for the skill's folder, which the test's home decides.
        const QString changed = QStringLiteral("“review” in FOLDER was changed by another program.");
        const QString leave = QStringLiteral("Save changes to “review”?");
        QTest::newRow("saving over another program's change and overwriting writes the editor's text")
            << "save" << "rewritten" << "overwrite" << changed << true << edited << QString::fromUtf8(edited);
        QTest::newRow("reloading takes the other program's text")
            << "save" << "rewritten" << "reload" << changed << true << QByteArray("theirs") << "theirs";
        QTest::newRow("cancelling the save changes nothing")
            << "save" << "rewritten" << "Cancel" << changed << false << QByteArray("theirs")
            << QString::fromUtf8(edited);
        QTest::newRow("a save after the folder was removed puts it back with the text")
            << "save" << "folder removed" << "" << QString() << true << edited << QString::fromUtf8(edited);
        QTest::newRow("a failed save shows why and keeps the edit")
            << "save" << "folder made a file" << "Ok" << "The folder “%1” could not be made." << false
            << QByteArray("in the way") << QString::fromUtf8(edited);
        QTest::newRow("leaving and saving writes the text and lets go")
            << "leave" << "" << "Save" << leave << true << edited << QString::fromUtf8(edited);
        QTest::newRow("leaving and discarding drops the text and lets go")
            << "leave" << "" << "Discard" << leave << true << kReview << QString::fromUtf8(kReview);
        QTest::newRow("cancelling the leave keeps editing")
            << "leave" << "" << "Cancel" << leave << false << kReview << QString::fromUtf8(edited);
    }

    void anEditIsNeverLostWithoutAsking()
    {
        QFETCH(QString, step);
        QFETCH(QString, meanwhile);
        QFETCH(QString, answer);
        QFETCH(QString, question);
        QFETCH(bool, done);
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, inEditor);
        Skill *skill = addSkill("review", kReview);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        QVERIFY(view.confirmLeave()); // nothing to lose yet: no question
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "x");
        if (meanwhile == "rewritten")
            QVERIFY(writeBytes(skillPath("review"), "theirs"));
        const QString folder = QFileInfo(skillPath("review")).absolutePath();
        if (meanwhile == "folder removed" || meanwhile == "folder made a file")
            QVERIFY(QDir(folder).removeRecursively());
        if (meanwhile == "folder made a file")
            QVERIFY(writeBytes(folder, "in the way"));

        const QHash<QString, QMessageBox::StandardButton> standard{
            {"Ok", QMessageBox::Ok}, {"Save", QMessageBox::Save}, {"Discard", QMessageBox::Discard},
            {"Cancel", QMessageBox::Cancel}};
        MessageBoxAnswers answers;
        if (standard.contains(answer))
            answers.add(standard.value(answer));
        else if (!answer.isEmpty())
            answers.add(answer);
        QCOMPARE(step == "save" ? view.save() : view.confirmLeave(), done);
        question.replace("FOLDER", abbreviateHome(QFileInfo(skillPath("review")).absolutePath()));
        if (question.contains("another program"))
            QVERIFY2(question.contains("~/.claude/skills/review"), qPrintable(question)); // the folder, from the home
        QCOMPARE(answers.texts(), question.isEmpty() ? QStringList() : QStringList{question.contains("%1") ? question.arg(folder) : question});
        QCOMPARE(TestFiles::readFile(meanwhile == "folder made a file" ? folder : skillPath("review")), onDisk);
        QCOMPARE(view.text(), inEditor);
        QCOMPARE(view.hasUnsavedChanges(), !done);
        QCOMPARE(view.modifiedBadge()->isVisible(), !done);
        if (!done)
            QCOMPARE(skill->skillDescription(), QStringLiteral("old description")); // the record is untouched
    }

    void aSaveThroughALinkOutOfTheProjectAsksFirst_data()
    {
        QTest::addColumn<QString>("file");   // the skill file, relative to home; a link to `target`
        QTest::addColumn<QString>("target"); // relative to home
        QTest::addColumn<bool>("global");
        QTest::addColumn<QString>("answer"); // empty: no question expected
        QTest::addColumn<bool>("written");
        const QString project = QStringLiteral("code/app/.claude/skills/deploy/SKILL.md");
        QTest::newRow("a project skill linked to ~/.profile is not saved when cancelled")
            << project << ".profile" << false << "Cancel" << false;
        QTest::newRow("a project skill linked to ~/.profile is saved there when the user says so")
            << project << ".profile" << false << "saveThere" << true;
        QTest::newRow("a project skill linked inside its project saves without asking")
            << project << "code/app/docs/deploy.md" << false << "" << true;
        QTest::newRow("a home skill linked elsewhere in the home folder saves without asking")
            << ".claude/skills/deploy/SKILL.md" << "dotfiles/deploy.md" << true << "" << true;
    }

    void aSaveThroughALinkOutOfTheProjectAsksFirst()
    {
        QFETCH(QString, file);
        QFETCH(QString, target);
        QFETCH(bool, global);
        QFETCH(QString, answer);
        QFETCH(bool, written);
        const QString path = m_library->home(file);
        const QByteArray before = "export PATH=/usr/bin\n";
        QVERIFY(writeBytes(m_library->home(target), before));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(QFile::link(m_library->home(target), path));
        Skill *skill = context().insert(std::make_unique<Skill>(
            path, QFileInfo(path).canonicalFilePath(), "deploy", QString(), QString(), Skill::Frontmatter{},
            ToolSource::Claude, true, global, QDateTime::currentDateTimeUtc(), 1));
        QVERIFY(skill);
        SkillEditorView view;
        view.setSkill(skill);
        view.show();
        view.textEditor()->moveCursor(QTextCursor::End);
        type(view, "echo owned");

        MessageBoxAnswers answers;
        if (answer == "Cancel")
            answers.add(QMessageBox::Cancel);
        else if (!answer.isEmpty())
            answers.add(answer);
        QCOMPARE(view.save(), written);
        QCOMPARE(answers.texts(), answer.isEmpty() ? QStringList()
                                                   : QStringList{"“SKILL.md” is a link to a file outside its project."});
        QCOMPARE(TestFiles::readFile(m_library->home(target)), written ? before + "echo owned" : before);
        QVERIFY(QFileInfo(path).isSymLink()); // the link stays a link
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

    // The text is checked as typed, after a pause, as the file it will be saved as;
    // the file on disk is not what is checked, and is left as it was.
    void theTypedTextIsCheckedAfterAPause_data()
    {
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QStringList>("expectedOnOpen");
        QTest::addColumn<QString>("typed"); // replaces the whole text
        QTest::addColumn<QStringList>("expectedFindings");
        QTest::addColumn<QStringList>("expectedMarks");

        QTest::newRow("a good file shows nothing, and a typed unknown key is a warning on its line")
            << kReview << QStringList()
            << QStringLiteral("---\nname: review\ndescription: Reviews diffs\nfavourite: yes\n---\nRead it.\n")
            << QStringList{"keys/unknown 4"} << QStringList{"warning 4"};
        QTest::newRow("a file without a block lists an error on line one until a block is typed")
            << QByteArray("# Review\n\nRead it.\n") << QStringList{"format/no-frontmatter 1"}
            << QString::fromUtf8(kReview) << QStringList() << QStringList();
        QTest::newRow("an unclosed block typed over a good file is an error")
            << kReview << QStringList() << QStringLiteral("---\nname: review\ndescription: Reviews diffs\nRead it.\n")
            << QStringList{"format/unclosed-frontmatter 1"} << QStringList{"error 1"};
        QTest::newRow("a name typed unlike the folder is a warning, as the saved file would be")
            << kReview << QStringList() << QStringLiteral("---\nname: reviews\ndescription: Reviews diffs\n---\nRead it.\n")
            << QStringList{"format/name-folder 2"} << QStringList{"warning 2"};
        QTest::newRow("a typed link to a file the folder lacks is a warning at its line")
            << kReview << QStringList()
            << QStringLiteral("---\nname: review\ndescription: Reviews diffs\n---\n\nSee [the guide](references/guide.md).\n")
            << QStringList{"files/missing-file 6"} << QStringList{"warning 6"};
    }

    void theTypedTextIsCheckedAfterAPause()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(QStringList, expectedOnOpen);
        QFETCH(QString, typed);
        QFETCH(QStringList, expectedFindings);
        QFETCH(QStringList, expectedMarks);
        Skill *skill = addSkill("review", onDisk);
        QVERIFY(skill);
        SkillEditorView view;
        view.resize(600, 500);
        view.setSkill(skill);
        view.show();
        // A file just opened is checked at once.
        QCOMPARE(shown(view.findings()), expectedOnOpen);
        QCOMPARE(view.findingStrip()->isVisibleTo(&view), !view.findings().isEmpty());

        QSignalSpy checked(&view, &SkillEditorView::findingsChanged);
        replaceText(view, typed);
        // Typing does not check: the pause does.
        QCOMPARE(checked.size(), 0);
        QCOMPARE(shown(view.findings()), expectedOnOpen);
        QVERIFY(checked.wait(5000));
        QCOMPARE(shown(view.findings()), expectedFindings);
        QCOMPARE(marked(view.textEditor()), expectedMarks);
        QCOMPARE(view.findingStrip()->findings(), view.findings());
        QCOMPARE(view.findingStrip()->isVisibleTo(&view), !view.findings().isEmpty());
        QCOMPARE(TestFiles::readFile(skillPath("review")), onDisk);
    }

    // A finding in the strip, chosen with the mouse or the keyboard, puts the
    // cursor at the start of its line and the focus in the text.
    void theStripsFindingMovesTheCursorToItsLine_data()
    {
        QTest::addColumn<int>("way"); // 0 a click, 1 Enter, 2 Space
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("expectedLine");
        QTest::newRow("a click on the first finding goes to its line") << 0 << 0 << 4;
        QTest::newRow("Enter on the second finding goes to its line") << 1 << 1 << 9;
        QTest::newRow("Space on the second finding goes to its line") << 2 << 1 << 9;
    }

    void theStripsFindingMovesTheCursorToItsLine()
    {
        QFETCH(int, way);
        QFETCH(int, row);
        QFETCH(int, expectedLine);
        Skill *skill = addSkill("review", "---\nname: review\ndescription: Reviews diffs\nfavourite: yes\n---\n"
                                          "One.\nTwo.\nThree.\nRun scripts/missing.sh first.\nFour.\n");
        SkillEditorView view;
        view.resize(600, 500);
        view.setSkill(skill);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        FindingStrip *strip = view.findingStrip();
        QCOMPARE(shown(strip->findings()), (QStringList{"keys/unknown 4", "files/missing-file 9"}));
        view.textEditor()->moveCursor(QTextCursor::End);
        const QModelIndex index = strip->model()->index(row, 0);
        QSignalSpy jumped(strip, &FindingStrip::lineActivated);
        if (way == 0) {
            QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualRect(index).center());
        } else {
            strip->setFocus();
            strip->setCurrentIndex(index);
            QTest::keyClick(strip, way == 1 ? Qt::Key_Return : Qt::Key_Space);
        }
        QVERIFY(!jumped.isEmpty());
        const QTextCursor cursor = view.textEditor()->textCursor();
        QCOMPARE(cursor.blockNumber() + 1, expectedLine);
        QCOMPARE(cursor.positionInBlock(), 0);
        QVERIFY(view.textEditor()->hasFocus());
    }

    // A skill installed through a linked folder is checked under the name of the
    // folder the tools find it in, as its card checks it.
    void theTextIsCheckedWhereTheToolsFindIt()
    {
        Skill *skill = addSkill("review", kReview);
        const QString linked = m_library->home(".agents/skills/code-review");
        QVERIFY(QDir().mkpath(QFileInfo(linked).absolutePath()));
        QVERIFY(QFile::link(QFileInfo(skillPath("review")).absolutePath(), linked));
        skill->setInstalledPaths({linked + "/SKILL.md"});
        SkillEditorView view;
        view.setSkill(skill);
        QCOMPARE(shown(view.findings()), QStringList{"format/name-folder 2"});
        QVERIFY(view.findings().first().message.contains(QLatin1String("code-review")));
    }

    // F8 and Shift+F8 step through the lines with problems, round from the last
    // to the first; Ctrl+Tab leads from the text to the strip.
    void theKeyboardStepsThroughTheProblems_data()
    {
        QTest::addColumn<int>("startLine");
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<int>("expectedLine");
        QTest::newRow("F8 from the top goes to the first problem's line") << 1 << false << 4;
        QTest::newRow("F8 on a problem's line goes on to the next") << 4 << false << 9;
        QTest::newRow("F8 past the last problem goes round to the first") << 10 << false << 4;
        QTest::newRow("Shift+F8 goes back to the previous problem") << 9 << true << 4;
        QTest::newRow("Shift+F8 before the first problem goes round to the last") << 2 << true << 9;
    }

    void theKeyboardStepsThroughTheProblems()
    {
        QFETCH(int, startLine);
        QFETCH(bool, backwards);
        QFETCH(int, expectedLine);
        Skill *skill = addSkill("review", "---\nname: review\ndescription: Reviews diffs\nfavourite: yes\n---\n"
                                          "One.\nTwo.\nThree.\nRun scripts/missing.sh first.\nFour.\n");
        SkillEditorView view;
        view.resize(600, 500);
        view.setSkill(skill);
        view.show();
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowActive(&view));
        view.textEditor()->goToLine(startLine);
        view.textEditor()->setFocus();
        QTest::keyClick(view.textEditor(), Qt::Key_F8, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(view.textEditor()->textCursor().blockNumber() + 1, expectedLine);
        // The finding is chosen in the strip, which Ctrl+Tab reaches from the text.
        QCOMPARE(view.findingStrip()->currentIndex().data(ItemRoles::FindingLineRole).toInt(), expectedLine);
        QVERIFY(view.textEditor()->hasFocus());
        QTest::keyClick(view.textEditor(), Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(view.findingStrip()->hasFocus());
        QCOMPARE(view.text().count(u'\t'), 0);
    }

    // What a check on a worker finds for a text since changed, or for another file
    // since opened, never reaches the strip: the newer text is checked instead.
    void aCheckOfAnOlderTextIsDropped_data()
    {
        QTest::addColumn<bool>("openAnother");
        QTest::newRow("the text changed while the check ran") << false;
        QTest::newRow("another file was opened while the check ran") << true;
    }

    void aCheckOfAnOlderTextIsDropped()
    {
        QFETCH(bool, openAnother);
        Skill *broken = addSkill("broken", "# No block here\n\nRead it.\n");
        Skill *review = addSkill("review", kReview);
        SkillEditorView view;
        view.setBackgroundCheckSize(0); // every text on the worker
        QStringList seen;
        connect(&view, &SkillEditorView::findingsChanged, &view,
                [&] { seen.append(shown(view.findings()).join(u',')); });
        view.setSkill(broken);
        QVERIFY(view.isChecking()); // the broken text is being checked, its result not yet in
        if (openAnother)
            view.setSkill(review);
        else
            replaceText(view, QStringLiteral("---\nname: broken\ndescription: Fixed now\n---\nRead it.\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isChecking(), 5000);
        QCOMPARE(seen, QStringList{QString()});
        QVERIFY(view.findings().isEmpty());
        QVERIFY(view.findingStrip()->isHidden());
    }

    // A text the editor shows read-only is not what a save writes: it is not checked.
    void aReadOnlyTextIsNotChecked()
    {
        Skill *skill = addSkill("review", "---\nname: review\n---\n" + kLongLine + "\n");
        SkillEditorView view;
        view.setSkill(skill);
        QVERIFY(!view.isEditable());
        QVERIFY(view.findings().isEmpty());
        QVERIFY(view.textEditor()->lineMarks().isEmpty());
    }
};

VESK_TEST_MAIN(TestSkillEditor)
#include "tst_skilleditor.moc"
