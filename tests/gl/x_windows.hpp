// x_windows: what the window program's suites look for on an X display.
//
// Offers: find_mapped_window. Depends on: Xlib.
#pragma once

#include <string>

#include <X11/Xlib.h>

namespace textdemo::test {

// The first mapped window at or below `parent` (depth first) whose UTF-8 name
// (_NET_WM_NAME) starts with prefix, or 0. Only a mapped window can take the keyboard focus
// a key press needs.
Window find_mapped_window(Display* display, Window parent, const std::string& prefix);

}  // namespace textdemo::test
