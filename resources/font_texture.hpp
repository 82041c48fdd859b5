// font_texture: the 256 x 256 RGBA texels of the window font, as the OpenGL renderer
// uploads them and the capture tool's software picture reads them.
//
// Offers: FONT_TEXTURE_SIZE, FontTexture, font_texture.
// Depends on: image (bounds-checked pixel reads).
#pragma once

#include <cstdint>
#include <vector>

#include "resources/image.hpp"

namespace textdemo {

constexpr int FONT_TEXTURE_SIZE = 256;

struct FontTexture {
    std::vector<std::uint8_t> rgba;  // 256 x 256 texels, 4 bytes each, row 0 first
};

// Texel n from pixel word n of the image: red = blue byte, green = green byte, blue = red
// byte, alpha = blue byte, so a grey glyph image gives opaque white glyphs on clear. Texels
// past the end of a smaller or failed image stay transparent.
FontTexture font_texture(const Image& font);

}  // namespace textdemo
