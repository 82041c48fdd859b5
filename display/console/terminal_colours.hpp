// terminal_colours: the 16 console colour indices as ANSI SGR colour codes.
//
// Offers: sgr_foreground and sgr_background.
// Depends on: nothing.
//
// A console colour index keeps blue in bit 0, green in bit 1, red in bit 2 and intensity in
// bit 3 (1 = dark blue, 4 = dark red); ANSI numbers its colours with red in bit 0 and blue
// in bit 2, so the two outer bits swap. Intensity picks the bright range (90..97, 100..107):
// 7 (light grey) is ANSI white 37, 8 (dark grey) bright black 90.
#pragma once

namespace textdemo {

constexpr int ansi_colour_of(int console_index) {
    return ((console_index & 1) << 2) | (console_index & 2) | ((console_index >> 2) & 1);
}

constexpr int sgr_foreground(int console_index) {
    return ((console_index & 8) ? 90 : 30) + ansi_colour_of(console_index);
}

constexpr int sgr_background(int console_index) {
    return ((console_index & 8) ? 100 : 40) + ansi_colour_of(console_index);
}

}  // namespace textdemo
