#pragma once

#include "library/sources/sourcefetch.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// File ▸ Add Skills from Repository…: the user names a source, Vesk fetches it
// with the user's own git (off the window's thread), lists the skills found with
// each one's text and health findings, and installs the ticked ones where the
// user chose, as `vesk add` does. Nothing is fetched until "Find Skills".
class AddSkillsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AddSkillsDialog(QWidget *parent = nullptr);
    ~AddSkillsDialog() override;

    // Starts fetching what the source field names.
    void findSkills();
    // Installs the ticked skills; true when all of them were.
    bool installChosen();

    QLineEdit *sourceField() const { return m_source; }
    QListWidget *skillList() const { return m_list; }
    QComboBox *placeChooser() const { return m_place; }
    // Where the skills go: the home folder (empty data) or a project folder.
    QComboBox *scopeChooser() const { return m_scope; }
    // The projects offered beside the home folder (the ones the library knows).
    void setProjects(const QStringList &projects);
    // Installs into `folder` from now on, offering it among the projects.
    void setProjectFolder(const QString &folder);
    QLabel *statusLabel() const { return m_status; }

Q_SIGNALS:
    // The fetch ended: the list holds what was found, or the status says why not.
    void searchFinished();
    // Skills were installed (the window rescans).
    void skillsInstalled();

private:
    void showFound();
    void showPreview();
    void setBusy(bool busy);
    // The tools that read their own folder in the chosen scope, shared folder first.
    void fillPlaces();
    void chooseProjectFolder();

    QLineEdit *m_source = nullptr;
    QLineEdit *m_ref = nullptr;
    QPushButton *m_find = nullptr;
    QLabel *m_status = nullptr;
    QListWidget *m_list = nullptr;
    QPlainTextEdit *m_preview = nullptr;
    QComboBox *m_scope = nullptr;
    QComboBox *m_place = nullptr;
    QCheckBox *m_copy = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QPushButton *m_install = nullptr;

    // What the last fetch gave; the worker writes it before it finishes.
    struct Fetch {
        QString sourceText;
        QString ref;
        QString workingDirectory;
        std::optional<SkillSource> source;
        FetchedSource fetched;
        QList<FoundSkill> found;
        QString error;
    };
    std::shared_ptr<Fetch> m_fetch;
    bool m_busy = false;
};
