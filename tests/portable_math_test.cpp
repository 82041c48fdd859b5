// The one trigonometry of every build against correctly rounded values worked out with
// exact rational arithmetic (pi to 1800 bits, series in 300-bit fixed point), at the
// boundaries of its argument reductions, at arguments hard to reduce, and at the special
// values; bench/sinf_exhaustive_check covers every float.
#include "frame/portable_math.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace textdemo {
namespace {

std::uint64_t bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

std::uint32_t bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NAN_D = std::numeric_limits<double>::quiet_NaN();

struct SineCosineCase {
    double x, sin, cos;
};

// Around the tiny-angle shortcut, the octants, both sides of the switch to reduction by the
// bits of 2/pi at 2^20, 1e22, the double nearest a multiple of pi/2 (sin within 2^-61 of 1
// and cos of 0: the reduction's hardest case), the largest double.
constexpr SineCosineCase SINE_COSINE[] = {
    {0x1.0000000000000p-27, 0x1.0000000000000p-27, 0x1.0000000000000p+0},
    {-0x1.fffffffffffffp-28, -0x1.fffffffffffffp-28, 0x1.0000000000000p+0},
    {0x1.0000000000000p+0, 0x1.aed548f090ceep-1, 0x1.14a280fb5068cp-1},
    {-0x1.4000000000000p+2, 0x1.eaf81f5e09933p-1, 0x1.22785706b4ad9p-2},
    {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1},
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},
    {0x1.9000000000000p+6, -0x1.03425b78c4db8p-1, 0x1.b981dbf665fdfp-1},
    {-0x1.d7f8c7e2c3a05p+3, -0x1.a316252a07037p-1, -0x1.26206ddab7fd9p-1},
    {0x1.fffffffffffffp+19, 0x1.526ccb2de52a8p-2, 0x1.e33ada9352c61p-1},
    {0x1.0000000000000p+20, 0x1.526ccb2fc8656p-2, 0x1.e33ada92fe2aep-1},
    {0x1.e848000000000p+19, -0x1.6664b2568d867p-2, 0x1.df9df9906d32cp-1},
    {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1, 0x1.0be2cef01c8f4p-1},
    {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0, -0x1.14ae72e6ba22fp-61},
    {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1},
};

TEST(PortableMathTest, SineAndCosineAreCorrectlyRounded) {
    for (const SineCosineCase& c : SINE_COSINE) {
        EXPECT_EQ(bits(portable_sin(c.x)), bits(c.sin)) << "sin " << std::hexfloat << c.x;
        EXPECT_EQ(bits(portable_cos(c.x)), bits(c.cos)) << "cos " << std::hexfloat << c.x;
        EXPECT_EQ(bits(portable_sin(-c.x)), bits(-c.sin)) << "sin " << std::hexfloat << -c.x;
        EXPECT_EQ(bits(portable_cos(-c.x)), bits(c.cos)) << "cos " << std::hexfloat << -c.x;
    }
}

TEST(PortableMathTest, SineAndCosineOfSpecialValues) {
    EXPECT_EQ(bits(portable_sin(0.0)), bits(0.0));
    EXPECT_EQ(bits(portable_sin(-0.0)), bits(-0.0));
    EXPECT_EQ(bits(portable_sin(-0x1p-1074)), bits(-0x1p-1074));
    EXPECT_EQ(portable_cos(-0.0), 1.0);
    EXPECT_EQ(portable_cos(0x1p-1074), 1.0);
    for (double x : {INF, -INF, NAN_D}) {
        EXPECT_TRUE(std::isnan(portable_sin(x))) << x;
        EXPECT_TRUE(std::isnan(portable_cos(x))) << x;
    }
}

struct ArcTangentCase {
    double y, x, angle;
};

