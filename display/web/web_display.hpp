// web_display: the page's display backend for the shared frame loop: the window program's
// picture in a canvas, the page's keys, and the page's clock.
//
// Offers: WebDisplay (the backend's one record), open_web_display, web_frame_backend,
// web_frame_clock and ask_fullscreen_on_page.
// Depends on: text_frame, convert, cell_picture, font_texture, image, frame_loop, and
// web_display.js (the page's side: canvas, keys, animation frames, the question).
//
// Each frame: convert the cells as the window program does, draw the 640 x 400 window
// picture (cell_picture) and hand it to the page with the song position it shows, which
// puts it in the canvas unscaled (the page enlarges it by whole factors). Keys: Escape and
// "m", as the page saw them. A failed position query draws the dark-red frame, as the
// window does. The clock is the page's millisecond clock; waiting for a deadline waits for
// the page's next animation frame, so each animation frame runs every 16 ms step due by
// then, as the native loop runs them, whatever the display's rate.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/font_texture.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

struct WebDisplay {
    FontTexture font;
    std::vector<std::uint8_t> rgb;   // the window picture, 3 bytes a pixel
    std::vector<std::uint8_t> rgba;  // the same as the canvas takes it
};

// Loads the glyph image from the archive (as the window program does).
void open_web_display(WebDisplay& display);

FrameBackend web_frame_backend(WebDisplay& display);
FrameClock web_frame_clock();

// Shows "Fullscreen?" on the page and waits for the answer, which is also the click that
// lets the browser play sound, and for the music to be decoded. False when the page could
// not decode the music (it has said why).
bool ask_fullscreen_on_page();

}  // namespace textdemo
