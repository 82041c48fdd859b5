// The half layout's picture: the glyphs' ink, the colour each cell shows, the picture
// averaged down, and the half-block cells.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

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
    static Averaging averaging;
    const Rgb8* out = averaging.picture;
    // Unchanged at full size.
    for (int i = 0; i < FRAME_CELLS; ++i) picture[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 80), 7};
    resample_picture(averaging, picture, 80, 50);
    for (int i = 0; i < FRAME_CELLS; ++i) ASSERT_EQ(out[i], picture[i]) << i;
    // Half size: each target pixel is the rounded mean of a 2 x 2 block.
    resample_picture(averaging, picture, 40, 25);
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
    resample_picture(averaging, picture, 77, 48);
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
    resample_picture(averaging, picture, 77, 48);
    EXPECT_EQ(out[47 * 77 + 10].green, (200 * 48 + 25) / 50);
    EXPECT_EQ(out[46 * 77 + 10].green, 0);
}

// Averaged again after a change, only the target rows the changed source row reaches are
// redone, and the whole picture is what a fresh average of the new frame gives.
TEST(HalfBlock, ResamplingRedoesOnlyTheRowsAChangeReaches) {
    static Rgb8 picture[FRAME_CELLS];
    static Averaging kept, fresh;
    for (int i = 0; i < FRAME_CELLS; ++i)
        picture[i] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i / 3), static_cast<std::uint8_t>(i % 80)};
    resample_picture(kept, picture, 77, 48);
    resample_picture(kept, picture, 77, 48);  // nothing changed
    for (int y = 0; y < 48; ++y) EXPECT_FALSE(kept.row_changed[y]) << y;
    // Source row 20 spans [960, 1008) in 48ths of the height; target 19 spans [950, 1000),
    // target 20 [1000, 1050).
    picture[20 * 80 + 33] = {255, 0, 255};
    resample_picture(kept, picture, 77, 48);
    resample_picture(fresh, picture, 77, 48);
    for (int y = 0; y < 48; ++y) EXPECT_EQ(kept.row_changed[y], y == 19 || y == 20) << y;
    for (int i = 0; i < 77 * 48; ++i) ASSERT_EQ(kept.picture[i], fresh.picture[i]) << i;
    // Another size starts afresh.
    resample_picture(kept, picture, 40, 25);
    resample_picture(fresh, picture, 40, 25);
    for (int i = 0; i < 40 * 25; ++i) ASSERT_EQ(kept.picture[i], fresh.picture[i]) << i;
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
    // In 24-bit colour a colour an index of 16..255 shows exactly goes as the index.
    const Rgb8 fixed[4] = {{0, 0, 0}, {95, 135, 175}, {128, 128, 128}, {128, 0, 0}};
    half_block_cells(fixed, 2, 2, 1, ConsoleColours::TrueColour, true, cells);
    EXPECT_EQ(cells[0].foreground, indexed_colour(16));
    EXPECT_EQ(cells[0].background, indexed_colour(244));  // grey 128
    EXPECT_EQ(cells[1].foreground, indexed_colour(16 + 36 * 1 + 6 * 2 + 3));
    EXPECT_EQ(cells[1].background, rgb_colour({128, 0, 0}));
    half_block_cells(fixed, 2, 2, 1, ConsoleColours::Indexed256, true, cells);
    EXPECT_EQ(cells[0].foreground, indexed_colour(16));
    EXPECT_EQ(cells[1].background, indexed_colour(88));  // 135, 0, 0
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

// steady_colours frame after frame on a small picture, in one colour mode: the colours
// shown after each frame's exact ones.
struct SteadyRun {
    int width, height;
    ConsoleColours mode = ConsoleColours::TrueColour;
    std::unique_ptr<SteadyPicture> steady = std::make_unique<SteadyPicture>();

    std::vector<Rgb8> frame(std::vector<Rgb8> exact) {
        steady_colours(*steady, exact.data(), width, height, mode);
        return {steady->shown, steady->shown + width * height};
    }
};

