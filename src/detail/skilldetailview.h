#pragma once

#include "library/skill.h"

#include <QPointer>
#include <QWidget>

class AppState;
class ColumnTitle;
class QStackedWidget;
class QToolButton;
class SegmentedControl;
class SkillEditorView;
class SkillSummaryView;

// The detail column for the selected skill: a header with the skill's name and
// its controls (card/editor switch, favorite, "Show in File Manager"), the
// content in the mode AppState holds, a divider and the metadata bar's row.
class SkillDetailView final : public QWidget
{
    Q_OBJECT

public:
    explicit SkillDetailView(AppState &state, QWidget *parent = nullptr);

    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }

    // The column's title: the skill's name, following renames.
    QString title() const { return m_titleText; }
    bool isShowingEditor() const;
    // Puts the keyboard focus into the editor (when it is shown).
    void focusEditor();
    // True when nothing unsaved stands in the way of leaving the skill or the
    // editor; otherwise asks the user, who may save, discard or stay.
    bool confirmLeave();

    SkillEditorView *editor() const { return m_editor; }
    SegmentedControl *modeSwitch() const { return m_mode; }
    QToolButton *favoriteButton() const { return m_favorite; }
    QToolButton *revealButton() const { return m_reveal; }

Q_SIGNALS:
    void toggleFavoriteRequested(Skill *skill);
    void revealRequested(Skill *skill);
    void saveActionChanged();
    void modifiedChanged(bool modified);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QWidget *createHeader();
    void showMode();
    void updateTitle();
    void updateFavorite();
    void updateIcons();

    AppState &m_state;
    QPointer<Skill> m_skill;
    QString m_titleText;
    ColumnTitle *m_title = nullptr;
    SegmentedControl *m_mode = nullptr;
    QToolButton *m_favorite = nullptr;
    QToolButton *m_reveal = nullptr;
    QStackedWidget *m_content = nullptr;
    // The card mode's view and the metadata bar's row. The read-only summary and
    // the empty row stand in for the card and the bar; each is made in one place
    // in the constructor and fed by setSkill().
    SkillSummaryView *m_card = nullptr;
    QWidget *m_metadataBar = nullptr;
    SkillEditorView *m_editor = nullptr;
};
