#include "bench/baseline_screen_writer.hpp"

#include "display/console/cp437.hpp"
#include "display/console/terminal_colours.hpp"

namespace textdemo::baseline {

namespace {

constexpr std::string_view BEGIN_FRAME = "\x1b[?2026h";
constexpr std::string_view END_FRAME = "\x1b[?2026l";
constexpr std::string_view CLEAR_SCREEN = "\x1b[0m\x1b[2J";
constexpr int UNKNOWN = -1;
// Longest run of unchanged cells worth pricing for a rewrite: a cursor move and a colour
// change together cost at most 14 bytes.
constexpr int LONGEST_REWRITTEN_GAP = 12;

void append_number(std::string& out, int value) {
    if (value >= 100) out.push_back(static_cast<char>('0' + value / 100));
    if (value >= 10) out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

int digits(int value) { return value >= 100 ? 3 : value >= 10 ? 2 : 1; }

bool same(ConsoleCell a, ConsoleCell b) { return a.character == b.character && a.attribute == b.attribute; }

// Where the next written character lands and which colours it gets.
struct Pen {
    int row = UNKNOWN;
    int column = UNKNOWN;
    int attribute = UNKNOWN;
};

// Bytes of the colour change from one attribute to another (UNKNOWN: both colours).
int colours_cost(int from, int to) {
    if (from == to) return 0;
    const bool new_background = from == UNKNOWN || (from >> 4) != (to >> 4);
    const bool new_foreground = from == UNKNOWN || (from & 15) != (to & 15);
    int bytes = 3;  // CSI ... m
    if (new_foreground) bytes += digits(sgr_foreground(to & 15));
    if (new_background) bytes += digits(sgr_background(to >> 4));
    return bytes + (new_foreground && new_background ? 1 : 0);
}

void set_colours(Pen& pen, int attribute, std::string& out) {
    if (pen.attribute == attribute) return;
    const int background = attribute >> 4, foreground = attribute & 15;
    const bool new_background = pen.attribute == UNKNOWN || (pen.attribute >> 4) != background;
    const bool new_foreground = pen.attribute == UNKNOWN || (pen.attribute & 15) != foreground;
    out.append("\x1b[");
    if (new_foreground) append_number(out, sgr_foreground(foreground));
    if (new_foreground && new_background) out.push_back(';');
    if (new_background) append_number(out, sgr_background(background));
    out.push_back('m');
    pen.attribute = attribute;
}

// Bytes of rewriting the unchanged cells [from, to) of a row as they are, with their colour
// changes, and of going on from there with `next_attribute`.
int rewrite_cost(const ConsoleCell* row_cells, int from, int to, int attribute, int next_attribute, bool utf8) {
    int bytes = 0;
    for (int c = from; c < to; ++c) {
        bytes += colours_cost(attribute, row_cells[c].attribute);
        bytes += static_cast<int>(cp437_text(row_cells[c].character, utf8).size());
        attribute = row_cells[c].attribute;
    }
    return bytes + colours_cost(attribute, next_attribute);
}

// Puts the pen on cell `column` of `row`, which is written next. Along a row, unchanged
// cells are either skipped with a cursor move or written again, whichever is shorter
// counting the colour changes either way needs.
void move_to(Pen& pen, int row, int column, const ConsoleCell* row_cells, bool utf8, std::string& out) {
    if (pen.row == row && pen.column == column) return;
    if (pen.row == row && pen.column != UNKNOWN && pen.column < column) {
        const int gap = column - pen.column;
        const int next_attribute = row_cells[column].attribute;
        const int forward_cost = (gap == 1 ? 3 : 3 + digits(gap)) + colours_cost(pen.attribute, next_attribute);
        if (gap <= LONGEST_REWRITTEN_GAP &&
            rewrite_cost(row_cells, pen.column, column, pen.attribute, next_attribute, utf8) < forward_cost) {
            for (int c = pen.column; c < column; ++c) {
                set_colours(pen, row_cells[c].attribute, out);
                out.append(cp437_text(row_cells[c].character, utf8));
            }
        } else {
            out.append("\x1b[");
            if (gap > 1) append_number(out, gap);
            out.push_back('C');
        }
    } else {
        out.append("\x1b[");
        append_number(out, row + 1);
        if (column > 0) {
            out.push_back(';');
            append_number(out, column + 1);
        }
        out.push_back('H');
    }
    pen.row = row;
    pen.column = column;
}

}  // namespace

void write_frame_changes(BaselineScreen& screen, const ConsoleCell (&cells)[FRAME_CELLS], std::string& out) {
    out.append(BEGIN_FRAME);
    const bool repaint = !screen.valid;
    if (repaint) out.append(CLEAR_SCREEN);
    Pen pen;
    for (int row = 0; row < FRAME_HEIGHT; ++row) {
        const ConsoleCell* row_cells = &cells[row * FRAME_WIDTH];
        ConsoleCell* shown = &screen.shown[row * FRAME_WIDTH];
        for (int column = 0; column < FRAME_WIDTH; ++column) {
            const ConsoleCell cell = row_cells[column];
            if (!repaint && same(cell, shown[column])) continue;
            move_to(pen, row, column, row_cells, true, out);
            set_colours(pen, cell.attribute, out);
            out.append(cp437_text(cell.character, true));
            shown[column] = cell;
            // In the terminal's last column the cursor stays put (or, where autowrap is
            // still on, waits to wrap): its next position is not known.
            pen.column = column + 1 < FRAME_WIDTH ? column + 1 : UNKNOWN;
        }
    }
    screen.valid = true;
    out.append(END_FRAME);
}

}  // namespace textdemo::baseline
