#include <gtest/gtest.h>

#include <cmath>

#include "frame/fixed_math.hpp"

using namespace textdemo;

namespace {

class SineTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { build_sine_tables(); }
};

TEST_F(SineTables, ReferenceRows) {
    struct Row { int index, sine, cosine; };
    const Row rows[] = {{0, 0, -65535},      {1, -6, -65535},       {8192, -46340, -46336},
                        {16383, -65535, 0},  {16384, -65535, 0},    {24576, -46336, 46340},
                        {32768, 0, 65535},   {49152, 65535, 0},     {65535, 0, -65535}};
    for (const Row& r : rows) {
        EXPECT_EQ(SineTable[r.index], r.sine) << r.index;
        EXPECT_EQ(CosineTable[r.index], r.cosine) << r.index;
    }
}

TEST_F(SineTables, SymmetriesAndRange) {
    for (int i = 0; i < 32768; ++i) ASSERT_EQ(SineTable[i], -SineTable[i + 32768]) << i;
    for (int k = 0; k < 16384; ++k) ASSERT_EQ(SineTable[16384 + k], SineTable[16383 - k]) << k;
    EXPECT_EQ(CosineTable[0], SineTable[16384]);
    for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
        ASSERT_LE(std::abs(SineTable[i]), 65535);
        // Close to the true sine: the mirrored quarter sits up to two steps off.
        ASSERT_NEAR(SineTable[i], 65536.0 * std::sin(-M_PI + i * 2 * M_PI / 65536), 13.0) << i;
    }
}

TEST(FixedMul, RoundsTowardMinusInfinity) {
    for (Fixed v : {0, 1, -1, 12345, -98765, 0x7FFFFFFF, static_cast<Fixed>(0x80000000)}) EXPECT_EQ(fixed_mul(0x10000, v), v);
    EXPECT_EQ(fixed_mul(-1, 1), -1);
    EXPECT_EQ(fixed_mul(1, 1), 0);
    EXPECT_EQ(fixed_mul(0x20000, 0x30000), 0x60000);
    EXPECT_EQ(fixed_mul(0xFA0000, 0x10000 * 1000), static_cast<Fixed>(250000LL * 65536 & 0xFFFFFFFF));
}

TEST(MatrixMultiply, IdentityAndOrder) {
    const Matrix3 a = {{1, 2, 3, 4, 5, 6, 7, 8, 9}};
    Matrix3 b = a;
    matrix_multiply(MATRIX_IDENTITY, b);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(b.m[i], a.m[i]);
    Matrix3 c = MATRIX_IDENTITY;
    matrix_multiply(a, c);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(c.m[i], a.m[i]);
    // B := B x A with 2.0 and 3.0 scalings: result row i column j = B[i][k] * A[k][j].
    const Matrix3 swap = {{0, 0x10000, 0, 0x10000, 0, 0, 0, 0, 0x10000}};
    Matrix3 d = {{0x10000, 0x20000, 0x30000, 0x40000, 0x50000, 0x60000, 0x70000, 0x80000, 0x90000}};
    matrix_multiply(swap, d);  // swaps the first two columns of d
    EXPECT_EQ(d.m[0], 0x20000);
    EXPECT_EQ(d.m[1], 0x10000);
    EXPECT_EQ(d.m[5], 0x60000);
}

TEST(TransformVector, RowVectorTimesMatrix) {
    const Matrix3 m = {{0x10000, 0x20000, 0, 0, 0x10000, 0, 0, 0, -0x10000}};
    Vector3 out{};
    transform_vector(m, Vector3{0x30000, 0x10000, 0x50000}, out);
    EXPECT_EQ(out.x, 0x30000);
    EXPECT_EQ(out.y, 0x60000 + 0x10000);
    EXPECT_EQ(out.z, -0x50000);
    const Fixed record[9] = {0x30000, 0x10000, 0x50000, 99, 99, 99, 99, 99, 99};
    Vector3 out2{};
    transform_vector(m, record, out2);
    EXPECT_EQ(out2.x, out.x);
    EXPECT_EQ(out2.y, out.y);
    EXPECT_EQ(out2.z, out.z);
}

TEST_F(SineTables, RotationAtIndexZeroIsNearIdentity) {
    Matrix3 r{};
    rotation_matrix(CosineTable[0], SineTable[0], SineTable[0], SineTable[0], CosineTable[0], CosineTable[0], r);
    EXPECT_EQ(r.m[0], 65534);
    EXPECT_EQ(r.m[4], 65534);
    EXPECT_EQ(r.m[8], 65534);
    for (int i : {1, 2, 3, 5, 6, 7}) EXPECT_EQ(r.m[i], 0) << i;
}

TEST(RotationMatrix, QuarterTurnAboutZ) {
    // gamma = 90 degrees, alpha = beta = 0 (exact one-valued inputs).
    Matrix3 r{};
    rotation_matrix(0x10000, 0, 0, 0x10000, 0x10000, 0, r);
    const Fixed expected[9] = {0, 0x10000, 0, -0x10000, 0, 0, 0, 0, 0x10000};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(r.m[i], expected[i]) << i;
}

TEST(FixedAtan2, SamplesAndSigns) {
    EXPECT_EQ(fixed_atan2(0, 0), 102942);
    EXPECT_NEAR(fixed_atan2(1000, 0), 0, 150);
    EXPECT_NEAR(fixed_atan2(0, 1000), 102942, 150);
    EXPECT_NEAR(fixed_atan2(-1000, 0), 205886, 150);
    EXPECT_EQ(fixed_atan2(5, -7), -fixed_atan2(5, 7));
    // x >= 0: r = ((1 - 1) << 16) / 2 = 0 -> pi/4 exactly.
    EXPECT_EQ(fixed_atan2(1, 0), 51471);
    // Extremes stay in range and need 64-bit intermediates.
    EXPECT_NEAR(fixed_atan2(INT32_MAX, 0), 0, 150);
    EXPECT_NEAR(fixed_atan2(INT32_MIN + 1, 0), 205886, 150);
    EXPECT_NEAR(fixed_atan2(0, INT32_MIN + 1), -102942, 150);
}

}  // namespace
