// Programs without a window (the command-line tool, test runners) still need
// a graphical application object for fonts, text metrics and painting.
#pragma once

namespace hy {

// Creates a QGuiApplication on the offscreen platform (unless
// QT_QPA_PLATFORM names another) when none exists yet; it lives until the
// process ends. Raises EGdiError when a non-graphical application object
// already exists.
void EnsureGuiApplication();

// What an application object made without a desktop session needs first:
// the offscreen platform (unless QT_QPA_PLATFORM names another) and a
// private runtime folder, so that Qt prints no warning.
void PrepareWindowlessEnvironment();

}  // namespace hy
