#pragma once

#include <QList>
#include <QObject>
#include <QRect>

class AppState;
class ContentView;
class ModelContext;

// Remembers the window between runs, in the settings file: the size and position
// of the main window, whether it was maximized, its column widths, the sidebar
// choice and the detail mode. A saved geometry that no longer fits any screen (a
// monitor that was unplugged, a smaller resolution) is ignored.
//
// Where the compositor places windows (Wayland), a window cannot know or choose its
// position: only the size comes back, and the position saved by an X11 session is
// kept for the next X11 session.
//
// Screenshots and tests leave the user's settings alone because they never make one.
class WindowSession final : public QObject
{
    Q_OBJECT

public:
    WindowSession(AppState &state, ModelContext &context, QObject *parent = nullptr);

    // Puts the saved sidebar choice and detail mode into the state, and saves them
    // whenever they change from now on. A collection that no longer exists falls
    // back to all skills.
    void restoreState();

    // Sizes a window before it is first shown and saves its geometry when it closes.
    // Only the first window of a run goes back to its old place; later ones keep the
    // size and let the window manager place them.
    void attach(ContentView *window);

    // True when `geometry` lies wholly inside the available area of one of `screens`.
    static bool fitsOnScreens(const QRect &geometry, const QList<QRect> &screens);
    // True when `size` fits inside the available area of one of `screens`.
    static bool sizeFitsOnScreens(const QSize &size, const QList<QRect> &screens);
    // True for the platforms on which the compositor, not the window, chooses where windows go.
    static bool compositorPlacesWindows(const QString &platformName);

    // Read from the running platform; tests set it to play a Wayland session.
    void setCompositorPlacesWindows(bool places) { m_compositorPlaces = places; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restoreWindow(ContentView *window, bool withPosition) const;
    void saveWindow(const ContentView *window) const;
    void saveState() const;

    AppState &m_state;
    ModelContext &m_context;
    bool m_placedFirstWindow = false;
    bool m_compositorPlaces = false;
};
