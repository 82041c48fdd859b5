// web_display: the page's display backend for the shared frame loop: the window program's
// picture in a canvas, the page's keys, and the page's clock.
//
// Offers: WebDisplay (the backend's one record), open_web_display, web_frame_backend,
// web_frame_clock and ask_fullscreen_on_page.
// Depends on: text_frame, convert, cell_looks, font_texture, image, frame_loop, and
// web_display.js (the page's side: canvas, keys, animation frames, the question).
//
// Each frame: convert the cells as the window program does, lay out the 640 x 400 window
// picture from the 8 x 8 look of each cell (cell_looks: drawn once at start, so the bytes
// are the capture tool's) and hand it to the page with the song position it shows,
// which puts it in the canvas unscaled (the page enlarges it by whole factors). Keys: Escape and
// "m", as the page saw them. A failed position query draws the dark-red frame, as the
// window does. The clock reads the time of the animation frame being run; waiting for a
// deadline waits for the page's next animation frame. So each animation frame runs every
// 16 ms step due by its time, as the native loop runs them, whatever the display's rate,
// and then gives the page back its thread.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/cell_looks.hpp"
#include "resources/failure.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

struct WebDisplay {
    CellLooks looks;
    std::vector<std::uint8_t> rgba;  // the window picture as the canvas takes it
};

// Loads the glyph image from the archive (as the window program does) and draws every look.
Failure open_web_display(WebDisplay& display);

FrameBackend web_frame_backend(WebDisplay& display);
FrameClock web_frame_clock();

// Shows "Fullscreen?" on the page and waits for the answer, which is also the click that
// lets the browser play sound, and for the music to be decoded. False when the page could
// not decode the music (it has said why).
bool ask_fullscreen_on_page();

}  // namespace textdemo
