// screen_writer: turns what the terminal shows into the next frame with as few bytes as it
// can.
//
// Offers: ScreenCell, BLANK_CELL, ScreenState (the terminal's size, the region the picture
// takes, what the region shows, UTF-8 or ASCII, the colours last set, the writer's room),
// looks_same, resize_screen, place_region, invalidate_screen, clear_screen and
// write_frame_changes.
// Depends on: console_layout (ScreenRegion), cp437, terminal_colours, text_frame.
//
// Every frame is wrapped in synchronized-output mode (CSI ? 2026 h ... l) so a terminal that
// knows it never shows half a frame; others ignore it. Only cells that look different from
// what the terminal shows are written. A space shows no foreground: it does not make a cell
// look different, and no foreground is set for it. Colours are changed only where the next
// written cell needs it, foreground and background in one sequence, or by switching
// reverse video where a cell's colours are the pen's swapped. Each row goes out in the
// shorter of two orders: left to right, or in passes that each take the cells of like
// colours and step over the rest. The cursor steps forward over cells, or they are written
// again where that is shorter with their colour changes; it goes back with backspaces or
// CSI n D, elsewhere with a position (no CR or LF: xterm shows half frames far more often
// with them). The colours set carry over from one frame to the next. Autowrap is assumed
// off, so the last column never scrolls.
//
// The first frame, and the first after a new terminal size, a new region or
// invalidate_screen, clears the whole terminal to blanks (default foreground, the margin
// colour as background; terminals erase in the background set) and then writes every cell
// of the region that shows anything else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/console/console_layout.hpp"
#include "display/console/terminal_colours.hpp"
#include "frame/text_frame.hpp"

namespace textdemo {

struct ScreenCell {
    TerminalColour foreground;
    TerminalColour background;
    std::uint8_t character;  // code page 437
};

// What a cleared terminal shows.
constexpr ScreenCell BLANK_CELL = {DEFAULT_COLOUR, DEFAULT_COLOUR, ' '};

// The terminal's colour state: the two SGR colours and reverse video (SGR 7), which shows
// each of them in the other's place.
struct PenColours {
    TerminalColour foreground = DEFAULT_COLOUR;
    TerminalColour background = DEFAULT_COLOUR;
    bool reverse = false;
};

// How a character code shows, with UTF-8 or without.
struct Glyph {
    char bytes[3];
    std::uint8_t length;
    std::uint8_t shape;  // the lowest code that shows the same
    bool blank;          // shows as a space
};

constexpr TerminalColour ANY_COLOUR = 0xFFFFFFFFu;  // a colour the cell does not show

// A cell of the row being written, as the writer weighs it.
struct RowCell {
    TerminalColour background;
    TerminalColour foreground;  // ANY_COLOUR where the character is blank
    // Reverse video swaps the two colours the terminal shows, but not the terminal's own
    // default colours, which differ from each other.
    bool reverse_allowed;
    char glyph[3];  // the character's bytes, glyph_length of them
    std::uint8_t glyph_length;
};

// The writer's room for one row: its cells as the writer weighs them, the columns that
// change and those a pass leaves for later, and the row's bytes in each order it tries.
// Sized with the region, so that frames allocate nothing.
struct RowRoom {
    std::vector<RowCell> cells;
    std::vector<int> changed, pending;
    std::vector<char> text[2];
    // Passes: the cells still to write as lists by column, all of them and those of each
    // background, and the first cell of each background's list by a table of colours,
    // whose slots are taken in the rows of their stamp.
    std::vector<int> next, previous, next_alike, previous_alike, slot_of;
    std::vector<TerminalColour> table_colours;
    std::vector<std::uint32_t> table_stamps;
    std::uint32_t stamp = 0;
    std::vector<int> table_first, table_last;
};

struct ScreenState {
    // The region as the terminal shows it, region.columns a row; sized by the clear.
    std::vector<ScreenCell> shown;
    bool valid = false;       // false: the next frame clears and repaints everything
    int rows = FRAME_HEIGHT;  // terminal size; region cells beyond it are clipped
    int columns = FRAME_WIDTH;
    ScreenRegion region;      // of any size
    bool utf8 = true;               // UTF-8 shapes, or ASCII look-alikes
    PenColours pen;                 // the terminal's colours after the last frame
    // The background a clear paints the whole terminal in, margins and all.
    TerminalColour margin = DEFAULT_COLOUR;
    RowRoom room;
};

// Same character shape and background, and the same foreground unless the shape is a space.
bool looks_same(ScreenCell a, ScreenCell b, bool utf8);

// New terminal size; a change means the terminal may have moved or dropped what it showed.
void resize_screen(ScreenState& screen, int rows, int columns);

// Where the next frames go; a change clears the terminal.
void place_region(ScreenState& screen, ScreenRegion region);

// The next frame clears the terminal and repaints the region.
void invalidate_screen(ScreenState& screen);

// Appends what clears the whole terminal to blanks in the margin colour (default
// foreground), and records that the region shows them.
void clear_screen(ScreenState& screen, std::string& out);

// Appends to `out` what turns the shown region into `cells` (region.rows x region.columns,
// row-major), and records what the terminal then shows. A frame that looks like the shown
// one appends only the synchronized-output wrapper.
void write_frame_changes(ScreenState& screen, const ScreenCell* cells, std::string& out);

}  // namespace textdemo
