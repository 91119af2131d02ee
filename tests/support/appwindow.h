#pragma once

// Helpers for the tests that drive the real window: show one and wait for its first
// scan, find a skill by its name, and read the names its list shows.

#include "app/contentview.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"

#include <QStringList>
#include <QtTest/QtTest>

namespace TestWindow {

// Shows `window` and waits until it is exposed and its first scan has run; null if
// either does not happen.
inline ContentView *shown(ContentView *window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return nullptr;
    if (!window->hasFinishedInitialScan() && !QSignalSpy(window, &ContentView::initialScanFinished).wait(30000))
        return nullptr;
    QCoreApplication::processEvents();
    return window;
}

inline Skill *skillNamed(const ModelContext &context, const QString &name)
{
    for (Skill *skill : context.skills()) {
        if (skill->name() == name)
            return skill;
    }
    return nullptr;
}

// The names the window's list shows, in order, after it has caught up.
inline QStringList listedNames(const ContentView *window)
{
    SkillListModel *model = window->skillList()->model();
    model->refresh();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(model->skillAt(row)->name());
    return names;
}

} // namespace TestWindow
