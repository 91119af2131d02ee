#pragma once

#include <QStringList>

// What both of Vesk's executables (the command line and the window) do first.

// Organisation and application name decide where the store and settings live.
void setApplicationNames();

// The arguments as the locale encodes them, the program's name first.
QStringList argumentList(int argc, char **argv);
