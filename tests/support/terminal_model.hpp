// terminal_model: a terminal reduced to what the console display may send, for replaying
// its bytes and reading tmux's captures.
//
// Offers: TerminalModel (a grid of UTF-8 characters with the colours they are shown in)
// and the colour values it records: model_default, model_ansi, model_indexed, model_rgb,
// model_as_rgb.
//
// Understood: printable UTF-8, backspace, carriage return, line feed (never past the last row),
// cursor position (H), cursor forward (C), clear screen (2J), synchronized output (?2026 h
// and l), and SGR 0, 7, 27, 30..37, 39, 40..47, 49, 90..97, 100..107, 38/48;5;n and
// 38/48;2;r;g;b. Autowrap is off: the cursor stays in the last column. Anything else fails
// the running test. Each cell records the colours it is shown in, so reverse video is
// already swapped there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::test {

// Shown colours: -1 the terminal's default, 0..15 an ANSI colour (8..15 the bright ones),
// 256 + n an index of the 256-colour set, 0x1000000 | 0xRRGGBB a 24-bit colour.
constexpr int model_default() { return -1; }
constexpr int model_ansi(int ansi) { return ansi; }
constexpr int model_indexed(int index) { return 256 + index; }
constexpr int model_rgb(int red, int green, int blue) { return 0x1000000 | red << 16 | green << 8 | blue; }

// An index of 16..255 as the 24-bit colour every terminal shows for it (a 6 x 6 x 6 cube of
// the levels 0, 95, 135, 175, 215, 255, then greys 8, 18 .. 238); other colours as they are.
constexpr int model_as_rgb(int colour) {
    const int index = colour - model_indexed(0);
    if (index < 16 || index > 255) return colour;
    if (index >= 232) return model_rgb(8 + 10 * (index - 232), 8 + 10 * (index - 232), 8 + 10 * (index - 232));
    constexpr int levels[6] = {0, 95, 135, 175, 215, 255};
    return model_rgb(levels[(index - 16) / 36], levels[(index - 16) / 6 % 6], levels[(index - 16) % 6]);
}

struct TerminalModel {
    int rows, columns;
    std::vector<std::string> text;  // one UTF-8 character per cell
    std::vector<int> foreground, background;
    int row = 0, column = 0;
    int pen_foreground = model_default(), pen_background = model_default();
    bool reverse = false;

    TerminalModel(int rows, int columns);

    // Feeds bytes to the terminal; fails the test on anything it does not understand.
    void apply(const std::string& bytes);

    // tmux's capture-pane -p -e -N output: one line per row.
    void apply_capture(const std::string& capture);

    int at(int r, int c) const { return r * columns + c; }
};

}  // namespace textdemo::test
