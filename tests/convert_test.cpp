#include <gtest/gtest.h>

#include "frame/convert.hpp"

using namespace textdemo;

namespace {

struct Expected {
    std::uint32_t word;
    int hue, lightness, saturation;  // rgb_to_hls result for colour words
    int attribute, glyph, console_code;
};

// Reference rows worked out by hand from the conversion rules.
const Expected kReference[] = {
    {0x00000000, 44, 0, 0, 0x08, 0, 32},   {0x00FFFFFF, 44, 66, 0, 0xF7, 15, 32},
    {0x00FF0000, 0, 33, 66, 0xC4, 14, 250}, {0x00FFFF00, 11, 33, 66, 0xE6, 14, 250},
    {0x0000FF00, 22, 33, 66, 0xA2, 14, 250}, {0x000000FF, 44, 33, 66, 0x91, 14, 250},
    {0x00808080, 44, 33, 0, 0x78, 14, 250}, {0x00780000, 0, 16, 66, 0x4C, 0, 32},
};

TEST(RgbToHls, ReferenceColours) {
    for (const auto& e : kReference) {
        const Hls hls = rgb_to_hls((e.word >> 16) & 255, (e.word >> 8) & 255, e.word & 255);
        EXPECT_EQ(hls.hue, e.hue) << std::hex << e.word;
        EXPECT_EQ(hls.lightness, e.lightness) << std::hex << e.word;
        EXPECT_EQ(hls.saturation, e.saturation) << std::hex << e.word;
    }
}

TEST(RgbToHls, HueCircleAndSaturationSwitch) {
    EXPECT_EQ(rgb_to_hls(0, 255, 255).hue, 33);   // cyan
    EXPECT_EQ(rgb_to_hls(255, 0, 255).hue, 55);   // magenta
    EXPECT_EQ(rgb_to_hls(255, 0, 10).hue, 0);     // bc = gc = 11
    // r and g both largest: the red branch applies, hue = bc - gc = 11 - 0.
    EXPECT_EQ(rgb_to_hls(200, 200, 0).hue, 11);
    // Slightly bluish red wraps below zero: bc - gc = 0 - 1 -> 65.
    EXPECT_EQ(rgb_to_hls(255, 0, 20).hue, 65);
    // L 33 uses the dark formula, L 34 the light one.
    EXPECT_EQ(rgb_to_hls(255, 0, 0).saturation, 66);
    const Hls light = rgb_to_hls(255, 10, 10);  // L = (66 * 265 + 255) / 510 = 34
    EXPECT_EQ(light.lightness, 34);
    EXPECT_EQ(light.saturation, (66 * 245 + (510 - 265) / 2) / (510 - 265));
}

TEST(ConvertWord, ReferenceWords) {
    for (const auto& e : kReference) {
        const Cell c = convert_word(e.word);
        EXPECT_EQ(c.attribute, static_cast<std::uint32_t>(e.attribute)) << std::hex << e.word;
        EXPECT_EQ(c.glyph, static_cast<std::uint32_t>(e.glyph)) << std::hex << e.word;
    }
    EXPECT_EQ(convert_word(0x01E63F32).attribute, 0xEAu);
    EXPECT_EQ(convert_word(0x01E63F32).glyph, 15u);
    EXPECT_EQ(convert_word(0x01DC0064).attribute, 0x01u);
    EXPECT_EQ(convert_word(0x01DC0064).glyph, 0u);
}

TEST(ConvertWord, ThresholdsAndClamps) {
    // Colour word of lightness 32 stays in column 4; lightness 33 is compressed to 30 (column 3).
    // 0x00404080: M = 128, m = 64 -> L = (66 * 192 + 255) / 510 = 25; pick greys for exact L.
    // Grey 0x7B: L = (66 * 246 + 255) / 510 = 32 -> column 4 of the grey row, glyph 0.
    EXPECT_EQ(convert_word(0x007B7B7B).attribute, AttributeTable[6][4]);
    EXPECT_EQ(convert_word(0x007B7B7B).glyph, 0u);
    // Grey 0x7E: L = 33 -> 30, column 3, glyph 14.
    EXPECT_EQ(convert_word(0x007E7E7E).attribute, AttributeTable[6][3]);
    EXPECT_EQ(convert_word(0x007E7E7E).glyph, 14u);
    // Preset hue bytes 230..255 clamp to row 23; lightness 72+ to column 9.
    EXPECT_EQ(convert_word(0x01FF4864).attribute, AttributeTable[23][9]);
    EXPECT_EQ(convert_word(0x01E6FF64).attribute, AttributeTable[23][9]);
    // Saturation below 16 selects grey whatever the hue; 16 does not.
    EXPECT_EQ(convert_word(0x01E6200F).attribute, AttributeTable[6][4]);
    EXPECT_EQ(convert_word(0x01E62010).attribute, AttributeTable[23][4]);
    // Kinds other than 0 and 2 are presets too.
    EXPECT_EQ(convert_word(0xFF002064).attribute, AttributeTable[0][4]);
}

TEST(ConvertWord, HueBuckets) {
    // Saturated colours at L 33 -> column 3 after compression; only the row changes.
    auto row_of = [](int r, int g, int b) {
        const std::uint32_t a = convert_word(static_cast<std::uint32_t>(r << 16 | g << 8 | b)).attribute;
        for (int row = 0; row < 6; ++row)
            if (AttributeTable[row][3] == a) return row;
        return -1;
    };
    EXPECT_EQ(row_of(255, 0, 0), 0);
    EXPECT_EQ(row_of(255, 0, 70), 0);    // hue 63 wraps to red
    EXPECT_EQ(row_of(255, 255, 0), 1);
    EXPECT_EQ(row_of(0, 255, 255), 3);
    EXPECT_EQ(row_of(255, 0, 255), 5);
}

TEST(ConvertFrame, WindowAndConsoleForms) {
    TextFrame& frame = text_frame();
    for (auto& w : frame.pixels) w = DEFAULT_FILL_WORD;
    frame.pixels[1] = 0x02001F41;  // cell word: attribute 0x1F, character 'A'
    frame.cells[1] = {0x33, 7};
    convert_frame(frame);
    EXPECT_EQ(frame.cells[0].attribute, 0x4Cu);
    EXPECT_EQ(frame.cells[0].glyph, 0u);
    EXPECT_EQ(frame.cells[1].attribute, 0x33u);  // kept from before
    EXPECT_EQ(frame.cells[1].glyph, 7u);
    EXPECT_EQ(frame.cells[3999].attribute, 0x4Cu);

    static ConsoleCell out[FRAME_CELLS];
    convert_frame_console(frame.pixels, out);
    EXPECT_EQ(out[0].character, 32);
    EXPECT_EQ(out[0].attribute, 0x4C);
    EXPECT_EQ(out[1].character, 'A');
    EXPECT_EQ(out[1].attribute, 0x1F);
    frame.pixels[2] = 0x00FF0000;
    convert_frame_console(frame.pixels, out);
    EXPECT_EQ(out[2].character, 250);
    EXPECT_EQ(out[2].attribute, 0xC4);
    release_text_frame();
}

TEST(AttributeTable, EvenAndOddColumnsSwapColours) {
    for (int row = 0; row < ATTRIBUTE_ROWS; ++row) {
        for (int col = 0; col < ATTRIBUTE_COLUMNS; col += 2) {
            const int a = AttributeTable[row][col], b = AttributeTable[row][col + 1];
            EXPECT_EQ(a >> 4, b & 15) << row << "," << col;
            EXPECT_EQ(a & 15, b >> 4) << row << "," << col;
        }
    }
}

}  // namespace
