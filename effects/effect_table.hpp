// effect_table: the interference plasma with the sliding credits ("Table").
//
// Offers: EffectTable. Four wave centres swing sideways below the frame; the summed
// distances to them (scrolled with time) and the angle to the last centre index a 256 x 256
// texture, a stain mask lightens it, and in orders 25 and 27 a credit image slides in from
// the left, pulses in brightness and slides out to the right.
// Depends on: effect, fixed_math (sine tables, fixed_atan2), drawing (isqrt32, preset_word),
// image (load_image, grey_level), pattern_data (position, order, row), text_frame.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

// Side of the square distance and angle tables; the table centre is (256, 256).
constexpr int TABLE_SIDE = 512;

class EffectTable : public Effect {
public:
    EffectTable(std::uint32_t start, std::uint32_t end);
    void render() override;

    // Distance to the table centre, clamped to 255 (row j, column k).
    std::vector<std::int32_t> distance_table;
    // Direction from the table centre as 8 bits, about 170.7 units per turn.
    std::vector<std::int32_t> angle_table;

private:
    Image texture_;            // "table.png", 256 x 256
    Image stain_;              // "splat3.png", full frame
    Image quorvila_;           // first credit and its opacity, full frame
    Image quorvila_opacity_;
    Image zentrobe_;           // second credit and its opacity, full frame
    Image zentrobe_opacity_;
    const Image* credit_ = &zentrobe_;               // credit pair last selected
    const Image* credit_opacity_ = &zentrobe_opacity_;
};

// Column shift of the credit at pattern row R: slides in over rows 0..16, rests, and
// slides out after row 240.
int credit_slide_shift(int row);

}  // namespace textdemo
