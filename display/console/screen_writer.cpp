#include "display/console/screen_writer.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <bit>
#include <cstring>

#include "display/console/cp437.hpp"

namespace textdemo {

namespace {

constexpr std::string_view BEGIN_FRAME = "\x1b[?2026h";
constexpr std::string_view END_FRAME = "\x1b[?2026l";
constexpr std::string_view RESET_COLOURS = "\x1b[0m";
constexpr std::string_view ERASE_SCREEN = "\x1b[2J";
constexpr int UNKNOWN = -1;
// Moving back along a row: up to this many backspaces, one byte each.
constexpr int MOST_BACKSPACES = 3;

// The shortest colour change there is: CSI 7 m.
constexpr int SHORTEST_CHANGE = 4;
// Each row is written in the shorter of these: in order, or in passes that take a cell at
// the cursor for a reverse switch or one 16-colour change (at most NEAR_CHANGE bytes) and
// skip the others. Over the show either alone sends 5 to 8% more bytes than the two
// together.
constexpr int NEAR_CHANGE = 6;

using Glyphs = std::array<Glyph, 256>;

Glyphs glyphs_of(bool utf8) {
    Glyphs glyphs{};
    for (int code = 0; code < 256; ++code) {
        const std::string_view text = cp437_text(static_cast<std::uint8_t>(code), utf8);
        Glyph& glyph = glyphs[code];
        std::copy(text.begin(), text.end(), glyph.bytes);
        glyph.length = static_cast<std::uint8_t>(text.size());
        glyph.blank = text == " ";
        glyph.shape = static_cast<std::uint8_t>(code);
        for (int other = 0; other < code; ++other)
            if (cp437_text(static_cast<std::uint8_t>(other), utf8) == text) {
                glyph.shape = static_cast<std::uint8_t>(other);
                break;
            }
    }
    return glyphs;
}

const std::array<Glyphs, 2> GLYPHS = {glyphs_of(false), glyphs_of(true)};

RowCell row_cell(ScreenCell cell, const Glyphs& glyphs) {
    const Glyph& glyph = glyphs[cell.character];
    return {cell.background,
            glyph.blank ? ANY_COLOUR : cell.foreground,
            cell.foreground != DEFAULT_COLOUR && cell.background != DEFAULT_COLOUR,
            {glyph.bytes[0], glyph.bytes[1], glyph.bytes[2]},
            glyph.length};
}

// The decimal digits of 0..255.
constexpr auto DIGITS = [] {
    std::array<std::uint8_t, 256> digits{};
    for (int value = 0; value < 256; ++value) digits[value] = value >= 100 ? 3 : value >= 10 ? 2 : 1;
    return digits;
}();

// sgr_colour_length, by table where it takes digits.
[[gnu::always_inline]] inline int colour_length(TerminalColour colour, bool background) {
    switch (colour & 0xFF000000u) {
        case ANSI_KIND: return 2 + (background & (colour >> 3));
        case INDEXED_KIND: return 5 + DIGITS[colour & 0xFF];
        case RGB_KIND: return 7 + DIGITS[(colour >> 16) & 0xFF] + DIGITS[(colour >> 8) & 0xFF] + DIGITS[colour & 0xFF];
        default: return 2;
    }
}

// One row's bytes. In order, a row takes for each cell at most a cursor move (14 bytes with
// five-digit positions), unchanged cells written again where that is shorter than a step
// forward and a colour change (44), a colour change (39) and a character (3); in passes it
// gives up once it is longer than that. The rest is room for copying whole SGR texts and
// characters.
constexpr std::size_t row_bytes(int columns) { return static_cast<std::size_t>(columns) * 100 + 64; }
struct RowBytes {
    char* text;
    char* end = text;
    int colour_changes = 0;  // but those of the first cell of each pass
    std::size_t size() const { return static_cast<std::size_t>(end - text); }
};

// Where the region lies in the terminal, and the terminal's width.
struct Geometry {
    int top, left, columns;
};

// Where the next written character lands (row and column of the region) and the colours
// it gets.
struct Pen {
    int row = UNKNOWN;
    int column = UNKNOWN;
    PenColours colours;
};

// The pen colours after a change, and the bytes of the SGR sequence that makes it (0 when
// nothing changes).
struct ColourChange {
    PenColours after;
    int length = 0;
};

// The pen already shows what `cell` needs.
[[gnu::always_inline]] inline bool shows_colours_of(const PenColours& pen, const RowCell& cell) {
    const TerminalColour shown_background = pen.reverse ? pen.foreground : pen.background;
    const TerminalColour shown_foreground = pen.reverse ? pen.background : pen.foreground;
    return (!pen.reverse | cell.reverse_allowed) & (cell.background == shown_background) &
           ((cell.foreground == ANY_COLOUR) | (cell.foreground == shown_foreground));
}

// The change that leaves the pen in reverse video or not, showing the cell's background
// and, unless it is blank, its foreground. In reverse video the foreground colour is shown
// as the background and the other way round.
[[gnu::always_inline]] inline ColourChange change_to(const PenColours& pen, bool reverse, const RowCell& cell) {
    ColourChange change{pen, 0};
    change.after.reverse = reverse;
    (reverse ? change.after.foreground : change.after.background) = cell.background;
    if (cell.foreground != ANY_COLOUR) (reverse ? change.after.background : change.after.foreground) = cell.foreground;
    int parts = 0;
    if (reverse != pen.reverse) change.length += reverse ? 1 : 2, ++parts;
    if (change.after.foreground != pen.foreground) {
        change.length += colour_length(change.after.foreground, false);
        ++parts;
    }
    if (change.after.background != pen.background) {
        change.length += colour_length(change.after.background, true);
        ++parts;
    }
    if (parts > 0) change.length += 3 + parts - 1;  // CSI, separators, 'm'
    return change;
}

// The shortest change to the colours `cell` needs: keeping reverse video as it is, or
// switching it where that shows one of the pen's colours where the cell needs it (a cell
// whose colours swap with the pen's then needs only the switch). Elsewhere switching costs
// its own bytes on top of the same colour changes.
[[gnu::always_inline]] inline ColourChange shortest_change(const PenColours& pen, const RowCell& cell) {
    if (shows_colours_of(pen, cell)) return {pen, 0};
    const bool may_keep = !pen.reverse || cell.reverse_allowed;
    ColourChange best;
    if (may_keep) best = change_to(pen, pen.reverse, cell);
    const TerminalColour shown_as_background = pen.reverse ? pen.background : pen.foreground;  // once switched
    const TerminalColour shown_as_foreground = pen.reverse ? pen.foreground : pen.background;
    const bool switch_helps = cell.background == shown_as_background || cell.foreground == shown_as_foreground;
    if (!may_keep || (cell.reverse_allowed && switch_helps)) {
        const ColourChange switched = change_to(pen, !pen.reverse, cell);
        if (!may_keep || switched.length < best.length) best = switched;
    }
    return best;
}

int digits(int value) {
    int count = 1;
    for (; value >= 10; value /= 10) ++count;
    return count;
}

// Terminal positions and steps, at most five digits (winsize holds 16 bits).
char* put_number(char* at, int value) {
    char* const end = at + digits(value);
    for (char* digit = end; digit != at; value /= 10) *--digit = static_cast<char>('0' + value % 10);
    return end;
}

// Writes the SGR sequence that turns `pen` into `after` (which differs from it): reverse
// video, foreground, background, as change_to counts them, each part followed by a
// separator and the last one's turned into the 'm'.
[[gnu::always_inline]] inline char* put_change(const PenColours& pen, const PenColours& after, char* at) {
    *at++ = '\x1b';
    *at++ = '[';
    if (after.reverse != pen.reverse) {
        std::memcpy(at, after.reverse ? "7;" : "27;", 3);
        at += after.reverse ? 2 : 3;
    }
    if (after.foreground != pen.foreground) {
        at = put_sgr_colour(at, after.foreground, false);
        *at++ = ';';
    }
    if (after.background != pen.background) {
        at = put_sgr_colour(at, after.background, true);
        *at++ = ';';
    }
    at[-1] = 'm';
    return at;
}

// Writes a cell with `change`, the colour change it needs (length 0: none), counting the
// change unless the cell opens a pass.
[[gnu::always_inline]] inline void put_cell(Pen& pen, const RowCell& cell, const ColourChange& change, bool opens_pass, RowBytes& out) {
    if (change.length > 0) {
        out.end = put_change(pen.colours, change.after, out.end);
        pen.colours = change.after;
        out.colour_changes += !opens_pass;
    }
    std::memcpy(out.end, cell.glyph, sizeof cell.glyph);
    out.end += cell.glyph_length;
}

// Bytes of writing cells [from, to) of a row again as they are, with their colour changes,
// and then the colours of the cell at `to`; gives up (returns `limit`) once that reaches
// `limit`.
[[gnu::always_inline]] inline int rewrite_cost(PenColours pen, const RowCell* cells, int from, int to, int limit) {
    int bytes = 0;
    for (int c = from; c < to && bytes < limit; ++c) {
        bytes += cells[c].glyph_length;
        if (shows_colours_of(pen, cells[c])) continue;
        if (bytes + SHORTEST_CHANGE >= limit) return limit;
        const ColourChange change = shortest_change(pen, cells[c]);
        pen = change.after;
        bytes += change.length;
    }
    return std::min(limit, bytes + shortest_change(pen, cells[to]).length);
}

// CSI n C (forward) or CSI n D (back), n left out where it is 1.
[[gnu::always_inline]] inline char* put_step(char* at, int gap, char direction) {
    *at++ = '\x1b';
    *at++ = '[';
    if (gap > 1) at = put_number(at, gap);
    *at++ = direction;
    return at;
}

[[gnu::always_inline]] inline int step_bytes(int gap) { return gap == 1 ? 3 : 3 + digits(gap); }

// Moves the cursor anywhere but forward along its row: back along the row with backspaces
// (a few) or a step back, elsewhere to an absolute position, whichever is shortest. No
// carriage return or line feed: xterm flushes what it has drawn to the X server at each
// of them, so a frame moved with them reaches the screen in hundreds of pieces and is
// seen half drawn far more often.
char* move_elsewhere(const Pen& pen, int row, int column, Geometry screen, char* at) {
    const int terminal_row = screen.top + row, terminal_column = screen.left + column;
    const int position_bytes = 3 + digits(terminal_row + 1) + (terminal_column > 0 ? 1 + digits(terminal_column + 1) : 0);
    const int back = pen.row == row && pen.column != UNKNOWN ? pen.column - column : 0;
    if (back > 0 && back <= MOST_BACKSPACES && back < step_bytes(back) && back < position_bytes) {
        std::memcpy(at, "\b\b\b", MOST_BACKSPACES);
        return at + back;
    }
    if (back > 0 && step_bytes(back) < position_bytes) return put_step(at, back, 'D');
    *at++ = '\x1b';
    *at++ = '[';
    at = put_number(at, terminal_row + 1);
    if (terminal_column > 0) {
        *at++ = ';';
        at = put_number(at, terminal_column + 1);
    }
    *at++ = 'H';
    return at;
}

// Puts the pen on cell `column` of region row `row`, which is written next with `change`
// (the colour change it needs from the pen's colours). Along a row, unchanged cells are
// either skipped with a cursor move or written again, whichever is shorter counting the
// colour changes either way needs; written again, they leave the pen in other colours and
// `change` is worked out anew.
[[gnu::always_inline]] inline void move_to(Pen& pen, int row, int column, const RowCell* cells, Geometry screen, ColourChange& change,
             RowBytes& out) {
    if (pen.row == row && pen.column == column) return;
    if (pen.row == row && pen.column != UNKNOWN && pen.column < column) {
        const int gap = column - pen.column;
        const int forward_cost = step_bytes(gap) + change.length;
        if (rewrite_cost(pen.colours, cells, pen.column, column, forward_cost) < forward_cost) {
            for (int c = pen.column; c < column; ++c)
                put_cell(pen, cells[c], shortest_change(pen.colours, cells[c]), false, out);
            change = shortest_change(pen.colours, cells[column]);
        } else {
            out.end = put_step(out.end, gap, 'C');
        }
    } else {
        out.end = move_elsewhere(pen, row, column, screen, out.end);
    }
    pen.row = row;
    pen.column = column;
}

// Writes the changed cells of a row (the `count` columns in `changed`, in order) in order:
// from the leftmost that needs no colour change (else the leftmost) to the last, then the
// same for those left of it.
void write_in_order(Pen& pen_in, int row, const RowCell* cells, const int* changed, int count, Geometry screen,
                    int* pending, RowBytes& out_in) {
    // The pen and the bytes' end as locals, which the bytes written cannot alias.
    Pen pen = pen_in;
    RowBytes out = out_in;
    std::copy(changed, changed + count, pending);
    while (count > 0) {
        int start = 0;
        while (start < count && !shows_colours_of(pen.colours, cells[pending[start]])) ++start;
        if (start == count) start = 0;
        for (int k = start; k < count; ++k) {
            const int column = pending[k];
            ColourChange change = shortest_change(pen.colours, cells[column]);
            move_to(pen, row, column, cells, screen, change, out);
            put_cell(pen, cells[column], change, k == start, out);
            pen.column = screen.left + column + 1 < screen.columns ? column + 1 : UNKNOWN;
        }
        count = start;
    }
    pen_in = pen;
    out_in = out;
}

constexpr int NONE = -1;  // the end of a list

// The lists of the cells of a row still to write in passes (see write_in_passes).
struct PassLists {
    int* next;
    int* previous;
    int* next_alike;      // the next cell of the same background
    int* previous_alike;
    int* slot_of;         // each cell's slot of the colour table
    // By background, open addressing; a slot is taken in this row where its stamp is the
    // row's, so the table needs no clearing from one row to the next.
    TerminalColour* table_colours;
    std::uint32_t* table_stamps;
    int* table_first;
    int* table_last;
    std::size_t mask;
    int shift;  // 32 less the bits of a slot's number
    std::uint32_t stamp;
    int first = NONE;

