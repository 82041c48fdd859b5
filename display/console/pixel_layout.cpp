#include "display/console/pixel_layout.hpp"

#include <algorithm>
#include <cstring>

#include "display/console/kitty_image.hpp"
#include "display/console/terminal_colours.hpp"
#include "frame/convert.hpp"
#include "resources/cell_looks.hpp"
#include "resources/cell_picture.hpp"

namespace textdemo {

namespace {

constexpr std::string_view BEGIN_FRAME = "\x1b[?2026h";
constexpr std::string_view END_FRAME = "\x1b[?2026l";

void move_to(const ScreenRegion& region, std::string& out) {
    out += "\x1b[" + std::to_string(region.top + 1) + ";" + std::to_string(region.left + 1) + "H";
}

// The palette index of each pixel: the colour's own, or the nearest where a glyph image
// with partial ink mixed two.
void palette_indices(const std::vector<std::uint8_t>& rgba, IndexedPicture& out) {
    out.width = PICTURE_WIDTH;
    out.height = PICTURE_HEIGHT;
    out.index.resize(rgba.size() / 4);
    Rgb8 last{0, 0, 0};
    std::uint8_t last_index = 0;
    for (std::size_t i = 0; i < out.index.size(); ++i) {
        const Rgb8 colour{rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]};
        if (colour != last) {
            last = colour;
            last_index = static_cast<std::uint8_t>(nearest_palette_index(colour));
        }
        out.index[i] = last_index;
    }
}

void write_kitty(PixelScreen& screen, const PixelLayout& layout, std::string& out) {
    screen.rgb.resize(screen.rgba.size() / 4 * 3);
    for (std::size_t i = 0, j = 0; i < screen.rgba.size(); i += 4, j += 3) {
        screen.rgb[j] = screen.rgba[i];
        screen.rgb[j + 1] = screen.rgba[i + 1];
        screen.rgb[j + 2] = screen.rgba[i + 2];
    }
    if (layout.scale > 1) enlarge_picture(screen.rgb, PICTURE_WIDTH, PICTURE_HEIGHT, 3, layout.scale, screen.enlarged);
    const KittyPlacement placement{KITTY_PICTURE_ID, PICTURE_WIDTH * layout.scale, PICTURE_HEIGHT * layout.scale,
                                   layout.x_offset, layout.y_offset};
    move_to(layout.region, out);
    append_kitty_image(compress_picture(layout.scale > 1 ? screen.enlarged : screen.rgb), placement, out);
}

void write_sixel(PixelScreen& screen, const PixelLayout& layout, bool new_layout, std::string& out) {
    palette_indices(screen.rgba, screen.indices);
    enlarge_picture(screen.indices.index, PICTURE_WIDTH, PICTURE_HEIGHT, 1, layout.scale, screen.picture.index);
    screen.picture.width = PICTURE_WIDTH * layout.scale;
    screen.picture.height = PICTURE_HEIGHT * layout.scale;
    std::string image;
    append_sixel_image(screen.picture, new_layout ? nullptr : &screen.previous, image);
    std::swap(screen.picture, screen.previous);
    if (image.empty()) return;
    move_to(layout.region, out);
    out += image;
}

}  // namespace

PixelLayout choose_pixel_layout(ConsoleLayout asked, bool kitty, bool sixel, int terminal_rows, int terminal_columns,
                                CellSize cell) {
    PixelLayout layout;
    if (asked != ConsoleLayout::Auto && asked != ConsoleLayout::Pixels) return layout;
    const PixelProtocol protocol = kitty                                      ? PixelProtocol::Kitty
                                   : sixel && asked == ConsoleLayout::Pixels ? PixelProtocol::Sixel
                                                                              : PixelProtocol::None;
    if (protocol == PixelProtocol::None || cell.width <= 0 || cell.height <= 0) return layout;
    const int usable_rows = protocol == PixelProtocol::Sixel ? terminal_rows - 1 : terminal_rows;
    const long width = static_cast<long>(terminal_columns) * cell.width;
    const long height = static_cast<long>(usable_rows) * cell.height;
    const long scale = std::min(width / PICTURE_WIDTH, height / PICTURE_HEIGHT);
    if (scale < 1) return layout;
    const long picture_width = PICTURE_WIDTH * scale, picture_height = PICTURE_HEIGHT * scale;
    const long left = (width - picture_width) / 2, top = (height - picture_height) / 2;
    layout.protocol = protocol;
    layout.scale = static_cast<int>(scale);
    if (protocol == PixelProtocol::Kitty) {
        layout.x_offset = static_cast<int>(left % cell.width);
        layout.y_offset = static_cast<int>(top % cell.height);
    }
    layout.region = {static_cast<int>(top / cell.height), static_cast<int>(left / cell.width),
                     static_cast<int>((layout.y_offset + picture_height + cell.height - 1) / cell.height),
                     static_cast<int>((layout.x_offset + picture_width + cell.width - 1) / cell.width)};
    return layout;
}

void enlarge_picture(const std::vector<std::uint8_t>& picture, int width, int height, int bytes_per_pixel, int scale,
                     std::vector<std::uint8_t>& out) {
    const std::size_t row_bytes = static_cast<std::size_t>(width) * bytes_per_pixel * scale;
    out.resize(row_bytes * height * scale);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &out[row_bytes * y * scale];
        const std::uint8_t* from = &picture[static_cast<std::size_t>(y) * width * bytes_per_pixel];
        for (int x = 0; x < width; ++x, from += bytes_per_pixel)
            for (int copy = 0; copy < scale; ++copy, row += bytes_per_pixel)
                for (int byte = 0; byte < bytes_per_pixel; ++byte) row[byte] = from[byte];
        for (int copy = 1; copy < scale; ++copy) std::memcpy(&out[row_bytes * (y * scale + copy)], &out[row_bytes * y * scale], row_bytes);
    }
}

void write_pixel_frame(PixelScreen& screen, const PixelLayout& layout, const std::uint32_t (&pixels)[FRAME_CELLS],
                       const FontTexture& font, ScreenState& text, std::string& out) {
    const bool new_layout = screen.stale || !(layout == screen.shown);
    out += BEGIN_FRAME;
    if (new_layout) {
        remove_pixel_picture(screen, out);
        clear_screen(text, out);
        invalidate_screen(text);
    }
    convert_cells(pixels, screen.cells);
    if (screen.looks.blocks.empty()) screen.looks = draw_every_look(font);
    lay_out_cell_picture(screen.cells, screen.looks, screen.rgba);
    if (layout.protocol == PixelProtocol::Kitty) write_kitty(screen, layout, out);
    else write_sixel(screen, layout, new_layout, out);
    out += END_FRAME;
    screen.shown = layout;
}

void forget_pixel_picture(PixelScreen& screen) { screen.stale = true; }

void remove_pixel_picture(PixelScreen& screen, std::string& out) {
    if (screen.shown.protocol == PixelProtocol::Kitty) append_kitty_delete(KITTY_PICTURE_ID, out);
    screen.shown = PixelLayout{};
    screen.stale = false;
}

}  // namespace textdemo
