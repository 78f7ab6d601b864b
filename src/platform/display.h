#pragma once

#include <QString>

namespace ringlark {

// Whether a window could be opened: asked before the GUI application object is built,
// because Qt aborts the program when no platform it tries can open a display. Empty when
// one can; otherwise what is wrong, in a few words for the user. On Linux the display
// servers named by DISPLAY and WAYLAND_DISPLAY are asked; when only one of them answers and
// the user chose no platform, Qt is told to use that one.
QString displayProblem();

} // namespace ringlark
