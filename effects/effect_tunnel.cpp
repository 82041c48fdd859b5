// effect_tunnel: tube lookups, the per-pixel texture walk and the swinging logo overlay.
// Depends on: effect, image, pattern_data, drawing, text_frame, portable_math, logo_background.
#include "effects/effect_tunnel.hpp"

#include <algorithm>

#include "effects/logo_background.hpp"
#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"
#include "frame/text_frame.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

namespace {
constexpr double TUNNEL_PI = 3.141592653589;
constexpr int HALF_TABLE = TUNNEL_TABLE_SIZE / 2;
constexpr int AXIS_COLUMN = 44, AXIS_ROW = 27;  // frame pixel on the tube's axis
constexpr std::uint32_t FADE_IN_MS = 5000;
constexpr std::uint32_t COLOUR_KEY = 0x00FF00FF;
}  // namespace

void build_tunnel_tables(TunnelTables& tables) {
    for (int x = -HALF_TABLE; x < HALF_TABLE; ++x) {
        for (int y = -HALF_TABLE; y < HALF_TABLE; ++y) {
            double a, angle;
            if (x != 0) {
                a = x;
                angle = portable_atan(static_cast<double>(y) / x);
                if (x < 0) angle += y >= 0 ? TUNNEL_PI : -TUNNEL_PI;
            } else {
                // The centre column would divide by zero: look at it from a tenth of a step.
                a = 0.1;
                angle = portable_atan(y / 0.1);
            }
            const double depth = portable_cos(angle) * 150 * 5 / a;
            const int shade = 15 * (17 - static_cast<int>(isqrt32(static_cast<std::uint32_t>(x * x + y * y))));
            tables.angle[y + HALF_TABLE][x + HALF_TABLE] = static_cast<std::int32_t>(angle * 64 / TUNNEL_PI);
            tables.depth[y + HALF_TABLE][x + HALF_TABLE] = depth > 16383 ? 16383 : static_cast<std::int32_t>(depth);
            tables.shade[y + HALF_TABLE][x + HALF_TABLE] = std::clamp(shade, 0, 255);
        }
    }
}

EffectTunnel::EffectTunnel(std::uint32_t start, std::uint32_t end)
    : Effect(start, end), tables_(std::make_unique<TunnelTables>()) {
    set_name("Tunnel");
    load_failure = load_images({{stain_, "splat2.png"}, {texture_, "tunnel.png"}, {overlay_, "logo_overlay.png"}});
    build_tunnel_tables(*tables_);
}

void EffectTunnel::render() {
    const PatternData& song = pattern_data();
    std::uint32_t* pixels = text_frame().pixels;
    const std::uint32_t position = song.position;
    const std::uint32_t scroll = position / 20;
    if (position < FADE_IN_MS) darkness_ = static_cast<std::int32_t>((FADE_IN_MS - position) / 10);

    for (int r = 0; r < FRAME_HEIGHT; ++r) {
        const int ty = r - AXIS_ROW + HALF_TABLE;
        for (int k = 0; k < FRAME_WIDTH; ++k) {
            const int tx = k - AXIS_COLUMN + HALF_TABLE;
            const int n = r * FRAME_WIDTH + k;
            const std::uint32_t u = static_cast<std::uint32_t>(tables_->angle[ty][tx]) & 127;
            const std::uint32_t v = (static_cast<std::uint32_t>(tables_->depth[ty][tx]) + scroll) & 127;
            std::int32_t t = static_cast<std::int32_t>(grey_level(texture_, v * 512 + u * 2));
            const std::int32_t shade = tables_->shade[ty][tx];
            if (shade > 0) t -= shade;
            const std::int32_t stain_third = static_cast<std::int32_t>(grey_level(stain_, n) / 3);
            const std::int32_t value = std::clamp((t - stain_third - darkness_) / 2, 0, 255);
            pixels[n] = preset_word(0xE6, static_cast<std::uint32_t>(value), 0x32);
        }
    }

    const int swing = logo_swing(current_row(song));
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = std::max(0, -swing); x < std::min(FRAME_WIDTH, FRAME_WIDTH - swing); ++x) {
            const std::uint32_t word = image_word(overlay_, y * FRAME_WIDTH + x);
            if (word != COLOUR_KEY) pixels[y * FRAME_WIDTH + x + swing] = word;
        }
    }
}

}  // namespace textdemo
