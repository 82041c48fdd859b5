// drawing: numeric routines shared by the effects.
//
// Offers: isqrt32 (exact floor square root, shifts and subtractions only), noise_grad and
// perlin_noise3 (improved Perlin gradient noise, single precision throughout, period 256),
// PerlinPermutation, and preset_word (composes a kind-1 word from hue, lightness and
// saturation bytes). Image pixel reads (grey_level) live in resources/image.hpp.
// Depends on: nothing. Pure functions: no allocation, no state, no library calls.
#pragma once

#include <cstdint>

namespace textdemo {

std::uint32_t isqrt32(std::uint32_t v);

extern const std::uint8_t PerlinPermutation[512];

// Gradient of one lattice corner: one of the twelve cube edge directions (low 4 bits of hash).
float noise_grad(int hash, float x, float y, float z);

// 3-D gradient noise, roughly -1..1, 0 at every integer lattice point.
float perlin_noise3(float x, float y, float z);

// Preset word (kind 1): 0x01000000 | hue << 16 | lightness << 8 | saturation, each one byte.
constexpr std::uint32_t preset_word(std::uint32_t hue, std::uint32_t lightness, std::uint32_t saturation) {
    return 0x01000000u | (hue & 0xFF) << 16 | (lightness & 0xFF) << 8 | (saturation & 0xFF);
}

}  // namespace textdemo