// One cell (upper pixel, lower pixel). The upper one drifts a step a frame: held until it
// is 9 away, then shown as the grey within reach (a fixed colour: a shorter code), held
// while it holds still for a frame and shown exactly after two. The lower one, still from
// the start, shows its exact colour throughout.
TEST(HalfBlock, SteadyColoursHoldSmallMovesUntilTheyHoldStill) {
    SteadyRun run{1, 2};
    const Rgb8 lower{0, 0, 200};
    EXPECT_EQ(run.frame({{100, 100, 100}, lower}), (std::vector<Rgb8>{{100, 100, 100}, lower}));  // a new size
    for (int step = 1; step <= 8; ++step) {
        const Rgb8 upper{static_cast<std::uint8_t>(100 + step), 100, 100};
        EXPECT_EQ(run.frame({upper, lower}), (std::vector<Rgb8>{{100, 100, 100}, lower})) << step;
    }
    // Grey step 10 is 108: within 8 of 109, 100, 100.
    EXPECT_EQ(run.frame({{109, 100, 100}, lower})[0], (Rgb8{108, 108, 108}));
    EXPECT_EQ(run.frame({{109, 100, 100}, lower})[0], (Rgb8{108, 108, 108}));  // still one frame
    EXPECT_EQ(run.frame({{109, 100, 100}, lower})[0], (Rgb8{109, 100, 100}));  // still two: exact
    // A jump to a colour no fixed one is near: exact at once; a cube colour where one is.
    EXPECT_EQ(run.frame({{60, 30, 200}, lower})[0], (Rgb8{60, 30, 200}));
    EXPECT_EQ(run.frame({{130, 3, 90}, lower})[0], (Rgb8{135, 0, 95}));
    // Back within reach of what is shown: held again, whatever came between.
    EXPECT_EQ(run.frame({{138, 5, 99}, lower})[0], (Rgb8{135, 0, 95}));
    // Another size starts afresh.
    SteadyRun wider{2, 1};
    wider.steady = std::move(run.steady);
    EXPECT_EQ(wider.frame({{1, 1, 1}, {4, 4, 4}}), (std::vector<Rgb8>{{1, 1, 1}, {4, 4, 4}}));
}

// Two cells side by side (pixels 0, 1 upper; 2, 3 lower). A pixel that must change takes
// the colour of the pixel to its left, else of the upper half of its cell, where that is
// near enough; a cell whose halves may show one colour shows it, and where one half shows
// its exact colour for having held still, the other half follows it.
TEST(HalfBlock, SteadyColoursTakeNeighboursColours) {
    SteadyRun run{2, 2};
    const Rgb8 blue{10, 10, 200}, red{200, 10, 10}, green{10, 200, 10}, yellow{200, 200, 10};
    run.frame({blue, red, green, yellow});
    // Pixel 0 moves a little: still blue. Pixel 1 near blue: its left neighbour's. Pixel 3
    // near blue too: its left neighbour (green) is not, the upper half's is, so cell 1 is
    // a space in blue.
    EXPECT_EQ(run.frame({{12, 12, 198}, {16, 14, 196}, green, {14, 16, 203}}),
              (std::vector<Rgb8>{blue, blue, green, blue}));
    // Pixel 0 moves to near green while pixel 2 has held still for two frames: pixel 2
    // shows green exactly, and pixel 0, whose own colour would do, takes green too.
    EXPECT_EQ(run.frame({{14, 196, 14}, {16, 14, 196}, green, {14, 16, 203}}),
              (std::vector<Rgb8>{green, blue, green, blue}));
    // Once they have held still for two frames, the other pixels show their exact colours.
    EXPECT_EQ(run.frame({{14, 196, 14}, {16, 14, 196}, green, {14, 16, 203}}),
              (std::vector<Rgb8>{green, {16, 14, 196}, green, {14, 16, 203}}));
    EXPECT_EQ(run.frame({{14, 196, 14}, {16, 14, 196}, green, {14, 16, 203}}),
              (std::vector<Rgb8>{{14, 196, 14}, {16, 14, 196}, green, {14, 16, 203}}));
}

// 256 colours: each pixel shows an index's colour. The index stays while it is the nearest
// of a colour within 8 of the exact one, and becomes the exact colour's nearest where it
// is not, or once the exact colour held still for two frames.
TEST(HalfBlock, SteadyColoursIn256ColoursKeepTheIndexWhileItMay) {
    SteadyRun run{1, 2, ConsoleColours::Indexed256};
    const Rgb8 black{0, 0, 0};
    const auto upper = [&](int red) { return run.frame({{static_cast<std::uint8_t>(red), 0, 0}, black})[0]; };
    EXPECT_EQ(upper(128), (Rgb8{135, 0, 0}));  // index 88
    EXPECT_EQ(upper(112), (Rgb8{135, 0, 0}));  // nearest 95, but 120 within reach is nearest 135
    EXPECT_EQ(upper(104), (Rgb8{95, 0, 0}));   // 112 within reach is nearest 95 too
    EXPECT_EQ(upper(116), (Rgb8{95, 0, 0}));   // nearest 135, but 108 within reach is nearest 95
    EXPECT_EQ(upper(116), (Rgb8{95, 0, 0}));
    EXPECT_EQ(upper(116), (Rgb8{135, 0, 0}));  // still two frames: its nearest
    EXPECT_EQ(run.frame({{116, 0, 0}, {3, 2, 1}})[1], black);  // index 16 for both
}

}  // namespace
}  // namespace textdemo
