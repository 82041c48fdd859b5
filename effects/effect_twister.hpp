// effect_twister: noise clouds, scrolling greetings and a sheared band ("Twister").
//
// Offers: EffectTwister and twister_motion (the per-frame values of the band, the
// greetings and the clouds). Drifting gradient-noise clouds fill the frame, a greetings
// strip scrolls from right to left dimmed towards the left edge, and in front of both a
// band texture is sheared and scrolled vertically and slid left.
// Depends on: effect, drawing (perlin_noise3, preset_word), image (load_image,
// grey_level), pattern_data (song position only), text_frame.
#pragma once

#include <cstdint>

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

constexpr int GREETINGS_WIDTH = 960;   // pixels per row of the greetings strip
constexpr int GREETINGS_LAST_SCROLL = 880;
constexpr int BAND_WIDTH = 80;         // pixels per row of the band texture and mask
constexpr int BAND_ROWS = 46;          // rows of the band texture in use

// What one frame of the twister depends on, from the song position P and the start.
struct TwisterMotion {
    int shift;        // band slides left by 1..20 columns
    float shear;      // band rows stepped per screen row, -2..2
    float gain;       // greetings brightness divisor, 2.4..3.6
    int scroll;       // greetings window's first image column, 0..880
    float cloud_z;    // noise drift: P / 152000, P / 16000, P / 14310
    float cloud_y;
    float cloud_depth;
};

TwisterMotion twister_motion(std::uint32_t position, std::uint32_t start_ms);

class EffectTwister : public Effect {
public:
    EffectTwister(std::uint32_t start, std::uint32_t end);
    void render() override;

private:
    Image band_;                // "twist.png": band brightness
    Image band_mask_;           // "twistalpha.png": band coverage
    Image stain_;               // "splat8.png": full-frame cloud stain
    Image greetings_;           // "greets.png": 960 x 50 strip
    Image greetings_opacity_;   // "greets_opacity.png"
};

}  // namespace textdemo
