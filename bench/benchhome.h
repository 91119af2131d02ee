#pragma once

// Points HOME and the XDG folders into `root`, so that a benchmark reads and
// writes only files it made itself. Call before the application object exists.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

inline void useBenchmarkHome(const QTemporaryDir &root)
{
    const QByteArray rootPath = QFile::encodeName(root.path());
    qputenv("HOME", rootPath);
    qputenv("XDG_CONFIG_HOME", rootPath + "/.config");
    qputenv("XDG_DATA_HOME", rootPath + "/.local/share");
    qputenv("XDG_CACHE_HOME", rootPath + "/.cache");
    qputenv("XDG_STATE_HOME", rootPath + "/.local/state");
}
