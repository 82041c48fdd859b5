// text_palette: the window program's RGB colours of the 16 text-mode colour indices.
//
// Offers: PaletteColour, TextPalette (floats 0..1, indexed like the attribute nibbles:
// black, dark blue, dark green, dark cyan, dark red, dark magenta, dark yellow, light
// grey, dark grey, blue, green, cyan, red, magenta, yellow, white).
// Depends on: nothing.
#pragma once

namespace textdemo {

struct PaletteColour {
    float red;
    float green;
    float blue;
};

inline constexpr PaletteColour TextPalette[16] = {
    {0.0f, 0.0f, 0.0f},   {0.0f, 0.0f, 0.5f},   {0.0f, 0.5f, 0.0f},    {0.0f, 0.5f, 0.5f},
    {0.5f, 0.0f, 0.0f},   {0.5f, 0.0f, 0.5f},   {0.5f, 0.5f, 0.0f},    {0.75f, 0.75f, 0.75f},
    {0.5f, 0.5f, 0.5f},   {0.0f, 0.0f, 1.0f},   {0.0f, 1.0f, 0.0f},    {0.0f, 1.0f, 1.0f},
    {1.0f, 0.0f, 0.0f},   {1.0f, 0.0f, 1.0f},   {1.0f, 1.0f, 0.0f},    {1.0f, 1.0f, 1.0f},
};

}  // namespace textdemo
