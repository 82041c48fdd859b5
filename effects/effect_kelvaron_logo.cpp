// effect_kelvaron_logo: every frame writes all 4000 words as preset words: hue 230 where
// the logo's opacity is non-zero, else a hue-220 noise background that darkens downwards
// and fades in over the first ten seconds of the song.
// Depends on: effect, image, pattern_data, logo_background, drawing, text_frame, portable_math.
#include "effects/effect_kelvaron_logo.hpp"

#include <algorithm>

#include "effects/logo_background.hpp"
#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {
constexpr int LOGO_ORDER = 4;         // order position at which the logo appears
constexpr int DROP_ROWS = 10;         // rows of that position during which it falls in
constexpr std::uint32_t FADE_IN_MS = 10000;
}  // namespace

EffectKelvaronLogo::EffectKelvaronLogo(std::uint32_t start, std::uint32_t end) : Effect(start, end) {
    set_name("Kelvaron");
    load_failure = load_images({{logo_, "kelvaron.png"}, {opacity_, "kelvaron_opacity.png"}});
}

void EffectKelvaronLogo::render() {
    const PatternData& song = pattern_data();
    std::uint32_t* pixels = text_frame().pixels;
    const std::uint32_t position = song.position;
    const float t = static_cast<float>(position);
    const float divisor = logo_divisor(t);
    const bool logo_shown = current_order(song) >= LOGO_ORDER;
    const float fade = position < FADE_IN_MS ? static_cast<float>((FADE_IN_MS - position) / 150) : 0.0f;

    // Image row shown at frame row 0: the logo drops in from 20 rows below its rest place.
    int first_row = 0;
    if (song.loaded && song.order_index == LOGO_ORDER && song.row < DROP_ROWS) first_row = -2 * (DROP_ROWS - song.row);

    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        const int image_row = std::clamp(first_row + y, 0, FRAME_HEIGHT - 1);
        const float remaining = static_cast<float>(FRAME_HEIGHT - y);
        const float d = static_cast<float>(y) / 30.0f + t / 3000.0f;
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            const int n = image_row * FRAME_WIDTH + x;
            const std::uint32_t brightness = grey_level(logo_, n);
            const std::uint32_t alpha = logo_shown ? grey_level(opacity_, n) : 0;
            std::uint32_t word;
            if (alpha != 0) {
                const float v = (static_cast<float>(alpha) / 255.0f) * (static_cast<float>(brightness) / divisor);
                word = preset_word(0xE6, static_cast<std::uint32_t>(v), 0x32);
            } else {
                const float o = static_cast<float>(x) / 40.0f + t / 32000.0f;
                const float angle = logo_noise_angle(o, d, t / 2310.0f);
                float lum = remaining + 20.0f * portable_sinf(angle);
                lum = std::clamp(lum - fade, 0.0f, 80.0f);
                word = preset_word(0xDC, static_cast<std::uint32_t>(lum + 0.5f), 0x32);
            }
            pixels[y * FRAME_WIDTH + x] = word;
        }
    }
}

}  // namespace textdemo
