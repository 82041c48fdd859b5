// sixel_image: a picture of palette indices as one sixel image, redrawing only what changed.
//
// Offers: IndexedPicture, append_sixel_image.
// Depends on: text_palette (the 16 colours).
//
// Contract: a pure function of its arguments, appending to `out`. The image opens with the
// raster attributes (square pixels, the picture's size) and the 16 colours of the palette as
// registers 0..15 (in percent, as sixel has them; VT340-like terminals give every image its
// own registers, so each image defines them). Then the picture in bands of six pixel rows,
// each band one pass a colour it holds (ascending index), every pass run-length coded
// ("!n" before a character repeated more than three times) and cut after its last inked
// column. The background is left transparent, so a band drawn equal to `previous` (same
// size; nullptr: none) is not drawn at all: unchanged bands cost one graphics newline each
// and those after the last changed band nothing. An image where nothing changed is empty.
// Indices are taken modulo 16.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo {

// width x height palette indices, row-major, row 0 at the top.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> index;
};

void append_sixel_image(const IndexedPicture& picture, const IndexedPicture* previous, std::string& out);

}  // namespace textdemo
