// The page's picture laid out from the looks drawn once: the window picture's bytes, cell for
// cell, on a font with clear, opaque and half-covered texels.
#include "resources/cell_looks.hpp"

#include <gtest/gtest.h>

#include <cstddef>

#include "resources/cell_picture.hpp"

namespace textdemo {
namespace {

// Glyph g: texel (x, y) opaque white where x < g / 2, half covered at x == 7 and y == 7 (a
// grey of 128), clear elsewhere.
FontTexture test_font() {
    FontTexture font;
    font.rgba.assign(static_cast<std::size_t>(FONT_TEXTURE_SIZE) * FONT_TEXTURE_SIZE * 4, 0);
    for (int glyph = 0; glyph < 16; ++glyph)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int value = x < glyph / 2 ? 255 : (x == 7 && y == 7) ? 128 : 0;
                std::uint8_t* texel = &font.rgba[(static_cast<std::size_t>(y) * FONT_TEXTURE_SIZE + 8 * glyph + x) * 4];
                for (int c = 0; c < 4; ++c) texel[c] = static_cast<std::uint8_t>(value);
            }
    return font;
}

const std::uint8_t* pixel(const std::vector<std::uint8_t>& rgba, int x, int y) {
    return &rgba[(static_cast<std::size_t>(y) * PICTURE_WIDTH + x) * 4];
}

TEST(CellLooks, EveryLookAnywhereGivesTheWindowPicturesBytes) {
    const FontTexture font = test_font();
    const CellLooks looks = draw_every_look(font);
    Cell cells[FRAME_CELLS];
    std::vector<std::uint8_t> rgb, rgba;
    // Three frames that put every look in some cell, shifted so looks meet other neighbours;
    // bits above the attribute byte and the glyph's four are ignored by both.
    for (std::uint32_t shift : {0u, 1237u, 2893u}) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            const std::uint32_t look = (static_cast<std::uint32_t>(i) * 7 + shift) % 4096;
            cells[i] = {(look >> 4) | (i % 3 == 0 ? 0x100u : 0u), (look & 15) | (i % 5 == 0 ? 0x30u : 0u)};
        }
        draw_cell_picture(cells, font, rgb);
        lay_out_cell_picture(cells, looks, rgba);
        ASSERT_EQ(rgba.size(), static_cast<std::size_t>(PICTURE_WIDTH) * PICTURE_HEIGHT * 4);
        std::size_t differing = 0;
        for (std::size_t p = 0; p < rgb.size() / 3; ++p)
            differing += rgba[p * 4] != rgb[p * 3] || rgba[p * 4 + 1] != rgb[p * 3 + 1] ||
                         rgba[p * 4 + 2] != rgb[p * 3 + 2] || rgba[p * 4 + 3] != 255;
        EXPECT_EQ(differing, 0u) << "shift " << shift;
    }
}

TEST(CellLooks, ACellIsItsBackgroundWithItsGlyphInItsForeground) {
    const CellLooks looks = draw_every_look(test_font());
    Cell cells[FRAME_CELLS] = {};
    cells[FRAME_WIDTH + 1] = {0x1E, 6};  // yellow on dark blue, glyph 6: three opaque columns
    std::vector<std::uint8_t> rgba;
    lay_out_cell_picture(cells, looks, rgba);
    const auto expect_rgba = [&](int x, int y, int r, int g, int b) {
        const std::uint8_t* p = pixel(rgba, x, y);
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{r, g, b, 255})) << x << ", " << y;
    };
    expect_rgba(8, 8, 255, 255, 0);     // opaque texel: the foreground
    expect_rgba(10, 15, 255, 255, 0);
    expect_rgba(11, 8, 0, 0, 128);      // clear texel: the background (0.5 is 128)
    // Half covered: the texel's 128 in the foreground times its alpha 128/255 (red, green:
    // 64.25) over the background's 128 times 127/255 (blue: 63.75).
    expect_rgba(15, 15, 64, 64, 64);
    expect_rgba(7, 8, 0, 0, 0);         // the black cell beside it
    expect_rgba(16, 8, 0, 0, 0);
}

}  // namespace
}  // namespace textdemo
