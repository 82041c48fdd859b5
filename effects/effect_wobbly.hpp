// effect_wobbly: the frame coloured by a rational function of a complex variable whose two
// zeros and two poles drift on Lissajous paths; phase picks hue and lightness, the
// magnitude draws rings at powers of e.
//
// Offers: EffectWobbly ("Wobbler"), WobblyPoints (the four moving points at a song
// position) and wobbly_points. Looks differ below order position 30 and from 30 on; order
// 23 brightens in a swell towards its end.
// Depends on: effect, image ("splat1.png", "splat6.png", "splat7.png", all 80 x 50),
// pattern_data (position, current_order, current_row), drawing, text_frame.
#pragma once

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

// Offsets (a, b) of the two zeros (points 0, 1) and the two poles (points 2, 3): point n
// lies where x = -a[n] and y = -b[n].
struct WobblyPoints {
    double a[4];
    double b[4];
};

WobblyPoints wobbly_points(std::uint32_t position);

class EffectWobbly : public Effect {
public:
    EffectWobbly(std::uint32_t start, std::uint32_t end);
    void render() override;
    // render() with the zeros and poles given instead of taken from the song position.
    void draw(const WobblyPoints& points, std::uint32_t position);

private:
    Image splat1_;  // darkens by its high four bits
    Image splat6_;  // brightens below order 30
    Image splat7_;  // darkens from order 30 on
};

}  // namespace textdemo
