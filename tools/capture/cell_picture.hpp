// cell_picture: the window program's picture of the cells at scale 1 (640 x 400), drawn in
// software the way the GL renderer draws it.
//
// Offers: FontTexture (the 256 x 256 RGBA texels built from "textmodechars.png" exactly as
// the renderer uploads them), font_texture, draw_cell_picture (RGB bytes, row-major).
// Depends on: text_frame (Cell), text_palette, image.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/image.hpp"

namespace textdemo::capture {

constexpr int PICTURE_WIDTH = FRAME_WIDTH * 8;
constexpr int PICTURE_HEIGHT = FRAME_HEIGHT * 8;
constexpr int FONT_TEXTURE_SIZE = 256;

struct FontTexture {
    std::vector<std::uint8_t> rgba;  // 256 x 256 texels, 4 bytes each
};

// Texel n from pixel word n of the image (0 past its end): red = blue byte, green = green
// byte, blue = red byte, alpha = blue byte.
FontTexture font_texture(const Image& font);

// Each cell: its background colour, then its glyph (8 x 8 texels at x = 8 x glyph, y = 0..7)
// in its foreground colour, modulated by the texel and blended by the texel's alpha over the
// 8-bit background, as a framebuffer of 8 bits per channel stores it.
void draw_cell_picture(const Cell (&cells)[FRAME_CELLS], const FontTexture& font, std::vector<std::uint8_t>& rgb);

}  // namespace textdemo::capture
