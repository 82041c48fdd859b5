// Where the picture goes in terminals of many sizes: native centred or clipped, half
// centred or made smaller at the frame's proportions, and the line for a terminal too small.
#include <gtest/gtest.h>

#include <cstdlib>

#include "display/console/console_layout.hpp"
#include "display/console/console_display.hpp"

namespace textdemo {
namespace {

struct Case {
    ConsoleLayout asked;
    int rows, columns;
    LayoutKind kind;
    ScreenRegion region;
    int picture_width, picture_height;
};

// Worked out by hand. Half: 80 x 25 cells where they fit, else the largest picture of
// proportions 8 : 5 (two pixel rows a cell) rounded to whole pixels.
const Case kCases[] = {
    {ConsoleLayout::Auto, 50, 80, LayoutKind::Native, {0, 0, 50, 80}, 80, 50},
    {ConsoleLayout::Auto, 60, 100, LayoutKind::Native, {5, 10, 50, 80}, 80, 50},
    {ConsoleLayout::Auto, 51, 81, LayoutKind::Native, {0, 0, 50, 80}, 80, 50},
    {ConsoleLayout::Auto, 49, 200, LayoutKind::Half, {12, 60, 25, 80}, 80, 50},
    {ConsoleLayout::Auto, 50, 79, LayoutKind::Half, {12, 0, 25, 79}, 79, 50},
    {ConsoleLayout::Auto, 30, 120, LayoutKind::Half, {2, 20, 25, 80}, 80, 50},
    {ConsoleLayout::Auto, 25, 80, LayoutKind::Half, {0, 0, 25, 80}, 80, 50},
    {ConsoleLayout::Auto, 24, 80, LayoutKind::Half, {0, 1, 24, 77}, 77, 48},     // 24 rows: 76.8 pixels wide
    {ConsoleLayout::Auto, 40, 60, LayoutKind::Half, {10, 0, 19, 60}, 60, 38},    // 60 wide: 37.5 pixels tall
    {ConsoleLayout::Auto, 13, 40, LayoutKind::Half, {0, 0, 13, 40}, 40, 26},     // the smallest picture
    {ConsoleLayout::Auto, 13, 200, LayoutKind::Half, {0, 79, 13, 42}, 42, 26},
    {ConsoleLayout::Auto, 12, 200, LayoutKind::TooSmall, {5, 83, 1, 33}, 0, 0},  // 38 pixels wide
    {ConsoleLayout::Auto, 100, 39, LayoutKind::TooSmall, {49, 3, 1, 33}, 0, 0},
    {ConsoleLayout::Auto, 100, 32, LayoutKind::TooSmall, {49, 9, 1, 13}, 0, 0},
    {ConsoleLayout::Auto, 1, 5, LayoutKind::TooSmall, {0, 0, 1, 13}, 0, 0},      // clipped by the writer
    {ConsoleLayout::Native, 24, 80, LayoutKind::Native, {0, 0, 50, 80}, 80, 50},  // clipped, as before
    {ConsoleLayout::Native, 30, 100, LayoutKind::Native, {0, 10, 50, 80}, 80, 50},
    {ConsoleLayout::Native, 5, 5, LayoutKind::Native, {0, 0, 50, 80}, 80, 50},
    {ConsoleLayout::Half, 60, 100, LayoutKind::Half, {17, 10, 25, 80}, 80, 50},
    {ConsoleLayout::Half, 10, 80, LayoutKind::TooSmall, {4, 23, 1, 33}, 0, 0},
};

TEST(ConsoleLayout, ChosenFromTheTerminalSize) {
    for (const Case& c : kCases) {
        const ScreenLayout layout = choose_layout(c.asked, c.rows, c.columns);
        const std::string where = std::to_string(c.columns) + " x " + std::to_string(c.rows);
        EXPECT_EQ(layout.kind, c.kind) << where;
        EXPECT_EQ(layout.region, c.region) << where << ": " << layout.region.top << "," << layout.region.left << " "
                                           << layout.region.rows << "x" << layout.region.columns;
        if (c.kind == LayoutKind::Half) {
            EXPECT_EQ(layout.picture_width, c.picture_width) << where;
            EXPECT_EQ(layout.picture_height, c.picture_height) << where;
        }
    }
    EXPECT_EQ(too_small_message(33), "terminal too small: needs 40 x 13");
    EXPECT_EQ(too_small_message(32), "needs 40 x 13");
}

// Every size up to 300 x 120: the half picture fits, keeps the frame's proportions to
// within a pixel, never grows past 80 x 50 pixels, sits in the middle, and is as large as
// the terminal allows.
TEST(ConsoleLayout, HalfPictureFitsAndKeepsItsProportionsAtEverySize) {
    for (int rows = 1; rows <= 120; ++rows) {
        for (int columns = 1; columns <= 300; ++columns) {
            const ScreenLayout layout = choose_layout(ConsoleLayout::Auto, rows, columns);
            const ScreenRegion& r = layout.region;
            const std::string where = std::to_string(columns) + " x " + std::to_string(rows);
            if (layout.kind == LayoutKind::Native) {
                ASSERT_TRUE(rows >= 50 && columns >= 80) << where;
                continue;
            }
            if (layout.kind == LayoutKind::TooSmall) {
                ASSERT_TRUE(columns < MIN_HALF_COLUMNS || rows < MIN_HALF_ROWS) << where;
                ASSERT_EQ(r.rows, 1) << where;
                continue;
            }
            ASSERT_GE(columns, MIN_HALF_COLUMNS) << where;
            ASSERT_GE(rows, MIN_HALF_ROWS) << where;
            ASSERT_EQ(layout.picture_width, r.columns) << where;
            ASSERT_EQ(layout.picture_height, 2 * r.rows) << where;
            ASSERT_LE(r.columns, std::min(columns, 80)) << where;
            ASSERT_LE(r.rows, std::min(rows, 25)) << where;
            ASSERT_LE(std::abs(layout.picture_width * 5 - layout.picture_height * 8), 8) << where;
            ASSERT_TRUE(r.columns == std::min(columns, 80) || r.rows == std::min(rows, 25)) << where;
            ASSERT_EQ(r.top, (rows - r.rows) / 2) << where;
            ASSERT_EQ(r.left, (columns - r.columns) / 2) << where;
        }
    }
}

// Cells of real terminals (xterm's 6 x 13, kitty's and alacritty's 9 x 18, kitty with
// another font 9 x 20, mlterm's 10 x 19) and wide ones: at every size up to 300 x 120 the
// half picture shows the window's 1.60 within 5% (and within a cell of rounding), fits,
// is centred, is enlarged only whole, and is as large as the terminal allows.
TEST(ConsoleLayout, HalfPictureKeepsTheWindowsProportionsOnRealCells) {
    for (const CellSize cell : {CellSize{6, 13}, CellSize{9, 18}, CellSize{9, 20}, CellSize{10, 19}, CellSize{12, 16},
                                CellSize{8, 8}}) {
        for (int rows = 1; rows <= 120; ++rows) {
            for (int columns = 1; columns <= 300; ++columns) {
                const ScreenLayout layout = choose_layout(ConsoleLayout::Half, rows, columns, cell);
                const ScreenRegion& r = layout.region;
                const std::string where = std::to_string(columns) + " x " + std::to_string(rows) + " of " +
                                          std::to_string(cell.width) + " x " + std::to_string(cell.height);
                if (layout.kind == LayoutKind::TooSmall) {
                    const int widest = (std::min(rows, 25) * 16 * cell.height + 5 * cell.width) / (10 * cell.width);
                    ASSERT_LT(std::min({columns, 80, widest}), MIN_HALF_COLUMNS) << where;
                    continue;
                }
                ASSERT_EQ(layout.kind, LayoutKind::Half) << where;
                const int k = layout.scale;
                ASSERT_GE(k, 1) << where;
                ASSERT_EQ(k * layout.picture_width, r.columns) << where;
                ASSERT_EQ(k * layout.picture_height, 2 * r.rows) << where;
                ASSERT_LE(layout.picture_width, 80) << where;
                ASSERT_LE(layout.picture_height, 50) << where;
                ASSERT_LE(r.columns, columns) << where;
                ASSERT_LE(r.rows, rows) << where;
                if (k == 1) {
                    ASSERT_TRUE(r.columns == std::min(columns, 80) || r.rows == std::min(rows, 25)) << where;
                } else {
                    ASSERT_TRUE(layout.picture_width == 80 || layout.picture_height == 50) << where;
                }
                // One factor more would not fit, even with a pixel row to spare (rounding at
                // an odd and an even factor may differ by one row).
                const bool next_fits = (k + 1) * layout.picture_width <= columns &&
                                       (k + 1) * (layout.picture_height + 1) <= 2 * rows;
                ASSERT_FALSE(next_fits) << where;
                ASSERT_EQ(r.top, (rows - r.rows) / 2) << where;
                ASSERT_EQ(r.left, (columns - r.columns) / 2) << where;
                const double shown = double(r.columns * cell.width) / (r.rows * cell.height);
                const double within = std::max(0.05, 0.5 / r.rows);  // half a row of rounding
                ASSERT_NEAR(shown / 1.6, 1.0, within) << where;
            }
        }
    }
}

struct ScaledCase {
    int rows, columns;
    CellSize cell;
    ScreenRegion region;
    int picture_width, picture_height, scale;
};

// Worked out by hand: on cells w x h the whole picture is 80 wide and 80 x 5w / 4h tall
// (rounded; to an even number of rows at an odd factor), or 50 tall and 50 x 4h / 5w wide
// where that is more than 50; enlarged k times where k x that fits, else made to fit.
const ScaledCase kScaledCases[] = {
    // Unknown size (1 : 2), and kitty's and alacritty's 9 x 18: 80 x 50.
    {24, 80, {}, {0, 1, 24, 77}, 77, 48, 1},
    {60, 100, {}, {17, 10, 25, 80}, 80, 50, 1},
    {60, 200, {}, {5, 20, 50, 160}, 80, 50, 2},
    {100, 300, {}, {12, 30, 75, 240}, 80, 50, 3},
    {24, 80, {9, 18}, {0, 1, 24, 77}, 77, 48, 1},
    {60, 100, {9, 18}, {17, 10, 25, 80}, 80, 50, 1},
    {60, 200, {9, 18}, {5, 20, 50, 160}, 80, 50, 2},
    {100, 300, {9, 18}, {12, 30, 75, 240}, 80, 50, 3},
    {49, 159, {9, 18}, {12, 39, 25, 80}, 80, 50, 1},  // one column short of twice
    {50, 160, {9, 18}, {0, 0, 50, 160}, 80, 50, 2},
    // xterm's 6 x 13: 46.15 rows, 46.
    {24, 80, {6, 13}, {0, 0, 23, 80}, 80, 46, 1},
    {60, 100, {6, 13}, {18, 10, 23, 80}, 80, 46, 1},
    {60, 200, {6, 13}, {7, 20, 46, 160}, 80, 46, 2},
    {100, 300, {6, 13}, {15, 30, 69, 240}, 80, 46, 3},
    // 9 x 20: 45 rows, 46 at odd factors.
    {24, 80, {9, 20}, {0, 0, 23, 80}, 80, 46, 1},
    {60, 100, {9, 20}, {18, 10, 23, 80}, 80, 46, 1},
    {60, 200, {9, 20}, {7, 20, 45, 160}, 80, 45, 2},
    {100, 300, {9, 20}, {15, 30, 69, 240}, 80, 46, 3},
    // mlterm's 10 x 19: 52.6 rows, so 50 rows of 76 pixels.
    {24, 80, {10, 19}, {0, 3, 24, 73}, 73, 48, 1},
    {60, 100, {10, 19}, {17, 12, 25, 76}, 76, 50, 1},
    {60, 200, {10, 19}, {5, 24, 50, 152}, 76, 50, 2},
    {100, 300, {10, 19}, {12, 36, 75, 228}, 76, 50, 3},
    // 12 x 16: 50 rows of 53.3 pixels.
    {24, 80, {12, 16}, {0, 14, 24, 51}, 51, 48, 1},
    {60, 100, {12, 16}, {17, 23, 25, 53}, 53, 50, 1},
    {60, 200, {12, 16}, {5, 47, 50, 106}, 53, 50, 2},
    {100, 300, {12, 16}, {0, 44, 100, 212}, 53, 50, 4},
    // Square 8 x 8, when asked: 50 rows of 40 pixels.
    {24, 80, {8, 8}, {11, 23, 1, 33}, 0, 0, 0},  // 38.4 pixels wide: too small
    {60, 100, {8, 8}, {5, 10, 50, 80}, 40, 50, 2},
    {60, 200, {8, 8}, {5, 60, 50, 80}, 40, 50, 2},
    {100, 300, {8, 8}, {0, 70, 100, 160}, 40, 50, 4},
};

TEST(ConsoleLayout, HalfPictureEnlargedByWholeFactors) {
    for (const ScaledCase& c : kScaledCases) {
        const ScreenLayout layout = choose_layout(ConsoleLayout::Half, c.rows, c.columns, c.cell);
        const std::string where = std::to_string(c.columns) + " x " + std::to_string(c.rows) + " of " +
                                  std::to_string(c.cell.width) + " x " + std::to_string(c.cell.height);
        const ScreenRegion& r = layout.region;
        EXPECT_EQ(layout.region, c.region) << where << ": " << r.top << "," << r.left << " " << r.rows << "x" << r.columns;
        if (c.scale == 0) {
            EXPECT_EQ(layout.kind, LayoutKind::TooSmall) << where;
            continue;
        }
        EXPECT_EQ(layout.kind, LayoutKind::Half) << where;
        EXPECT_EQ(layout.picture_width, c.picture_width) << where;
        EXPECT_EQ(layout.picture_height, c.picture_height) << where;
        EXPECT_EQ(layout.scale, c.scale) << where;
    }
}

// Auto takes native only where it fits and the cells are close to square or of unknown
// size (today's choice for a terminal that tells nothing); elsewhere the half picture.
TEST(ConsoleLayout, AutoTakesNativeOnlyOnSquareCells) {
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 60, 100, CellSize{9, 18}).region, (ScreenRegion{17, 10, 25, 80}));
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 60, 200, CellSize{6, 13}).region, (ScreenRegion{7, 20, 46, 160}));
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 60, 200, CellSize{9, 18}).scale, 2);
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 60, 200).kind, LayoutKind::Native);
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 24, 80, CellSize{9, 20}).region, (ScreenRegion{0, 0, 23, 80}));
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 24, 80, CellSize{12, 16}).region, (ScreenRegion{0, 14, 24, 51}));
    for (const CellSize square : {CellSize{8, 8}, CellSize{8, 10}, CellSize{10, 8}, CellSize{}}) {
        const ScreenLayout layout = choose_layout(ConsoleLayout::Auto, 60, 100, square);
        EXPECT_EQ(layout.kind, LayoutKind::Native) << square.width << " x " << square.height;
        EXPECT_EQ(layout.region, (ScreenRegion{5, 10, 50, 80}));
    }
    for (const CellSize tall : {CellSize{8, 11}, CellSize{8, 16}})
        EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 60, 100, tall).kind, LayoutKind::Half);
    EXPECT_EQ(choose_layout(ConsoleLayout::Native, 60, 100, CellSize{8, 16}).kind, LayoutKind::Native);
    EXPECT_EQ(choose_layout(ConsoleLayout::Auto, 49, 100, CellSize{8, 8}).kind, LayoutKind::Half);
}

TEST(ConsoleRefusal, TermMustAddressTheCursor) {
    EXPECT_FALSE(terminal_addresses_cursor(nullptr));
    EXPECT_FALSE(terminal_addresses_cursor(""));
    EXPECT_FALSE(terminal_addresses_cursor("dumb"));
    EXPECT_TRUE(terminal_addresses_cursor("xterm-256color"));
    EXPECT_TRUE(terminal_addresses_cursor("screen"));
    EXPECT_TRUE(terminal_addresses_cursor("linux"));
    EXPECT_TRUE(terminal_addresses_cursor("dumber"));
}

}  // namespace
}  // namespace textdemo
