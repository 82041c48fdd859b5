// convert: pixel words to character cells, the look of the whole show.
//
// Offers: rgb_to_hls (hue 0..65, lightness 0..66, saturation 0..66), AttributeTable
// (24 ramps x 10 steps of attribute bytes), ShadeChars (code page 437 codes of the 16
// shade glyphs), convert_word (one preset or colour word to attribute and glyph),
// convert_cells and convert_frame (the window program's cells) and convert_frame_console
// (the console program's character cells into a caller-owned array).
// Depends on: text_frame.
//
// Contract: exact integer arithmetic, every division truncating; effects write their words
// against these scales, so the thresholds (saturation formula above L 33, lightness
// compression above L 32, grey below S 16, hue bucket (H + 5) / 11) are fixed.
#pragma once

#include <cstdint>

#include "frame/text_frame.hpp"

namespace textdemo {

struct Hls {
    int hue;
    int lightness;
    int saturation;
};

Hls rgb_to_hls(int r, int g, int b);

constexpr int ATTRIBUTE_ROWS = 24;
constexpr int ATTRIBUTE_COLUMNS = 10;
extern const std::uint8_t AttributeTable[ATTRIBUTE_ROWS][ATTRIBUTE_COLUMNS];
extern const std::uint8_t ShadeChars[16];

// Kind byte of a word that names its console cell directly.
constexpr std::uint32_t CELL_WORD_KIND = 2;

// Attribute and glyph of a colour word (kind 0) or preset word (any kind but 2).
Cell convert_word(std::uint32_t word);

// Window form: cell i from word i; cell words (kind 2) leave cell i as it was.
void convert_cells(const std::uint32_t (&pixels)[FRAME_CELLS], Cell (&cells)[FRAME_CELLS]);
void convert_frame(TextFrame& frame);  // the frame's pixels into its cells

// One console character cell: code page 437 character and attribute byte.
struct ConsoleCell {
    std::uint8_t character;
    std::uint8_t attribute;
};

// Console form: 4000 cells in row-major order; cell words give character and attribute.
void convert_frame_console(const std::uint32_t (&pixels)[FRAME_CELLS], ConsoleCell (&out)[FRAME_CELLS]);

}  // namespace textdemo
