#pragma once

namespace hy {

// Fills the program's format settings from the system locale.
void LoadSystemFormatSettings();

}  // namespace hy
