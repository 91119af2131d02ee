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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restoreWindow(ContentView *window, bool withPosition) const;
    void saveWindow(const ContentView *window) const;
    void saveState() const;

    AppState &m_state;
    ModelContext &m_context;
    bool m_placedFirstWindow = false;
};
