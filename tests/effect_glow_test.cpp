#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "effects/effect_glow.hpp"
#include "frame/fixed_math.hpp"
#include "tests/support/effect_fixture.hpp"

using namespace textdemo;
using namespace textdemo::test;

namespace {

int stain_grey(int x, int y) { return (x * 7 + y * 11) & 255; }

class EffectGlowTest : public EffectTest {
public:
    void SetUp() override {
        EffectTest::SetUp();
        build_sine_tables();
        put_grey_png("splat4.png", 80, 50, [](int x, int y) { return stain_grey(x, y); });
    }

    // The same song position lies at the given row of order 29 in one dump and of order 28
    // in the other, so only the cue differs.
    static std::vector<int> frame_in_order(int order, int row) {
        release_pattern_data();
        put_order_start_dump(order, 512);
        EffectGlow glow(0, 0xFFFFFFFF);
        song_at(ms_at_row(row));
        EXPECT_EQ(current_order(pattern_data()), order);
        EXPECT_EQ(current_row(pattern_data()), row);
        glow.render();
        std::vector<int> frame;
        for (int p = 0; p < 4000; ++p) frame.push_back(lightness(p));
        return frame;
    }

    static int lightness(int p) {
        const std::uint32_t word = text_frame().pixels[p];
        EXPECT_EQ(word & 0xFFFF00FFu, 0x01E60064u) << p;
        return static_cast<int>(word >> 8 & 0xFF);
    }
};

// Palette column of one direction, written out the long way: a bright ramp over `knee`
// rows, a fading tail over 200 more (at most to row 254), then black.
std::vector<std::uint32_t> reference_palette(std::uint32_t position) {
    const std::int64_t clock = position >> 3;
    auto sn = [](std::int64_t i) { return static_cast<std::int64_t>(SineTable[((i % 65536) + 65536) % 65536]); };
    auto cs = [](std::int64_t i) { return static_cast<std::int64_t>(CosineTable[((i % 65536) + 65536) % 65536]); };
    const std::int64_t amp = 127 + static_cast<std::int64_t>(std::floor(63 * cs(clock * 200) / 65536.0));
    std::vector<std::uint32_t> palette(65536, 0);
    for (int e = 0; e < 256; ++e) {
        const std::int64_t u = clock * 743 + 2150 * e + static_cast<std::int64_t>(std::floor(sn(clock * 500) / 64.0));
        const std::int64_t v = 400 * e - clock * 120;
        std::int64_t wave = static_cast<std::int64_t>(std::floor((sn(u) - cs(v)) * 90 / 65536.0));
        if (wave > 70) wave = 70;
        const int knee = static_cast<int>(std::clamp<std::int64_t>(std::abs(wave) * amp / 256 + 16, 1, 250));
        const int knee2 = std::min(knee + 200, 255);
        for (int r = 0; r < knee; ++r)
            palette[r * 256 + e] = glow_bright_entry(static_cast<std::uint32_t>(0xFF00 - r * (0xFF00 / knee)) >> 8);
        for (int r = knee; r < knee2; ++r)
            palette[r * 256 + e] =
                glow_tail_entry(static_cast<std::uint32_t>(0xFF00 - (r - knee) * (0xFF00 / (knee2 - knee))) >> 8);
    }
    return palette;
}

// Lightness of every pixel: the dimmer of the two glows through the stain, plus the cue.
std::vector<int> reference_frame(std::uint32_t position, int cue) {
    const auto palette = reference_palette(position);
    const std::uint32_t phase1 = (position * 8 + 500) & 0xFFFF, phase2 = (position * 16) & 0xFFFF;
    auto high = [](std::int32_t table_value, int factor) {
        return static_cast<int>(std::floor(static_cast<double>(table_value) * factor / 65536.0));
    };
    const int origin[2][2] = {{220 - high(SineTable[phase1], 30), 220 - high(CosineTable[phase1], 10)},
                              {210 - high(SineTable[phase2], 40), 240 - high(CosineTable[phase2], 30)}};
    std::vector<int> frame;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            std::uint32_t glow[2];
            for (int g = 0; g < 2; ++g) {
                const int dx = origin[g][0] + x - 256, dy = origin[g][1] + y - 256;
                const int d = static_cast<int>(std::floor(std::sqrt(double(dx * dx + dy * dy))));
                const int band = std::min(d / 2 + 2, 255);
                const int direction =
                    static_cast<int>(std::floor(std::floor(fixed_atan2(dx, dy) * 2868354.0 / 65536) / 65536)) & 255;
                glow[g] = palette[band * 256 + direction];
            }
            const int lightness = static_cast<int>(std::min(glow[0], glow[1]) / 110000) + (255 - stain_grey(x, y)) / 6 + cue;
            frame.push_back(std::clamp(lightness, 0, 80));
        }
    }
    return frame;
}

TEST(GlowPalette, RampEnds) {
    EXPECT_EQ(glow_bright_entry(255), 0x86B0FEu);
    EXPECT_EQ(glow_bright_entry(0), 0x006AFEu);
    EXPECT_EQ(glow_bright_entry(247), 0x82ADFDu);
    EXPECT_EQ(glow_bright_entry(7), 0x036BFDu);
    EXPECT_EQ(glow_tail_entry(255), 0x01D2F6u);
    EXPECT_EQ(glow_tail_entry(220), 0x017415u);  // E2 = 189, Q = 279
    EXPECT_EQ(glow_tail_entry(42), 0u);
}

