#include "app/skillmanagement.h"

#include "app/contentview.h"
#include "common/plaintext.h"
#include "common/appstate.h"
#include "common/noticebar.h"
#include "common/symbols.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skill.h"
#include "library/store/modelcontext.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QToolButton>

#include <algorithm>

namespace {

// Joined, not substituted: a skill's name may itself hold "%1".
QString named(const QString &text, const Skill &skill)
{
    return text + QStringLiteral(" “") + skill.name() + QStringLiteral("”");
}

} // namespace

SkillManagement::SkillManagement(AppState &state, ModelContext &context, ContentView &window, NoticeBar &undoBar)
    : QObject(&window)
    , m_state(state)
    , m_context(context)
    , m_window(window)
    , m_undoBar(undoBar)
{
    m_undoBar.setObjectName(QStringLiteral("undoNotice"));
    m_undoBar.setActionText(tr("Undo"));
    connect(&m_undoBar, &NoticeBar::actionTriggered, this, &SkillManagement::undoLast);
}

QStringList SkillManagement::projects() const
{
    QStringList folders;
    for (const Skill *skill : m_context.skillsInAnyOrder()) {
        const QString project = scopeOf(skill->filePath());
        if (!project.isEmpty() && !folders.contains(project))
            folders.append(project);
    }
    folders.sort();
    return folders;
}

