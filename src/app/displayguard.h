#pragma once

#include <QString>
#include <QStringList>

// Qt ends the process with abort() when no platform plugin can start (no display,
// or one that does not answer), after several lines meant for developers. While a
// guard lives, that end is replaced by one line for the user and exit status 1,
// naming the package to install when the session's platform plugin is missing;
// Qt's own start-up warnings are held back and, when the window can open after
// all, passed on unchanged, followed by that package's name when it applies.
class DisplayGuard final
{
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard &) = delete;
    DisplayGuard &operator=(const DisplayGuard &) = delete;
};

// The line printed instead when no session answered.
QString noDisplayMessage();

// The platform plugins Qt's start-up messages say it could not find, in order.
QStringList missingPlatformPlugins(const QStringList &messages);
// The Debian package that brings a platform plugin ("qt6-wayland" for "wayland"),
// or nothing when Vesk does not know it.
QString packageForPlatformPlugin(const QString &plugin);
// The line printed instead when Qt could not start: which package to install when
// the session's plugin is missing, else noDisplayMessage().
QString platformFailureMessage(const QStringList &missingPlugins);
// The line added to Qt's warning when the session's own plugin is missing but
// another one started (Wayland through XWayland); empty when there is nothing to add.
QString missingPluginHint(const QStringList &missingPlugins);
