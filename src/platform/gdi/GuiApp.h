// Programs without a window (the command-line tool, test runners) still need
// a graphical application object for fonts, text metrics and painting.
#pragma once

namespace hy {

// Creates a QGuiApplication on the offscreen platform (unless
// QT_QPA_PLATFORM names another) when none exists yet; it lives until the
// process ends. Raises EGdiError when a non-graphical application object
// already exists.
void EnsureGuiApplication();

}  // namespace hy
