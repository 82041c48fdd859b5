#include "display/console/console_picture.hpp"

#include <iterator>

namespace textdemo {

namespace {

void native_cells(ConsoleColours mode, const std::uint32_t (&pixels)[FRAME_CELLS], ScreenCell* out) {
    TerminalColour colours[16];
    for (int index = 0; index < 16; ++index) colours[index] = palette_colour(mode, index);
    ConsoleCell console[FRAME_CELLS];
    convert_frame_console(pixels, console);
    for (int i = 0; i < FRAME_CELLS; ++i)
        out[i] = {colours[console[i].attribute & 15], colours[console[i].attribute >> 4], console[i].character};
}

void half_cells(const ScreenLayout& layout, const PictureStyle& style, SteadyPicture& steady,
                const std::uint32_t (&pixels)[FRAME_CELLS], ScreenCell* out) {
    Rgb8 mixes[FRAME_CELLS];
    frame_mixes(style.glyphs, pixels, mixes);
    const int width = layout.picture_width, height = layout.picture_height;
    resample_picture(steady.averaging, mixes, width, height);
    const Rgb8* picture = steady.averaging.picture;
    if (width * height < FRAME_CELLS) {
        steady_colours(steady, picture, width, height, style.colours);
        picture = steady.shown;
    } else {
        steady.width = 0;
    }
    half_block_cells(picture, width, height, layout.scale, style.colours, style.utf8, out);
}

void message_cells(const ScreenLayout& layout, ScreenCell* out) {
    const std::string_view text = too_small_message(layout.region.columns);
    for (int i = 0; i < layout.region.columns; ++i)
        out[i] = {DEFAULT_COLOUR, DEFAULT_COLOUR, static_cast<std::uint8_t>(i < std::ssize(text) ? text[i] : ' ')};
}

}  // namespace

void picture_cells(const ScreenLayout& layout, const PictureStyle& style, SteadyPicture& steady,
                   const std::uint32_t (&pixels)[FRAME_CELLS], std::vector<ScreenCell>& out) {
    out.resize(static_cast<std::size_t>(layout.region.rows) * static_cast<std::size_t>(layout.region.columns));
    if (layout.kind != LayoutKind::Half) steady.width = 0;
    switch (layout.kind) {
        case LayoutKind::Native: native_cells(style.colours, pixels, out.data()); break;
        case LayoutKind::Half: half_cells(layout, style, steady, pixels, out.data()); break;
        case LayoutKind::TooSmall: message_cells(layout, out.data()); break;
    }
}

}  // namespace textdemo
