#include "display/console/screen_writer.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "display/console/cp437.hpp"

namespace textdemo {

namespace {

constexpr std::string_view BEGIN_FRAME = "\x1b[?2026h";
constexpr std::string_view END_FRAME = "\x1b[?2026l";
constexpr std::string_view CLEAR_SCREEN = "\x1b[0m\x1b[2J";
constexpr int UNKNOWN = -1;
// Moving back along a row: up to this many backspaces, one byte each.
constexpr int MOST_BACKSPACES = 3;

// How a row is split into passes (see write_row).
struct RowLimits {
    int near;
    int far;
};
constexpr int NO_LIMIT = 1 << 20;
// The shortest colour change there is: CSI 7 m.
constexpr int SHORTEST_CHANGE = 4;
// Each row is written in the shorter of these: in order, or in passes that take a cell at
// the cursor for a reverse switch or one 16-colour change (6 bytes at most) and skip the
// others. Over the show either alone sends 5 to 8% more bytes than the two together.
constexpr RowLimits ROW_LIMITS[] = {{NO_LIMIT, NO_LIMIT}, {6, 0}};

void append_number(std::string& out, int value) {
    if (value >= 100) out.push_back(static_cast<char>('0' + value / 100));
    if (value >= 10) out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

int digits(int value) { return value >= 100 ? 3 : value >= 10 ? 2 : 1; }

// Characters shown as a blank, with UTF-8 and without.
bool inkless(std::uint8_t character, bool utf8) {
    static const auto blanks = [] {
        std::array<std::array<bool, 256>, 2> table{};
        for (int code = 0; code < 256; ++code)
            for (int form = 0; form < 2; ++form) table[form][code] = cp437_text(static_cast<std::uint8_t>(code), form) == " ";
        return table;
    }();
    return blanks[utf8][character];
}

constexpr TerminalColour ANY_COLOUR = 0xFFFFFFFFu;  // a colour the cell does not show

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

// The change that leaves the pen in reverse video or not, showing `background` and, unless
// it is ANY_COLOUR, `foreground`. In reverse video the foreground colour is shown as the
// background and the other way round.
ColourChange change_to(const PenColours& pen, bool reverse, TerminalColour background, TerminalColour foreground) {
    ColourChange change{pen, 0};
    change.after.reverse = reverse;
    (reverse ? change.after.foreground : change.after.background) = background;
    if (foreground != ANY_COLOUR) (reverse ? change.after.background : change.after.foreground) = foreground;
    int parts = 0;
    if (reverse != pen.reverse) change.length += reverse ? 1 : 2, ++parts;
    if (change.after.foreground != pen.foreground) {
        change.length += sgr_colour_length(change.after.foreground, false);
        ++parts;
    }
    if (change.after.background != pen.background) {
        change.length += sgr_colour_length(change.after.background, true);
        ++parts;
    }
    if (parts > 0) change.length += 3 + parts - 1;  // CSI, separators, 'm'
    return change;
}

// Appends the SGR sequence that turns `pen` into `after`: reverse video, foreground,
// background, as change_to counts them.
void append_change(const PenColours& pen, const PenColours& after, std::string& out) {
    const std::size_t start = out.size();
    const auto part = [&](std::string_view text) {
        out.append(out.size() == start ? "\x1b[" : ";");
        out.append(text);
    };
    if (after.reverse != pen.reverse) part(after.reverse ? "7" : "27");
    if (after.foreground != pen.foreground) {
        const SgrText text = sgr_colour(after.foreground, false);
        part({text.bytes, text.length});
    }
    if (after.background != pen.background) {
        const SgrText text = sgr_colour(after.background, true);
        part({text.bytes, text.length});
    }
    if (out.size() != start) out.push_back('m');
}

TerminalColour shown_foreground(ScreenCell cell, bool utf8) {
    return inkless(cell.character, utf8) ? ANY_COLOUR : cell.foreground;
}

// Reverse video swaps the two colours the terminal shows, but not the terminal's own
// default colours, which differ from each other.
bool reverse_allowed(ScreenCell cell) { return cell.foreground != DEFAULT_COLOUR && cell.background != DEFAULT_COLOUR; }

// The pen already shows what `cell` needs.
bool shows_colours_of(const PenColours& pen, ScreenCell cell, bool utf8) {
    if (pen.reverse && !reverse_allowed(cell)) return false;
    const TerminalColour background = pen.reverse ? pen.foreground : pen.background;
    const TerminalColour foreground = pen.reverse ? pen.background : pen.foreground;
    return cell.background == background && (cell.foreground == foreground || inkless(cell.character, utf8));
}

// The shortest change to the colours `cell` needs: keeping reverse video as it is, or
// switching it where that shows one of the pen's colours where the cell needs it (a cell
// whose colours swap with the pen's then needs only the switch). Elsewhere switching costs
// its own bytes on top of the same colour changes.
ColourChange shortest_change(const PenColours& pen, ScreenCell cell, bool utf8) {
    if (shows_colours_of(pen, cell, utf8)) return {pen, 0};
    const TerminalColour foreground = shown_foreground(cell, utf8);
    const bool may_keep = !pen.reverse || reverse_allowed(cell);
    ColourChange best;
    if (may_keep) best = change_to(pen, pen.reverse, cell.background, foreground);
    const TerminalColour shown_as_background = pen.reverse ? pen.background : pen.foreground;  // once switched
    const TerminalColour shown_as_foreground = pen.reverse ? pen.foreground : pen.background;
    const bool switch_helps = cell.background == shown_as_background || foreground == shown_as_foreground;
    if (!may_keep || (reverse_allowed(cell) && switch_helps)) {
        const ColourChange switched = change_to(pen, !pen.reverse, cell.background, foreground);
        if (!may_keep || switched.length < best.length) best = switched;
    }
    return best;
}

void put_cell(Pen& pen, ScreenCell cell, bool utf8, std::string& out) {
    const ColourChange change = shortest_change(pen.colours, cell, utf8);
    append_change(pen.colours, change.after, out);
    pen.colours = change.after;
    out.append(cp437_text(cell.character, utf8));
}

// Bytes of writing cells [from, to) of a row again as they are, with their colour changes,
// and then the colours of the cell at `to`; gives up (returns `limit`) once that reaches
// `limit`.
int rewrite_cost(PenColours pen, const ScreenCell* row_cells, int from, int to, bool utf8, int limit) {
    int bytes = 0;
    for (int c = from; c < to && bytes < limit; ++c) {
        bytes += static_cast<int>(cp437_text(row_cells[c].character, utf8).size());
        if (shows_colours_of(pen, row_cells[c], utf8)) continue;
        if (bytes + SHORTEST_CHANGE >= limit) return limit;
        const ColourChange change = shortest_change(pen, row_cells[c], utf8);
        pen = change.after;
        bytes += change.length;
    }
    return std::min(limit, bytes + shortest_change(pen, row_cells[to], utf8).length);
}

void append_forward(std::string& out, int gap) {
    out.append("\x1b[");
    if (gap > 1) append_number(out, gap);
    out.push_back('C');
}

int forward_bytes(int gap) { return gap == 1 ? 3 : 3 + digits(gap); }

// Moves the cursor anywhere but forward along its row: back along the row with backspaces
// (a few) or a carriage return and a step forward, down with a carriage return, line feeds
// and a step forward, or to an absolute position, whichever is shortest. Line feeds only
// ever go to rows of the terminal, so they never scroll.
void move_elsewhere(const Pen& pen, int row, int column, const ScreenState& screen, std::string& out) {
    const int terminal_row = screen.region.top + row, terminal_column = screen.region.left + column;
    const int position_bytes = 3 + digits(terminal_row + 1) + (terminal_column > 0 ? 1 + digits(terminal_column + 1) : 0);
    const int rows_down = pen.row == UNKNOWN ? -1 : row - pen.row;
    const int back = rows_down == 0 && pen.column != UNKNOWN ? pen.column - column : 0;
    const int return_bytes = 1 + rows_down + (terminal_column > 0 ? forward_bytes(terminal_column) : 0);
    if (back > 0 && back <= MOST_BACKSPACES && back < return_bytes && back < position_bytes) {
        out.append(static_cast<std::size_t>(back), '\b');
    } else if (rows_down >= 0 && return_bytes < position_bytes) {
        out.push_back('\r');
        out.append(static_cast<std::size_t>(rows_down), '\n');
        if (terminal_column > 0) append_forward(out, terminal_column);
    } else {
        out.append("\x1b[");
        append_number(out, terminal_row + 1);
        if (terminal_column > 0) {
            out.push_back(';');
            append_number(out, terminal_column + 1);
        }
        out.push_back('H');
    }
}

// Puts the pen on cell `column` of region row `row`, which is written next. Along a row,
// unchanged cells are either skipped with a cursor move or written again, whichever is
// shorter counting the colour changes either way needs.
void move_to(Pen& pen, int row, int column, const ScreenCell* row_cells, const ScreenState& screen, std::string& out) {
    if (pen.row == row && pen.column == column) return;
    if (pen.row == row && pen.column != UNKNOWN && pen.column < column) {
        const int gap = column - pen.column;
        const int forward_cost =
            forward_bytes(gap) + shortest_change(pen.colours, row_cells[column], screen.utf8).length;
        if (rewrite_cost(pen.colours, row_cells, pen.column, column, screen.utf8, forward_cost) < forward_cost) {
            for (int c = pen.column; c < column; ++c) put_cell(pen, row_cells[c], screen.utf8, out);
        } else {
            append_forward(out, gap);
        }
    } else {
        move_elsewhere(pen, row, column, screen, out);
    }
    pen.row = row;
    pen.column = column;
}

// Writes the changed cells of a row (the `count` columns in `changed`, in order) in passes
// from left to right. A pass starts at the leftmost cell still to write that needs no colour
// change, else at the leftmost one, and takes every later cell whose colour change costs
// at most `limits.far` bytes, or `limits.near` for the cell right at the cursor; the cells
// it leaves out wait for a later pass. NO_LIMIT writes the row in order (in two passes
// when it starts right of the leftmost cell); low limits gather cells of like colours into
// a pass each, moving the cursor over the others instead of changing colours back and
// forth. Gives up (false) once `out` grows past `budget` bytes.
bool write_row(Pen& pen, int row, const ScreenCell* row_cells, const int* changed, int count, const RowLimits& limits,
               const ScreenState& screen, std::size_t budget, std::string& out) {
    int pending[FRAME_WIDTH];
    std::copy(changed, changed + count, pending);
    while (count > 0 && out.size() <= budget) {
        int start = 0;
        while (start < count && !shows_colours_of(pen.colours, row_cells[pending[start]], screen.utf8)) ++start;
        if (start == count) start = 0;
        int left = 0;  // cells for a later pass, kept in order
        for (int k = 0; k < count; ++k) {
            const int column = pending[k];
            bool taken = k == start;
            if (k > start && !taken) {
                const int limit = column == pen.column ? limits.near : limits.far;
                const ScreenCell cell = row_cells[column];
                taken = limit == NO_LIMIT || shows_colours_of(pen.colours, cell, screen.utf8) ||
                        (limit > 0 && shortest_change(pen.colours, cell, screen.utf8).length <= limit);
            }
            if (!taken) {
                pending[left++] = column;
                continue;
            }
            move_to(pen, row, column, row_cells, screen, out);
            put_cell(pen, row_cells[column], screen.utf8, out);
            pen.column = screen.region.left + column + 1 < screen.columns ? column + 1 : UNKNOWN;
        }
        count = left;
    }
    return count == 0 && out.size() <= budget;
}

}  // namespace

bool looks_same(ScreenCell a, ScreenCell b, bool utf8) {
    if (a.background != b.background) return false;
    if (a.character != b.character && cp437_text(a.character, utf8) != cp437_text(b.character, utf8)) return false;
    return a.foreground == b.foreground || inkless(a.character, utf8);
}

void resize_screen(ScreenState& screen, int rows, int columns) {
    if (rows == screen.rows && columns == screen.columns) return;
    screen.rows = rows;
    screen.columns = columns;
    screen.valid = false;
}

void place_region(ScreenState& screen, ScreenRegion region) {
    region.rows = std::clamp(region.rows, 0, FRAME_HEIGHT);
    region.columns = std::clamp(region.columns, 0, FRAME_WIDTH);
    if (region == screen.region) return;
    screen.region = region;
    screen.valid = false;
}

void invalidate_screen(ScreenState& screen) { screen.valid = false; }

void write_frame_changes(ScreenState& screen, const ScreenCell* cells, std::string& out) {
    out.append(BEGIN_FRAME);
    const ScreenRegion& region = screen.region;
    if (!screen.valid) {
        out.append(CLEAR_SCREEN);
        std::fill(std::begin(screen.shown), std::end(screen.shown), BLANK_CELL);
        screen.pen = PenColours{};
    }
    // Cells past the terminal's edge are not written; a larger terminal repaints through
    // resize_screen.
    const int rows = std::clamp(screen.rows - region.top, 0, region.rows);
    const int columns = std::clamp(screen.columns - region.left, 0, region.columns);
    Pen pen{UNKNOWN, UNKNOWN, screen.pen};
    std::string shortest, trial;
    for (int row = 0; row < rows; ++row) {
        const ScreenCell* row_cells = &cells[row * region.columns];
        ScreenCell* shown = &screen.shown[row * region.columns];
        int changed[FRAME_WIDTH];
        int count = 0;
        for (int column = 0; column < columns; ++column)
            if (!looks_same(row_cells[column], shown[column], screen.utf8)) changed[count++] = column;
        if (count == 0) continue;
        Pen after = pen;
        shortest.clear();
        for (const RowLimits& limits : ROW_LIMITS) {
            Pen trial_pen = pen;
            trial.clear();
            const std::size_t budget = &limits == ROW_LIMITS ? SIZE_MAX : shortest.size() - 1;
            if (write_row(trial_pen, row, row_cells, changed, count, limits, screen, budget, trial))
                shortest.swap(trial), after = trial_pen;
        }
        out += shortest;
        pen = after;
        std::copy(row_cells, row_cells + columns, shown);
    }
    screen.pen = pen.colours;
    screen.valid = true;
    out.append(END_FRAME);
}

}  // namespace textdemo
