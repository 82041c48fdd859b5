// cell_looks: the window picture laid out from every look a cell can have, each drawn once.
//
// Offers: CellLooks, draw_every_look and lay_out_cell_picture (RGBA bytes, row-major, as a
// canvas takes them).
// Depends on: text_frame (Cell), font_texture, cell_picture (which draws the looks).
//
// A look is an attribute byte and a glyph: 256 x 16 blocks of 8 x 8 pixels, drawn at start
// by draw_cell_picture itself, so copying them gives its bytes (alpha 255) at the cost of a
// copy per cell: what a page can afford every frame.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/font_texture.hpp"

namespace textdemo {

struct CellLooks {
    std::vector<std::uint8_t> blocks;  // 8 x 8 RGBA pixels of look (attribute << 4 | glyph)
};

CellLooks draw_every_look(const FontTexture& font);

// The 640 x 400 picture of the cells: draw_cell_picture's, as RGBA.
void lay_out_cell_picture(const Cell (&cells)[FRAME_CELLS], const CellLooks& looks, std::vector<std::uint8_t>& rgba);

}  // namespace textdemo
