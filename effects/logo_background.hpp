// logo_background: what the logo effects share: the churning noise term of the two
// title logos and the swing of a logo at the start of a pattern.
//
// Offers: logo_noise_angle (four octaves of gradient noise summed into a sine argument),
// logo_divisor (the slowly pulsing divisor of the logo brightness) and logo_swing (the
// demo title's bob, the tunnel overlay's sway).
// Depends on: drawing (perlin_noise3), portable_math. Single precision throughout: the
// effects truncate the results, so every rounding counts.
#pragma once

namespace textdemo {

// o: column term, d: row term, z: time term (song ms / 2310). Returns
// a4 + (a3 + (a2 + a1)) with a1 = |N(2o, 3d, 2z)| * 10 * 0.5, a2 = |N(o, d, z)| * 10,
// a3 = |N(4o, 3d, 2z)| * 20 * 0.25 and a4 = |N(6o, 7d, 8z)| * 10 * 0.125.
float logo_noise_angle(float o, float d, float z);

// sin(t / 200) * 0.6 + 3 for the song position t in ms: between 2.4 and 3.6.
float logo_divisor(float t);

// Shift of a logo at the given pattern row: trunc(10 sin(max(90 - row, 0) * 0.1)), -10..10,
// 0 from row 90 on.
int logo_swing(int row);

}  // namespace textdemo
