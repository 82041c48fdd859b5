// The half layout's picture: the glyphs' ink, the colour each cell shows, the picture
// averaged down, and the half-block cells.
#include <gtest/gtest.h>

#include "display/console/half_block.hpp"

namespace textdemo {
namespace {

constexpr std::uint8_t UPPER_HALF = 0xDF;

// Glyph g gets 4g opaque texels in its 8 x 8 box and, when odd, one more at alpha 128;
// texels outside the boxes are opaque too and must not count.
FontTexture test_font() {
    FontTexture font;
    font.rgba.assign(FONT_TEXTURE_SIZE * FONT_TEXTURE_SIZE * 4, 0);
    const auto alpha = [&](int x, int y) -> std::uint8_t& { return font.rgba[(y * FONT_TEXTURE_SIZE + x) * 4 + 3]; };
    for (int y = 8; y < FONT_TEXTURE_SIZE; ++y)
        for (int x = 0; x < FONT_TEXTURE_SIZE; ++x) alpha(x, y) = 255;
    for (int x = 128; x < FONT_TEXTURE_SIZE; ++x) alpha(x, 0) = 255;
    for (int g = 0; g < 16; ++g) {
        for (int k = 0; k < 4 * g; ++k) alpha(8 * g + k % 8, k / 8) = 255;
        if (g % 2 == 1) alpha(8 * g + 7, 7) = 128;
    }
    return font;
}

TEST(HalfBlock, GlyphInkIsTheAlphaOfTheGlyphsTexels) {
    const GlyphInk glyphs = glyph_ink(test_font());
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(glyphs.ink[g], static_cast<std::uint32_t>(4 * g * 255 + (g % 2 ? 128 : 0))) << g;
}

TEST(HalfBlock, CellColourMixesForegroundOverBackgroundByInk) {
    EXPECT_EQ(cell_mix(0x4C, 0), (Rgb8{128, 0, 0}));             // background only
    EXPECT_EQ(cell_mix(0x4C, FULL_INK), (Rgb8{255, 0, 0}));      // foreground only
    EXPECT_EQ(cell_mix(0x4C, FULL_INK / 2), (Rgb8{192, 0, 0}));  // 191.5 rounds up
    EXPECT_EQ(cell_mix(0x4C, FULL_INK / 4), (Rgb8{160, 0, 0}));  // 159.75
    EXPECT_EQ(cell_mix(0x7F, FULL_INK / 4), (Rgb8{207, 207, 207}));
    EXPECT_EQ(cell_mix(0x19, 3 * FULL_INK / 8), (Rgb8{0, 0, 176}));  // 128 + 127 x 3/8 = 175.6
}

TEST(HalfBlock, FrameColoursFromEveryKindOfWord) {
    const GlyphInk glyphs = glyph_ink(test_font());
    static std::uint32_t pixels[FRAME_CELLS] = {};
    pixels[1] = DEFAULT_FILL_WORD;  // attribute 4C, glyph 0
    pixels[2] = 0x01E63F32;         // preset: attribute EA, glyph 15
    pixels[3] = 0x02001FFA;         // cell word: white on dark blue, the middle dot of glyph 1
    pixels[4] = 0x02001F4F;         // cell word 'O': glyph 6, the first glyph drawn with it
    pixels[5] = 0x02001F41;         // 'A' is no shade glyph: half inked
    static Rgb8 mixes[FRAME_CELLS];
    frame_mixes(glyphs, pixels, mixes);
    EXPECT_EQ(mixes[0], (Rgb8{0, 0, 0}));
    EXPECT_EQ(mixes[1], (Rgb8{128, 0, 0}));
    EXPECT_EQ(mixes[2], cell_mix(0xEA, glyphs.ink[15]));
    EXPECT_EQ(mixes[3], cell_mix(0x1F, glyphs.ink[1]));
    EXPECT_EQ(mixes[4], cell_mix(0x1F, glyphs.ink[6]));
    EXPECT_EQ(mixes[5], (Rgb8{128, 128, 192}));
}

TEST(HalfBlock, ResamplingAveragesAreas) {
    static Rgb8 picture[FRAME_CELLS];
    static Rgb8 out[FRAME_CELLS];
    // Unchanged at full size.
    for (int i = 0; i < FRAME_CELLS; ++i) picture[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 80), 7};
    resample_picture(picture, 80, 50, out);
    for (int i = 0; i < FRAME_CELLS; ++i) ASSERT_EQ(out[i], picture[i]) << i;
    // Half size: each target pixel is the rounded mean of a 2 x 2 block.
    resample_picture(picture, 40, 25, out);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 40; ++x) {
            int sum = 0;
            for (int k = 0; k < 4; ++k) sum += picture[(2 * y + k / 2) * 80 + 2 * x + k % 2].red;
            ASSERT_EQ(out[y * 40 + x].red, (sum + 2) / 4) << x << "," << y;
        }
    // 77 x 48: a column of 255 in black spreads over the one or two target columns it
    // overlaps, by how much of each it covers; no row is dropped.
    for (int i = 0; i < FRAME_CELLS; ++i) picture[i] = {0, 0, 0};
    for (int y = 0; y < 50; ++y) picture[y * 80 + 40] = {255, 255, 255};
    resample_picture(picture, 77, 48, out);
    // Source column 40 spans [3080, 3157) in 77ths; target 38 spans [3040, 3120), 39 [3120, 3200).
    for (int y = 0; y < 48; ++y) {
        EXPECT_EQ(out[y * 77 + 38].red, (255 * 40 + 40) / 80) << y;
        EXPECT_EQ(out[y * 77 + 39].red, (255 * 37 + 40) / 80) << y;
        EXPECT_EQ(out[y * 77 + 37].red, 0) << y;
        EXPECT_EQ(out[y * 77 + 40].red, 0) << y;
    }
    // Likewise the last frame row reaches the last target row: 50 rows into 48.
    for (int i = 0; i < FRAME_CELLS; ++i) picture[i] = {0, 0, 0};
    for (int x = 0; x < 80; ++x) picture[49 * 80 + x] = {0, 200, 0};
    resample_picture(picture, 77, 48, out);
    EXPECT_EQ(out[47 * 77 + 10].green, (200 * 48 + 25) / 50);
    EXPECT_EQ(out[46 * 77 + 10].green, 0);
}

