// cell_picture: software form of the two draws of the GL cell renderer at scale 1.
#include "resources/cell_picture.hpp"

#include <algorithm>
#include <cmath>

#include "frame/text_palette.hpp"

namespace textdemo {

namespace {

std::uint8_t to_byte(float value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 255.0f)));
}

}  // namespace

void draw_cell_picture(const Cell (&cells)[FRAME_CELLS], const FontTexture& font, std::vector<std::uint8_t>& rgb) {
    rgb.assign(static_cast<std::size_t>(PICTURE_WIDTH) * PICTURE_HEIGHT * 3, 0);
    for (int cell = 0; cell < FRAME_CELLS; ++cell) {
        const std::uint32_t attribute = cells[cell].attribute;
        const PaletteColour& bg = TextPalette[(attribute >> 4) & 15];
        const PaletteColour& fg = TextPalette[attribute & 15];
        const float background[3] = {bg.red, bg.green, bg.blue};
        const float foreground[3] = {fg.red, fg.green, fg.blue};
        const int glyph = static_cast<int>(cells[cell].glyph & 15);
        const int left = (cell % FRAME_WIDTH) * 8, top = (cell / FRAME_WIDTH) * 8;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const std::uint8_t* texel = &font.rgba[(static_cast<std::size_t>(y) * FONT_TEXTURE_SIZE + 8 * glyph + x) * 4];
                const float alpha = texel[3] / 255.0f;
                std::uint8_t* out = &rgb[(static_cast<std::size_t>(top + y) * PICTURE_WIDTH + left + x) * 3];
                for (int c = 0; c < 3; ++c) {
                    const float stored = static_cast<float>(to_byte(background[c] * 255.0f));
                    const float source = foreground[c] * texel[c];
                    out[c] = to_byte(source * alpha + stored * (1.0f - alpha));
                }
            }
        }
    }
}

}  // namespace textdemo
