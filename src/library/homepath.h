#pragma once

#include <QString>

// `path` with the current user's home directory written as "~", for display.
QString abbreviateHome(const QString &path);
