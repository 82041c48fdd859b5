// picture_lettering: words set in a TrueType font, as coverage canvases (0..1).
//
// Offers: Font (a loaded TrueType file), load_font, set_text (one line at a pixel height)
// and fit_text (the largest size whose ink fits a box), and stamp (places a canvas onto
// another, keeping the larger value).
// Depends on: picture_canvas, stb_truetype (compiled privately into picture_lettering.cpp).
#pragma once

#include <memory>
#include <string>

#include "tools/content/picture_canvas.hpp"

namespace textdemo::content {

struct FontData;
using Font = std::shared_ptr<const FontData>;

// nullptr (and one line on stdout) when the file cannot be read or is no font.
Font load_font(const std::string& path);

// The line of text at `pixel_height` (the font's ascent-to-descent height), cropped to
// its ink (columns only when keep_rows, so lines of different words share a baseline);
// letter spacing adds that many pixels between letters.
Canvas set_text(const Font& font, const std::string& text, float pixel_height, float letter_spacing = 0,
                bool keep_rows = false);

// The largest rendering whose ink is at most max_width x max_height pixels.
Canvas fit_text(const Font& font, const std::string& text, int max_width, int max_height, float letter_spacing = 0);

// dst(x + i, y + j) = max(dst, src(i, j)) where it lies inside dst.
void stamp(Canvas& dst, const Canvas& src, int x, int y);

}  // namespace textdemo::content
