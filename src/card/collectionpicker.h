#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QPointer>
#include <QTimer>

class ModelContext;
class QAbstractButton;
class QVBoxLayout;
class Skill;
class SkillCollection;

// The small popup in which a skill joins or leaves collections: "Collections",
// then one row per collection in sort order with a checkmark where the skill is
// a member, or "No collections yet". Clicking a row toggles the membership and
// saves at once; the popup stays open and follows the store while it is shown.
class CollectionPicker final : public QFrame
{
    Q_OBJECT

public:
    CollectionPicker(ModelContext &context, QWidget *parent = nullptr);

    void setSkill(Skill *skill);
    // Opens above `anchor` (global coordinates), or below it when there is no room.
    void popup(const QRect &anchor);

    // The rows' buttons, in order (for tests and keyboard users alike).
    QList<QAbstractButton *> rows() const;
    bool isShowingEmptyText() const;
    // True just after a click outside closed the popup, so that click (on the
    // button that opens it) does not open it again at once. Closing it any other
    // way (Escape, another skill) leaves the next click free to open it.
    bool wasJustClosed() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void scheduleRebuild();
    void rebuild();

    ModelContext &m_context;
    QPointer<Skill> m_skill;
    QVBoxLayout *m_rows = nullptr;
    QWidget *m_empty = nullptr;
    // One pending rebuild at most; a direct rebuild (on opening) cancels it, so the
    // rows just shown are not replaced under the pointer a moment later.
    QTimer m_pendingRebuild;
    QElapsedTimer m_sinceClosedByClick;
};
