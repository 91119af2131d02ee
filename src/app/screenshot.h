#pragma once

struct CommandLine;
class VeskApp;

// Opens a main window, waits for its first scan, applies the command line's
// filter, selection, search and size, saves a PNG of the window and quits the
// event loop with 0 (or 1 when the file cannot be written or an option is wrong).
void takeScreenshot(VeskApp &app, const CommandLine &commandLine);
