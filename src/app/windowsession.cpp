#include "app/windowsession.h"

#include "app/contentview.h"
#include "common/appstate.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skillcollection.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

namespace {

constexpr QSize defaultSize(1180, 720);

QList<QRect> availableScreens()
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return screens;
}

QString key(const char *name)
{
    return QLatin1String(name);
}

} // namespace

WindowSession::WindowSession(AppState &state, ModelContext &context, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_context(context)
{
}

bool WindowSession::fitsOnScreens(const QRect &geometry, const QList<QRect> &screens)
{
    if (!geometry.isValid())
        return false;
    for (const QRect &screen : screens) {
        if (screen.contains(geometry))
            return true;
    }
    return false;
}

void WindowSession::restoreState()
{
    const QSettings settings;
    if (const auto filter = SidebarFilter::fromString(settings.value(key(SettingsKeys::sidebarFilter)).toString())) {
        bool exists = filter->kind() != SidebarFilter::Kind::Collection;
        for (const SkillCollection *collection : m_context.collections())
            exists = exists || collection->name() == filter->collectionName();
        m_state.setSidebarFilter(exists ? *filter : SidebarFilter::all());
    }
    if (const auto mode = DetailViewModes::fromRawValue(settings.value(key(SettingsKeys::detailViewMode)).toString()))
        m_state.setDetailViewMode(*mode);
    connect(&m_state, &AppState::sidebarFilterChanged, this, &WindowSession::saveState);
    connect(&m_state, &AppState::detailViewModeChanged, this, &WindowSession::saveState);
}

void WindowSession::saveState() const
{
    QSettings settings;
    settings.setValue(key(SettingsKeys::sidebarFilter), m_state.sidebarFilter().toString());
    settings.setValue(key(SettingsKeys::detailViewMode), DetailViewModes::rawValue(m_state.detailViewMode()));
}

void WindowSession::attach(ContentView *window)
{
    restoreWindow(window, !m_placedFirstWindow);
    m_placedFirstWindow = true;
    window->installEventFilter(this);
}

void WindowSession::restoreWindow(ContentView *window, bool withPosition) const
{
    const QSettings settings;
    const QList<QRect> screens = availableScreens();
    const QRect saved = settings.value(key(SettingsKeys::windowGeometry)).toRect();
    if (fitsOnScreens(saved, screens)) {
        if (withPosition)
            window->setGeometry(saved);
        else
            window->resize(saved.size());
        if (settings.value(key(SettingsKeys::windowMaximized)).toBool())
            window->setWindowState(window->windowState() | Qt::WindowMaximized);
    } else {
        const QRect screen = screens.value(0, QRect(QPoint(), defaultSize));
        window->resize(defaultSize.boundedTo(screen.size() * 9 / 10));
    }

    QList<int> sizes;
    for (const QVariant &width : settings.value(key(SettingsKeys::splitterSizes)).toList())
        sizes.append(width.toInt());
    if (sizes.size() == window->columns()->count())
        window->columns()->setSizes(sizes);
}

void WindowSession::saveWindow(const ContentView *window) const
{
    QSettings settings;
    settings.setValue(key(SettingsKeys::windowGeometry), window->normalGeometry());
    settings.setValue(key(SettingsKeys::windowMaximized), window->isMaximized());
    QVariantList sizes;
    for (int width : window->columns()->sizes())
        sizes.append(width);
    settings.setValue(key(SettingsKeys::splitterSizes), sizes);
}

bool WindowSession::eventFilter(QObject *watched, QEvent *event)
{
    // Saved on every close, refused or not: what the user last saw is what comes back.
    if (event->type() == QEvent::Close) {
        if (const auto *window = qobject_cast<ContentView *>(watched))
            saveWindow(window);
    }
    return QObject::eventFilter(watched, event);
}
