#pragma once

#include "common/savecommand.h"
#include "library/files/skillfile.h"

#include "library/records/skill.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class FindBar;
class HighlightedTextEditor;
class QFileSystemWatcher;
class QLabel;

// The editor mode of the detail column: the whole skill file, frontmatter and
// all, in the highlighting editor. "Modified" shows while the text differs from
// what was loaded or last saved; the window's Save command (Ctrl+S) writes it
// back and refreshes the record from the saved text. A file that exists but
// cannot be edited as text is shown read-only with the reason, and never saved.
class SkillEditorView final : public QWidget, public SaveActionProvider
{
    Q_OBJECT

public:
    explicit SkillEditorView(QWidget *parent = nullptr);

    // Shows `skill`'s file; the same skill again keeps the text as it is.
    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }
    // Reads the file again, dropping unsaved text.
    void reload();

    bool hasUnsavedChanges() const { return m_hasUnsavedChanges; }
    bool isEditable() const { return m_editable; }
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

    HighlightedTextEditor *textEditor() const { return m_editor; }
    FindBar *findBar() const { return m_findBar; }
    QLabel *modifiedBadge() const { return m_badge; }

Q_SIGNALS:
    void modifiedChanged(bool modified);
    // The save action offered to the window changed (another skill, a read-only file).
    void saveActionChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void load();
    void updateModified();
    void setModified(bool modified);
    void watchFile();
    void fileChangedOnDisk();
    bool write(const QString &text);
    void refreshRecord(const QString &text, const QByteArray &bytes);
    void placeBadge();
    void styleBadge();

    QPointer<Skill> m_skill;
    QString m_loadedPath;
    HighlightedTextEditor *m_editor = nullptr;
    FindBar *m_findBar = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_badge = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;

    bool m_editable = true;
    bool m_hasUnsavedChanges = false;
    QString m_readOnlyReason;
    QString m_baseline;                    // the editor's text as loaded or last saved
    std::optional<QByteArray> m_diskBytes; // the file as loaded or last written; none when there was no file
    TextLayout m_layout;
};