QList<QAction *> SkillManagement::actions(const QList<Skill *> &chosen, QObject *owner)
{
    QList<QPointer<Skill>> held;
    for (Skill *skill : chosen)
        held.append(skill);
    const auto skills = [held] {
        QList<Skill *> alive;
        for (const QPointer<Skill> &skill : held) {
            if (skill)
                alive.append(skill);
        }
        return alive;
    };
    QList<QAction *> list;
    const auto submenu = [owner, &list](const QString &title, const QString &objectName) {
        auto *menu = new QMenu();
        QObject::connect(owner, &QObject::destroyed, menu, &QObject::deleteLater);
        auto *action = new QAction(title, owner);
        action->setObjectName(objectName);
        action->setMenu(menu);
        list.append(action);
        return menu;
    };

    // Use In: every tool that does not read one of them yet, the shared folder first.
    QList<PlacementTool> notReading;
    QList<PlacementTool> placed;
    for (const Skill *skill : chosen) {
        for (const PlacementTool &tool : toolsNotReading(*skill)) {
            if (!notReading.contains(tool))
                notReading.append(tool);
        }
        for (const PlacementTool &tool : toolsWithPlacement(*skill)) {
            if (!placed.contains(tool))
                placed.append(tool);
        }
    }
    const auto inOrder = [](QList<PlacementTool> tools) {
        QList<PlacementTool> ordered;
        for (const PlacementTool &tool : placementTools()) {
            if (tools.contains(tool))
                ordered.append(tool);
        }
        return ordered;
    };
    QMenu *useIn = submenu(tr("Use In"), QStringLiteral("useIn"));
    for (const PlacementTool &tool : inOrder(notReading)) {
        QAction *item = useIn->addAction(placementTitle(tool));
        item->setToolTip(tr("Hold Shift to place a copy instead of a link"));
        connect(item, &QAction::triggered, this, [this, skills, tool] {
            // The setting picks link or copy; Shift picks the other one this time.
            bool copy = QSettings().value(QLatin1String(SettingsKeys::placeAsCopy), false).toBool();
            if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)
                copy = !copy;
            const PlacementKind kind = copy ? PlacementKind::Copy : PlacementKind::Link;
            run(tr("Use in %1").arg(placementTitle(tool)), skills(), [this, tool, kind](Skill &skill) {
                return useSkillIn(m_context, skill, tool, kind);
            });
        });
    }
    if (!useIn->isEmpty())
        useIn->addSeparator();
    QAction *asCopies = useIn->addAction(tr("Place Copies Instead of Links"));
    asCopies->setCheckable(true);
    asCopies->setChecked(QSettings().value(QLatin1String(SettingsKeys::placeAsCopy), false).toBool());
    connect(asCopies, &QAction::toggled, this, [](bool on) {
        QSettings().setValue(QLatin1String(SettingsKeys::placeAsCopy), on);
    });
    list.constLast()->setEnabled(!notReading.isEmpty());

    QMenu *stopUsing = submenu(tr("Stop Using In"), QStringLiteral("stopUsingIn"));
    for (const PlacementTool &tool : inOrder(placed)) {
        connect(stopUsing->addAction(placementTitle(tool)), &QAction::triggered, this, [this, skills, tool] {
            run(tr("Stop using in %1").arg(placementTitle(tool)), skills(), [this, tool](Skill &skill) {
                SkillOperationResult result = stopUsingSkillIn(m_context, skill, tool);
                if (!result.ok && !result.wouldLose.isEmpty()) {
                    // A copy someone changed: say what would be lost, and go on only when told to.
                    QMessageBox box(QMessageBox::Warning, tr("Remove a Changed Copy?"),
                                    named(tr("The copy in %1 differs from").arg(placementTitle(tool)), skill),
                                    QMessageBox::Cancel, &m_window);
                    box.setInformativeText(tr("Moving it to the trash would lose: ")
                                           + result.wouldLose.join(QStringLiteral(", ")));
                    QPushButton *trash = box.addButton(tr("Move Copy to Trash"), QMessageBox::DestructiveRole);
                    showAsPlainText(&box); // names and paths are the disk's
                    box.exec();
                    if (box.clickedButton() == trash) {
                        SkillOperationOptions options;
                        options.discardDiffering = true;
                        result = stopUsingSkillIn(m_context, skill, tool, options);
                    }
                }
                return result;
            });
        });
    }
    list.constLast()->setEnabled(!placed.isEmpty());

    const bool allOff = !chosen.isEmpty() && std::all_of(chosen.cbegin(), chosen.cend(), [](const Skill *skill) {
        return isTurnedOff(*skill);
    });
    auto *toggle = new QAction(allOff ? tr("Turn On") : tr("Turn Off"), owner);
    toggle->setObjectName(QStringLiteral("turnOff"));
    connect(toggle, &QAction::triggered, this, [this, skills, allOff] {
        run(allOff ? tr("Turn on") : tr("Turn off"), skills(), [this, allOff](Skill &skill) {
            return allOff ? turnSkillOn(m_context, skill) : turnSkillOff(m_context, skill);
        });
    });
    list.append(toggle);

    auto *renameAction = new QAction(tr("Rename…"), owner);
    renameAction->setObjectName(QStringLiteral("rename"));
    renameAction->setEnabled(chosen.size() == 1);
    connect(renameAction, &QAction::triggered, this, [this, skills] {
        if (skills().size() == 1)
            rename(skills().constFirst());
    });
    list.append(renameAction);

    QMenu *moveTo = submenu(tr("Move To"), QStringLiteral("moveTo"));
    QStringList scopes{QString()};
    scopes.append(projects());
    for (const QString &scope : std::as_const(scopes)) {
        const bool everyoneThere = std::all_of(chosen.cbegin(), chosen.cend(), [&scope](const Skill *skill) {
            return scopeOf(skill->filePath()) == scope;
        });
        if (everyoneThere)
            continue;
        QAction *item = moveTo->addAction(scope.isEmpty() ? tr("Home Folder") : QFileInfo(scope).fileName());
        item->setToolTip(scope.isEmpty() ? QDir::homePath() : scope);
        connect(item, &QAction::triggered, this, [this, skills, scope] {
            run(tr("Move"), skills(), [this, scope](Skill &skill) { return moveSkillTo(m_context, skill, scope); });
        });
    }
    list.constLast()->setEnabled(!moveTo->isEmpty());

    auto *duplicate = new QAction(tr("Duplicate"), owner);
    duplicate->setObjectName(QStringLiteral("duplicate"));
    connect(duplicate, &QAction::triggered, this, [this, skills] {
        run(tr("Duplicate"), skills(), [this](Skill &skill) { return duplicateSkill(m_context, skill, QString()); });
    });
    list.append(duplicate);

    auto *separator = new QAction(owner);
    separator->setSeparator(true);
    list.append(separator);
    auto *trash = new QAction(tr("Move to Trash"), owner);
    trash->setObjectName(QStringLiteral("moveToTrash"));
    connect(trash, &QAction::triggered, this, [this, skills] {
        run(tr("Move to Trash"), skills(), [this](Skill &skill) { return trashSkill(m_context, skill); });
    });
    list.append(trash);
    return list;
}

