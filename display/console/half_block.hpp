// half_block: the picture of the half layout. Each frame cell shows the colour it shows in
// the window program seen from afar: its foreground and background mixed by how much of
// the cell its shade glyph inks. Where the terminal is small the picture is averaged down;
// each terminal cell then shows two pixels, one above the other, with the upper-half-block
// character (foreground: upper pixel, background: lower pixel), or a space where both
// halves get the same colour.
//
// Offers: GlyphInk, glyph_ink (the ink of the 16 shade glyphs, from the window font's
// texels), cell_mix (one cell's colour), frame_mixes (the 80 x 50 colours of a frame),
// resample_picture (area average to a smaller size), SteadyPicture and steady_colours
// (colour changes of an averaged picture too small to see, held back) and
// half_block_cells.
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

// Area average of the 80 x 50 picture to width x height (at most 80 x 50) pixels: each
// source pixel weighs by how much of the target pixel it covers; rounded.
void resample_picture(const Rgb8 (&picture)[FRAME_CELLS], int width, int height, Rgb8* out);

// How far (per channel, of 255) a shown pixel may stay from its exact colour.
constexpr int STEADY_TOLERANCE = 8;

// What each pixel of a picture was last shown as, and its exact colour the frame before.
struct SteadyPicture {
    int width = 0;  // 0: nothing shown yet
    int height = 0;
    Rgb8 shown[FRAME_CELLS];
    Rgb8 exact_before[FRAME_CELLS];
};

// Turns the exact colours of `picture` into those to show. An averaged pixel mostly blends
// two frame cells, so its colour moves a little nearly every frame; sent each time, these
// changes nobody sees would cost most of the bytes. A pixel keeps the colour it was shown
// in while every channel stays within STEADY_TOLERANCE of the exact one and the exact one
// still moves. One that must change takes the colour of the pixel to its left, or of the
// one above it in the same cell, where that is as near, so the terminal may need no colour
// change for it; else its exact colour. Once the exact colour holds still for a frame the
// pixel shows it, so nothing stays off once the picture settles. A new size shows every
// pixel exactly.
void steady_colours(SteadyPicture& steady, Rgb8* picture, int width, int height);

// scale x width by scale x height / 2 terminal cells (row-major) from a width x height
// picture (scale x height even), each pixel `scale` columns wide and `scale` half rows
// tall, colours in `mode`. Without UTF-8 the half block cannot be shown: each cell is a
// space in the average of its two halves.
void half_block_cells(const Rgb8* picture, int width, int height, int scale, ConsoleColours mode, bool utf8,
                      ScreenCell* out);

}  // namespace textdemo
