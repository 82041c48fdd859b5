// picture_canvas: the drawing surface of the picture generator.
//
// Offers: Canvas (a width x height grid of float values, usually grey levels 0..255 or
// coverages 0..1), look-ups that wrap or clamp at the edges, box blur, dilation, a
// deterministic tiling value noise, conversion to 0x00RRGGBB words and PNG writing.
// Depends on: stb_image_write (compiled privately into picture_canvas.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::content {

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    Canvas() = default;
    Canvas(int w, int h, float fill = 0.0f);

    float& at(int x, int y) { return values[static_cast<std::size_t>(y) * width + x]; }
    float at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
    // Outside the canvas: the nearest edge value.
    float clamped(int x, int y) const;
    // Outside the canvas: the value of the canvas repeated in both directions.
    float wrapped(int x, int y) const;
};

// Mean over a (2r+1) square, applied `passes` times; wrap = the picture tiles.
Canvas blurred(const Canvas& c, int radius, int passes, bool wrap);
// Resampled to w x h (bilinear).
Canvas stretched(const Canvas& c, int w, int h);
// Largest value within a disc of the given radius.
Canvas dilated(const Canvas& c, int radius);

// Smooth value noise in 0..1 on a lattice of `cell` pixels, repeating every `period`
// lattice cells (period 0: no repetition). Same seed and arguments, same value.
float value_noise(float x, float y, float cell, int period, std::uint32_t seed);
// Sum of `octaves` value noises, each at half the cell size and half the weight; 0..1.
float fractal_noise(float x, float y, float cell, int period, int octaves, std::uint32_t seed);
// Deterministic pseudo-random number in 0..1 from a seed and an index.
float hash_unit(std::uint32_t seed, std::uint32_t index);

// Grey levels rounded and clamped to 0..255, as 0x00vvvvvv words.
std::vector<std::uint32_t> grey_words(const Canvas& c);

// Writes a 3-component 8-bit PNG; prints one line and returns false on failure.
bool write_png(const std::string& path, int width, int height, const std::vector<std::uint32_t>& words);
bool write_grey_png(const std::string& path, const Canvas& c);

}  // namespace textdemo::content
