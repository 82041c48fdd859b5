#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "effects/effect_twister.hpp"
#include "frame/drawing.hpp"
#include "frame/fixed_math.hpp"
#include "tests/support/effect_fixture.hpp"

using namespace textdemo;
using namespace textdemo::test;

namespace {

int greets_grey(int x, int y) { return (x * 5 + y * 3) & 255; }
int stain_grey(int x, int y) { return (x * 3 + y * 7) & 255; }
int band_grey(int x, int y) { return (x * 2 + y * 5) & 255; }
// Band coverage by column: 229 (just too thin), 230 (just enough), 255, 0.
int band_mask_grey(int x, int) {
    const int levels[4] = {229, 230, 255, 0};
    return levels[x % 4];
}

std::uint32_t word_at(int x, int y) { return text_frame().pixels[y * 80 + x]; }

class EffectTwisterTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        build_sine_tables();
        put_order_start_dump(0);
        put_grey_png("twist.png", 80, 46, [](int x, int y) { return band_grey(x, y); });
        put_grey_png("twistalpha.png", 80, 46, [](int x, int y) { return band_mask_grey(x, y); });
        put_grey_png("splat8.png", 80, 50, [](int x, int y) { return stain_grey(x, y); });
        put_grey_png("greets.png", 960, 50, [](int x, int y) { return greets_grey(x, y); });
        put_grey_png("greets_opacity.png", 960, 50, [](int, int) { return 0; });
    }

    static void without_band() { put_grey_png("twistalpha.png", 80, 46, [](int, int) { return 0; }); }
};

// Cloud word of pixel (t, i) at song position P, in the stated single-precision steps.
std::uint32_t expected_cloud(int t, int i, std::uint32_t position) {
    const float pf = static_cast<float>(position);
    const float z0 = pf / 152000.0f, y0 = pf / 16000.0f, depth = pf / 14310.0f;
    const float u = static_cast<float>(t) / 200.0f + z0, w = static_cast<float>(i) / 130.0f + y0;
    const double low = std::fabs(perlin_noise3(4 * u, 4 * w, 4 * depth));
    const double high = std::fabs(perlin_noise3(8 * u, 8 * w, 8 * depth));
    const float f = static_cast<float>(31.25 * high + 62.5 * low);
    const float v = std::min(std::max(f - static_cast<float>(60 - t), 0.0f), 60.0f);
    float g = static_cast<float>((255 - stain_grey(t, i)) / 6) + v;
    g = std::min(std::max(g, 0.0f), 80.0f);
    return 0x01E60064u + static_cast<std::uint32_t>(g + 0.5) * 256;
}

TEST(TwisterMotion, FrameValues) {
    const TwisterMotion start = twister_motion(0, 0);
    EXPECT_EQ(start.shift, 10);  // every sine is 0: trunc(0.5) + 10
    EXPECT_EQ(start.shear, 0.0f);
    EXPECT_EQ(start.gain, 3.0f);
    EXPECT_EQ(start.scroll, 0);
    // P = 1000: sines of 2, 3.333, 1.4286, 3.125, 2.5 and 5.
    const TwisterMotion m = twister_motion(1000, 0);
    EXPECT_EQ(m.shift, 10);                            // 0.5985 x 0.0166 x 10 = 0.099
    EXPECT_NEAR(m.shear, -0.343067, 2e-6);             // 2 x 0.98990 x (-0.19057 x 0.90930)
    EXPECT_NEAR(m.gain, 2.424646, 2e-6);               // 3 + 0.6 x -0.95892
    EXPECT_NEAR(m.cloud_z, 1000 / 152000.0, 1e-9);
    EXPECT_NEAR(m.cloud_y, 1000 / 16000.0, 1e-9);
    EXPECT_NEAR(m.cloud_depth, 1000 / 14310.0, 1e-8);
}

TEST(TwisterMotion, GreetingsWindowAndShiftRange) {
    EXPECT_EQ(twister_motion(5000, 5000).scroll, 0);
    EXPECT_EQ(twister_motion(5049, 5000).scroll, 0);
    EXPECT_EQ(twister_motion(5050, 5000).scroll, 1);
    EXPECT_EQ(twister_motion(5000 + 43999, 5000).scroll, 879);
    EXPECT_EQ(twister_motion(5000 + 44000, 5000).scroll, 880);
    EXPECT_EQ(twister_motion(5000 + 500000, 5000).scroll, 880);
    int lowest = 99, highest = -99;
    for (std::uint32_t p = 0; p < 200000; p += 3) {
        const int shift = twister_motion(p, 0).shift;
        lowest = std::min(lowest, shift);
        highest = std::max(highest, shift);
    }
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 20);
}

TEST_F(EffectTwisterTest, CloudsFillTheFrameWhereGreetingsAreClear) {
    without_band();
    EffectTwister twister(0, 1000000);
    EXPECT_STREQ(twister.name, "Twister");
    song_at(0);
    twister.render();
    // Column 50, row 0 at P = 0 samples the noise at whole lattice points (1, 0, 0) and
    // (2, 0, 0): no cloud, just the stain, (255 - 150) / 6 = 17.
    EXPECT_EQ(word_at(50, 0), 0x01E61164u);
    for (std::uint32_t position : {0u, 123456u, 0xFFFFFF00u}) {
        song_at(position);
        twister.render();
        for (int i = 0; i < 50; ++i)
            for (int t = 0; t < 80; ++t)
                ASSERT_EQ(word_at(t, i), expected_cloud(t, i, position)) << "P " << position << " at " << t << ", " << i;
    }
}

