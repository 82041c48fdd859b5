#include "display/console/console_layout.hpp"

#include <algorithm>
#include <string>

namespace textdemo {

namespace {

// "needs 40 x 13": the smallest half layout.
const std::string SHORT_MESSAGE = "needs " + std::to_string(MIN_HALF_COLUMNS) + " x " + std::to_string(MIN_HALF_ROWS);
const std::string LONG_MESSAGE = "terminal too small: " + SHORT_MESSAGE;

ScreenRegion centred(int terminal_rows, int terminal_columns, int rows, int columns) {
    return {std::max(0, (terminal_rows - rows) / 2), std::max(0, (terminal_columns - columns) / 2), rows, columns};
}

ScreenLayout too_small(int terminal_rows, int terminal_columns) {
    const int length = static_cast<int>(too_small_message(terminal_columns).size());
    return {LayoutKind::TooSmall, centred(terminal_rows, terminal_columns, 1, length), 0, 0};
}

// Cells of unknown size count as 1 : 2.
CellSize known_or_usual(CellSize cell) { return cell.width > 0 && cell.height > 0 ? cell : CellSize{1, 2}; }

// The largest picture of the window's proportions (8 : 5) on cells of the given shape,
// shown `scale` times enlarged, within `most_width` x `most_height` pixels (at most
// 80 x 50): each pixel takes `scale` columns and `scale` half rows, so W x H pixels take
// scale x W columns and scale x H / 2 rows and show W x width by H x height / 2 cell
// pixels: H = W x 5 x width / (4 x height). Rounded to whole pixels (to an even number of
// pixel rows where the scale is odd, so the rows are whole cells): limited by the width it
// is as wide as it can be, by the height as tall. Empty where nothing fits.
struct Picture {
    int width = 0;
    int height = 0;
    friend bool operator==(const Picture&, const Picture&) = default;
};

Picture picture_within(long most_width, long most_height, int scale, CellSize cell) {
    const auto [width, height] = cell;
    const long step = scale % 2 == 1 ? 2 : 1;  // pixel rows a whole number of cells takes
    most_width = std::min<long>(most_width, FRAME_WIDTH);
    most_height = std::min<long>(most_height, FRAME_HEIGHT) / step * step;
    if (most_width < 1 || most_height < 1) return {};
    long columns = most_width, rows = most_height;
    if (most_width * 5 * width <= most_height * 4 * height)
        rows = (most_width * 5 * width + 2 * step * height) / (4 * step * height) * step;
    else
        columns = (most_height * 8 * height + 5 * width) / (10 * width);
    if (columns < 1 || rows < 1) return {};
    return {static_cast<int>(columns), static_cast<int>(rows)};
}

Picture picture_at_scale(int terminal_rows, int terminal_columns, int scale, CellSize cell) {
    return picture_within(terminal_columns / scale, 2L * terminal_rows / scale, scale, cell);
}

// Enlarged by the largest whole factor at which the whole picture fits (the one a terminal
// of any size shows at that factor); where not even twice fits, as large as fits unenlarged.
ScreenLayout half(int terminal_rows, int terminal_columns, CellSize cell) {
    cell = known_or_usual(cell);
    // At an odd factor the whole picture may have one pixel row fewer than at an even one.
    const Picture whole = picture_within(FRAME_WIDTH, FRAME_HEIGHT, 2, cell);
    int scale = whole.width > 0
                    ? std::min(terminal_columns / whole.width, 2 * terminal_rows / std::max(1, whole.height - 1))
                    : 1;
    Picture picture = picture_at_scale(terminal_rows, terminal_columns, 1, cell);
    for (; scale >= 2; --scale) {
        const Picture fitting = picture_at_scale(terminal_rows, terminal_columns, scale, cell);
        if (fitting.width > 0 && fitting == picture_within(FRAME_WIDTH, FRAME_HEIGHT, scale, cell)) {
            picture = fitting;
            break;
        }
    }
    scale = std::max(scale, 1);
    if (picture.width < MIN_HALF_COLUMNS || picture.height < 2) return too_small(terminal_rows, terminal_columns);
    const int columns = scale * picture.width, rows = scale * picture.height / 2;
    return {LayoutKind::Half, centred(terminal_rows, terminal_columns, rows, columns), picture.width, picture.height,
            scale};
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
