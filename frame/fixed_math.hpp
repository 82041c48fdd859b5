// fixed_math: 16.16 fixed-point numbers, 3x3 matrices and the global sine tables.
//
// Offers: Fixed, Vector3, Matrix3, fixed_mul (the one product rule every caller uses),
// matrix_multiply, transform_vector, rotation_matrix, fixed_atan2, and SineTable /
// CosineTable (65536 entries each, index 0 standing for -pi) filled by build_sine_tables.
// Depends on: portable_math (the sine the tables are filled from).
//
// Contract: all arithmetic is exact integer arithmetic. Products are 64-bit and shifted
// right arithmetically by 16 (rounding toward minus infinity); sums of products wrap as
// 32-bit two's complement. The effects and the mesh pipeline are written against these
// exact roundings, so nothing here may be "improved".
#pragma once

#include <cstdint>

namespace textdemo {

using Fixed = std::int32_t;

constexpr Fixed FIXED_ONE = 0x10000;

struct Vector3 {
    Fixed x, y, z;
};

// Row-major: m[0] m[1] m[2] is row 0. Vectors are row vectors multiplied from the left.
struct Matrix3 {
    Fixed m[9];
};

constexpr Matrix3 MATRIX_IDENTITY = {{FIXED_ONE, 0, 0, 0, FIXED_ONE, 0, 0, 0, FIXED_ONE}};

// (a * b) >> 16 on the 64-bit product, low 32 bits kept.
Fixed fixed_mul(Fixed a, Fixed b);

// 32-bit sums, differences and products that wrap like two's complement registers.
constexpr std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrap_sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// b := b x a. The result is formed in a temporary, so b may be read while it is built.
void matrix_multiply(const Matrix3& a, Matrix3& b);

// out := v x m.
void transform_vector(const Matrix3& m, const Vector3& v, Vector3& out);
// The same for a mesh vertex record (x, y, z first, then normals): uses its first three values.
void transform_vector(const Matrix3& m, const Fixed* record, Vector3& out);

// Transposed rotation Rz(gamma) * Ry(beta) * Rx(alpha) from table sines and cosines;
// the argument order is the historical one the callers use.
void rotation_matrix(Fixed cos_beta, Fixed sin_alpha, Fixed sin_beta, Fixed sin_gamma,
                     Fixed cos_alpha, Fixed cos_gamma, Matrix3& out);

// One-term atan2 approximation in Fixed radians, about -pi..pi; (0, 0) gives 102942.
Fixed fixed_atan2(std::int32_t x, std::int32_t y);

constexpr int SINE_TABLE_SIZE = 65536;
extern std::int32_t SineTable[SINE_TABLE_SIZE];
extern std::int32_t CosineTable[SINE_TABLE_SIZE];

// Fills both tables; runs once at set-up before any effect is created.
void build_sine_tables();

}  // namespace textdemo
