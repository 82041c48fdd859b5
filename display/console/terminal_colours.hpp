// terminal_colours: the colours a terminal is asked to show, and how they are sent.
//
// Offers: sgr_foreground and sgr_background (console colour index -> ANSI code),
// TerminalColour with ansi_colour, indexed_colour, rgb_colour and DEFAULT_COLOUR, SgrText,
// sgr_colour, put_sgr_colour and sgr_colour_length (the SGR parameters of a colour),
// nearest_palette_index and nearest_indexed_colour (the closest colour of the 16 palette
// colours, or of indices 16..255 of the 256-colour set), CUBE_LEVELS, grey_step_level,
// fixed_colour and fixed_colour_index (the colour of an index 16..255, and the index a
// colour is exactly), palette_colour and mix_colour (a palette index or an RGB colour in a
// colour mode), choose_colours (the mode from the command line and the environment).
// Depends on: console_settings (ConsoleColours), text_palette.
//
// A console colour index keeps blue in bit 0, green in bit 1, red in bit 2 and intensity in
// bit 3 (1 = dark blue, 4 = dark red); ANSI numbers its colours with red in bit 0 and blue
// in bit 2, so the two outer bits swap. Intensity picks the bright range (90..97, 100..107):
// 7 (light grey) is ANSI white 37, 8 (dark grey) bright black 90.
//
// The 16 ANSI colours are whatever the terminal's theme makes them. Indices 16..255 (a
// 6 x 6 x 6 cube with the levels 0, 95, 135, 175, 215, 255 and a grey ramp 8, 18 .. 238)
// are the same in every terminal, and 24-bit colours are shown as sent.
#pragma once

#include <array>
#include <cstdint>

#include "display/console/console_settings.hpp"
#include "frame/text_palette.hpp"

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

// One colour as the terminal is told it: the kind in the top byte, the value below it.
using TerminalColour = std::uint32_t;
constexpr TerminalColour ANSI_KIND = 0, INDEXED_KIND = 1u << 24, RGB_KIND = 2u << 24, DEFAULT_KIND = 3u << 24;
// The terminal's own foreground or background, as a cleared screen shows it.
constexpr TerminalColour DEFAULT_COLOUR = DEFAULT_KIND;

constexpr TerminalColour ansi_colour(int console_index) {
    return ANSI_KIND | static_cast<TerminalColour>(console_index & 15);
}
constexpr TerminalColour indexed_colour(int index) { return INDEXED_KIND | static_cast<TerminalColour>(index & 255); }
constexpr TerminalColour rgb_colour(Rgb8 c) {
    return RGB_KIND | static_cast<TerminalColour>(c.red) << 16 | static_cast<TerminalColour>(c.green) << 8 | c.blue;
}

// "31", "97", "38;5;88", "48;2;128;0;0", "39" ...: at most 16 characters, written in up
// to SGR_COLOUR_ROOM bytes (whole groups of digits are copied and then cut to length).
constexpr int SGR_COLOUR_ROOM = 20;
struct SgrText {
    char bytes[SGR_COLOUR_ROOM];
    std::uint8_t length;
};
SgrText sgr_colour(TerminalColour colour, bool background);
// Writes sgr_colour(colour, background) at `at`, taking up to SGR_COLOUR_ROOM bytes there,
// and returns the end of its text.
char* put_sgr_colour(char* at, TerminalColour colour, bool background);

// sgr_colour(colour, background).length, without writing the text.
constexpr int sgr_colour_length(TerminalColour colour, bool background) {
    const auto digits = [](TerminalColour value) { return value >= 100 ? 3 : value >= 10 ? 2 : 1; };
    switch (colour & 0xFF000000u) {
        case ANSI_KIND: return background && (colour & 8) ? 3 : 2;
        case INDEXED_KIND: return 5 + digits(colour & 0xFF);
        case RGB_KIND: return 7 + digits((colour >> 16) & 0xFF) + digits((colour >> 8) & 0xFF) + digits(colour & 0xFF);
        default: return 2;
    }
}

// Nearest by squared RGB distance; the lowest index wins a tie.
int nearest_palette_index(Rgb8 colour);
int nearest_indexed_colour(Rgb8 colour);  // 16..255

// The levels of the 6 x 6 x 6 cube (indices 16..231) and the steps of the grey ramp
// (232..255).
inline constexpr int CUBE_LEVELS[6] = {0, 95, 135, 175, 215, 255};
constexpr int GREY_STEPS = 24;
constexpr int grey_step_level(int step) { return 8 + 10 * step; }

// The cube level (0..5) each channel value is, or -1.
inline constexpr auto CUBE_LEVEL_OF = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (std::int8_t i = 0; i < 6; ++i) table[CUBE_LEVELS[i]] = i;
    return table;
}();

// The colour every terminal shows for index 16..255.
Rgb8 fixed_colour(int index);

// The index of 16..255 that shows exactly `colour`, or -1 where none does. Inline: the half
// layout asks it of every colour of every frame.
inline int fixed_colour_index(Rgb8 colour) {
    const int r = CUBE_LEVEL_OF[colour.red], g = CUBE_LEVEL_OF[colour.green], b = CUBE_LEVEL_OF[colour.blue];
    if ((r | g | b) >= 0) return 16 + 36 * r + 6 * g + b;
    if (colour.red != colour.green || colour.red != colour.blue || colour.red < 8) return -1;
    const int step = (colour.red - 8) / 10;
    return step < GREY_STEPS && grey_step_level(step) == colour.red ? 232 + step : -1;
}

// A palette index in `mode` (Ansi16, Indexed256 or TrueColour): the ANSI colour, the
// nearest fixed colour, or its exact RGB value.
TerminalColour palette_colour(ConsoleColours mode, int console_index);
// An RGB colour in `mode`: the nearest palette colour as an ANSI colour, the nearest fixed
// colour, or the colour itself.
TerminalColour mix_colour(ConsoleColours mode, Rgb8 colour);

// Auto: COLORTERM "truecolor" or "24bit" gives TrueColour, else a TERM ending in "256color"
// gives Indexed256, else Ansi16. Either variable may be null (unset). Other choices stay.
ConsoleColours choose_colours(ConsoleColours asked, const char* colorterm, const char* term);

}  // namespace textdemo
