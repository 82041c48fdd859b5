#include "resources/font_texture.hpp"

namespace textdemo {

FontTexture font_texture(const Image& font) {
    FontTexture texture;
    texture.rgba.resize(FONT_TEXTURE_SIZE * FONT_TEXTURE_SIZE * 4);
    for (int n = 0; n < FONT_TEXTURE_SIZE * FONT_TEXTURE_SIZE; ++n) {
        const std::uint32_t word = image_word(font, n);
        std::uint8_t* texel = &texture.rgba[static_cast<std::size_t>(n) * 4];
        texel[0] = static_cast<std::uint8_t>(word);
        texel[1] = static_cast<std::uint8_t>(word >> 8);
        texel[2] = static_cast<std::uint8_t>(word >> 16);
        texel[3] = static_cast<std::uint8_t>(word);
    }
    return texture;
}

}  // namespace textdemo
