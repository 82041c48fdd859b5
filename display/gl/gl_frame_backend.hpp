// gl_frame_backend: the window program's steps of the shared frame loop.
//
// Offers: window_frame_backend.
// Depends on: gl_window (state, events, open/close, swap), gl_renderer (render_cells),
// convert (convert_frame), window_faults (the wait for the server, its refusals),
// frame_loop (FrameBackend, KeyRecord, KEY_ESCAPE).
//
// After the effects drew a frame: drain the events (a close request quits); while the
// window is active, Escape quits, otherwise the frame is converted, drawn and swapped; a
// request the X server refused on the way quits as well (the program reports it); F1
// closes the window and opens it in the other mode (the show is abandoned when that
// fails). Then the keys: each press of "m" goes to the loop once, which mutes and unmutes
// with its cooldown. Every frame sleeps 1 ms before its deadline is checked, and a failed
// position query draws the dark-red frame of position -1.
#pragma once

#include "display/gl/gl_window.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

// The steps above on `display`, which must outlive the loop; it is the table's context.
FrameBackend window_frame_backend(GlDisplay& display);

}  // namespace textdemo