TEST_F(EffectGlowTest, TableSamples) {
    put_order_start_dump(0);
    EffectGlow glow(0, 1000);
    EXPECT_STREQ(glow.name, "Glow");
    auto cell = [](int dx, int dy) { return (dy + 256) * 512 + (dx + 256); };
    EXPECT_EQ(glow.radius_table[cell(0, 0)], 2 << 8);
    EXPECT_EQ(glow.angle_table[cell(0, 0)], 68);
    EXPECT_EQ(glow.radius_table[cell(100, 0)], 52 << 8);
    EXPECT_EQ(glow.angle_table[cell(100, 0)], 0);
    EXPECT_EQ(glow.angle_table[cell(-100, 0)], 136);
    EXPECT_EQ(glow.angle_table[cell(0, -100)], 187);
    EXPECT_EQ(glow.angle_table[cell(-256, 0)], 137);   // the seam: 137 above, 119 below
    EXPECT_EQ(glow.angle_table[cell(-256, -1)], 119);
    EXPECT_EQ(glow.radius_table[cell(-256, -256)], 183 << 8);
    EXPECT_EQ(glow.angle_table[cell(-256, -256)], 152);
}

TEST_F(EffectGlowTest, PaletteAtSongStart) {
    put_order_start_dump(0);
    EffectGlow glow(0, 100000);
    song_at(0);
    glow.render();
    // Column 0 at P = 0: amp 64, wave 89 -> 70, knee 70 x 64 / 256 + 16 = 33, knee2 233.
    auto at = [&](int row) { return glow.palette[row * 256 + 0]; };
    EXPECT_EQ(at(0), 0x86B0FEu);
    EXPECT_EQ(at(1), 0x82ADFDu);   // 0xFF00 - 1978 -> E = 247
    EXPECT_EQ(at(32), 0x036BFDu);  // 0xFF00 - 32 x 1978 -> E = 7
    EXPECT_EQ(at(33), 0x01D2F6u);  // tail starts at E = 255
    EXPECT_EQ(at(60), 0x017415u);  // 0xFF00 - 27 x 326 -> E = 220
    for (int row = 233; row < 256; ++row) EXPECT_EQ(at(row), 0u) << row;
    // Every direction's bright segment spans at least 16 rows and at most 250.
    for (int e = 0; e < 256; ++e) {
        int knee = 1;
        while (knee < 256 && glow.palette[knee * 256 + e] != 0x01D2F6u) ++knee;
        EXPECT_GE(knee, 16) << e;
        EXPECT_LE(knee, 250) << e;
        for (int row = std::min(knee + 200, 255); row < 256; ++row) ASSERT_EQ(glow.palette[row * 256 + e], 0u);
    }
    EXPECT_EQ(glow.palette, reference_palette(0));
}

TEST_F(EffectGlowTest, WholeFramesAndDrift) {
    put_order_start_dump(0);
    EffectGlow glow(0, 100000);
    struct Sample {
        std::uint32_t position;
        int x1, y1, x2, y2;
        int lightness[5];  // at pixels 0, 1, 80, 1234, 3999, from a separate calculation
    };
    const Sample samples[] = {{0, 222, 230, 210, 270, {43, 42, 41, 38, 31}},
                              {10000, 250, 222, 225, 213, {69, 54, 78, 64, 32}}};
    const int probe[5] = {0, 1, 80, 1234, 3999};
    for (const Sample& s : samples) {
        song_at(s.position);
        glow.render();
        EXPECT_EQ(glow.clock, static_cast<std::int32_t>(s.position >> 3));
        EXPECT_EQ(glow.x1, s.x1);
        EXPECT_EQ(glow.y1, s.y1);
        EXPECT_EQ(glow.x2, s.x2);
        EXPECT_EQ(glow.y2, s.y2);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(lightness(probe[i]), s.lightness[i]) << probe[i];
    }
    for (std::uint32_t position : {0u, 10000u, 77777u, 0xFFFFFFFFu}) {
        song_at(position);
        glow.render();
        const auto expected = reference_frame(position, 0);
        for (int p = 0; p < 4000; ++p) ASSERT_EQ(lightness(p), expected[p]) << "P " << position << " pixel " << p;
    }
}

TEST_F(EffectGlowTest, StainLimits) {
    // A stain of 0 lifts every pixel by 42; one of 255 leaves only the glow.
    put_grey_png("splat4.png", 80, 50, [](int, int) { return 0; });
    put_order_start_dump(0);
    EffectGlow glow(0, 100000);
    song_at(5000);
    glow.render();
    for (int p = 0; p < 4000; ++p) ASSERT_GE(lightness(p), 42);
    put_grey_png("splat4.png", 80, 50, [](int, int) { return 255; });
    EffectGlow dark(0, 100000);
    dark.render();
    int black = 0;
    for (int p = 0; p < 4000; ++p) black += lightness(p) == 0;
    EXPECT_GT(black, 0);  // where both glows are dim the pixel is black
}

TEST_F(EffectGlowTest, CueBrightensLateInOrder29) {
    put_grey_png("splat4.png", 80, 50, [](int, int) { return 255; });
    EXPECT_EQ(frame_in_order(29, 420), frame_in_order(28, 420));
    const auto plain = frame_in_order(28, 430), cued = frame_in_order(29, 430);
    for (int p = 0; p < 4000; ++p) ASSERT_EQ(cued[p], std::min(plain[p] + 10, 80)) << p;
    const auto late = frame_in_order(29, 500);
    for (int p = 0; p < 4000; ++p) ASSERT_EQ(late[p], 80) << p;
}

}  // namespace
