#include "app/screenshot.h"

#include "common/appstate.h"
#include "cli/commandline.h"
#include "app/contentview.h"
#include "app/veskapp.h"
#include "browse/skilllistview.h"
#include "card/skillcardview.h"
#include "detail/skilldetailview.h"
#include "library/checks/libraryhealth.h"
#include "library/store/modelcontext.h"

#include <QCoreApplication>
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QListView>
#include <QTextStream>
#include <QTimer>


namespace {

void finish(int status, const QString &message = {})
{
    if (!message.isEmpty())
        QTextStream(stderr) << "vesk: " << message << Qt::endl;
    QTimer::singleShot(0, qApp, [status] { QCoreApplication::exit(status); });
}

bool applyOptions(VeskApp &app, const CommandLine &commandLine, QString *error)
{
    AppState &state = app.state();
    if (!commandLine.filter.isEmpty()) {
        const auto filter = SidebarFilter::fromString(commandLine.filter);
        if (!filter) {
            *error = QCoreApplication::translate("Screenshot", "Unknown filter \"%1\".").arg(commandLine.filter);
            return false;
        }
        state.setSidebarFilter(*filter);
    }
    if (commandLine.hasSearch)
        state.setSearchText(commandLine.search);
    const bool compare = commandLine.detailMode == QLatin1String("compare"); // shown from the card
    if (const auto mode = DetailViewModes::fromRawValue(compare ? QStringLiteral("card") : commandLine.detailMode))
        state.setDetailViewMode(*mode);
    if (!commandLine.selectSkill.isEmpty()) {
        Skill *match = nullptr;
        for (Skill *skill : app.context().skills()) {
            if (skill->name() == commandLine.selectSkill) {
                match = skill;
                break;
            }
        }
        if (!match) {
            *error = QCoreApplication::translate("Screenshot", "No skill is named \"%1\".").arg(commandLine.selectSkill);
            return false;
        }
        state.setSelectedSkill(match);
    }
    return true;
}

} // namespace

void takeScreenshot(VeskApp &app, const CommandLine &commandLine)
{
    ContentView *window = app.newWindow();
    window->resize(commandLine.size.isValid() ? commandLine.size : QSize(1180, 720));
    QObject::connect(window, &ContentView::initialScanFinished, window, [&app, window, commandLine] {
        QString error;
        if (!applyOptions(app, commandLine, &error)) {
            finish(1, error);
            return;
        }
        // Show the selection as a user who just clicked it would see it.
        window->activateWindow();
        if (app.state().selectedSkill() && app.state().detailViewMode() == DetailViewMode::Editor)
            window->detailView()->focusEditor();
        else if (app.state().selectedSkill())
            window->skillList()->listView()->setFocus();
        // Let the models fold the scan's changes, the checks catch up with them and
        // the window lay itself out. "compare" shows the card and opens its first
        // clash's Compare.
        auto *settling = new QTimer(window);
        settling->setInterval(50);
        QObject::connect(settling, &QTimer::timeout, window, [&app, settling, window, commandLine] {
            if (!app.health().isSettled())
                return;
            settling->stop();
            const bool compare = commandLine.detailMode == QLatin1String("compare");
            if (compare) {
                auto *button = window->detailView()->card()->findChild<QAbstractButton *>(QStringLiteral("compareButton"));
                if (!button) {
                    finish(1, QCoreApplication::translate("Screenshot", "The selected skill has no copy to compare."));
                    return;
                }
                button->click();
            }
            QTimer::singleShot(250, window, [window, commandLine, compare] {
                QWidget *shown = compare && window->compareDialog() ? static_cast<QWidget *>(window->compareDialog()) : window;
                const QPixmap image = shown->grab();
                if (!image.save(commandLine.screenshotFile, "PNG")) {
                    finish(1, QCoreApplication::translate("Screenshot", "Could not write \"%1\".").arg(commandLine.screenshotFile));
                    return;
                }
                finish(0);
            });
        });
        settling->start();
    });
    window->show();
}