TEST(HalfBlock, CellsShowTwoPixelsOrOneColourAsASpace) {
    // 3 columns, 2 pixel rows.
    const Rgb8 picture[6] = {{10, 20, 30}, {0, 0, 128}, {250, 0, 0}, {10, 20, 30}, {0, 0, 130}, {0, 250, 0}};
    ScreenCell cells[3];
    half_block_cells(picture, 3, 2, 1, ConsoleColours::TrueColour, true, cells);
    EXPECT_EQ(cells[0].character, ' ');
    EXPECT_EQ(cells[0].background, rgb_colour({10, 20, 30}));
    EXPECT_EQ(cells[1].character, UPPER_HALF);
    EXPECT_EQ(cells[1].foreground, rgb_colour({0, 0, 128}));
    EXPECT_EQ(cells[1].background, rgb_colour({0, 0, 130}));
    // In 16 colours both halves of the middle cell become dark blue: one space.
    half_block_cells(picture, 3, 2, 1, ConsoleColours::Ansi16, true, cells);
    EXPECT_EQ(cells[0].character, ' ');
    EXPECT_EQ(cells[0].background, ansi_colour(0));
    EXPECT_EQ(cells[1].character, ' ');
    EXPECT_EQ(cells[1].background, ansi_colour(1));
    EXPECT_EQ(cells[2].character, UPPER_HALF);
    EXPECT_EQ(cells[2].foreground, ansi_colour(12));
    EXPECT_EQ(cells[2].background, ansi_colour(10));
    // Without UTF-8: a space in the average of both pixels.
    half_block_cells(picture, 3, 2, 1, ConsoleColours::TrueColour, false, cells);
    EXPECT_EQ(cells[2].character, ' ');
    EXPECT_EQ(cells[2].background, rgb_colour({125, 125, 0}));
    EXPECT_EQ(cells[1].background, rgb_colour({0, 0, 129}));
}

// Enlarged: each pixel k columns wide and k half rows tall. Twice, a 2 x 2 picture takes
// 4 x 2 cells whose halves both show one pixel row; three times, 6 x 3 cells, the middle
// row's upper half showing the first pixel row and its lower half the second.
TEST(HalfBlock, EnlargedPixelsTakeWholeCellsAndHalves) {
    const Rgb8 a{200, 0, 0}, b{0, 200, 0}, c{0, 0, 200}, d{90, 90, 90};
    const Rgb8 picture[4] = {a, b, c, d};
    ScreenCell cells[18];
    half_block_cells(picture, 2, 2, 2, ConsoleColours::TrueColour, true, cells);
    const Rgb8 twice[8] = {a, a, b, b, c, c, d, d};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(cells[i].character, ' ') << i;
        EXPECT_EQ(cells[i].background, rgb_colour(twice[i])) << i;
    }
    half_block_cells(picture, 2, 2, 3, ConsoleColours::TrueColour, true, cells);
    for (int column = 0; column < 6; ++column) {
        const Rgb8 upper = column < 3 ? a : b, lower = column < 3 ? c : d;
        EXPECT_EQ(cells[column].character, ' ') << column;
        EXPECT_EQ(cells[column].background, rgb_colour(upper)) << column;
        EXPECT_EQ(cells[6 + column].character, UPPER_HALF) << column;
        EXPECT_EQ(cells[6 + column].foreground, rgb_colour(upper)) << column;
        EXPECT_EQ(cells[6 + column].background, rgb_colour(lower)) << column;
        EXPECT_EQ(cells[12 + column].character, ' ') << column;
        EXPECT_EQ(cells[12 + column].background, rgb_colour(lower)) << column;
    }
}

