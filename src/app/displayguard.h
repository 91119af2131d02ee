#pragma once

#include <QString>

// Qt ends the process with abort() when no platform plugin can start (no display,
// or one that does not answer), after several lines meant for developers. While a
// guard lives, that end is replaced by one line for the user and exit status 1;
// Qt's own start-up warnings are held back and, when the window can open after
// all, passed on unchanged.
class DisplayGuard final
{
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard &) = delete;
    DisplayGuard &operator=(const DisplayGuard &) = delete;
};

// The line printed instead.
QString noDisplayMessage();
