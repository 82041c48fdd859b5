// effect_kelvaron_logo: the opening effect, churning noise with the makers' logo dropping in.
//
// Offers: EffectKelvaronLogo ("Kelvaron"). The logo appears from order position 4 on,
// falling from 20 rows above its rest place during the first ten rows of that position.
// Depends on: effect, image ("kelvaron.png", "kelvaron_opacity.png", both 80 x 50),
// pattern_data (position, order, row), logo_background, text_frame.
#pragma once

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

class EffectKelvaronLogo : public Effect {
public:
    EffectKelvaronLogo(std::uint32_t start, std::uint32_t end);
    void render() override;

private:
    Image logo_;     // brightness of the logo (grey level)
    Image opacity_;  // where the logo is drawn (grey level, 0 = background)
};

}  // namespace textdemo
