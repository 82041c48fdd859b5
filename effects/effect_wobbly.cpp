// effect_wobbly: w = ((z1 * z2) / z3) / z4 per pixel in double precision, turned into a
// hue sector and a scrolling triangle-wave lightness, then stained by three masks.
// Depends on: effect, image, pattern_data, drawing, text_frame, portable_math.
#include "effects/effect_wobbly.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {

constexpr double TWO_PI = 6.283185307178;
constexpr double E = 2.718281828459045;
constexpr int LATE_ORDER = 30;   // from this order position on the second look is drawn
constexpr int SWELL_ORDER = 23;  // order position that brightens towards its end

struct Complex {
    double re, im;
};

Complex multiply(Complex p, Complex q) { return {p.re * q.re - p.im * q.im, p.re * q.im + p.im * q.re}; }

double squared_modulus(Complex q) { return q.re * q.re + q.im * q.im; }

// Textbook quotient; the caller makes sure q is not zero.
Complex divide(Complex p, Complex q) {
    const double den = squared_modulus(q);
    return {(p.re * q.re + p.im * q.im) / den, (p.im * q.re - p.re * q.im) / den};
}

// Position of h between the powers of e around it: lo < h <= hi, result in 0..1.
double ring_fraction(double h) {
    double lo = 0, hi = 1;
    if (h > 1) {
        lo = 1;
        while (lo * E < h) lo *= E;
        hi = lo * E;
    }
    return (h - lo) / (hi - lo);
}

// Lightness (before the masks) and hue sector of one finite value w.
struct Shade {
    int lightness;
    int sector;  // trunc(20 x phase), 0..20
};

Shade shade_at(Complex w, bool early_look, double scroll) {
    double ph = portable_atan2(w.im, w.re);
    while (ph < 0) ph += TWO_PI;
    ph = ph / TWO_PI;
    const double ring = ring_fraction(std::sqrt(w.re * w.re + w.im * w.im));
    const double tri = ring < 0.5 ? 2 * ring : 1 - 2 * (ring - 0.5);
    const double c = 1 - tri;
    const double base = early_look ? (1 - c * c * c) * 0.6 + 0.4 : ring * ph;
    const auto m = static_cast<std::int64_t>(base * 160 + 0.5 + scroll) % 160;
    int lightness = m < 0 ? 0 : static_cast<int>(m <= 80 ? m : 160 - m);
    const int sector = static_cast<int>(20 * ph);
    if (early_look && sector % 10 == 9) lightness = 0;  // dark spokes
    return {lightness, sector};
}

}  // namespace

WobblyPoints wobbly_points(std::uint32_t position) {
    const double T = position * 0.5;
    return {{2.1 * portable_cos(T / 500) + 0.5, 2.7 * portable_cos(T / 750), 2.75 * portable_cos(T / 550) - 0.4,
             2.5 * portable_cos(T / 480) - 0.2},
            {2.2 * portable_sin(T / 450), 2.8 * portable_sin(T / 550) + 0.2, 2.2 * portable_sin(T / 650) - 0.2,
             2.7 * portable_sin(T / 1210) + 0.3}};
}

EffectWobbly::EffectWobbly(std::uint32_t start, std::uint32_t end) : Effect(start, end) {
    set_name("Wobbler");
    load_failure = load_images({{splat1_, "splat1.png"}, {splat6_, "splat6.png"}, {splat7_, "splat7.png"}});
}

void EffectWobbly::render() {
    const std::uint32_t position = pattern_data().position;
    draw(wobbly_points(position), position);
}

void EffectWobbly::draw(const WobblyPoints& points, std::uint32_t position) {
    const PatternData& song = pattern_data();
    std::uint32_t* pixels = text_frame().pixels;
    const double scroll = position / 10.0;
    const int order = current_order(song);
    const bool early_look = order < LATE_ORDER;
    int swell = 0;
    if (order == SWELL_ORDER) {
        const int row = current_row(song);
        if (row > 140 && row < 180) swell = row - 140;
        if (row >= 180) swell = 2 * (200 - row);
    }

    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        const double y = 2 - r * 4 / 49.0;
        for (int k = 0; k < FRAME_WIDTH; ++k) {
            const int p = r * FRAME_WIDTH + k;
            const double x = 3 - k * 6 / 79.0;
            Complex z[4];
            for (int n = 0; n < 4; ++n) z[n] = {x + points.a[n], y + points.b[n]};
            // A pixel on a pole (or so close that w overflows) has no phase or rings: unlit.
            const bool on_pole = squared_modulus(z[2]) == 0 || squared_modulus(z[3]) == 0;
            const Complex w = on_pole ? Complex{} : divide(divide(multiply(z[0], z[1]), z[2]), z[3]);
            if (on_pole || !std::isfinite(w.re) || !std::isfinite(w.im)) {
                pixels[p] = preset_word(220, 0, 0x64);
                continue;
            }
            const Shade shade = shade_at(w, early_look, scroll);
            int lightness = shade.lightness;
            lightness -= static_cast<int>(grey_level(splat1_, p) / 16);
            if (early_look)
                lightness += static_cast<int>((255 - grey_level(splat6_, p)) / 8);
            else
                lightness -= static_cast<int>((255 - grey_level(splat7_, p)) / 8);
            lightness = std::clamp(lightness + swell, 0, 80);
            pixels[p] = preset_word(220 + static_cast<std::uint32_t>(shade.sector % 20), static_cast<std::uint32_t>(lightness), 0x64);
        }
    }
}

}  // namespace textdemo
