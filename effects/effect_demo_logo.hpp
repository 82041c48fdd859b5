// effect_demo_logo: the demo's title swaying and bobbing over a stained noise background.
//
// Offers: EffectDemoLogo ("Demotitle") and demo_logo_window (the first title column shown).
// An 80-column window of a 400-column title image sways on a slow sine and bobs with the
// rows of the current pattern; the title shows from order position 4, row 10 on.
// Depends on: effect, image ("ruk.png", "ruk_opacity.png", 400 x 50; "splat9.png",
// 80 x 50), pattern_data, logo_background, drawing, text_frame.
#pragma once

#include "effects/effect.hpp"
#include "resources/image.hpp"

namespace textdemo {

constexpr int DEMO_TITLE_WIDTH = 400;  // row width of the title and its opacity image

class EffectDemoLogo : public Effect {
public:
    EffectDemoLogo(std::uint32_t start, std::uint32_t end);
    void render() override;

private:
    Image title_;    // title brightness (grey level)
    Image opacity_;  // where the title is drawn (grey level, 0 = background)
    Image splat_;    // stain, full frame: darkens the title, brightens the background
};

// First title column shown at the given song position, for an effect starting at start_ms.
int demo_logo_window(std::uint32_t position, std::uint32_t start_ms);

}  // namespace textdemo
