#pragma once

#include <QString>

// `path` with the current user's home directory written as "~", for display.
QString abbreviateHome(const QString &path);
// The same for a given home directory. Only a leading home that is the whole path
// or is followed by "/" is replaced: with a home of /home/al, /home/alice stays as it is.
QString abbreviateHome(const QString &path, const QString &home);
