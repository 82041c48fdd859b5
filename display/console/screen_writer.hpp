// screen_writer: turns the picture the terminal shows into the next frame with as few bytes
// as it can.
//
// Offers: ScreenState (what the terminal holds, its size for clipping, UTF-8 or ASCII),
// resize_screen, invalidate_screen and write_frame_changes.
// Depends on: convert (ConsoleCell), cp437, terminal_colours.
//
// Every frame is wrapped in synchronized-output mode (CSI ? 2026 h ... l) so a terminal that
// knows it never shows half a frame; others ignore it. Only cells that differ from the
// shown picture are written; the cursor is moved and the colours changed only where the
// next written cell needs it. Autowrap is assumed off, so the last column never scrolls.
#pragma once

#include <string>

#include "frame/convert.hpp"

namespace textdemo {

struct ScreenState {
    ConsoleCell shown[FRAME_CELLS];  // the picture on the terminal, valid if `valid`
    bool valid = false;              // false: the next frame clears and repaints everything
    int rows = FRAME_HEIGHT;         // terminal size; cells beyond it are clipped
    int columns = FRAME_WIDTH;
    bool utf8 = true;                // UTF-8 shapes, or ASCII look-alikes
};

// New terminal size; a change means the terminal may have moved or dropped what it showed.
void resize_screen(ScreenState& screen, int rows, int columns);

// The next frame repaints every visible cell.
void invalidate_screen(ScreenState& screen);

// Appends to `out` what turns the shown picture into `cells`, and records `cells` as shown.
// A frame equal to the shown one appends only the synchronized-output wrapper.
void write_frame_changes(ScreenState& screen, const ConsoleCell (&cells)[FRAME_CELLS], std::string& out);

}  // namespace textdemo