// Every octant, both sides of a sixteenth, a quotient of 1 - 2^-53, quotients that underflow
// or come to pi/2, a subnormal y.
constexpr ArcTangentCase ARC_TANGENT[] = {
    {0x1.0000000000000p+0, 0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
    {0x1.0000000000000p+0, -0x1.0000000000000p+0, 0x1.2d97c7f3321d2p+1},
    {-0x1.0000000000000p+0, -0x1.0000000000000p+0, -0x1.2d97c7f3321d2p+1},
    {0x1.0000000000000p-1, 0x1.0000000000000p+0, 0x1.dac670561bb4fp-2},
    {0x1.0000000000000p+0, 0x1.0000000000000p-1, 0x1.1b6e192ebbe44p+0},
    {0x1.8000000000000p+1, -0x1.c000000000000p+2, 0x1.5e4c36ca0118ap+1},
    {-0x1.4000000000000p+1, 0x1.999999999999ap-4, -0x1.87e3aa32878aep+0},
    {0x1.fffffffffffffp-1, 0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
    {0x1.c000000000000p-2, 0x1.0000000000000p+0, 0x1.a64eec3cc23fdp-2},
    {-0x1.e240c9fbe76c9p+16, 0x1.0624dd2f1a9fcp-10, -0x1.921fb52178c63p+0},
    {0x1.56e1fc2f8f359p-997, 0x1.0000000000000p+0, 0x1.56e1fc2f8f359p-997},
    {0x1.0000000000000p+0, 0x1.7e43c8800759cp+996, 0x1.56e1fc2f8f359p-997},
    {0x1.7e43c8800759cp+996, 0x1.56e1fc2f8f359p-997, 0x1.921fb54442d18p+0},
    {0x0.0000000000001p-1022, -0x1.0000000000000p+0, 0x1.921fb54442d18p+1},
};

TEST(PortableMathTest, ArcTangentIsCorrectlyRounded) {
    for (const ArcTangentCase& c : ARC_TANGENT) {
        EXPECT_EQ(bits(portable_atan2(c.y, c.x)), bits(c.angle)) << std::hexfloat << c.y << ", " << c.x;
        EXPECT_EQ(bits(portable_atan2(-c.y, c.x)), bits(-c.angle)) << std::hexfloat << -c.y << ", " << c.x;
        if (c.x == 1) {
            EXPECT_EQ(bits(portable_atan(c.y)), bits(c.angle)) << std::hexfloat << c.y;
        }
    }
    EXPECT_EQ(bits(portable_atan(-0x1.0000000000000p+1)), bits(-0x1.1b6e192ebbe44p+0));
}

TEST(PortableMathTest, ArcTangentFollowsTheSignsOfZerosAndInfinities) {
    const double pi = 0x1.921fb54442d18p+1, half_pi = 0x1.921fb54442d18p+0, quarter_pi = 0x1.921fb54442d18p-1;
    const double three_quarter_pi = 0x1.2d97c7f3321d2p+1;
    const ArcTangentCase cases[] = {
        {0.0, 0.0, 0.0},          {0.0, -0.0, pi},          {0.0, 2.0, 0.0},           {0.0, -2.0, pi},
        {3.0, 0.0, half_pi},      {3.0, -0.0, half_pi},     {INF, 5.0, half_pi},       {INF, -5.0, half_pi},
        {5.0, INF, 0.0},          {5.0, -INF, pi},          {INF, INF, quarter_pi},    {INF, -INF, three_quarter_pi},
    };
    for (const ArcTangentCase& c : cases) {
        EXPECT_EQ(bits(portable_atan2(c.y, c.x)), bits(c.angle)) << c.y << ", " << c.x;
        EXPECT_EQ(bits(portable_atan2(-c.y, c.x)), bits(-c.angle)) << -c.y << ", " << c.x;
    }
    EXPECT_EQ(bits(portable_atan(-0.0)), bits(-0.0));
    EXPECT_EQ(bits(portable_atan(INF)), bits(half_pi));
    EXPECT_EQ(bits(portable_atan(-INF)), bits(-half_pi));
    EXPECT_TRUE(std::isnan(portable_atan(NAN_D)));
    EXPECT_TRUE(std::isnan(portable_atan2(NAN_D, 1.0)));
    EXPECT_TRUE(std::isnan(portable_atan2(1.0, NAN_D)));
}

struct FloatSineCase {
    float x, sin;
};

// Subnormal and tiny arguments, sin near 1 and near 0, both sides of 2^20 (where the fast
// evaluation stops), large and the largest floats, four arguments where glibc's sinf is one
// ulp off, and the hardest of all 2^32 floats (bench/sinf_exhaustive_check, values from
// libquadmath): those whose sine lies closest to halfway between two floats, within 2^-54
// to 2^-51.6 of it relative, so that an evaluation good to 2^-50 could round either way;
// most are large arguments, whose reduction by pi/2 needs the most bits.
constexpr FloatSineCase FLOAT_SINE[] = {
    {0x1p-149f, 0x1p-149f},
    {0x1p-126f, 0x1p-126f},
    {0x1.8p-12f, 0x1.8p-12f},
    {0x1.0p+0f, 0x1.aed548p-1f},
    {0x1.921fb6p+0f, 0x1.0p+0f},
    {0x1.921fb6p+1f, -0x1.777a5cp-24f},
    {0x1.9p+6f, -0x1.03425cp-1f},
    {0x1.fffffep+19f, 0x1.156658p-2f},
    {0x1.0p+20f, 0x1.526cccp-2f},
    {0x1.000002p+20f, 0x1.c8471p-2f},
    {0x1.2a05f2p+33f, -0x1.f334c8p-2f},
    {0x1.fffffep+127f, -0x1.0b3366p-1f},
    {-0x1.8p+1f, -0x1.210386p-3f},
    {0x1.22ee86p+1f, 0x1.86e73p-1f},
    {0x1.000064p+0f, 0x1.aed5b4p-1f},
    {0x1.b3359ap+0f, 0x1.fbbadep-1f},
    {0x1.71ee2ep+1f, 0x1.fdae98p-3f},
    {0x1.3a849cp+2f, -0x1.f59822p-1f},
    {0x1.487e0cp+103f, 0x1.287508p-2f},
    {0x1.33333p+13f, -0x1.63f4bap-2f},
    {0x1.95f654p+44f, -0x1.fcf42ep-1f},
    {0x1.524856p+80f, -0x1.ff5702p-1f},
    {0x1.e35bc6p+7f, 0x1.c5b4acp-3f},
    {0x1.a3eda6p+116f, -0x1.f511dcp-1f},
    {0x1.8d9d8p+73f, -0x1.d32b7ap-1f},
    {0x1.411b04p+63f, 0x1.58ed1p-1f},
    {0x1.b559b6p+117f, 0x1.b50776p-2f},
    {0x1.6ad26ep+32f, -0x1.fff96ep-1f},
    {0x1.e7061ep-2f, 0x1.d4de8ap-2f},
};

TEST(PortableMathTest, FloatSineIsCorrectlyRounded) {
    for (const FloatSineCase& c : FLOAT_SINE) {
        EXPECT_EQ(bits(portable_sinf(c.x)), bits(c.sin)) << std::hexfloat << c.x;
        EXPECT_EQ(bits(portable_sinf(-c.x)), bits(-c.sin)) << std::hexfloat << -c.x;
    }
    EXPECT_EQ(bits(portable_sinf(-0.0f)), bits(-0.0f));
    EXPECT_TRUE(std::isnan(portable_sinf(std::numeric_limits<float>::infinity())));
    EXPECT_TRUE(std::isnan(portable_sinf(std::numeric_limits<float>::quiet_NaN())));
}

}  // namespace
}  // namespace textdemo
