#include "display/console/console_layout.hpp"

#include <algorithm>
#include <string>

namespace textdemo {

namespace {

// "needs 40 x 13": the smallest half layout.
const std::string SHORT_MESSAGE = "needs " + std::to_string(MIN_HALF_COLUMNS) + " x " + std::to_string(MIN_HALF_ROWS);
const std::string LONG_MESSAGE = "terminal too small: " + SHORT_MESSAGE;
constexpr int HALF_ROWS = FRAME_HEIGHT / 2;

ScreenRegion centred(int terminal_rows, int terminal_columns, int rows, int columns) {
    return {std::max(0, (terminal_rows - rows) / 2), std::max(0, (terminal_columns - columns) / 2), rows, columns};
}

ScreenLayout too_small(int terminal_rows, int terminal_columns) {
    const int length = static_cast<int>(too_small_message(terminal_columns).size());
    return {LayoutKind::TooSmall, centred(terminal_rows, terminal_columns, 1, length), 0, 0};
}

// Cells of unknown size count as 1 : 2.
CellSize known_or_usual(CellSize cell) { return cell.width > 0 && cell.height > 0 ? cell : CellSize{1, 2}; }

// The largest picture of the frame's proportions (8 : 5) on cells of the given shape, at
// most 80 x 50 pixels, each terminal row holding two pixel rows: W columns and R rows show
// W x width by R x height pixels, so R = W x 5 x width / (8 x height). Rounded to whole
// cells, never past the terminal: limited by the width it is as wide as it can be, by the
// height as tall.
ScreenLayout half(int terminal_rows, int terminal_columns, CellSize cell) {
    const auto [width, height] = known_or_usual(cell);
    const long most_columns = std::min(terminal_columns, FRAME_WIDTH);
    const long most_rows = std::min(terminal_rows, HALF_ROWS);
    long columns = most_columns, rows = most_rows;
    if (most_columns * 5 * width <= most_rows * 8 * height) {
        rows = (most_columns * 10 * width + 8 * height) / (16 * height);
    } else {
        columns = (most_rows * 16 * height + 5 * width) / (10 * width);
    }
    if (columns < MIN_HALF_COLUMNS || rows < 1) return too_small(terminal_rows, terminal_columns);
    const int c = static_cast<int>(columns), r = static_cast<int>(rows);
    return {LayoutKind::Half, centred(terminal_rows, terminal_columns, r, c), c, 2 * r};
}

bool close_to_square(CellSize cell) { return cell.width * 5 >= cell.height * 4 && cell.width * 4 <= cell.height * 5; }

}  // namespace

ScreenLayout choose_layout(ConsoleLayout asked, int terminal_rows, int terminal_columns, CellSize cell) {
    const bool native_fits = terminal_rows >= FRAME_HEIGHT && terminal_columns >= FRAME_WIDTH;
    const bool native_looks_right = cell == CellSize{} || close_to_square(cell);
    const bool automatic = asked == ConsoleLayout::Auto || asked == ConsoleLayout::Pixels;
    if (asked == ConsoleLayout::Native || (automatic && native_fits && native_looks_right))
        return {LayoutKind::Native, centred(terminal_rows, terminal_columns, FRAME_HEIGHT, FRAME_WIDTH)};
    return half(terminal_rows, terminal_columns, cell);
}

std::string_view too_small_message(int columns) {
    return columns >= static_cast<int>(LONG_MESSAGE.size()) ? LONG_MESSAGE : SHORT_MESSAGE;
}

}  // namespace textdemo