    std::size_t slot(TerminalColour background) const {
        // The top bits of the product: the low ones depend on the colour's low bits alone.
        std::size_t at = static_cast<std::uint32_t>(background * 2654435761u) >> shift;
        while (table_stamps[at] == stamp && table_colours[at] != background) at = (at + 1) & mask;
        return at;
    }
};

PassLists pass_lists(RowRoom& room, const RowCell* cells, const int* changed, int count) {
    if (++room.stamp == 0) {
        std::fill(room.table_stamps.begin(), room.table_stamps.end(), 0);
        room.stamp = 1;
    }
    PassLists lists{room.next.data(),         room.previous.data(),     room.next_alike.data(),
                    room.previous_alike.data(), room.slot_of.data(),    room.table_colours.data(),
                    room.table_stamps.data(),   room.table_first.data(), room.table_last.data(),
                    room.table_colours.size() - 1, 32 - static_cast<int>(std::bit_width(room.table_colours.size() - 1)),
                    room.stamp};
    lists.first = changed[0];
    for (int k = 0; k < count; ++k) {
        const int column = changed[k];
        lists.previous[column] = k > 0 ? changed[k - 1] : NONE;
        lists.next[column] = k + 1 < count ? changed[k + 1] : NONE;
        const std::size_t at = lists.slot(cells[column].background);
        lists.slot_of[column] = static_cast<int>(at);
        lists.next_alike[column] = NONE;
        if (lists.table_stamps[at] != lists.stamp) {
            lists.table_stamps[at] = lists.stamp;
            lists.table_colours[at] = cells[column].background;
            lists.table_first[at] = column;
            lists.previous_alike[column] = NONE;
        } else {
            lists.previous_alike[column] = lists.table_last[at];
            lists.next_alike[lists.table_last[at]] = column;
        }
        lists.table_last[at] = column;
    }
    return lists;
}

[[gnu::always_inline]] inline void take_out(PassLists& lists, int column) {
    const int next = lists.next[column], previous = lists.previous[column];
    (previous == NONE ? lists.first : lists.next[previous]) = next;
    if (next != NONE) lists.previous[next] = previous;
    const int next_alike = lists.next_alike[column], previous_alike = lists.previous_alike[column];
    int& link = previous_alike == NONE ? lists.table_first[lists.slot_of[column]] : lists.next_alike[previous_alike];
    link = next_alike;
    if (next_alike != NONE) lists.previous_alike[next_alike] = previous_alike;
}

// The first cell from `column` on along its background's list that the pen's colours show.
[[gnu::always_inline]] inline int first_shown(const PassLists& lists, const PenColours& pen, const RowCell* cells, int column) {
    while (column != NONE && !shows_colours_of(pen, cells[column])) column = lists.next_alike[column];
    return column;
}

// Writes the changed cells of a row in passes from left to right. A pass starts at the
// leftmost cell still to write that needs no colour change, else at the leftmost one, and
// takes every later cell the pen's colours show, and the cell right at the cursor where its
// change costs at most NEAR_CHANGE bytes; the cells it leaves out wait for a later pass.
// So cells of like colours go in a pass each, the cursor moving over the others instead of
// colours changing back and forth. A cell the pen's colours show has the background the
// pen shows as one, and after a written cell the pen shows its colours: the next cell a
// pass takes is the one at the cursor, else the next of the same background that the pen
// shows, found along lists of the cells still to write instead of one by one. Gives up
// (false) once `out` grows past `budget` bytes.
bool write_in_passes(Pen& pen_in, int row, const RowCell* cells, const int* changed, int count, Geometry screen,
                     std::size_t budget, RowRoom& room, RowBytes& out_in) {
    Pen pen = pen_in;
    RowBytes out = out_in;
    PassLists lists = pass_lists(room, cells, changed, count);
    while (lists.first != NONE) {
        const TerminalColour shown_background = pen.colours.reverse ? pen.colours.foreground : pen.colours.background;
        const std::size_t at = lists.slot(shown_background);
        const int first_alike = lists.table_stamps[at] == lists.stamp ? lists.table_first[at] : NONE;
        int column = first_shown(lists, pen.colours, cells, first_alike);
        ColourChange change{pen.colours, 0};
        if (column == NONE) {
            column = lists.first;
            change = shortest_change(pen.colours, cells[column]);
        }
        bool opens_pass = true;
        while (column != NONE) {
            const RowCell& cell = cells[column];
            move_to(pen, row, column, cells, screen, change, out);
            put_cell(pen, cell, change, opens_pass, out);
            if (out.size() > budget) return false;
            opens_pass = false;
            pen.column = screen.left + column + 1 < screen.columns ? column + 1 : UNKNOWN;
            const int after = lists.next[column], alike = lists.next_alike[column];
            take_out(lists, column);
            if (after != NONE && after == pen.column) {
                change = shortest_change(pen.colours, cells[after]);
                if (change.length <= NEAR_CHANGE) {
                    column = after;
                    continue;
                }
            }
            column = first_shown(lists, pen.colours, cells, alike);
            change = {pen.colours, 0};
        }
    }
    pen_in = pen;
    out_in = out;
    return true;
}

// looks_same, inlined in the frame's comparison. Without branches: over a picture whose
// cells change here and there, which way each comparison goes is anyone's guess.
[[gnu::always_inline]] inline bool look_alike(ScreenCell a, ScreenCell b, const Glyphs& glyphs) {
    const Glyph &glyph_a = glyphs[a.character], &glyph_b = glyphs[b.character];
    return (a.background == b.background) & (glyph_a.shape == glyph_b.shape) &
           ((a.foreground == b.foreground) | glyph_a.blank);
}

}  // namespace

bool looks_same(ScreenCell a, ScreenCell b, bool utf8) { return look_alike(a, b, GLYPHS[utf8]); }

void resize_screen(ScreenState& screen, int rows, int columns) {
    if (rows == screen.rows && columns == screen.columns) return;
    screen.rows = rows;
    screen.columns = columns;
    screen.valid = false;
}

void place_region(ScreenState& screen, ScreenRegion region) {
    region.rows = std::max(region.rows, 0);
    region.columns = std::max(region.columns, 0);
    if (region == screen.region) return;
    screen.region = region;
    screen.valid = false;
}

void invalidate_screen(ScreenState& screen) { screen.valid = false; }

void clear_screen(ScreenState& screen, std::string& out) {
    out.append(RESET_COLOURS);
    if (screen.margin != DEFAULT_COLOUR) {
        const SgrText margin = sgr_colour(screen.margin, true);
        out.append("\x1b[").append(margin.bytes, margin.length).append("m");
    }
    out.append(ERASE_SCREEN);
    const ScreenRegion& region = screen.region;
    screen.shown.assign(static_cast<std::size_t>(region.rows) * static_cast<std::size_t>(region.columns),
                        ScreenCell{DEFAULT_COLOUR, screen.margin, ' '});
    screen.pen = PenColours{DEFAULT_COLOUR, screen.margin, false};
    RowRoom& room = screen.room;
    room.cells.resize(static_cast<std::size_t>(region.columns));
    room.changed.resize(static_cast<std::size_t>(region.columns));
    room.pending.resize(static_cast<std::size_t>(region.columns));
    for (std::vector<char>& text : room.text) text.resize(row_bytes(region.columns));
    for (std::vector<int>* list : {&room.next, &room.previous, &room.next_alike, &room.previous_alike, &room.slot_of})
        list->resize(static_cast<std::size_t>(region.columns));
    std::size_t slots = 16;
    while (slots < 2 * static_cast<std::size_t>(region.columns)) slots *= 2;
    room.table_colours.resize(slots);
    room.table_stamps.assign(slots, 0);
    room.stamp = 0;
    room.table_first.resize(slots);
    room.table_last.resize(slots);
}

void write_frame_changes(ScreenState& screen, const ScreenCell* cells, std::string& out) {
    out.append(BEGIN_FRAME);
    const ScreenRegion& region = screen.region;
    if (!screen.valid) clear_screen(screen, out);
    // Cells past the terminal's edge are not written; a larger terminal repaints through
    // resize_screen.
    const int rows = std::clamp(screen.rows - region.top, 0, region.rows);
    const int columns = std::clamp(screen.columns - region.left, 0, region.columns);
    const Glyphs& glyphs = GLYPHS[screen.utf8];
    RowRoom& room = screen.room;
    RowCell* const row_cells = room.cells.data();
    int* const changed = room.changed.data();
    Pen pen{UNKNOWN, UNKNOWN, screen.pen};
    for (int row = 0; row < rows; ++row) {
        const ScreenCell* new_cells = &cells[row * region.columns];
        ScreenCell* shown = &screen.shown[static_cast<std::size_t>(row) * static_cast<std::size_t>(region.columns)];
        int count = 0;
        for (int column = 0; column < columns; ++column) {
            changed[count] = column;
            count += !look_alike(new_cells[column], shown[column], glyphs);
        }
        if (count == 0) continue;
        // The writer reads only the cells from the first changed one to the last.
        for (int column = changed[0]; column <= changed[count - 1]; ++column)
            row_cells[column] = row_cell(new_cells[column], glyphs);
        RowBytes in_order{room.text[0].data()};
        RowBytes* shortest = &in_order;
        Pen after = pen;
        const Geometry geometry{region.top, region.left, screen.columns};
        write_in_order(after, row, row_cells, changed, count, geometry, room.pending.data(), in_order);
        // Where every colour change opens a pass, passes would take the cells just as in
        // order: they only pay where colours change within a pass.
        RowBytes passes{room.text[1].data()};
        if (in_order.colour_changes > 0) {
            Pen in_passes = pen;
            if (write_in_passes(in_passes, row, row_cells, changed, count, geometry, in_order.size() - 1, room, passes))
                shortest = &passes, after = in_passes;
        }
        out.append(shortest->text, shortest->size());
        pen = after;
        std::copy(new_cells, new_cells + columns, shown);
    }
    screen.pen = pen.colours;
    screen.valid = true;
    out.append(END_FRAME);
}

}  // namespace textdemo
