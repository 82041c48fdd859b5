// gl_window: the window program's OpenGL window and its input, on SDL2.
//
// Offers: GlDisplay (the window backend's one state record: the window state the frame
// loop reads, the SDL window and context, the renderer), ask_fullscreen (the start-up
// question), open_window / close_window, set_viewport, pump_window_events (activation,
// keys, close, resize), swap_window and close_window_system.
// Depends on: SDL2, OpenGL 1.1, gl_renderer (init_renderer once the context is current),
// frame_loop (stop_requested), window_faults (the calls that wait for the X server, what it
// refused), library_chatter.
//
// The program owns the record and hands it to every call (and to the frame loop, through
// window_frame_backend's context). Message boxes run in a child process that a stop
// request (a signal) takes down, so the program can end while one is open; without a display
// none is tried. Key presses are
// latched: a key pressed and released between two pumps is still down for the frame after
// the first.
#pragma once

#include <cstdint>

#include "display/gl/gl_renderer.hpp"
#include "show/frame_loop.hpp"

struct SDL_Window;

namespace textdemo {

// key_down is indexed by the loop's key codes: KEY_ESCAPE, KEY_F1 to F12 from here up,
// 'A' to 'Z', '0' to '9', space and return.
constexpr int KEY_F1 = 112;

struct GlDisplay {
    bool fullscreen = true;       // requested mode; the loop inverts it on F1
    bool window_active = true;    // false while minimised
    std::uint8_t key_down[256] = {};
    std::uint8_t release_pending[256] = {};  // keys pressed and released within one pump
    int width = 0, height = 0;    // client size in pixels
    SDL_Window* window = nullptr;
    void* gl_context = nullptr;   // the window's SDL_GLContext
    bool boxes_fail = false;      // a box could not be shown: the next ones would not be either
    GlRenderer renderer;          // its font is loaded before the first window opens
};

// Asks "Fullscreen?" with Yes and No; only No clears fullscreen. A box that cannot be
// shown, or is taken down by a stop request, leaves fullscreen as it is.
void ask_fullscreen(GlDisplay& display);

// Opens the window in the requested mode with a current GL context and the renderer set
// up. On failure the user has been told in a message box and in one line on standard error
// (what failed, and why), and the result is false.
bool open_window(GlDisplay& display);

// Undoes open_window: desktop mode and cursor restored, context and window destroyed.
void close_window(GlDisplay& display);

// Viewport and a pixel-exact projection (origin top left, y down) for a client area of the
// current context.
void set_viewport(int width, int height);

// Drains the event queue; returns true when the user asked to close the window.
bool pump_window_events(GlDisplay& display);

// Shows the frame drawn since the last swap.
void swap_window(GlDisplay& display);

// SDL shut down, the display connection closed (a fullscreen mode change undone with it);
// after close_window, on every way out that still has a connection.
void close_window_system();

}  // namespace textdemo
