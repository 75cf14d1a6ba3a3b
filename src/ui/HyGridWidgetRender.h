// Pictures of the cross-tab without a window on screen, for the command
// line and for checks.
#pragma once

#include <string>

namespace hy {

class TCustomHyGrid;

// Creates the widget application (on the offscreen platform unless
// QT_QPA_PLATFORM names another) when none exists. Raises EGdiError when a
// non-widget application object exists already.
void EnsureWidgetApplication();

// Renders the grid widget over `model` at its full size and writes it as a
// PNG file, completely or not at all. Raises hy::Exception on failure.
void SaveGridPng(TCustomHyGrid& model, const std::string& fileName);

}  // namespace hy
