#pragma once

#include "library/records/skill.h"

#include <QPointer>
#include <QWidget>

class AppState;
class ArtifactCache;
class ColumnTitle;
class ModelContext;
class QStackedWidget;
class QToolButton;
class SegmentedControl;
class SkillCardView;
class SkillEditorView;
class SkillMetadataBar;

// The detail column for the selected skill: a header with the skill's name and
// its controls (card/editor switch, favorite, "Show in File Manager"), the
// content in the mode AppState holds, a divider and the metadata bar's row.
class SkillDetailView final : public QWidget
{
    Q_OBJECT

public:
    SkillDetailView(AppState &state, ModelContext &context, const ArtifactCache &artifacts,
                    QWidget *parent = nullptr);

    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }

    // The column's title: the skill's name, following renames.
    QString title() const { return m_titleText; }
    bool isShowingEditor() const;
    // The column has something to show: a skill, or unsaved text whose record went away.
    bool hasDocument() const;
    // Puts the keyboard focus into the editor (when it is shown).
    void focusEditor();
    // Puts the keyboard focus on what is shown: the editor's text or the card.
    void focusContent();
    // Card to editor and back, as the switch in the header does (the user may stay
    // with unsaved text); the editor gets the focus.
    void toggleMode();
    // True when nothing unsaved stands in the way of leaving the skill or the
    // editor; otherwise asks the user, who may save, discard or stay.
    bool confirmLeave();

    SkillEditorView *editor() const { return m_editor; }
    SkillCardView *card() const { return m_card; }
    SkillMetadataBar *metadataBar() const { return m_metadataBar; }
    SegmentedControl *modeSwitch() const { return m_mode; }
    QToolButton *favoriteButton() const { return m_favorite; }
    QToolButton *revealButton() const { return m_reveal; }

Q_SIGNALS:
    void toggleFavoriteRequested(Skill *skill);
    void revealRequested(Skill *skill);
    // A supporting file's chip on the card was clicked.
    void revealFileRequested(const QString &path);
    // A problem on the card asks for its line of `skill`'s file in the editor.
    void showLineRequested(Skill *skill, int line);
    // A clash on the card names another skill's file: that skill should be shown.
    void otherSkillRequested(const QString &path);
    // A clash on the card asks to see the two files side by side.
    void compareRequested(const QString &path, const QString &otherPath);
    void installedCompareRequested(const QString &installed, const QString &current);
    void saveActionChanged();
    void modifiedChanged(bool modified);
    // The editor took up or let go of text whose record went away: the window
    // shows this column or its placeholder again.
    void documentChanged();
    // A scan found a record again at the file the editor holds apart from any.
    void skillFoundAgain(Skill *skill);

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
    SkillCardView *m_card = nullptr;
    SkillMetadataBar *m_metadataBar = nullptr;
    SkillEditorView *m_editor = nullptr;
};
