#pragma once

#include "library/checks/finding.h"

#include <QPalette>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>

struct Finding;
class AppState;
class ArtifactCache;
class ClampedLabel;
class LibraryHealth;
class Skill;
class SymbolButton;
class SymbolLabel;
class QTimer;
class QVBoxLayout;

// The read-only card of one skill, top to bottom: what the checks found wrong with
// it (when anything), its harness and location
// badges, name, description and file facts; its frontmatter metadata; its
// supporting files grouped by kind as chips that reveal the file; and the first
// lines of its instructions with an "Edit" button that opens the editor.
//
// The card follows the record: any change to a field it shows (a rescan, a save)
// rebuilds it, and its artifact listing is read again from the cache each time.
class SkillCardView final : public QScrollArea
{
    Q_OBJECT

public:
    SkillCardView(AppState &state, const ArtifactCache &artifacts, QWidget *parent = nullptr);
    ~SkillCardView() override;

    void setSkill(Skill *skill);
    // Where the Problems section reads the skill's findings from; without it, or
    // before its first round, the card checks the skill itself.
    void setHealth(LibraryHealth *health);
    Skill *skill() const { return m_skill.data(); }

    // Reads the record and the artifact cache again; done by itself after a change.
    void rebuild();

Q_SIGNALS:
    // A chip was clicked: the file it stands for should be shown in the file manager.
    void revealRequested(const QString &path);
    // "Edit" switched the pane to the editor.
    void editorOpened();
    // A problem's "Show Line": the skill's file should open in the editor at `line`.
    void showLineRequested(int line);
    // A clash's other file was activated: the skill at `path` should be selected.
    void otherSkillRequested(const QString &path);
    // A clash's "Compare": the skill's file and the other one side by side.
    void compareRequested(const QString &path, const QString &otherPath);
    // A file edited since the skill was installed: its installed copy beside it.
    void installedCompareRequested(const QString &installed, const QString &current);
    // Emitted after each rebuild (tests wait for it).
    void rebuilt();

protected:
    void changeEvent(QEvent *event) override;

private:
    void scheduleRebuild();
    // Errors and warnings of the skill's file and its clashes; null when there are none.
    QWidget *buildProblems(QWidget *parent);
    // The buttons under a problem: its line in the editor, or the other file of a clash.
    QWidget *buildProblemActions(const Finding &finding, QWidget *parent);
    QWidget *buildHeader(QWidget *parent);
    QWidget *buildMetadata(const QStringList &keys, QWidget *parent);
    QWidget *buildResources(QWidget *parent);
    QWidget *buildContent(QWidget *parent);
    void refreshRelativeDate();
    void openEditor();

    AppState &m_state;
    const ArtifactCache &m_artifacts;
    QPointer<Skill> m_skill;
    QPointer<LibraryHealth> m_health;
    QList<Finding> m_shownFindings; // what the Problems section was built from
    bool m_rebuildScheduled = false;
    QPalette m_builtWith;
    SymbolLabel *m_dateLabel = nullptr;
    QTimer *m_clock = nullptr;
};
