#include "frame/fixed_math.hpp"

#include <cstdlib>

#include "frame/portable_math.hpp"

namespace textdemo {

std::int32_t SineTable[SINE_TABLE_SIZE];
std::int32_t CosineTable[SINE_TABLE_SIZE];

Fixed fixed_mul(Fixed a, Fixed b) {
    return static_cast<Fixed>((static_cast<std::int64_t>(a) * b) >> 16);
}

namespace {
Fixed dot3(Fixed a0, Fixed b0, Fixed a1, Fixed b1, Fixed a2, Fixed b2) {
    return wrap_add(wrap_add(fixed_mul(a0, b0), fixed_mul(a1, b1)), fixed_mul(a2, b2));
}
}  // namespace

void matrix_multiply(const Matrix3& a, Matrix3& b) {
    Matrix3 result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            result.m[i * 3 + j] = dot3(b.m[i * 3], a.m[j], b.m[i * 3 + 1], a.m[3 + j], b.m[i * 3 + 2], a.m[6 + j]);
        }
    }
    b = result;
}

void transform_vector(const Matrix3& m, const Vector3& v, Vector3& out) {
    const Fixed x = v.x, y = v.y, z = v.z;
    out.x = dot3(x, m.m[0], y, m.m[3], z, m.m[6]);
    out.y = dot3(x, m.m[1], y, m.m[4], z, m.m[7]);
    out.z = dot3(x, m.m[2], y, m.m[5], z, m.m[8]);
}

void transform_vector(const Matrix3& m, const Fixed* record, Vector3& out) {
    transform_vector(m, Vector3{record[0], record[1], record[2]}, out);
}

void rotation_matrix(Fixed cb, Fixed sa, Fixed sb, Fixed sg, Fixed ca, Fixed cg, Matrix3& out) {
    const Fixed u = fixed_mul(sb, cg);
    const Fixed w = fixed_mul(sb, sg);
    out.m[0] = fixed_mul(cg, cb);
    out.m[1] = fixed_mul(sg, cb);
    out.m[2] = wrap_sub(0, sb);
    out.m[3] = wrap_sub(fixed_mul(sa, u), fixed_mul(ca, sg));
    out.m[4] = wrap_add(fixed_mul(w, sa), fixed_mul(ca, cg));
    out.m[5] = fixed_mul(sa, cb);
    out.m[6] = wrap_add(fixed_mul(ca, u), fixed_mul(sa, sg));
    out.m[7] = wrap_sub(fixed_mul(w, ca), fixed_mul(sa, cg));
    out.m[8] = fixed_mul(ca, cb);
}

Fixed fixed_atan2(std::int32_t x, std::int32_t y) {
    constexpr Fixed QUARTER_PI = 51471;
    constexpr Fixed THREE_QUARTER_PI = 154415;
    const std::int64_t m = std::llabs(static_cast<std::int64_t>(y)) + 1;
    const std::int64_t wx = x;
    std::int64_t r;
    Fixed base;
    if (x >= 0) {
        r = ((wx - m) * 65536) / (wx + m);
        base = QUARTER_PI;
    } else {
        r = ((wx + m) * 65536) / (m - wx);
        base = THREE_QUARTER_PI;
    }
    const Fixed angle = wrap_sub(base, fixed_mul(static_cast<Fixed>(r), QUARTER_PI));
    return y < 0 ? wrap_sub(0, angle) : angle;
}

void build_sine_tables() {
    constexpr double PI_12 = 3.141592653589;
    constexpr int QUARTER = SINE_TABLE_SIZE / 4;
    constexpr int HALF = SINE_TABLE_SIZE / 2;
    double angle = -PI_12;
    const double step = 2 * PI_12 / 65536;
    for (int i = 0; i < QUARTER; ++i) {
        SineTable[i] = static_cast<std::int32_t>(portable_sin(angle) * 65536.0);
        angle += step;
    }
    for (int k = 0; k < QUARTER; ++k) SineTable[QUARTER + k] = SineTable[QUARTER - 1 - k];
    for (int j = 0; j < HALF; ++j) SineTable[HALF + j] = -SineTable[j];
    for (int j = 0; j < SINE_TABLE_SIZE; ++j) CosineTable[j] = SineTable[(j + QUARTER) & 0xFFFF];
}

}  // namespace textdemo
