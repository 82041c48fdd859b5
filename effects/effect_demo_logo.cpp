// effect_demo_logo: per frame the title window and bob are chosen, then every pixel gets
// the title word (hue 230) where the opacity is non-zero and the title row exists, or the
// hue-220 noise background where the opacity is 0. Pixels with opacity but no title row
// are left as they were.
// Depends on: effect, image, pattern_data, logo_background, drawing, text_frame, portable_math.
#include "effects/effect_demo_logo.hpp"

#include <algorithm>

#include "effects/logo_background.hpp"
#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {
constexpr int TITLE_ORDER = 4;  // the title shows from this order position,
constexpr int TITLE_ROW = 10;   // row 10 on
}  // namespace

int demo_logo_window(std::uint32_t position, std::uint32_t start_ms) {
    const std::uint32_t s = position - start_ms + 11000;
    const float sway = 100.0f * portable_sinf(static_cast<float>(s) / 1000.0f) + 155.0f;
    return std::clamp(static_cast<int>(sway), 0, DEMO_TITLE_WIDTH - FRAME_WIDTH);
}

EffectDemoLogo::EffectDemoLogo(std::uint32_t start, std::uint32_t end) : Effect(start, end) {
    set_name("Demotitle");
    load_failure = load_images({{title_, "ruk.png"}, {opacity_, "ruk_opacity.png"}, {splat_, "splat9.png"}});
}

void EffectDemoLogo::render() {
    const PatternData& song = pattern_data();
    std::uint32_t* pixels = text_frame().pixels;
    const float t = static_cast<float>(song.position);
    const float divisor = logo_divisor(t);
    const int window = demo_logo_window(song.position, start_ms);
    const int bob = logo_swing(current_row(song));
    const int order = current_order(song);
    const bool title_shown = order > TITLE_ORDER || (order == TITLE_ORDER && current_row(song) >= TITLE_ROW);
    const float d = t / 2310.0f, h = t / 40000.0f, g = t / 3000.0f;

    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        const int title_row = y + bob;
        const bool row_exists = title_row >= 1 && title_row <= FRAME_HEIGHT - 1;
        const int clamped_row = std::clamp(title_row, 0, FRAME_HEIGHT - 1);
        const float m = static_cast<float>(y) / 30.0f + g;
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const int i = y * FRAME_WIDTH + x;
            const int n = clamped_row * DEMO_TITLE_WIDTH + window + x;
            const std::uint32_t stain = grey_level(splat_, i);
            const std::uint32_t alpha = title_shown ? grey_level(opacity_, n) : 0;
            if (alpha != 0) {
                if (!row_exists) continue;  // keeps its previous word
                const auto stained = static_cast<float>(grey_level(title_, n) + 255 - stain);
                const float v = (stained / divisor) * (static_cast<float>(alpha) / 255.0f);
                pixels[i] = preset_word(0xE6, static_cast<std::uint32_t>(v), 0x32);
            } else {
                const float o = static_cast<float>(x) / 40.0f + h;
                const float angle = logo_noise_angle(o, m, d);
                const float lum = 10.0f * portable_sinf(angle) + static_cast<float>(y) +
                                  static_cast<float>((255 - stain) / 6);
                pixels[i] = preset_word(0xDC, static_cast<std::uint32_t>(std::clamp(lum, 0.0f, 80.0f) + 0.5f), 0x32);
            }
        }
    }
}

}  // namespace textdemo
