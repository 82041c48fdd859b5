// The closing scene: column heights, camera depth and bounce worked out by hand, and whole
// frames rendered from synthetic textures, mesh and pattern dump.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects/effect_skull_logo.hpp"
#include "frame/drawing.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

using namespace textdemo;

namespace {

class SkullLogo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { build_sine_tables(); }
};

TEST_F(SkullLogo, ColumnsAreShorterNearTheLeftOnlyUpToOrderFour) {
    const int heights[10] = {50, 48, 48, 47, 47, 47, 48, 48, 49, 49};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(skull_column_height(x, 0), heights[x]) << x;
        EXPECT_EQ(skull_column_height(x, 4), heights[x]) << x;
        EXPECT_EQ(skull_column_height(x, 5), 50) << x;
    }
    for (int x = 10; x < 80; ++x) EXPECT_EQ(skull_column_height(x, 2), 50) << x;
}

TEST_F(SkullLogo, CameraDepthTravelsFromItsStartAndIsClampedBeforeIt) {
    // 65536 x (0 / 1500 - 9.9f) = -648806.375 in single precision.
    EXPECT_EQ(skull_camera_depth(189767), CosineTable[38172] - 648806 - 1000);
    // 30233 / 1500 - 9.9 = 10.2553...: 672093.5 after the float steps.
    EXPECT_EQ(skull_camera_depth(220000), CosineTable[28032] + 672093 - 1000);
    EXPECT_EQ(skull_camera_depth(250000), CosineTable[16960] + 1982813 - 1000);
    // Earlier positions hold the starting point of the travel; only the sway moves.
    for (std::uint32_t position : {0u, 1000u, 189766u}) {
        EXPECT_EQ(skull_camera_depth(position), CosineTable[(position & 0x3FFF) * 4] - 648806 - 1000) << position;
    }
    // 2^32 - 1 ms: 65536 x 2863178 units, far outside the Fixed range, saturates.
    EXPECT_EQ(skull_camera_depth(0xFFFFFFFFu), std::numeric_limits<Fixed>::max());
}

TEST_F(SkullLogo, BounceJumpsOnABeatAndSinksIn55StepsToJustBelowNine) {
    SkullMotion motion;
    EXPECT_EQ(skull_camera_height(motion, false), 9 << 16);
    EXPECT_EQ(motion.bounce, 9.0f);  // at rest: no decrement
    EXPECT_EQ(skull_camera_height(motion, true), 9 << 16);  // the beat shows from the next frame
    EXPECT_EQ(motion.bounce, 20.0f);
    EXPECT_EQ(skull_camera_height(motion, false), 20 << 16);
    EXPECT_EQ(skull_camera_height(motion, false), 1297612);  // 19.8f x 65536 = 1297612.75
    int decrements = 2;
    while (motion.bounce > 9.0f) {
        skull_camera_height(motion, false);
        ++decrements;
        ASSERT_LT(decrements, 100);
    }
    EXPECT_EQ(decrements, 55);
    EXPECT_EQ(motion.bounce, 9.0f - 1.0f / 131072);  // 8.9999924
    EXPECT_EQ(skull_camera_height(motion, false), 589823);  // 589823.5 truncated
    EXPECT_EQ(motion.bounce, 9.0f - 1.0f / 131072);
    // A beat while still high: the fall of this frame is replaced by the jump.
    skull_camera_height(motion, true);
    skull_camera_height(motion, true);
    EXPECT_EQ(motion.bounce, 20.0f);
}

TEST_F(SkullLogo, BackgroundFadesOneLevelPer200MsAfter205Seconds) {
    SkullMotion motion;
    motion.drift_y = -0.25f;
    motion.drift_z = -0.125f;
    int lit = 0;
    for (int x = 0; x < 80; x += 3) {
        for (int y = 0; y < 50; y += 7) {
            // 4 f, 4 h, 4 z and 8 f, 8 h, 8 z for f = x / 100, h = y / 220 + drift_y.
            const float f = static_cast<float>(x) / 100.0f;
            const float h = static_cast<float>(y) / 220.0f - 0.25f;
            const float m = 5.0f * (std::fabs(perlin_noise3(8 * f, 8 * h, -1.0f)) * 6.25f +
                                    std::fabs(perlin_noise3(4 * f, 4 * h, -0.5f)) * 12.5f);
            const float clamped = std::min(m, 50.0f);
            EXPECT_EQ(skull_background_lightness(x, y, 205000, motion),
                      static_cast<std::uint32_t>(clamped + 0.5f));
            EXPECT_EQ(skull_background_lightness(x, y, 205199, motion),
                      static_cast<std::uint32_t>(clamped + 0.5f));  // quotient still 0
            const float faded = std::clamp(m - 3.0f, 0.0f, 50.0f);
            EXPECT_EQ(skull_background_lightness(x, y, 205600, motion), static_cast<std::uint32_t>(faded + 0.5f));
            // The largest possible m is 5 x (12.5 + 6.25) < 94: black from 205000 + 94 x 200.
            EXPECT_EQ(skull_background_lightness(x, y, 205000 + 94 * 200, motion), 0u);
            lit += clamped >= 1.0f;
        }
    }
    EXPECT_GT(lit, 20);  // the sample is not all dark
}

