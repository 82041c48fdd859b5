// text_palette: the RGB colours of the 16 text-mode colour indices, as the window program
// draws them.
//
// Offers: PaletteColour, TextPalette (floats 0..1, indexed like the attribute nibbles:
// black, dark blue, dark green, dark cyan, dark red, dark magenta, dark yellow, light
// grey, dark grey, blue, green, cyan, red, magenta, yellow, white), Rgb8, TextPaletteRgb8
// and palette_rgb8 (the same colours in bytes, as an 8-bit framebuffer holds them).
// Depends on: nothing.
#pragma once

#include <array>
#include <cstdint>

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

struct Rgb8 {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend constexpr bool operator==(Rgb8, Rgb8) = default;
};

// round(255 x component): 0.5 gives 128, 0.75 gives 191.
inline constexpr std::array<Rgb8, 16> TextPaletteRgb8 = [] {
    std::array<Rgb8, 16> bytes{};
    const auto byte = [](float v) { return static_cast<std::uint8_t>(v * 255.0f + 0.5f); };
    for (int i = 0; i < 16; ++i) bytes[i] = {byte(TextPalette[i].red), byte(TextPalette[i].green), byte(TextPalette[i].blue)};
    return bytes;
}();

constexpr Rgb8 palette_rgb8(int index) { return TextPaletteRgb8[index & 15]; }

}  // namespace textdemo
