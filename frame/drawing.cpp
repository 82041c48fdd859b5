#include "frame/drawing.hpp"

namespace textdemo {

std::uint32_t isqrt32(std::uint32_t v) {
    std::uint32_t root = 0;  // twice the partial root
    for (int s = 15; s >= 0; --s) {
        const std::uint32_t trial = (root + (1u << s)) << s;
        if (v >= trial) {
            v -= trial;
            root |= 1u << (s + 1);
        }
    }
    return root >> 1;
}

// The reference permutation of improved Perlin noise, written twice so indices up to 510 need no wrap.
#define TEXTDEMO_PERLIN_PERMUTATION                                                                          \
    151, 160, 137, 91, 90, 15, 131, 13, 201, 95, 96, 53, 194, 233, 7, 225, 140, 36, 103, 30, 69, 142, 8, 99, 37,  \
        240, 21, 10, 23, 190, 6, 148, 247, 120, 234, 75, 0, 26, 197, 62, 94, 252, 219, 203, 117, 35, 11, 32, 57,   \
        177, 33, 88, 237, 149, 56, 87, 174, 20, 125, 136, 171, 168, 68, 175, 74, 165, 71, 134, 139, 48, 27, 166,  \
        77, 146, 158, 231, 83, 111, 229, 122, 60, 211, 133, 230, 220, 105, 92, 41, 55, 46, 245, 40, 244, 102, 143, \
        54, 65, 25, 63, 161, 1, 216, 80, 73, 209, 76, 132, 187, 208, 89, 18, 169, 200, 196, 135, 130, 116, 188,    \
        159, 86, 164, 100, 109, 198, 173, 186, 3, 64, 52, 217, 226, 250, 124, 123, 5, 202, 38, 147, 118, 126, 255, \
        82, 85, 212, 207, 206, 59, 227, 47, 16, 58, 17, 182, 189, 28, 42, 223, 183, 170, 213, 119, 248, 152, 2, 44, \
        154, 163, 70, 221, 153, 101, 155, 167, 43, 172, 9, 129, 22, 39, 253, 19, 98, 108, 110, 79, 113, 224, 232,  \
        178, 185, 112, 104, 218, 246, 97, 228, 251, 34, 242, 193, 238, 210, 144, 12, 191, 179, 162, 241, 81, 51,   \
        145, 235, 249, 14, 239, 107, 49, 192, 214, 31, 181, 199, 106, 157, 184, 84, 204, 176, 115, 121, 50, 45,   \
        127, 4, 150, 254, 138, 236, 205, 93, 222, 114, 67, 29, 24, 72, 243, 141, 128, 195, 78, 66, 215, 61, 156, 180

const std::uint8_t PerlinPermutation[512] = {TEXTDEMO_PERLIN_PERMUTATION, TEXTDEMO_PERLIN_PERMUTATION};
#undef TEXTDEMO_PERLIN_PERMUTATION

float noise_grad(int hash, float x, float y, float z) {
    const int h = hash & 15;
    const float u = h < 8 ? x : y;
    const float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

namespace {
// At zero and at negative integers the cell below is taken.
int lattice_cell(float a) {
    const int t = static_cast<int>(a);
    return a > 0 ? t : t - 1;
}
float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
float lerp(float w, float p, float q) { return p + w * (q - p); }
}  // namespace

float perlin_noise3(float x, float y, float z) {
    const int x0 = lattice_cell(x), y0 = lattice_cell(y), z0 = lattice_cell(z);
    const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0), fz = z - static_cast<float>(z0);
    const float gx = fx - 1.0f, gy = fy - 1.0f, gz = fz - 1.0f;
    const int i[2] = {x0 & 255, (x0 + 1) & 255};
    const int j[2] = {y0 & 255, (y0 + 1) & 255};
    const int k[2] = {z0 & 255, (z0 + 1) & 255};
    const auto& P = PerlinPermutation;
    const auto hash = [&](int a, int b, int d) { return P[i[a] + P[j[b] + P[k[d]]]]; };
    const float ox[2] = {fx, gx}, oy[2] = {fy, gy}, oz[2] = {fz, gz};
    const float wx = fade(fx), wy = fade(fy), wz = fade(fz);

    float y_lerp[2];
    for (int a = 0; a < 2; ++a) {
        const float z0v = lerp(wz, noise_grad(hash(a, 0, 0), ox[a], oy[0], oz[0]),
                               noise_grad(hash(a, 0, 1), ox[a], oy[0], oz[1]));
        const float z1v = lerp(wz, noise_grad(hash(a, 1, 0), ox[a], oy[1], oz[0]),
                               noise_grad(hash(a, 1, 1), ox[a], oy[1], oz[1]));
        y_lerp[a] = lerp(wy, z0v, z1v);
    }
    return 0.936f * lerp(wx, y_lerp[0], y_lerp[1]);
}

}  // namespace textdemo
