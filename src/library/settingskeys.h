#pragma once

#include <QStringList>

// Every key Vesk keeps in QSettings (organisation and application "Vesk").
namespace SettingsKeys {
inline constexpr char customScanPaths[] = "customScanPaths";
// Raw value of the harness a new skill starts with.
inline constexpr char defaultTool[] = "defaultTool";
} // namespace SettingsKeys

// The custom scan directories, read afresh from the settings. A missing or
// malformed value reads as an empty list.
QStringList readCustomScanPaths();
