// effect_twister: noise clouds, scrolling greetings and a sheared band ("Twister").
// Depends on: drawing, image, pattern_data, text_frame, portable_math.
#include "effects/effect_twister.hpp"

#include <algorithm>
#include <cmath>

#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {

// sin(pf / divisor), every step rounded to single precision.
float slow_sine(float pf, float divisor) { return portable_sinf(pf / divisor); }

// The band mask covers a pixel from grey level 230 on.
constexpr float BAND_COVERAGE_THRESHOLD = 0.9f;

}  // namespace

TwisterMotion twister_motion(std::uint32_t position, std::uint32_t start_ms) {
    const auto pf = static_cast<float>(position);
    const float s500 = slow_sine(pf, 500), s300 = slow_sine(pf, 300), s700 = slow_sine(pf, 700);
    const float s320 = slow_sine(pf, 320), s400 = slow_sine(pf, 400), s200 = slow_sine(pf, 200);

    TwisterMotion m;
    const float swing = s400 * s320 * 10;
    m.shift = static_cast<int>(swing + 0.5) + 10;
    m.shear = 2 * s700 * (s300 * s500);
    m.gain = 3 + 0.6f * s200;
    // The scheduler never draws before start_ms; an earlier position shows the first column.
    const std::uint32_t elapsed = position >= start_ms ? position - start_ms : 0;
    m.scroll = static_cast<int>(std::min<std::uint32_t>(GREETINGS_LAST_SCROLL, elapsed / 50));
    m.cloud_z = pf / 152000.0f;
    m.cloud_y = pf / 16000.0f;
    m.cloud_depth = pf / 14310.0f;
    return m;
}

EffectTwister::EffectTwister(std::uint32_t start, std::uint32_t end) : Effect(start, end) {
    set_name("Twister");
    load_failure = load_images({{band_, "twist.png"}, {band_mask_, "twistalpha.png"}, {stain_, "splat8.png"},
                                 {greetings_, "greets.png"}, {greetings_opacity_, "greets_opacity.png"}});
}

void EffectTwister::render() {
    const std::uint32_t position = pattern_data().position;
    const TwisterMotion m = twister_motion(position, start_ms);
    std::uint32_t* pixels = text_frame().pixels;

    // Greetings, and the clouds wherever the greetings are fully transparent.
    for (int t = 0; t < FRAME_WIDTH; ++t) {
        for (int i = 0; i < FRAME_HEIGHT; ++i) {
            const int p = FRAME_WIDTH * i + t;
            const int q = m.scroll + t + GREETINGS_WIDTH * i;
            const int b = std::max(static_cast<int>(grey_level(greetings_, q)) + 4 * t - 320, 0);
            const std::uint32_t a = grey_level(greetings_opacity_, q);
            const float brightness = static_cast<float>(b) / m.gain;
            const float coverage = static_cast<float>(a) / 255.0f;
            pixels[p] = preset_word(0xE6, static_cast<std::uint32_t>(brightness * coverage), 0x32);
            if (a != 0) continue;

            const float u = static_cast<float>(t) / 200.0f + m.cloud_z;
            const float w = static_cast<float>(i) / 130.0f + m.cloud_y;
            const float low = perlin_noise3(4 * u, 4 * w, 4 * m.cloud_depth);
            const float high = perlin_noise3(8 * u, 8 * w, 8 * m.cloud_depth);
            // Summed in double precision and rounded once: 31.25 |high| + 62.5 |low|.
            const double high_part = static_cast<double>(std::fabs(high)) * 50 * 0.125;
            const double low_part = static_cast<double>(std::fabs(low)) * 50 * 0.25;
            const auto f = static_cast<float>((high_part + low_part) * 5);
            const float v = std::clamp(f - static_cast<float>(60 - t), 0.0f, 60.0f);
            const float g = std::clamp(static_cast<float>((255 - static_cast<int>(grey_level(stain_, p))) / 6) + v, 0.0f, 80.0f);
            pixels[p] = preset_word(0xE6, static_cast<std::uint32_t>(g + 0.5), 0x64);
        }
    }

    // The band over both, sheared row by row and slid left by shift columns.
    const std::uint32_t band_scroll = position / 20;
    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        const auto sheared = static_cast<std::int64_t>(static_cast<float>(r) * m.shear + 0.5);
        const auto source_row = static_cast<int>((sheared + band_scroll + 100) % BAND_ROWS);
        for (int j = 0; m.shift + j < FRAME_WIDTH; ++j) {
            const int s = BAND_WIDTH * source_row + m.shift + j;
            if (static_cast<float>(grey_level(band_mask_, s)) / 255.0f > BAND_COVERAGE_THRESHOLD)
                pixels[FRAME_WIDTH * r + j] = preset_word(0xDC, std::min<std::uint32_t>(80, grey_level(band_, s) / 3), 0x64);
        }
    }
}

}  // namespace textdemo
