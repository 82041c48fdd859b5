// image: decoded pictures as 0x00RRGGBB words, and bounds-checked reads of them.
//
// Offers: Image, load_image (PNG archive entry -> Image, with the 80 x 50 zero-filled
// fallback and its message when decoding fails) and load_images, image_word and grey_level (reads that
// yield 0 outside the picture, so an effect written for a large image never reads past a
// small fallback one).
// Depends on: archive (find_resource), failure.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "resources/failure.hpp"

namespace textdemo {

struct Image {
    std::int32_t count = 0;              // width x height
    std::vector<std::uint32_t> pixels;   // row-major 0x00RRGGBB words, row 0 at the top
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Width and height of the image used when a PNG cannot be decoded.
constexpr int FALLBACK_IMAGE_WIDTH = 80;
constexpr int FALLBACK_IMAGE_HEIGHT = 50;

// Fills image from the archive entry name; a missing entry is find_resource's failure.
// An undecodable entry prints "bitmap loading failed! NAME (REASON)" and gives 80 x 50 zeros.
Failure load_image(Image& image, const char* name);

// One image to load, and the archive entry it comes from.
struct ImageSource {
    Image& image;
    const char* name;
};

// load_image for each, in order, up to the first failure: the images an effect reads,
// loaded in one statement.
Failure load_images(std::initializer_list<ImageSource> sources);

// Pixel word n, or 0 when n lies outside the image.
inline std::uint32_t image_word(const Image& image, std::int64_t n) {
    return n >= 0 && n < static_cast<std::int64_t>(image.pixels.size()) ? image.pixels[static_cast<std::size_t>(n)] : 0;
}

// Grey level (low byte, blue) of pixel n, or 0 when n lies outside the image.
inline std::uint32_t grey_level(const Image& image, std::int64_t n) {
    return image_word(image, n) & 0xFF;
}

}  // namespace textdemo
