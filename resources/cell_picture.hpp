// cell_picture: the window program's picture of the cells at scale 1 (640 x 400), drawn in
// software the way the GL renderer draws it.
//
// Offers: draw_cell_picture (RGB bytes, row-major).
// Depends on: text_frame (Cell), text_palette, font_texture (the texels the renderer uploads).
#pragma once

#include <cstdint>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/font_texture.hpp"

namespace textdemo {

constexpr int PICTURE_WIDTH = FRAME_WIDTH * 8;
constexpr int PICTURE_HEIGHT = FRAME_HEIGHT * 8;
// Each cell: its background colour, then its glyph (8 x 8 texels at x = 8 x glyph, y = 0..7)
// in its foreground colour, modulated by the texel and blended by the texel's alpha over the
// 8-bit background, as a framebuffer of 8 bits per channel stores it.
void draw_cell_picture(const Cell (&cells)[FRAME_CELLS], const FontTexture& font, std::vector<std::uint8_t>& rgb);

}  // namespace textdemo
