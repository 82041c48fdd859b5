// effect_glow: two drifting starburst glows seen through a stain ("Glow").
// Depends on: fixed_math, drawing, image, pattern_data, text_frame.
#include "effects/effect_glow.hpp"

#include <algorithm>
#include <cstdlib>

#include "frame/drawing.hpp"
#include "frame/fixed_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {

constexpr int CUE_ORDER = 29;
constexpr int CUE_ROW = 420;

std::int32_t sine(std::uint32_t index) { return SineTable[index & 0xFFFF]; }
std::int32_t cosine(std::uint32_t index) { return CosineTable[index & 0xFFFF]; }

// Top 16 bits of a table value scaled by a small factor (exact 64-bit product).
std::int32_t scaled_high(std::int32_t table_value, std::int32_t factor) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(table_value) * factor) >> 16);
}

}  // namespace

std::uint32_t glow_bright_entry(std::uint32_t e) {
    const std::uint32_t f = e ^ 0xFF;
    return ((((f * 0x100FFu) & 0xFF00FF00u) + ((e * 0x8700FFu) & 0xFF00FFFFu)) >> 8) +
           ((((f * 0x6B00u) & 0xFF0000u) + ((e * 0xB100u) & 0xFF0000u)) >> 8);
}

std::uint32_t glow_tail_entry(std::uint32_t e) {
    const std::uint32_t e2 = (e * e) >> 8;
    const std::uint32_t q = (e2 * e2) >> 7;
    return (((q * 0x100FFu) >> 8) & 0xFF00FFu) + (((q * 0x6B00u) >> 8) & 0xFF00u);
}

EffectGlow::EffectGlow(std::uint32_t start, std::uint32_t end)
    : Effect(start, end),
      radius_table(GLOW_TABLE_SIDE * GLOW_TABLE_SIDE),
      angle_table(GLOW_TABLE_SIDE * GLOW_TABLE_SIDE),
      palette(GLOW_PALETTE_SIDE * GLOW_PALETTE_SIDE, 0) {
    set_name("Glow");
    for (int j = 0; j < GLOW_TABLE_SIDE; ++j) {
        for (int k = 0; k < GLOW_TABLE_SIDE; ++k) {
            const std::int32_t dx = k - 256, dy = j - 256;
            const std::size_t cell = static_cast<std::size_t>(j) * GLOW_TABLE_SIDE + k;
            const auto d = static_cast<std::int32_t>(isqrt32(static_cast<std::uint32_t>(dx * dx + dy * dy)));
            radius_table[cell] = std::min((d >> 1) + 2, 255) << 8;
            // 2868354 (43.77 in 16.16) turns Fixed radians into 275 direction units a turn.
            angle_table[cell] = (fixed_mul(fixed_atan2(dx, dy), 2868354) >> 16) & 0xFF;
        }
    }
    load_failure = load_image(stain_, "splat4.png");
}

void EffectGlow::build_palette() {
    const auto c = static_cast<std::uint32_t>(clock);
    const std::int32_t amp = 127 + ((63 * cosine(c * 200)) >> 16);
    const std::int32_t sway = sine(c * 500) >> 6;
    for (std::uint32_t e = 0; e < GLOW_PALETTE_SIDE; ++e) {
        const std::uint32_t u = c * 743 + 2150 * e + static_cast<std::uint32_t>(sway);
        const std::uint32_t v = 400 * e - c * 120;
        const std::int32_t wave = std::min(((sine(u) - cosine(v)) * 90) >> 16, 70);
        const std::int32_t knee = std::clamp(((std::abs(wave) * amp) >> 8) + 16, 1, 250);
        const std::int32_t knee2 = std::min(knee + 200, 255);

        std::uint32_t* column = palette.data() + e;
        std::int32_t row = 0;
        std::int32_t level = 0xFF00;
        for (; row < knee; ++row, level -= 0xFF00 / knee)
            column[row * GLOW_PALETTE_SIDE] = glow_bright_entry(static_cast<std::uint32_t>(level) >> 8);
        level = 0xFF00;
        for (; row < knee2; ++row, level -= 0xFF00 / (knee2 - knee))
            column[row * GLOW_PALETTE_SIDE] = glow_tail_entry(static_cast<std::uint32_t>(level) >> 8);
        for (; row < GLOW_PALETTE_SIDE; ++row) column[row * GLOW_PALETTE_SIDE] = 0;
    }
}

void EffectGlow::render() {
    const PatternData& song = pattern_data();
    const std::uint32_t position = song.position;
    clock = static_cast<std::int32_t>(position >> 3);
    build_palette();

    phase1 = static_cast<std::int32_t>((position * 8 + 500) & 0xFFFF);
    phase2 = static_cast<std::int32_t>((position * 16) & 0xFFFF);
    x1 = 220 - scaled_high(sine(phase1), 30);
    y1 = 220 - scaled_high(cosine(phase1), 10);
    x2 = 210 - scaled_high(sine(phase2), 40);
    y2 = 240 - scaled_high(cosine(phase2), 30);

    const int order = current_order(song), row = current_row(song);
    const std::int32_t cue = (order == CUE_ORDER && row > CUE_ROW) ? row - CUE_ROW : 0;

    std::uint32_t* pixels = text_frame().pixels;
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const int c1 = (y1 + y) * GLOW_TABLE_SIDE + (x1 + x);
            const int c2 = (y2 + y) * GLOW_TABLE_SIDE + (x2 + x);
            const std::uint32_t glow1 = palette[radius_table[c1] | angle_table[c1]];
            const std::uint32_t glow2 = palette[radius_table[c2] | angle_table[c2]];
            const int p = y * FRAME_WIDTH + x;
            const std::uint32_t stain = grey_level(stain_, p);
            // The packed colour read as one number: mostly its red byte.
            const std::int64_t lightness =
                std::min(glow1, glow2) / 110000 + (255 - stain) / 6 + static_cast<std::int64_t>(cue);
            pixels[p] = preset_word(0xE6, static_cast<std::uint32_t>(std::clamp<std::int64_t>(lightness, 0, 80)), 0x64);
        }
    }
}

}  // namespace textdemo
