// pixel_layout: the window program's picture (640 x 400) in a terminal that shows pixels,
// enlarged by a whole factor, frame by frame.
//
// Offers: PixelProtocol, PixelLayout, choose_pixel_layout, enlarge_picture, PixelScreen,
// write_pixel_frame, forget_pixel_picture and remove_pixel_picture.
// Depends on: console_settings, console_layout (CellSize, ScreenRegion), screen_writer (the
// clear), kitty_image, sixel_image, terminal_colours (nearest_palette_index), convert (the
// window's cells), cell_looks, cell_picture and font_texture (the picture the window
// program shows, laid out from every look a cell can have, drawn once by its routine).
//
// The picture is enlarged by the largest whole factor at which it fits the terminal's
// pixels (its cells times the cell size) and centred. kitty places it to the pixel, replaces
// it under one image id every frame and removes it by that id; sixel starts it at a cell's
// corner, keeps the terminal's last row free (a sixel image reaching it would scroll the
// screen) and draws only the bands of six rows that changed since the frame before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/console/console_layout.hpp"
#include "display/console/console_settings.hpp"
#include "display/console/screen_writer.hpp"
#include "display/console/sixel_image.hpp"
#include "resources/cell_looks.hpp"
#include "resources/font_texture.hpp"

namespace textdemo {

enum class PixelProtocol {
    None,   // the terminal shows text only, or the picture does not fit
    Kitty,  // the kitty graphics protocol
    Sixel,
};

struct PixelLayout {
    PixelProtocol protocol = PixelProtocol::None;
    int scale = 0;        // the picture shows 640 scale x 400 scale pixels
    ScreenRegion region;  // the cells it covers; it starts in the top-left one
    int x_offset = 0;     // kitty: pixels from that cell's top-left corner
    int y_offset = 0;
    friend bool operator==(const PixelLayout&, const PixelLayout&) = default;
};

// The image id the kitty graphics protocol shows the picture under.
constexpr int KITTY_PICTURE_ID = 1;

// kitty where it answered and the layout asked is auto or pixels; sixel where it is listed
// and pixels were asked for (sixel terminals differ much in speed); None where neither,
// the cell size is unknown or not even the picture unenlarged fits.
PixelLayout choose_pixel_layout(ConsoleLayout asked, bool kitty, bool sixel, int terminal_rows, int terminal_columns,
                                CellSize cell);

// Each pixel of `picture` (width x height pixels of `bytes_per_pixel` bytes) becomes
// scale x scale pixels of `out`.
void enlarge_picture(const std::vector<std::uint8_t>& picture, int width, int height, int bytes_per_pixel, int scale,
                     std::vector<std::uint8_t>& out);

// What the terminal shows of the picture, and the frame's working pictures.
struct PixelScreen {
    PixelLayout shown;         // protocol None: no picture on screen
    bool stale = false;        // the terminal may no longer show it as drawn
    Cell cells[FRAME_CELLS]{};  // the window's cells; a cell word leaves its cell as it was
    CellLooks looks;                     // drawn when the first picture is
    std::vector<std::uint8_t> rgba, rgb;  // 640 x 400
    std::vector<std::uint8_t> enlarged;  // kitty: RGB; sixel: palette indices
    IndexedPicture indices, picture, previous;  // sixel: 640 x 400, enlarged, last drawn
};

// Appends what shows the frame's picture in `layout`, between the synchronized-output
// marks: a new layout (or a forgotten picture) first removes a kitty picture shown and
// clears the terminal as `text` clears it, margins in its colour, and leaves `text` to
// repaint when a text layout follows. kitty: the whole picture; sixel: the bands that
// changed.
void write_pixel_frame(PixelScreen& screen, const PixelLayout& layout, const std::uint32_t (&pixels)[FRAME_CELLS],
                       const FontTexture& font, ScreenState& text, std::string& out);

// The terminal may no longer show the picture as drawn (given back and taken again,
// garbled, a write cut short): the next frame draws it all.
void forget_pixel_picture(PixelScreen& screen);

// For a text layout next: appends what removes a kitty picture shown; nothing is shown after.
void remove_pixel_picture(PixelScreen& screen, std::string& out);

}  // namespace textdemo
