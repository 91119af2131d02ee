#pragma once

#include <QString>

// Shows the file in the desktop's file manager with the file selected, through the
// freedesktop FileManager1 interface; where no file manager offers it, opens the
// containing folder instead. A path that no longer exists shows nothing.
void revealInFileManager(const QString &path);
