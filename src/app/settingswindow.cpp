#include "app/settingswindow.h"

#include "app/aboutsettingspage.h"
#include "app/checksettingspage.h"
#include "app/generalsettingspage.h"
#include "common/symbols.h"
#include "common/toolicon.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(AppNotifications &notifications, Updater &updater, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget)
    , m_directories(new DirectorySettingsPage(notifications))
    , m_checks(new CheckSettingsPage(notifications))
{
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(tr("Settings"));
    setWindowIcon(applicationIcon());

    m_tabs->addTab(new GeneralSettingsPage(updater), Symbols::icon(QStringLiteral("gearshape.fill")),
                   tr("General"));
    m_tabs->addTab(m_directories, Symbols::icon(QStringLiteral("folder.fill")), tr("Directories"));
    m_tabs->addTab(m_checks, Symbols::icon(QStringLiteral("checklist")), tr("Checks"));
    m_tabs->addTab(new AboutSettingsPage(updater), Symbols::icon(QStringLiteral("info.circle.fill")),
                   tr("About"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    // The keys a Linux settings window closes with: Escape, and Ctrl+W with
    // whatever else the desktop binds to closing a window.
    QList<QKeySequence> closeKeys{QKeySequence(Qt::CTRL | Qt::Key_W)};
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Cancel)
        + QKeySequence::keyBindings(QKeySequence::Close);
    for (const QKeySequence &keys : standard) {
        if (!keys.isEmpty() && !closeKeys.contains(keys))
            closeKeys.append(keys);
    }
    for (const QKeySequence &keys : std::as_const(closeKeys)) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);
    // The pages are laid out for a 480 × 320 tab view; the Close row comes on top.
    setFixedSize(QSize(480, 320) + QSize(0, buttons->sizeHint().height() + layout->spacing()));
}

void SettingsWindow::setDirectoryChooser(DirectoryChooser chooser)
{
    m_directories->setDirectoryChooser(std::move(chooser));
}

void SettingsWindow::present(QWidget *requester)
{
    if (!isVisible()) {
        const QWidget *anchor = requester ? requester->window() : nullptr;
        QScreen *target = anchor ? anchor->screen() : screen();
        const QRect area = target->availableGeometry();
        move(centredPosition(frameGeometry().size(), anchor ? anchor->frameGeometry() : area, area));
    }
    show();
    raise();
    activateWindow();
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    // Another window may have changed the list since this one was last open.
    m_directories->reload();
    m_checks->reload();
    QWidget::showEvent(event);
}

QPoint centredPosition(const QSize &size, const QRect &anchor, const QRect &available)
{
    QRect placed(QPoint(), size);
    placed.moveCenter(anchor.center());
    // Keep the title bar reachable: inside the screen, top-left winning when
    // the window is larger than the screen.
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed.topLeft();
}
