// logo_background: the churning noise term shared by the two title-logo effects.
//
// Offers: logo_noise_angle (four octaves of gradient noise summed into a sine argument) and
// logo_divisor (the slowly pulsing divisor of the logo brightness).
// Depends on: drawing (perlin_noise3). Single precision throughout: the effects truncate
// the results, so every rounding counts.
#pragma once

namespace textdemo {

// o: column term, d: row term, z: time term (song ms / 2310). Returns
// a4 + (a3 + (a2 + a1)) with a1 = |N(2o, 3d, 2z)| * 10 * 0.5, a2 = |N(o, d, z)| * 10,
// a3 = |N(4o, 3d, 2z)| * 20 * 0.25 and a4 = |N(6o, 7d, 8z)| * 10 * 0.125.
float logo_noise_angle(float o, float d, float z);

// sin(t / 200) * 0.6 + 3 for the song position t in ms: between 2.4 and 3.6.
float logo_divisor(float t);

}  // namespace textdemo
