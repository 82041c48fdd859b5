// Wobbly: the moving zeros and poles, and whole frames in both looks, in the order-23
// swell and on a pole, against a reference built on std::complex and logarithms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "effects/effect_wobbly.hpp"
#include "tests/support/effect_fixture.hpp"

namespace textdemo {
namespace {

TEST(WobblyPoints, OffsetsAtTheStart) {
    const WobblyPoints p = wobbly_points(0);
    const double a[4] = {2.6, 2.7, 2.35, 2.3}, b[4] = {0, 0.2, -0.2, 0.3};
    for (int n = 0; n < 4; ++n) {
        EXPECT_DOUBLE_EQ(p.a[n], a[n]) << n;
        EXPECT_DOUBLE_EQ(p.b[n], b[n]) << n;
    }
}

// Grey levels of the three masks at frame pixel n.
struct Masks {
    int (*splat1)(int);
    int (*splat6)(int);
    int (*splat7)(int);
};
const Masks SYNTHETIC_MASKS = {[](int n) { return (11 * n) & 255; }, [](int n) { return (13 * n + 7) & 255; },
                               [](int n) { return (5 * n + 3) & 255; }};
const Masks ZERO_MASKS = {[](int) { return 0; }, [](int) { return 0; }, [](int) { return 0; }};

// Reference word of pixel (k, r): w through std::complex, the rings through logarithms.
std::uint32_t reference_word(int k, int r, const WobblyPoints& points, std::uint32_t position, int order, int row,
                             const Masks& masks = SYNTHETIC_MASKS) {
    const double x = 3 - 6.0 * k / 79, y = 2 - 4.0 * r / 49;
    std::complex<double> z[4];
    for (int n = 0; n < 4; ++n) z[n] = {x + points.a[n], y + points.b[n]};
    if (z[2] == 0.0 || z[3] == 0.0) return 0x01DC0064;  // on a pole: unlit
    const std::complex<double> w = z[0] * z[1] / z[2] / z[3];
    const double phase = (std::arg(w) < 0 ? std::arg(w) + 6.283185307178 : std::arg(w)) / 6.283185307178;
    const double h = std::abs(w);
    double ring = h;  // position between consecutive powers of e
    if (h > 1) {
        const double lo = std::exp(std::ceil(std::log(h)) - 1);
        ring = (h - lo) / (lo * (M_E - 1));
    }
    const double tri = 1 - std::fabs(2 * ring - 1);
    const bool early = order < 30;
    const double base = early ? (1 - std::pow(1 - tri, 3)) * 0.6 + 0.4 : ring * phase;
    const long wave = static_cast<long>(std::floor(base * 160 + 0.5 + position / 10.0)) % 160;
    const int sector = static_cast<int>(20 * phase);
    int lightness = wave <= 80 ? static_cast<int>(wave) : static_cast<int>(160 - wave);
    if (early && sector % 10 == 9) lightness = 0;
    const int n = r * 80 + k;
    lightness -= masks.splat1(n) >> 4;
    lightness += early ? (255 - masks.splat6(n)) >> 3 : -((255 - masks.splat7(n)) >> 3);
    if (order == 23 && row > 140) lightness += row < 180 ? row - 140 : 400 - 2 * row;
    lightness = std::clamp(lightness, 0, 80);
    return 0x01000064u | static_cast<std::uint32_t>(220 + sector % 20) << 16 | static_cast<std::uint32_t>(lightness) << 8;
}

class WobblyTest : public test::EffectTest {
protected:
    void put_masks() {
        test::put_grey_png("splat1.png", 80, 50, [](int x, int y) { return SYNTHETIC_MASKS.splat1(y * 80 + x); });
        test::put_grey_png("splat6.png", 80, 50, [](int x, int y) { return SYNTHETIC_MASKS.splat6(y * 80 + x); });
        test::put_grey_png("splat7.png", 80, 50, [](int x, int y) { return SYNTHETIC_MASKS.splat7(y * 80 + x); });
    }
    static void expect_frame(const WobblyPoints& points, std::uint32_t position, int order, int row) {
        // The frame covers several phase sectors and is not blank.
        int spokes = 0, lit = 0;
        for (int n = 0; n < FRAME_CELLS; ++n) {
            const std::uint32_t expected = reference_word(n % 80, n / 80, points, position, order, row);
            ASSERT_EQ(text_frame().pixels[n], expected) << "column " << n % 80 << " row " << n / 80;
            spokes += ((expected >> 16) & 255) % 10 == 9;
            lit += ((expected >> 8) & 255) > 0;
        }
        EXPECT_GT(spokes, 0);
        EXPECT_GT(lit, 200);
    }
};

TEST_F(WobblyTest, EarlyLookWholeFrames) {
    test::put_order_start_dump(20);
    put_masks();
    EffectWobbly wobbly(0, 100000);
    for (std::uint32_t position : {0u, 1234u, 4321u}) {
        test::song_at(position);
        ASSERT_EQ(current_order(pattern_data()), 20);
        wobbly.render();
        expect_frame(wobbly_points(position), position, 20, current_row(pattern_data()));
    }
}

TEST_F(WobblyTest, LateLookWholeFrame) {
    test::put_order_start_dump(30);
    put_masks();
    EffectWobbly wobbly(0, 100000);
    test::song_at(2500);
    wobbly.render();
    expect_frame(wobbly_points(2500), 2500, 30, current_row(pattern_data()));
}

// Order 23: rows 140, 180 and 230 add 0, 40 and -60 to the lightness before the clamp.
TEST_F(WobblyTest, SwellDuringOrder23) {
    test::put_order_start_dump(23);
    put_masks();
    EffectWobbly wobbly(0, 100000);
    for (const auto& [position, row] : {std::pair{3052u, 140}, {3925u, 180}, {5015u, 230}, {3500u, 161}}) {
        test::song_at(position);
        ASSERT_EQ(current_row(pattern_data()), row);
        wobbly.render();
        expect_frame(wobbly_points(position), position, 23, row);
    }
}

// Zeros and poles placed on pixel centres: a pole pixel is unlit whatever the masks say.
TEST_F(WobblyTest, PolePixelsAreUnlit) {
    test::put_order_start_dump(20);
    test::put_grey_png("splat1.png", 80, 50, [](int, int) { return 0; });
    test::put_grey_png("splat6.png", 80, 50, [](int, int) { return 0; });  // would add 31 everywhere
    test::put_grey_png("splat7.png", 80, 50, [](int, int) { return 255; });
    EffectWobbly wobbly(0, 100000);
    test::song_at(0);
    // Pole 3 at pixel (0, 0) where x = 3, y = 2; pole 4 at pixel (79, 49) where x = -3, y = -2.
    const WobblyPoints points = {{0.5, -1.25, -3, 3}, {0.25, 1.5, -2, 2}};
    wobbly.draw(points, 0);
    EXPECT_EQ(text_frame().pixels[0], 0x01DC0064u);
    EXPECT_EQ(text_frame().pixels[FRAME_CELLS - 1], 0x01DC0064u);
    int lit = 0;
    for (int n = 1; n < FRAME_CELLS - 1; ++n) lit += ((text_frame().pixels[n] >> 8) & 255) > 0;
    EXPECT_GT(lit, 3000);
}

// Missing-content fallbacks: masks that fail to decode read as zeros, never past their end.
TEST_F(WobblyTest, UndecodableMasksReadAsZero) {
    test::put_order_start_dump(20);
    const char junk[] = "not a picture";
    for (const char* name : {"splat1.png", "splat6.png", "splat7.png"}) ASSERT_FALSE(put_resource(name, junk, sizeof junk));
    ::testing::internal::CaptureStdout();
    EffectWobbly wobbly(0, 100000);
    const std::string messages = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(messages.find("bitmap loading failed! splat7.png"), std::string::npos);
    test::song_at(777);
    wobbly.render();
    const WobblyPoints points = wobbly_points(777);
    const int row = current_row(pattern_data());
    for (int n = 0; n < FRAME_CELLS; ++n)
        ASSERT_EQ(text_frame().pixels[n], reference_word(n % 80, n / 80, points, 777, 20, row, ZERO_MASKS)) << n;
}

}  // namespace
}  // namespace textdemo
