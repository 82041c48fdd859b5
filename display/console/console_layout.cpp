#include "display/console/console_layout.hpp"

#include <algorithm>

namespace textdemo {

namespace {

constexpr std::string_view LONG_MESSAGE = "terminal too small: needs 40 x 13";
constexpr std::string_view SHORT_MESSAGE = "needs 40 x 13";
constexpr int HALF_ROWS = FRAME_HEIGHT / 2;

ScreenRegion centred(int terminal_rows, int terminal_columns, int rows, int columns) {
    return {std::max(0, (terminal_rows - rows) / 2), std::max(0, (terminal_columns - columns) / 2), rows, columns};
}

ScreenLayout too_small(int terminal_rows, int terminal_columns) {
    const int length = static_cast<int>(too_small_message(terminal_columns).size());
    return {LayoutKind::TooSmall, centred(terminal_rows, terminal_columns, 1, length), 0, 0};
}

// The largest picture of the frame's proportions (8 : 5) in whole pixels that fits, each
// terminal row holding two pixel rows. Rounded to the nearest pixel, never past the
// terminal: limited by the width it is `columns` wide, by the height 2 x `rows` tall.
ScreenLayout half(int terminal_rows, int terminal_columns) {
    int columns = FRAME_WIDTH, rows = HALF_ROWS;
    if (terminal_columns < FRAME_WIDTH || terminal_rows < HALF_ROWS) {
        if (terminal_columns * 5 <= terminal_rows * 16) {
            columns = terminal_columns;
            rows = (terminal_columns * 5 + 8) / 16;
        } else {
            rows = terminal_rows;
            columns = (terminal_rows * 16 + 2) / 5;
        }
    }
    if (columns < MIN_HALF_COLUMNS) return too_small(terminal_rows, terminal_columns);
    return {LayoutKind::Half, centred(terminal_rows, terminal_columns, rows, columns), columns, 2 * rows};
}

}  // namespace

ScreenLayout choose_layout(ConsoleLayout asked, int terminal_rows, int terminal_columns) {
    const bool native_fits = terminal_rows >= FRAME_HEIGHT && terminal_columns >= FRAME_WIDTH;
    if (asked == ConsoleLayout::Native || (asked == ConsoleLayout::Auto && native_fits))
        return {LayoutKind::Native, centred(terminal_rows, terminal_columns, FRAME_HEIGHT, FRAME_WIDTH)};
    return half(terminal_rows, terminal_columns);
}

std::string_view too_small_message(int columns) {
    return columns >= static_cast<int>(LONG_MESSAGE.size()) ? LONG_MESSAGE : SHORT_MESSAGE;
}

}  // namespace textdemo
