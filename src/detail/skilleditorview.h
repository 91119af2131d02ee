#pragma once

#include "common/savecommand.h"
#include "library/files/skillfile.h"

#include "library/checks/finding.h"
#include "library/records/skill.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class FindBar;
class FindingStrip;
template <typename T>
class QFutureWatcher;
class QTimer;
class NoticeBar;
class QPushButton;
class HighlightedTextEditor;
class QFileSystemWatcher;
class QFrame;
class QLabel;

// The editor mode of the detail column: the whole skill file, frontmatter and
// all, in the highlighting editor. "Modified" shows while the text differs from
// what was loaded or last saved; the window's Save command (Ctrl+S) writes it
// back and refreshes the record from the saved text. A file that exists but
// cannot be edited as text is shown read-only with the reason, and never saved.
//
// Unsaved text outlives its file: when another program deletes, moves or
// replaces the file, or the record goes away, the text stays with a bar saying
// what happened, offering to save it back, save it elsewhere or discard it.
class SkillEditorView final : public QWidget, public SaveActionProvider
{
    Q_OBJECT

public:
    // What happened to the file under unsaved text, as the bar tells it.
    enum class FileFate { Present, Deleted, Moved, Folder, Unreadable };

    explicit SkillEditorView(QWidget *parent = nullptr);
    ~SkillEditorView() override;

    // Shows `skill`'s file; the same skill again keeps the text as it is. While
    // the record that went away left unsaved text here, no skill keeps the text,
    // and the record found again at its path takes it up.
    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }
    // Reads the file again, dropping unsaved text.
    void reload();

    bool hasUnsavedChanges() const { return m_hasUnsavedChanges; }
    bool isEditable() const { return m_editable; }
    // Holds text whose record went away (its file deleted or moved off), kept
    // until the user saves it somewhere or discards it.
    bool isOrphaned() const { return m_orphaned; }
    // The skill's name, or the name it had when its record went away.
    QString documentName() const;
    QString filePath() const { return m_loadedPath; }
    FileFate fileFate() const { return m_fate; }
    NoticeBar *fateBar() const { return m_fateBar; }

    // Writes the text to another file the user names (see setSaveAsChooser); the
    // editor then holds that file, apart from any record.
    bool saveAs();
    // Drops unsaved text: the file is read again, or, with no record left, the
    // editor lets go of it.
    void discard();
    // Asks for the path Save As writes to; empty for none. A file dialog by default.
    using PathChooser = std::function<QString(QWidget *parent, const QString &suggested)>;
    void setSaveAsChooser(PathChooser chooser) { m_chooseSaveAsPath = std::move(chooser); }
    QString text() const;
    QString readOnlyReason() const { return m_readOnlyReason; }

    // Writes the text to the file. True when the editor ends with no unsaved
    // text (saved, or the user chose to reload a file changed on disk).
    bool save();

    // Before unsaved text could be lost: asks "Save changes to “<name>”?" and
    // saves or discards. False when the user keeps editing (Cancel, or a save
    // that failed).
    bool confirmLeave();

    std::optional<SaveAction> saveAction() const override;

    // Puts the cursor on line `line` (from 1) of the text and the focus in it.
    void showLine(int line);
    // F8 and Shift+F8: the cursor to the next or previous line with a finding
    // (wrapping round), that finding chosen in the strip.
    void stepToProblem(bool backwards);

    // The checks run on the text as typed, after a pause in the typing, as the file
    // it will be saved as. A text of at least backgroundCheckSize() characters is
    // checked on a worker thread; what it finds for a text since changed is dropped.
    static constexpr int checkPauseMs = 400;
    const QList<Finding> &findings() const { return m_findings; }
    // Checks the text now rather than after the pause.
    void checkNow();
    bool isChecking() const;
    qsizetype backgroundCheckSize() const { return m_backgroundCheckSize; }
    void setBackgroundCheckSize(qsizetype characters) { m_backgroundCheckSize = characters; }
    FindingStrip *findingStrip() const { return m_strip; }

    HighlightedTextEditor *textEditor() const { return m_editor; }
    FindBar *findBar() const { return m_findBar; }
    QLabel *modifiedBadge() const { return m_badge; }

Q_SIGNALS:
    void modifiedChanged(bool modified);
    // The save action offered to the window changed (another skill, a read-only file,
    // text modified or saved).
    void saveActionChanged();
    // Orphaned or let go: the column should show what the editor now holds.
    void documentChanged();
    // The checks' findings for the text changed (or were found again unchanged).
    void findingsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void load();
    void updateModified();
    void setModified(bool modified);
    void watchFile();
    void fileChangedOnDisk();
    void followSkill(Skill *skill);
    void recordRemoving();
    void movedTo(Skill *successor);
    void adopt(Skill *skill);
    void updateFate();
    void showFate(FileFate fate);
    void release();
    bool write(const QString &text);
    // Asks before a save follows a link out of the skill's project (or home
    // folder); true when it may go ahead.
    bool confirmWriteOutside();
    bool write(const QString &path, const QString &text);
    void refreshRecord(const QString &text, const QByteArray &bytes);
    void placeBadge();
    void styleBadge();
    void textEdited();
    void checkFinished();
    void showFindings(const QList<Finding> &findings);

    QPointer<Skill> m_skill;
    QString m_loadedPath;
    HighlightedTextEditor *m_editor = nullptr;
    FindBar *m_findBar = nullptr;
    QLabel *m_notice = nullptr;
    NoticeBar *m_fateBar = nullptr;
    QPushButton *m_fateSave = nullptr;
    QLabel *m_badge = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;

    bool m_editable = true;
    bool m_hasUnsavedChanges = false;
    bool m_orphaned = false;
    FileFate m_fate = FileFate::Present;
    QString m_name; // the record's name while it lived
    PathChooser m_chooseSaveAsPath;
    QString m_readOnlyReason;
    QString m_confirmedOutside; // a link target the user agreed to save to
    QString m_baseline;                    // the editor's text as loaded or last saved
    std::optional<QByteArray> m_diskBytes; // the file as loaded or last written; none when there was no file
    TextLayout m_layout;

    FindingStrip *m_strip = nullptr;
    QFrame *m_stripLine = nullptr;
    QTimer *m_checkTimer = nullptr;
    QFutureWatcher<QList<Finding>> *m_checkWatcher = nullptr;
    QList<Finding> m_findings;
    quint64 m_textRevision = 0;    // counts the text's changes
    quint64 m_checkingRevision = 0; // the text's revision the running check reads
    QString m_checkingFile;         // and the file the text was loaded from
    bool m_checkAgain = false;      // the text changed again while a check ran
    bool m_checkRunning = false;    // a check's result is still to come
    qsizetype m_backgroundCheckSize = 200 * 1000;
};
