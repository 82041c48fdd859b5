// half_block: the picture of the half layout. Each frame cell shows the colour it shows in
// the window program seen from afar: its foreground and background mixed by how much of
// the cell its shade glyph inks. Where the terminal is small the picture is averaged down;
// each terminal cell then shows two pixels, one above the other, with the upper-half-block
// character (foreground: upper pixel, background: lower pixel), or a space where both
// halves get the same colour.
//
// Offers: GlyphInk, glyph_ink (the ink of the 16 shade glyphs, from the window font's
// texels), cell_mix (one cell's colour), frame_mixes (the 80 x 50 colours of a frame),
// Averaging and resample_picture (area average to a smaller size, redone only where the
// picture changed), STEADY_TOLERANCE, SteadyPicture and steady_colours (colour changes of an
// averaged picture too small to see, held back) and half_block_cells.
// Depends on: convert, text_palette, font_texture, terminal_colours, screen_writer
// (ScreenCell).
#pragma once

#include <cstdint>

#include "display/console/screen_writer.hpp"
#include "display/console/terminal_colours.hpp"
#include "frame/convert.hpp"
#include "resources/font_texture.hpp"

namespace textdemo {

// Alpha of all 64 texels of a glyph together: 0 (no ink) .. FULL_INK (every texel opaque).
constexpr std::uint32_t FULL_INK = 64 * 255;

struct GlyphInk {
    std::uint32_t ink[16] = {};
};

// Glyph g is the 8 x 8 texels at x = 8g .. 8g + 7, y = 0 .. 7 of the window font, whose
// alpha the window blends the foreground over the background with.
GlyphInk glyph_ink(const FontTexture& font);

// background + (foreground - background) x ink / FULL_INK per channel, rounded.
Rgb8 cell_mix(int attribute, std::uint32_t ink);

// The colour of every frame cell. A cell word (kind 2) mixes its attribute with the ink of
// the shade glyph its character stands for; other characters count as half inked.
void frame_mixes(const GlyphInk& glyphs, const std::uint32_t (&pixels)[FRAME_CELLS], Rgb8 (&out)[FRAME_CELLS]);

// The source pixels each target pixel covers along one axis, with their weights: source
// pixel i spans [i x size, (i + 1) x size), target pixel t spans [t x source_size, (t + 1) x
// source_size), and the weight is the overlap; a target's weights add up to source_size.
// All targets' weights together number fewer than size + source_size.
struct AxisWeights {
    int first[FRAME_WIDTH];  // a target's first source pixel
    int count[FRAME_WIDTH];
    int start[FRAME_WIDTH];  // where its weights begin in `weight`
    int weight[2 * FRAME_WIDTH];
};

// What resample_picture keeps between frames: the weights of the size it averages to, the
// last picture it was given, each of its rows summed across per target column, and the
// result.
struct Averaging {
    struct Sums {
        int red, green, blue;
    };
    int width = 0;  // 0: nothing averaged yet
    int height = 0;
    AxisWeights columns, rows;
    Rgb8 source[FRAME_CELLS];
    Sums across[FRAME_HEIGHT][FRAME_WIDTH];
    bool row_changed[FRAME_HEIGHT];  // target rows the last call changed
    Rgb8 picture[FRAME_CELLS];       // width x height, row-major
};

// Area average of the 80 x 50 picture to width x height (at most 80 x 50) pixels into
// averaging.picture: each source pixel weighs by how much of the target pixel it covers;
// rounded. Only rows of `picture` that differ from the last call's are summed again, and
// only the target rows they reach are averaged again.
void resample_picture(Averaging& averaging, const Rgb8 (&picture)[FRAME_CELLS], int width, int height);

// How far (per channel, of 255) a shown pixel may stay from its exact colour. In 256
// colours a pixel may show the nearest index of any colour that near its exact colour.
constexpr int STEADY_TOLERANCE = 8;

// Nearest indices 16..255 of RGB colours found so far, direct-mapped by colour.
struct NearestIndices {
    static constexpr int BITS = 12;
    std::uint32_t keys[1 << BITS] = {};  // the colour + 2^24 where filled
    std::uint8_t index[1 << BITS];
};

// What each pixel of an averaged picture was last shown as, with what decided it: the
// exact colour the frame before and for how many frames in a row (up to 2) it had not
// moved. Also the averaging room and the nearest indices found.
struct SteadyPicture {
    int width = 0;  // 0: nothing shown yet
    int height = 0;
    ConsoleColours mode = ConsoleColours::TrueColour;
    Rgb8 shown[FRAME_CELLS];
    Rgb8 witness[FRAME_CELLS];  // 256 colours: a colour within reach whose nearest index is shown
    Rgb8 exact_before[FRAME_CELLS];
    std::uint8_t still[FRAME_CELLS];
    bool row_settled[FRAME_HEIGHT / 2];  // every pixel of the pair of rows shows its settled colour
    NearestIndices nearest;
    Averaging averaging;
};

// Turns the exact colours of an averaged picture into those to show (steady.shown, in the
// colours of `mode`: in 256 colours each is the colour of an index 16..255). An averaged
// pixel mostly blends two frame cells, so its colour moves a little nearly every frame;
// sent each time, these changes nobody sees would cost most of the bytes. A pixel keeps
// the colour it was shown in while that stays within STEADY_TOLERANCE of its exact colour
// per channel (in 256 colours: while its index is the nearest of a colour that near).
// One that must change takes the colour of the pixel to its left or of the other half of
// its cell where that is near enough, so the terminal needs no new colour for it; else, in
// 24-bit colour, a fixed colour (index 16..255, a shorter code) that near, else its exact
// colour. A cell whose two halves may show one colour shows it, a space. Once the exact
// colour has held still for two frames the pixel shows it (in 256 and 16 colours, as
// nearest colour), so nothing stays off once the picture settles. A new size or mode
// shows every pixel exactly.
void steady_colours(SteadyPicture& steady, const Rgb8* exact, int width, int height, ConsoleColours mode);

// scale x width by scale x height / 2 terminal cells (row-major) from a width x height
// picture (scale x height even), each pixel `scale` columns wide and `scale` half rows
// tall, colours in `mode`; in 24-bit colour a colour that an index 16..255 shows exactly
// is sent as that index. Without UTF-8 the half block cannot be shown: each cell is a
// space in the average of its two halves.
void half_block_cells(const Rgb8* picture, int width, int height, int scale, ConsoleColours mode, bool utf8,
                      ScreenCell* out);

}  // namespace textdemo
