#pragma once

#include <QStringList>

// Every key Vesk keeps in QSettings (organisation and application "Vesk").
namespace SettingsKeys {
inline constexpr char customScanPaths[] = "customScanPaths";
// Raw value of the harness a new skill starts with.
inline constexpr char defaultTool[] = "defaultTool";

// The main window as it was last closed: its normal (unmaximized) geometry as a
// QRect, whether it was maximized, and the widths of its three columns.
inline constexpr char windowGeometry[] = "window/geometry";
inline constexpr char windowMaximized[] = "window/maximized";
inline constexpr char splitterSizes[] = "window/splitterSizes";
// The sidebar choice in its command-line text form (all, favorites, claude,
// collection:NAME) and the detail mode's raw value (card, editor).
inline constexpr char sidebarFilter[] = "window/sidebarFilter";
inline constexpr char detailViewMode[] = "window/detailViewMode";
} // namespace SettingsKeys

// The custom scan directories, read afresh from the settings. A missing or
// malformed value reads as an empty list.
QStringList readCustomScanPaths();
