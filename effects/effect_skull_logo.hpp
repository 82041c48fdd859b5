// effect_skull_logo: the closing scene, the show's mesh environment-mapped in red, turning
// and swaying over a drifting noise background, with a black drop shadow, jumping up on
// every beat of the pattern data.
//
// Offers: EffectSkullLogo ("Skull"), its program-wide motion state SkullMotion and the
// pure steps of its frame (column heights, camera depth, bounce) for tests.
// Depends on: effect, mesh (loader, transform, rasteriser), image, drawing (noise, preset
// words), fixed_math (sine tables), text_frame, pattern_data.
#pragma once

#include <cstdint>

#include "effects/effect.hpp"
#include "frame/fixed_math.hpp"
#include "mesh/mesh.hpp"
#include "resources/image.hpp"

namespace textdemo {

// Persists across every render call of the program and is never reset: the background
// drift and the bounce change per rendered frame, so their speed follows the frame rate.
struct SkullMotion {
    float drift_y = 0.0f;  // vertical noise offset, -0.002 per frame
    float drift_z = 0.0f;  // noise time offset, -0.001 per frame
    float bounce = 9.0f;   // camera height in units: 20.0 on a beat, sinking 0.2 a frame to 9.0
};

SkullMotion& skull_motion();

// Rows of background column x drawn this frame: 50, lower near the left edge while the
// order position is 4 or less.
int skull_column_height(int x, int order);

// Lightness byte of the background at column x, row y.
std::uint32_t skull_background_lightness(int x, int y, std::uint32_t position, const SkullMotion& motion);

// Camera position z (Fixed) at a song position: a sway plus a travel of one unit per 1.5 s
// from -9.9 units at 189767 ms, which brings the object into view. Earlier positions hold
// the starting point; the sum saturates at the Fixed range.
Fixed skull_camera_depth(std::uint32_t position);

// Camera height (Fixed) for this frame from the current bounce, which then sinks (or is
// reset by a beat) for the next frame.
Fixed skull_camera_height(SkullMotion& motion, bool beat);

class EffectSkullLogo : public Effect {
public:
    EffectSkullLogo(std::uint32_t start, std::uint32_t end);
    ~EffectSkullLogo() override;
    void render() override;

private:
    void draw_background(std::uint32_t position, int order);
    void place_camera_and_mesh(std::uint32_t position, bool beat);

    Mesh mesh_;
    Image texture_;
    Image env_texture_;
};

}  // namespace textdemo
