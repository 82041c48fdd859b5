// picture_canvas: canvas operations, noise and PNG output.
// Depends on: stb_image_write (implementation kept private to this file).
#include "tools/content/picture_canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace textdemo::content {

Canvas::Canvas(int w, int h, float fill) : width(w), height(h), values(static_cast<std::size_t>(w) * h, fill) {}

float Canvas::clamped(int x, int y) const {
    return at(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1));
}

float Canvas::wrapped(int x, int y) const {
    return at(((x % width) + width) % width, ((y % height) + height) % height);
}

Canvas blurred(const Canvas& c, int radius, int passes, bool wrap) {
    Canvas a = c;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int pass = 0; pass < passes; ++pass) {
        Canvas b(a.width, a.height);
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                float sum = 0;
                for (int d = -radius; d <= radius; ++d) sum += wrap ? a.wrapped(x + d, y) : a.clamped(x + d, y);
                b.at(x, y) = sum * scale;
            }
        }
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                float sum = 0;
                for (int d = -radius; d <= radius; ++d) sum += wrap ? b.wrapped(x, y + d) : b.clamped(x, y + d);
                a.at(x, y) = sum * scale;
            }
        }
    }
    return a;
}

Canvas stretched(const Canvas& c, int w, int h) {
    Canvas out(w, h);
    for (int y = 0; y < h; ++y) {
        // Pixel centres map onto pixel centres.
        const float sy = (static_cast<float>(y) + 0.5f) * static_cast<float>(c.height) / static_cast<float>(h) - 0.5f;
        const int y0 = static_cast<int>(std::floor(sy));
        const float fy = sy - static_cast<float>(y0);
        for (int x = 0; x < w; ++x) {
            const float sx = (static_cast<float>(x) + 0.5f) * static_cast<float>(c.width) / static_cast<float>(w) - 0.5f;
            const int x0 = static_cast<int>(std::floor(sx));
            const float fx = sx - static_cast<float>(x0);
            const float top = c.clamped(x0, y0) + (c.clamped(x0 + 1, y0) - c.clamped(x0, y0)) * fx;
            const float bottom = c.clamped(x0, y0 + 1) + (c.clamped(x0 + 1, y0 + 1) - c.clamped(x0, y0 + 1)) * fx;
            out.at(x, y) = top + (bottom - top) * fy;
        }
    }
    return out;
}

Canvas dilated(const Canvas& c, int radius) {
    Canvas out(c.width, c.height);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            float best = c.at(x, y);
            for (int dy = -radius; dy <= radius; ++dy) {
                for (int dx = -radius; dx <= radius; ++dx) {
                    if (dx * dx + dy * dy > radius * radius) continue;
                    const int sx = x + dx, sy = y + dy;
                    if (sx >= 0 && sy >= 0 && sx < c.width && sy < c.height) best = std::max(best, c.at(sx, sy));
                }
            }
            out.at(x, y) = best;
        }
    }
    return out;
}

float hash_unit(std::uint32_t seed, std::uint32_t index) {
    std::uint32_t h = seed * 0x9E3779B9u ^ (index + 0x7F4A7C15u) * 0x85EBCA6Bu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return static_cast<float>(h >> 8) / 16777215.0f;
}

namespace {
float lattice(int i, int j, int period, std::uint32_t seed) {
    if (period > 0) {
        i = ((i % period) + period) % period;
        j = ((j % period) + period) % period;
    }
    return hash_unit(seed, static_cast<std::uint32_t>(i) * 73856093u ^ static_cast<std::uint32_t>(j) * 19349663u);
}
float smooth(float t) { return t * t * (3 - 2 * t); }
}  // namespace

float value_noise(float x, float y, float cell, int period, std::uint32_t seed) {
    const float fx = x / cell, fy = y / cell;
    const int i = static_cast<int>(std::floor(fx)), j = static_cast<int>(std::floor(fy));
    const float tx = smooth(fx - static_cast<float>(i)), ty = smooth(fy - static_cast<float>(j));
    const float a = lattice(i, j, period, seed), b = lattice(i + 1, j, period, seed);
    const float c = lattice(i, j + 1, period, seed), d = lattice(i + 1, j + 1, period, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float fractal_noise(float x, float y, float cell, int period, int octaves, std::uint32_t seed) {
    float sum = 0, weight = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * value_noise(x, y, cell, period, seed + static_cast<std::uint32_t>(o) * 101u);
        total += weight;
        weight *= 0.5f;
        cell *= 0.5f;
        period *= 2;
    }
    return sum / total;
}

std::vector<std::uint32_t> grey_words(const Canvas& c) {
    std::vector<std::uint32_t> words(c.values.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto v = static_cast<std::uint32_t>(std::clamp(std::lround(c.values[i]), 0L, 255L));
        words[i] = v << 16 | v << 8 | v;
    }
    return words;
}

bool write_png(const std::string& path, int width, int height, const std::vector<std::uint32_t>& words) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < words.size() && i * 3 < rgb.size(); ++i) {
        rgb[i * 3] = static_cast<unsigned char>(words[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(words[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(words[i]);
    }
    if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) {
        std::printf("unable to write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool write_grey_png(const std::string& path, const Canvas& c) {
    return write_png(path, c.width, c.height, grey_words(c));
}

}  // namespace textdemo::content
