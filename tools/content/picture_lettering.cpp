// picture_lettering: text rendering through stb_truetype.
// Depends on: picture_canvas, stb_truetype (implementation kept private to this file).
#include "tools/content/picture_lettering.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

namespace textdemo::content {

struct FontData {
    std::vector<unsigned char> bytes;
    stbtt_fontinfo info{};
};

Font load_font(const std::string& path) {
    auto font = std::make_shared<FontData>();
    std::ifstream in(path, std::ios::binary);
    font->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) font->bytes.clear();
    if (font->bytes.empty() || !stbtt_InitFont(&font->info, font->bytes.data(), stbtt_GetFontOffsetForIndex(font->bytes.data(), 0))) {
        std::printf("unable to load font %s\n", path.c_str());
        return nullptr;
    }
    return font;
}

Canvas set_text(const Font& font, const std::string& text, float pixel_height, float letter_spacing, bool keep_rows) {
    const stbtt_fontinfo& info = font->info;
    const float scale = stbtt_ScaleForPixelHeight(&info, pixel_height);
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    const int baseline = static_cast<int>(std::ceil(static_cast<float>(ascent) * scale)) + 1;
    const int height = baseline + static_cast<int>(std::ceil(static_cast<float>(-descent) * scale)) + 1;

    // First pass measures the pen travel, second draws; glyphs are stamped at sub-pixel x.
    float pen = 2;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int advance, lsb;
        stbtt_GetCodepointHMetrics(&info, static_cast<unsigned char>(text[i]), &advance, &lsb);
        pen += static_cast<float>(advance) * scale + letter_spacing;
        if (i + 1 < text.size()) pen += static_cast<float>(stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1])) * scale;
    }
    Canvas line(static_cast<int>(std::ceil(pen)) + 4, height);
    pen = 2;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int ch = static_cast<unsigned char>(text[i]);
        const float shift = pen - std::floor(pen);
        int x0, y0, x1, y1;
        stbtt_GetCodepointBitmapBoxSubpixel(&info, ch, scale, scale, shift, 0, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            std::vector<unsigned char> glyph(static_cast<std::size_t>(w) * h);
            stbtt_MakeCodepointBitmapSubpixel(&info, glyph.data(), w, h, w, scale, scale, shift, 0, ch);
            Canvas g(w, h);
            for (std::size_t k = 0; k < glyph.size(); ++k) g.values[k] = static_cast<float>(glyph[k]) / 255.0f;
            stamp(line, g, static_cast<int>(std::floor(pen)) + x0, baseline + y0);
        }
        int advance, lsb;
        stbtt_GetCodepointHMetrics(&info, ch, &advance, &lsb);
        pen += static_cast<float>(advance) * scale + letter_spacing;
        if (i + 1 < text.size()) pen += static_cast<float>(stbtt_GetCodepointKernAdvance(&info, text[i], text[i + 1])) * scale;
    }

    // Crop to the ink.
    int left = line.width, right = -1, top = line.height, bottom = -1;
    for (int y = 0; y < line.height; ++y) {
        for (int x = 0; x < line.width; ++x) {
            if (line.at(x, y) > 0.0f) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) return Canvas(1, 1);
    if (keep_rows) top = 0, bottom = line.height - 1;
    Canvas ink(right - left + 1, bottom - top + 1);
    for (int y = 0; y < ink.height; ++y) {
        for (int x = 0; x < ink.width; ++x) ink.at(x, y) = line.at(left + x, top + y);
    }
    return ink;
}

Canvas fit_text(const Font& font, const std::string& text, int max_width, int max_height, float letter_spacing) {
    Canvas best = set_text(font, text, 4, letter_spacing);
    for (float size = 4; size < 400; size += 0.5f) {
        Canvas c = set_text(font, text, size, letter_spacing);
        if (c.width > max_width || c.height > max_height) break;
        best = std::move(c);
    }
    return best;
}

void stamp(Canvas& dst, const Canvas& src, int x, int y) {
    for (int j = 0; j < src.height; ++j) {
        for (int i = 0; i < src.width; ++i) {
            const int dx = x + i, dy = y + j;
            if (dx >= 0 && dy >= 0 && dx < dst.width && dy < dst.height) dst.at(dx, dy) = std::max(dst.at(dx, dy), src.at(i, j));
        }
    }
}

}  // namespace textdemo::content
