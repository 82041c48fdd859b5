// effect_glow: two drifting starburst glows seen through a stain ("Glow").
//
// Offers: EffectGlow and glow_bright_entry / glow_tail_entry (the two palette colour ramps).
// Each glow is a radial profile whose radius differs per direction and shimmers with the
// song clock; a pixel is only bright where both glows overlap. Every frame rebuilds a
// 256 x 256 palette (distance band x direction) and looks it up through two 512 x 512
// tables, one window per glow.
// Depends on: effect, fixed_math (sine tables, fixed_atan2, fixed_mul), drawing (isqrt32,
// preset_word), image (load_image, grey_level), pattern_data, text_frame.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

constexpr int GLOW_TABLE_SIDE = 512;
constexpr int GLOW_PALETTE_SIDE = 256;

class EffectGlow : public Effect {
public:
    EffectGlow(std::uint32_t start, std::uint32_t end);
    void render() override;

    std::int32_t clock = 0;                  // song milliseconds >> 3, refreshed every frame
    std::vector<std::int32_t> radius_table;  // distance band << 8 (row j, column k)
    std::vector<std::int32_t> angle_table;   // direction 0..255
    std::vector<std::uint32_t> palette;      // [band * 256 + direction] -> 0x00RRGGBB
    std::int32_t x1 = 0, y1 = 0, phase1 = 1000;   // window origin and drift of glow 1
    std::int32_t x2 = 0, y2 = 0, phase2 = 16000;  // the same for glow 2

private:
    void build_palette();  // from clock
    Image stain_;  // "splat4.png", full frame
};

// Palette colour of the bright segment at level e (0..255): 0x86B0FE at 255, 0x006AFE at 0.
std::uint32_t glow_bright_entry(std::uint32_t e);
// Palette colour of the fading tail at level e (0..255): 0x01D2F6 at 255.
std::uint32_t glow_tail_entry(std::uint32_t e);

}  // namespace textdemo
