// Where the pixel layout puts the window's picture, and how it enlarges it.
#include <gtest/gtest.h>

#include "display/console/pixel_layout.hpp"

namespace textdemo {
namespace {

PixelLayout kitty(int rows, int columns, CellSize cell, ConsoleLayout asked = ConsoleLayout::Auto) {
    return choose_pixel_layout(asked, true, false, rows, columns, cell);
}

PixelLayout sixel(int rows, int columns, CellSize cell, ConsoleLayout asked = ConsoleLayout::Pixels) {
    return choose_pixel_layout(asked, false, true, rows, columns, cell);
}

TEST(PixelLayout, KittyCentresThePictureToThePixel) {
    // kitty at 80 x 24 of 9 x 18: 720 x 432 pixels hold the picture once, 40 pixels in
    // (4 cells and 4 pixels) and 16 down.
    const PixelLayout small = kitty(24, 80, {9, 18});
    EXPECT_EQ(small, (PixelLayout{PixelProtocol::Kitty, 1, {0, 4, 24, 72}, 4, 16}));
    // 200 x 60: 1800 x 1080 hold it twice (1280 x 800), 260 pixels in and 140 down.
    const PixelLayout large = kitty(60, 200, {9, 18}, ConsoleLayout::Pixels);
    EXPECT_EQ(large, (PixelLayout{PixelProtocol::Kitty, 2, {7, 28, 46, 144}, 8, 14}));
    // Exactly three times wide and tall.
    EXPECT_EQ(kitty(120, 240, {8, 10}), (PixelLayout{PixelProtocol::Kitty, 3, {0, 0, 120, 240}, 0, 0}));
    EXPECT_EQ(kitty(119, 240, {8, 10}).scale, 2);
}

TEST(PixelLayout, SixelStartsAtACellAndLeavesTheLastRowFree) {
    // xterm at 110 x 33 of 6 x 13: 660 x 416 pixels above the last row.
    const PixelLayout layout = sixel(33, 110, {6, 13});
    EXPECT_EQ(layout, (PixelLayout{PixelProtocol::Sixel, 1, {0, 1, 31, 107}, 0, 0}));
    // 400 pixel rows in 31 rows of 13 would need the last row at 31 rows: not enough.
    EXPECT_EQ(sixel(31, 110, {6, 13}).protocol, PixelProtocol::None);
    EXPECT_EQ(sixel(32, 110, {6, 13}).region, (ScreenRegion{0, 1, 31, 107}));
}

TEST(PixelLayout, PixelsOnlyWhereAskedForAndPossible) {
    // Sixel only when asked for; kitty also for auto, and before sixel.
    EXPECT_EQ(sixel(33, 110, {6, 13}, ConsoleLayout::Auto).protocol, PixelProtocol::None);
    EXPECT_EQ(choose_pixel_layout(ConsoleLayout::Pixels, true, true, 33, 110, {6, 13}).protocol, PixelProtocol::Kitty);
    EXPECT_EQ(choose_pixel_layout(ConsoleLayout::Pixels, false, false, 33, 110, {6, 13}).protocol,
              PixelProtocol::None);
    // The text layouts asked for stay text.
    EXPECT_EQ(kitty(60, 200, {9, 18}, ConsoleLayout::Half).protocol, PixelProtocol::None);
    EXPECT_EQ(kitty(60, 200, {9, 18}, ConsoleLayout::Native).protocol, PixelProtocol::None);
    // Unknown cells, or fewer pixels than the picture has (80 x 24 of 7 x 14: 560 x 336).
    EXPECT_EQ(kitty(60, 200, {}).protocol, PixelProtocol::None);
    EXPECT_EQ(kitty(24, 80, {7, 14}).protocol, PixelProtocol::None);
    EXPECT_EQ(kitty(22, 80, {9, 18}).protocol, PixelProtocol::None);  // 396 pixel rows
    // Where no pixels are shown, pixels chooses as auto does.
    EXPECT_EQ(choose_layout(ConsoleLayout::Pixels, 50, 80).kind, LayoutKind::Native);
    EXPECT_EQ(choose_layout(ConsoleLayout::Pixels, 24, 80, {9, 18}).kind, LayoutKind::Half);
}

TEST(PixelLayout, EnlargingRepeatsEachPixelScaleTimesEachWay) {
    const std::vector<std::uint8_t> rgb = {1, 2, 3, 4, 5, 6};  // 2 x 1
    std::vector<std::uint8_t> out;
    enlarge_picture(rgb, 2, 1, 3, 2, out);
    const std::vector<std::uint8_t> row = {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6};
    std::vector<std::uint8_t> both = row;
    both.insert(both.end(), row.begin(), row.end());
    EXPECT_EQ(out, both);
    enlarge_picture({7, 8, 9, 10}, 2, 2, 1, 1, out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{7, 8, 9, 10}));
    enlarge_picture({7, 8}, 1, 2, 1, 3, out);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8}));
}

}  // namespace
}  // namespace textdemo