// Pixel 0 drifts a step a frame, pixel 1 jumps, pixel 2 holds still after a small move;
// the shown colours are followed frame by frame (steady_colours turns the exact colours
// given into those shown, in place).
TEST(HalfBlock, SteadyColoursHoldSmallMovesUntilTheyStop) {
    SteadyPicture steady;
    Rgb8 picture[3] = {{100, 100, 100}, {0, 0, 0}, {50, 60, 70}};
    steady_colours(steady, picture, 3, 1);  // a new size: everything as it is
    EXPECT_EQ(picture[0], (Rgb8{100, 100, 100}));
    for (int step = 1; step <= 8; ++step) {
        picture[0] = {static_cast<std::uint8_t>(100 + step), 100, 100};
        picture[1] = {0, 0, 0};
        picture[2] = {50, 60, 78};
        steady_colours(steady, picture, 3, 1);
        EXPECT_EQ(picture[0], (Rgb8{100, 100, 100})) << step;  // at most 8 away, still moving
        EXPECT_EQ(picture[1], (Rgb8{0, 0, 0})) << step;
        // 8 away in blue, held one frame, then shown exactly once it held still.
        EXPECT_EQ(picture[2], step == 1 ? (Rgb8{50, 60, 70}) : (Rgb8{50, 60, 78})) << step;
    }
    picture[0] = {109, 100, 100};  // 9 away: taken
    picture[1] = {0, 9, 0};
    picture[2] = {50, 60, 78};
    steady_colours(steady, picture, 3, 1);
    EXPECT_EQ(picture[0], (Rgb8{109, 100, 100}));
    EXPECT_EQ(picture[1], (Rgb8{0, 9, 0}));
    picture[0] = {105, 104, 101};  // back within reach of what is shown: held again
    steady_colours(steady, picture, 3, 1);
    EXPECT_EQ(picture[0], (Rgb8{109, 100, 100}));
    picture[0] = {105, 104, 101};  // the same exact colour again: shown as it is
    steady_colours(steady, picture, 3, 1);
    EXPECT_EQ(picture[0], (Rgb8{105, 104, 101}));
    // A pixel that must change takes its left neighbour's colour where that is near enough,
    // a lower pixel with no such neighbour the colour above it in its cell.
    Rgb8 cell_pair[4] = {{10, 10, 10}, {90, 90, 90}, {200, 0, 0}, {0, 0, 0}};
    SteadyPicture two;
    steady_colours(two, cell_pair, 2, 2);
    Rgb8 next[4] = {{30, 30, 30}, {37, 22, 38}, {100, 0, 0}, {108, 0, 2}};
    steady_colours(two, next, 2, 2);
    EXPECT_EQ(next[0], (Rgb8{30, 30, 30}));
    EXPECT_EQ(next[1], (Rgb8{30, 30, 30}));  // within 8 of 37, 22, 38
    EXPECT_EQ(next[2], (Rgb8{100, 0, 0}));
    EXPECT_EQ(next[3], (Rgb8{100, 0, 0}));   // the left neighbour's, within 8 of 108, 0, 2
    Rgb8 later[4] = {{30, 30, 30}, {37, 22, 38}, {100, 0, 0}, {108, 0, 2}};
    steady_colours(two, later, 2, 2);  // held still: exact
    EXPECT_EQ(later[1], (Rgb8{37, 22, 38}));
    EXPECT_EQ(later[3], (Rgb8{108, 0, 2}));
    Rgb8 column[4] = {{50, 50, 50}, {0, 0, 0}, {57, 50, 43}, {0, 0, 0}};
    SteadyPicture one;
    Rgb8 first[4] = {{0, 0, 0}, {0, 0, 0}, {200, 200, 200}, {0, 0, 0}};
    steady_colours(one, first, 2, 2);
    steady_colours(one, column, 2, 2);
    EXPECT_EQ(column[2], (Rgb8{50, 50, 50}));  // no left neighbour: the pixel above
    // Another size starts afresh.
    Rgb8 wider[4] = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    steady_colours(steady, wider, 4, 1);
    EXPECT_EQ(wider[0], (Rgb8{1, 1, 1}));
    EXPECT_EQ(wider[3], (Rgb8{4, 4, 4}));
}

}  // namespace
}  // namespace textdemo