TEST_F(EffectTwisterTest, GreetingsScrollAndDimTowardsTheLeft) {
    without_band();
    put_grey_png("greets_opacity.png", 960, 50, [](int, int) { return 255; });
    EffectTwister twister(5000, 1000000);
    // At the start the window starts at column 0; from 44 s later on it rests at column 880.
    for (std::uint32_t position : {5000u, 49000u, 90000u}) {
        song_at(position);
        twister.render();
        const int scroll = position == 5000 ? 0 : 880;
        const double gain = 3 + 0.6 * std::sin(position / 200.0);
        for (int i = 0; i < 50; ++i) {
            for (int t = 0; t < 80; ++t) {
                const int b = std::max(greets_grey(scroll + t, i) + 4 * t - 320, 0);
                const auto lightness = static_cast<std::uint32_t>(b / gain);
                ASSERT_EQ(word_at(t, i), 0x01E60032u + lightness * 256) << "P " << position << " at " << t << ", " << i;
            }
        }
    }
}

TEST_F(EffectTwisterTest, AnyOpacityHidesTheClouds) {
    without_band();
    put_grey_png("greets.png", 960, 50, [](int, int) { return 0; });
    put_grey_png("greets_opacity.png", 960, 50, [](int x, int) { return x % 2; });
    EffectTwister twister(0, 1000000);
    song_at(300);  // window starts at column 6: even frame columns have opacity 0
    twister.render();
    for (int i = 0; i < 50; ++i) {
        for (int t = 0; t < 80; ++t) {
            if (t % 2) ASSERT_EQ(word_at(t, i), 0x01E60032u) << t << ", " << i;  // black greetings
            else ASSERT_EQ(word_at(t, i), expected_cloud(t, i, 300)) << t << ", " << i;
        }
    }
}

// Renders with and without the band mask and checks the band's words over the first pass.
void expect_band(EffectTwister& banded, EffectTwister& plain, std::uint32_t position, int shift,
                 const std::function<int(int)>& source_row) {
    song_at(position);
    plain.render();
    std::vector<std::uint32_t> base(text_frame().pixels, text_frame().pixels + 4000);
    banded.render();
    for (int r = 0; r < 50; ++r) {
        const int sr = source_row(r);
        for (int j = 0; j < 80; ++j) {
            const int column = shift + j;
            std::uint32_t expected = base[r * 80 + j];
            if (column < 80 && band_mask_grey(column, sr) >= 230)
                expected = 0x01DC0064u + static_cast<std::uint32_t>(std::min(80, band_grey(column, sr) / 3)) * 256;
            ASSERT_EQ(word_at(j, r), expected) << "P " << position << " at " << j << ", " << r;
        }
    }
}

TEST_F(EffectTwisterTest, BandAtSongStartShowsOneTextureRow) {
    EffectTwister banded(0, 1000000);
    without_band();
    EffectTwister plain(0, 1000000);
    // P = 0: no shear, shift 10, every row shows band row 100 mod 46 = 8.
    expect_band(banded, plain, 0, 10, [](int) { return 8; });
    // Column 0 shows band column 10 (coverage 255, grey 60 -> 20); column 2 band column 12
    // (coverage 229: not drawn); column 3 band column 13 (coverage 230, grey 66 -> 22).
    EXPECT_EQ(word_at(0, 0), 0x01DC1464u);
    EXPECT_EQ(word_at(2, 0) >> 16, 0x01E6u);
    EXPECT_EQ(word_at(3, 0), 0x01DC1664u);
}

TEST_F(EffectTwisterTest, ShearedBandSteppingRowByRow) {
    EffectTwister banded(0, 1000000);
    without_band();
    EffectTwister plain(0, 1000000);
    // P = 1000: shear -0.343, shift 10, P / 20 = 50; rows round half up toward zero.
    const float shear = twister_motion(1000, 0).shear;
    expect_band(banded, plain, 1000, 10, [shear](int r) {
        const int y = static_cast<int>(static_cast<float>(r) * shear + 0.5);
        return (y + 150) % 46;
    });
    // Hand check of the last row: 49 x -0.343 + 0.5 = -16.31 -> -16, source row 134 mod 46 = 42.
    EXPECT_EQ(word_at(0, 49), 0x01DC4C64u);  // band column 10, row 42: grey 230 -> 76
}

TEST_F(EffectTwisterTest, WidestShiftLeavesTheRightColumnsBare) {
    // A position where sin(P / 400) x sin(P / 320) is well above 0.95, found in double precision.
    std::uint32_t position = 0;
    while (std::sin(position / 400.0) * std::sin(position / 320.0) < 0.97) ++position;
    ASSERT_EQ(twister_motion(position, 0).shift, 20);
    EffectTwister banded(0, 1000000);
    without_band();
    EffectTwister plain(0, 1000000);
    const float shear = twister_motion(position, 0).shear;
    expect_band(banded, plain, position, 20, [&](int r) {
        const int y = static_cast<int>(static_cast<float>(r) * shear + 0.5);
        return static_cast<int>((y + position / 20 + 100) % 46);
    });
}

TEST_F(EffectTwisterTest, UndecodableImagesReadAsBlack) {
    const char junk[] = "junk";
    for (const char* name : {"twist.png", "twistalpha.png", "splat8.png", "greets.png", "greets_opacity.png"})
        ASSERT_FALSE(put_resource(name, junk, sizeof junk));
    EffectTwister twister(0, 1000000);
    song_at(2000);
    twister.render();
    for (int i = 0; i < 50; ++i)
        for (int t = 0; t < 80; ++t) {
            const std::uint32_t word = word_at(t, i);
            ASSERT_EQ(word & 0xFFFF00FFu, 0x01E60064u);  // clouds everywhere, no band
            ASSERT_GE(word >> 8 & 0xFF, 42u);             // blank stain: 255 / 6
        }
}

}  // namespace