QToolButton *SkillManagement::makeButton(QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("manageSkill"));
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    button->setIcon(Symbols::icon(QStringLiteral("wrench.and.screwdriver"), QPalette::PlaceholderText));
    button->setToolTip(tr("Use In, Turn Off, Rename, Move…"));
    button->setAccessibleName(tr("Manage Skill"));
    button->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(button);
    button->setMenu(menu);
    // The actions are built afresh each time, for the skill selected then, and
    // belong to an owner that goes when the next ones are built.
    auto *owner = new QObject(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, owner]() mutable {
        menu->clear();
        delete owner;
        owner = new QObject(menu);
        if (Skill *skill = m_state.selectedSkill())
            menu->addActions(actions({skill}, owner));
    });
    const auto update = [this, button] { button->setEnabled(m_state.selectedSkill() != nullptr); };
    connect(&m_state, &AppState::selectedSkillChanged, button, update);
    update();
    return button;
}

bool SkillManagement::mayChange(const QList<Skill *> &skills)
{
    // The skill open with unsaved text: its editor asks first (save, discard or stay).
    return !skills.contains(m_state.selectedSkill()) || m_state.mayLeaveCurrentSkill();
}

void SkillManagement::run(const QString &verb, const QList<Skill *> &skills, const Operation &operation)
{
    if (skills.isEmpty() || !mayChange(skills))
        return;
    QList<QPointer<Skill>> held;
    for (Skill *skill : skills)
        held.append(skill);
    QList<SkillUndo> undo;
    m_lastFailures.clear();
    int done = 0;
    for (const QPointer<Skill> &skill : std::as_const(held)) {
        if (!skill)
            continue;
        const QString name = skill->name();
        // One failure does not stop, nor undo, the others.
        const SkillOperationResult result = operation(*skill);
        if (result.ok) {
            ++done;
            m_doneName = name;
            if (result.undo.kind != SkillUndo::Kind::None)
                undo.append(result.undo);
        } else if (!result.error.isEmpty()) {
            m_lastFailures.append(name + QStringLiteral(": ") + result.error);
        }
    }
    m_window.reload();
    if (!undo.isEmpty()) {
        m_undo = undo;
        m_undoVerb = verb;
        m_undoBar.setActionText(tr("Undo"));
        m_undoBar.showNotice(done == 1 ? verb + tr(": done for “") + m_doneName + tr("”.")
                                       : tr("%1: done for %2 skills.").arg(verb).arg(done));
    }
    if (!m_lastFailures.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, verb,
                        skills.size() == 1 ? tr("It could not be done.")
                                           : tr("%1 of %2 skills could not be done; the others were.")
                                                 .arg(m_lastFailures.size()).arg(skills.size()),
                        QMessageBox::Ok, &m_window);
        box.setInformativeText(m_lastFailures.join(u'\n'));
        showAsPlainText(&box); // names and paths are the disk's
        box.exec();
    }
}

void SkillManagement::undoLast()
{
    if (m_undo.isEmpty())
        return;
    QStringList failures;
    // Last first, so that operations on one skill unwind in order.
    for (auto it = m_undo.crbegin(); it != m_undo.crend(); ++it) {
        const SkillOperationResult result = undoSkillOperation(m_context, *it);
        if (!result.ok)
            failures.append(result.error);
    }
    m_undo.clear();
    m_window.reload();
    m_undoBar.setActionText(QString());
    if (failures.isEmpty()) {
        m_undoBar.showNotice(tr("%1: undone.").arg(m_undoVerb));
    } else {
        m_undoBar.showNotice(tr("%1 could not be fully undone: ").arg(m_undoVerb) + failures.join(QStringLiteral("; ")));
    }
}

void SkillManagement::rename(Skill *skill)
{
    const QPointer<Skill> held(skill);
    bool ok = false;
    const QString name = QInputDialog::getText(&m_window, tr("Rename Skill"),
                                               tr("New name (lowercase letters, digits and hyphens):"),
                                               QLineEdit::Normal, QFileInfo(skillEntry(*skill)).fileName(), &ok);
    if (!ok || !held)
        return;
    run(tr("Rename"), {held.data()}, [this, name](Skill &target) {
        return renameSkill(m_context, target, name.trimmed());
    });
}
