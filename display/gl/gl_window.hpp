// gl_window: the window program's OpenGL window and its input, on SDL2.
//
// Offers: the window state the frame loop reads (fullscreen, window_active, key_down by
// key code), ask_fullscreen (the start-up question), open_window / close_window,
// set_viewport, pump_window_events (activation, keys, close, resize) and swap_window.
// Depends on: SDL2, OpenGL 1.1, gl_renderer (init_renderer once the context is current),
// frame_loop (stop_requested), library_chatter.
//
// Message boxes run in a child process that a stop request (a signal) takes down, so the
// program can end while one is open. Key presses are latched: a key pressed and released
// between two pumps is still down for the frame after the first.
#pragma once

#include <cstdint>

#include "show/frame_loop.hpp"

namespace textdemo {

// key_down is indexed by the loop's key codes: KEY_ESCAPE, KEY_F1 to F12 from here up,
// 'A' to 'Z', '0' to '9', space and return.
constexpr int KEY_F1 = 112;

struct GlWindowState {
    bool fullscreen = true;       // requested mode; the loop inverts it on F1
    bool window_active = true;    // false while minimised
    std::uint8_t key_down[256] = {};
    int width = 0, height = 0;    // client size in pixels
};

GlWindowState& gl_window_state();

// Asks "Fullscreen?" with Yes and No; only No clears fullscreen. A box that cannot be
// shown, or is taken down by a stop request, leaves fullscreen as it is.
void ask_fullscreen();

// Opens the window in the requested mode with a current GL context and the renderer set
// up. On failure the user has been told in a message box and in one line on standard error
// (what failed, and why), and the result is false.
bool open_window();

// Undoes open_window: desktop mode and cursor restored, context and window destroyed.
void close_window();

// Viewport and a pixel-exact projection (origin top left, y down) for a client area.
void set_viewport(int width, int height);

// Drains the event queue; returns true when the user asked to close the window.
bool pump_window_events();

// Shows the frame drawn since the last swap.
void swap_window();

}  // namespace textdemo
