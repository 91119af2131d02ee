#pragma once

#include <QStringList>

// Every key Vesk keeps in QSettings (organisation and application "Vesk").
namespace SettingsKeys {
inline constexpr char customScanPaths[] = "customScanPaths";
// Raw value of the harness a new skill starts with.
inline constexpr char defaultTool[] = "defaultTool";
// Whether "Use In" places a copy of the skill rather than a link to it.
inline constexpr char placeAsCopy[] = "placeAsCopy";

// The main window as it was last closed: its normal (unmaximized) geometry as a
// QRect, whether it was maximized, and the widths of its three columns.
inline constexpr char windowGeometry[] = "window/geometry";
inline constexpr char windowMaximized[] = "window/maximized";
inline constexpr char splitterSizes[] = "window/splitterSizes";
// The sidebar choice in its command-line text form (all, favorites, claude,
// collection:NAME) and the detail mode's raw value (card, editor).
inline constexpr char sidebarFilter[] = "window/sidebarFilter";
inline constexpr char detailViewMode[] = "window/detailViewMode";

// The ids of the check rules the user turned off (a string list); their findings
// show nowhere in the window, nor in `vesk check` of the whole library.
inline constexpr char disabledCheckRules[] = "checks/disabledRules";

// Whether the skill editor shows line numbers in a gutter (off unless turned on).
inline constexpr char showLineNumbers[] = "editor/showLineNumbers";

// Whether Vesk looks for a new version by itself once a day (off unless the user
// turns it on), and when it last looked.
inline constexpr char automaticallyChecksForUpdates[] = "automaticallyChecksForUpdates";
inline constexpr char lastUpdateCheck[] = "lastUpdateCheck";
// An update feed address that replaces the one the build was configured with.
inline constexpr char updateFeedUrl[] = "updateFeedURL";
} // namespace SettingsKeys

// The custom scan directories, read afresh from the settings. A missing or
// malformed value reads as an empty list.
QStringList readCustomScanPaths();
// The check rules turned off, read afresh; a malformed value reads as none.
QStringList readDisabledCheckRules();
