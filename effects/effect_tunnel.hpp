// effect_tunnel: a textured tube streaming towards the viewer, stained by a mask, with a
// colour logo overlay that swings sideways at the start of every pattern.
//
// Offers: EffectTunnel ("Tunnel") and TunnelTables (the per-pixel angle, depth and shade
// lookups, built once so the render needs no trigonometry).
// Depends on: effect, image ("splat2.png" and "logo_overlay.png", 80 x 50; "tunnel.png",
// 256 pixels wide), pattern_data (position, current_row), drawing (isqrt32), text_frame,
// logo_background (the overlay's swing).
#pragma once

#include <cstdint>
#include <memory>

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

constexpr int TUNNEL_TABLE_SIZE = 128;  // tables cover x, y in -64..63

// Entries are addressed [y + 64][x + 64]; x grows to the right, y downwards.
struct TunnelTables {
    std::int32_t angle[TUNNEL_TABLE_SIZE][TUNNEL_TABLE_SIZE];  // 128 units per turn, -63..64
    std::int32_t depth[TUNNEL_TABLE_SIZE][TUNNEL_TABLE_SIZE];  // about 750 / distance, at most 16383
    std::int32_t shade[TUNNEL_TABLE_SIZE][TUNNEL_TABLE_SIZE];  // 0..255, non-zero near the axis
};

// Fills the three tables (double precision, truncated).
void build_tunnel_tables(TunnelTables& tables);

class EffectTunnel : public Effect {
public:
    EffectTunnel(std::uint32_t start, std::uint32_t end);
    void render() override;

private:
    std::unique_ptr<TunnelTables> tables_;
    std::int32_t darkness_ = 0;  // fade-in term, kept from the last frame before 5000 ms
    Image stain_;                // splat2.png, full frame
    Image texture_;              // tunnel.png, sampled every other row and column
    Image overlay_;              // logo_overlay.png, full frame, 0x00FF00FF transparent
};

}  // namespace textdemo