// Effect-level frames from synthetic resources.
class SkullLogoEffect : public SkullLogo {
protected:
    void SetUp() override {
        release_pattern_data();
        release_text_frame();
        test::use_empty_archive();
        std::vector<std::uint32_t> env(256 * 256);
        for (std::size_t i = 0; i < env.size(); ++i) env[i] = 0x00000096;  // grey 150: lightness 50
        test::put_png("env_red.png", 256, 256, env);
        test::put_png("env_red2.png", 256, 256, env);
        test::put_mesh(octahedron());
        // Patterns of 64 rows; pattern 0 holds a beat (byte 1) on row 3.
        test::put_pattern_dump({0, 1, 1, 1, 1, 1, 1, 1}, {64, 64}, {{0, 5, 3, 1}});
        skull_motion() = SkullMotion{};
    }
    void TearDown() override {
        release_pattern_data();
        release_text_frame();
        release_resource_archive();
        set_archive_path("ruk.salad");
    }

    // Eight environment-mapped faces around the origin, 2 units to each corner, wound so
    // that the faces turned toward the viewer are front faces.
    static test::MeshContent octahedron() {
        test::MeshContent c;
        const Fixed r = 2 << 16;
        const Fixed corners[6][3] = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
        for (const auto& p : corners) {
            c.vertices.push_back({p[0], p[1], p[2], p[0] / 2, p[1] / 2, p[2] / 2, 0, 0, 0});
        }
        for (int sx : {0, 1}) {
            for (int sy : {2, 3}) {
                for (int sz : {4, 5}) {
                    // Outward winding flips with each negative axis.
                    const bool flip = (sx + sy + sz) % 2 == 1;
                    c.faces.push_back({sx, flip ? sz : sy, flip ? sy : sz, {0, 0, 0}, MATERIAL_ENVIRONMENT});
                    c.tex_faces.push_back({0, 0, 0, {0, 0, 0, 0}});
                }
            }
        }
        return c;
    }

    static void set_position(std::uint32_t position) {
        PatternData& data = pattern_data();
        data.position = position;
        update_song_position(position, data);
    }
};

TEST_F(SkullLogoEffect, EarlyFrameShowsOnlyTheBackgroundAndKeepsTheShortColumnsBottoms) {
    EffectSkullLogo effect(0, 300000);
    EXPECT_STREQ(effect.name, "Skull");
    TextFrame& frame = text_frame();
    std::fill(std::begin(frame.pixels), std::end(frame.pixels), 0x00ABCDEFu);
    set_position(1000);  // order position 0, and the camera is far away before 189767 ms
    ASSERT_EQ(current_order(pattern_data()), 0);
    effect.render();
    for (int x = 0; x < 80; ++x) {
        const int height = skull_column_height(x, 0);
        for (int y = 0; y < 50; ++y) {
            const std::uint32_t word = frame.pixels[y * 80 + x];
            if (y >= height) {
                EXPECT_EQ(word, 0x00ABCDEFu) << x << "," << y;
            } else {
                EXPECT_EQ(word & 0xFFFF00FF, 0x01DC0064u) << x << "," << y;
                EXPECT_LE((word >> 8) & 0xFF, 50u);
            }
        }
    }
    EXPECT_FLOAT_EQ(skull_motion().drift_y, -0.002f);
    EXPECT_FLOAT_EQ(skull_motion().drift_z, -0.001f);
    EXPECT_EQ(frame.depth[0], 0x640000);
    EXPECT_EQ(frame.camera->position.z, CosineTable[4000] - 648806 - 1000);
}

TEST_F(SkullLogoEffect, BeatRowRaisesTheCameraFromTheNextFrame) {
    EffectSkullLogo effect(0, 300000);
    set_position(static_cast<std::uint32_t>(3 * MS_PER_ROW));  // pattern 0, row 3
    ASSERT_TRUE(row_has_value(pattern_data(), 0));
    effect.render();
    EXPECT_EQ(text_frame().camera->position.y, 9 << 16);
    EXPECT_EQ(skull_motion().bounce, 20.0f);
    set_position(static_cast<std::uint32_t>(5 * MS_PER_ROW));
    effect.render();
    EXPECT_EQ(text_frame().camera->position.y, 20 << 16);
    EXPECT_FLOAT_EQ(skull_motion().bounce, 19.8f);
}

TEST_F(SkullLogoEffect, MidwayFrameDrawsTheTintedMeshAndItsShadowOverTheBackground) {
    EffectSkullLogo effect(0, 300000);
    TextFrame& frame = text_frame();
    set_position(205000);  // the travel passes the view centre about now
    effect.render();
    int mesh_cells = 0, shadow_cells = 0;
    for (std::uint32_t word : frame.pixels) {
        if (word == 0x01E63264u) {
            ++mesh_cells;  // hue 230, lightness 150 / 3, saturation 100
        } else if (word == 0) {
            ++shadow_cells;
        } else {
            EXPECT_EQ(word & 0xFFFF00FF, 0x01DC0064u);
        }
    }
    EXPECT_GT(mesh_cells, 100);
    EXPECT_GT(shadow_cells, 10);
    int near = 0;
    for (std::int32_t depth : frame.depth) {
        EXPECT_LE(depth, 0x640000);
        near += depth < 0x640000;
    }
    EXPECT_EQ(near, mesh_cells);
}

}  // namespace
