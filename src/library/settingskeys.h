#pragma once

#include <QStringList>

// Every key Vesk keeps in QSettings (organisation and application "Vesk").
namespace SettingsKeys {
inline constexpr char customScanPaths[] = "customScanPaths";
} // namespace SettingsKeys

// The custom scan directories, read afresh from the settings. A missing or
// malformed value reads as an empty list.
QStringList readCustomScanPaths();
