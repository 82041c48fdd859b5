// console_picture: the cells of the terminal region a layout shows for one frame.
//
// Offers: PictureStyle (colour mode, UTF-8 or ASCII, the glyphs' ink) and picture_cells.
// Depends on: console_layout, half_block, screen_writer (ScreenCell), terminal_colours,
// convert (console form).
#pragma once

#include <vector>

#include "display/console/console_layout.hpp"
#include "display/console/half_block.hpp"
#include "display/console/screen_writer.hpp"

namespace textdemo {

struct PictureStyle {
    ConsoleColours colours = ConsoleColours::Ansi16;  // never Auto
    bool utf8 = true;
    GlyphInk glyphs;
};

// Native: the console form of the conversion, colours in the style's mode. Half: the half
// block picture of the frame, averaged down to a smaller picture through `steady`, which
// carries what the last frames showed (one per terminal). TooSmall: the message in the
// terminal's default colours. Makes `out` layout.region.rows x layout.region.columns cells,
// row-major; it allocates only where the region grows past what it held before.
void picture_cells(const ScreenLayout& layout, const PictureStyle& style, SteadyPicture& steady,
                   const std::uint32_t (&pixels)[FRAME_CELLS], std::vector<ScreenCell>& out);

}  // namespace textdemo
