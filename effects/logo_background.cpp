// logo_background: the noise sine argument, the brightness divisor and the swing of the
// logo effects.
// Depends on: drawing (perlin_noise3), portable_math.
#include "effects/logo_background.hpp"

#include <algorithm>
#include <cmath>

#include "frame/drawing.hpp"
#include "frame/portable_math.hpp"

namespace textdemo {

float logo_noise_angle(float o, float d, float z) {
    const float e = 3.0f * d, f = 7.0f * d;
    const float a1 = std::fabs(perlin_noise3(2.0f * o, e, 2.0f * z)) * 10.0f * 0.5f;
    const float a2 = std::fabs(perlin_noise3(o, d, z)) * 10.0f;
    const float a3 = std::fabs(perlin_noise3(4.0f * o, e, 2.0f * z)) * 20.0f * 0.25f;
    const float a4 = std::fabs(perlin_noise3(6.0f * o, f, 8.0f * z)) * 10.0f * 0.125f;
    return a4 + (a3 + (a2 + a1));
}

float logo_divisor(float t) { return portable_sinf(t / 200.0f) * 0.6f + 3.0f; }

int logo_swing(int row) {
    const float s = static_cast<float>(std::max(90 - row, 0));
    return static_cast<int>(10.0f * portable_sinf(s * 0.1f));
}

}  // namespace textdemo
