#include "app/openrequesthandler.h"

#include "app/contentview.h"
#include "cli/skilllookup.h"
#include "app/veskapp.h"
#include "browse/skillfilter.h"
#include "common/appstate.h"
#include "library/store/modelcontext.h"

#include <QApplication>
#include <QPointer>

#include <memory>

namespace {

ContentView *frontWindow(VeskApp &app)
{
    const QList<ContentView *> windows = app.windows();
    for (ContentView *window : windows) {
        if (window->isActiveWindow())
            return window;
    }
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if ((*it)->isVisible())
            return *it;
    }
    ContentView *window = app.newWindow();
    window->show();
    return window;
}

void raise(ContentView *window, const QString &activationToken)
{
    // Wayland compositors raise a window only for the launch that asked; the token
    // the launcher gave that launch travels here and is read by Qt on activation.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

// Selects the skill, in the editor when asked and on its card otherwise, whatever
// the window was last showing, as a click in the list would: unsaved text in the
// editor gets its say first. A sidebar choice or search that would hide the skill
// from the list gives way. False when the user chose to stay.
bool showSkill(ContentView &window, AppState &state, Skill *skill, bool edit)
{
    const bool shown = edit ? window.openInEditor(skill)
                            : state.requestSelectedSkill(skill) && state.requestDetailViewMode(DetailViewMode::Card);
    if (!shown)
        return false;
    if (!matchesSidebarFilter(*skill, state.sidebarFilter(), window.libraryHealth()))
        state.setSidebarFilter(SidebarFilter::all());
    if (!matchesSearch(*skill, state.searchText()))
        state.setSearchText(QString());
    return true;
}

} // namespace

void handleOpenRequest(VeskApp &app, const OpenRequest &request, const OpenReply &reply)
{
    ContentView *window = frontWindow(app);
    raise(window, request.activationToken);
    if (request.nameOrPath.isEmpty()) {
        reply({});
        return;
    }

    // Answered exactly once: by the lookup, or when the window goes before it ran.
    auto answered = std::make_shared<bool>(false);
    const auto answer = [answered, reply](const QString &error) {
        if (*answered)
            return;
        *answered = true;
        reply(error);
    };
    QObject::connect(window, &QObject::destroyed, &app, [answer] {
        answer(QCoreApplication::translate("OpenRequest", "The window closed before the skill could be shown."));
    });
    const QPointer<ContentView> target(window);
    const auto lookUp = [&app, target, request, answer] {
        if (!target)
            return;
        ModelContext &context = app.context();
        Skill *skill = findSkill(context.skills(), request.nameOrPath, request.workingDirectory);
        if (!skill) {
            // It may have appeared since the last scan (a folder nobody watches).
            target->reload();
            skill = findSkill(context.skills(), request.nameOrPath, request.workingDirectory);
        }
        if (!skill) {
            answer(QCoreApplication::translate("OpenRequest", "No skill is named \"%1\", and no skill file is there.")
                       .arg(request.nameOrPath));
            return;
        }
        raise(target, QString());
        if (!showSkill(*target, app.state(), skill, request.edit)) {
            answer(QCoreApplication::translate("OpenRequest", "\"%1\" was not opened: the editor keeps its unsaved changes.")
                       .arg(request.nameOrPath));
            return;
        }
        answer({});
    };
    if (window->hasFinishedInitialScan())
        lookUp();
    else
        QObject::connect(window, &ContentView::initialScanFinished, window, lookUp, Qt::SingleShotConnection);
}
