// picture_stains: the 80 x 50 splat masks: ink blots with ragged edges and spatter.
// Depends on: picture_canvas.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/content/picture_makers.hpp"

namespace textdemo::content {

namespace {
// Coverage of one blot at (x, y): a disc whose radius wobbles with the direction.
float blot_coverage(float x, float y, float cx, float cy, float radius, std::uint32_t seed) {
    const float dx = x - cx, dy = y - cy;
    const float distance = std::sqrt(dx * dx + dy * dy);
    const float angle = std::atan2(dy, dx) + std::numbers::pi_v<float>;
    // Noise around the rim, periodic in the angle so the outline closes.
    const float rim = value_noise(angle * 8.0f / (2 * std::numbers::pi_v<float>), 0.5f, 1.0f, 8, seed);
    const float ragged = radius * (0.7f + 0.6f * rim);
    return std::clamp((ragged - distance) / 1.5f + 0.5f, 0.0f, 1.0f);
}
}  // namespace

Canvas make_stain(const StainRecipe& r) {
    Canvas ink(FRAME_WIDTH, FRAME_HEIGHT);
    std::uint32_t n = 0;
    for (int b = 0; b < r.blots; ++b) {
        const float cx = hash_unit(r.seed, n++) * FRAME_WIDTH;
        const float cy = hash_unit(r.seed, n++) * FRAME_HEIGHT;
        const float radius = r.size * (0.5f + 0.8f * hash_unit(r.seed, n++));
        const std::uint32_t blot_seed = r.seed * 31u + static_cast<std::uint32_t>(b);
        // Ink is uneven inside a blot: thicker where it pooled.
        for (int y = 0; y < FRAME_HEIGHT; ++y) {
            for (int x = 0; x < FRAME_WIDTH; ++x) {
                const float c = blot_coverage(static_cast<float>(x), static_cast<float>(y), cx, cy, radius, blot_seed);
                if (c <= 0) continue;
                const float pool = 0.55f + 0.45f * fractal_noise(static_cast<float>(x), static_cast<float>(y), 6.0f, 0, 2, blot_seed);
                ink.at(x, y) = std::max(ink.at(x, y), c * pool);
            }
        }
        // Spatter: droplets thrown out from the blot.
        const int drops = r.blots > 0 ? r.droplets / r.blots : 0;
        for (int d = 0; d < drops; ++d) {
            const float angle = hash_unit(r.seed, n++) * 2 * std::numbers::pi_v<float>;
            const float reach = radius * (1.1f + 1.6f * hash_unit(r.seed, n++));
            const float size = 0.6f + 1.4f * hash_unit(r.seed, n++);
            const float dx = cx + std::cos(angle) * reach, dy = cy + std::sin(angle) * reach;
            for (int y = 0; y < FRAME_HEIGHT; ++y) {
                for (int x = 0; x < FRAME_WIDTH; ++x) {
                    const float ex = static_cast<float>(x) - dx, ey = static_cast<float>(y) - dy;
                    const float c = std::clamp(size + 0.5f - std::sqrt(ex * ex + ey * ey), 0.0f, 1.0f);
                    ink.at(x, y) = std::max(ink.at(x, y), c * 0.9f);
                }
            }
        }
    }
    ink = blurred(ink, 1, 1, false);
    Canvas out(FRAME_WIDTH, FRAME_HEIGHT);
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        for (int x = 0; x < FRAME_WIDTH; ++x) {
            // Darkened border: distance to the nearest edge, rows counted double since
            // the frame is short.
            const float edge = std::min({static_cast<float>(x), static_cast<float>(FRAME_WIDTH - 1 - x),
                                         2.0f * static_cast<float>(y), 2.0f * static_cast<float>(FRAME_HEIGHT - 1 - y)});
            const float border = r.edge_ink * std::clamp(1.0f - edge / 14.0f, 0.0f, 1.0f);
            const float grain = fractal_noise(static_cast<float>(x), static_cast<float>(y), 4.0f, 0, 2, r.seed + 7u) - 0.5f;
            const float cover = std::clamp(std::max(ink.at(x, y), border) + 0.12f * grain, 0.0f, 1.0f);
            out.at(x, y) = r.paper + (r.ink - r.paper) * cover;
        }
    }
    return out;
}

}  // namespace textdemo::content
