#pragma once

#include "library/sources/skillupdate.h"

#include <QDialog>

#include <optional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The skills whose source moved on, one at a time in three panes (as installed,
// as it is now, upstream's), so an edited skill is never overwritten unseen:
// Keep Mine leaves it, Take Theirs replaces it (the edited folder goes to the
// trash), Merge merges each text file and leaves conflicts marked for the editor.
// An unedited skill offers Update. Fetching runs off the window's thread.
class SkillUpdatesDialog final : public QDialog
{
    Q_OBJECT

public:
    struct Outdated {
        QString project; // empty: the home folder
        QString name;
    };
    explicit SkillUpdatesDialog(const QList<Outdated> &skills, QWidget *parent = nullptr);
    // Skills of the home folder's lock.
    explicit SkillUpdatesDialog(const QStringList &names, QWidget *parent = nullptr);
    ~SkillUpdatesDialog() override;

    QListWidget *skillList() const { return m_list; }
    // The files the panes can show: each one the user edited, else SKILL.md.
    QListWidget *fileList() const { return m_files; }
    QPlainTextEdit *pane(int index) const { return m_panes[index]; } // 0 installed, 1 yours, 2 upstream
    QLabel *statusLabel() const { return m_status; }
    // Runs the chosen way for the selected skill.
    void apply(EditPolicy policy);
    void keepMine();

Q_SIGNALS:
    void previewShown();
    void applied(); // an update ended; the status says how
    void skillsChanged();

private:
    void loadPreview();
    void showPreview(const UpdatePreview &preview);
    void showFile();
    void setBusy(bool busy);
    // The selected skill; none when the list is empty.
    std::optional<Outdated> current() const;

    QListWidget *m_list = nullptr;
    QListWidget *m_files = nullptr;
    UpdatePreview m_preview; // the one the panes show
    QLabel *m_status = nullptr;
    QPlainTextEdit *m_panes[3] = {nullptr, nullptr, nullptr};
    QPushButton *m_keep = nullptr;
    QPushButton *m_theirs = nullptr;
    QPushButton *m_merge = nullptr;
    QPushButton *m_update = nullptr;
    bool m_busy = false;
    quint64 m_request = 0;
};
