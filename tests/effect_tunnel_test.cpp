// Tunnel: lookup tables against hand-worked entries and plain geometry, the overlay swing,
// and whole frames on small synthetic images checked pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "effects/effect_tunnel.hpp"
#include "effects/logo_background.hpp"
#include "tests/support/effect_fixture.hpp"

namespace textdemo {
namespace {

std::int32_t angle_at(const TunnelTables& t, int x, int y) { return t.angle[y + 64][x + 64]; }
std::int32_t depth_at(const TunnelTables& t, int x, int y) { return t.depth[y + 64][x + 64]; }
std::int32_t shade_at(const TunnelTables& t, int x, int y) { return t.shade[y + 64][x + 64]; }

TEST(TunnelTables, HandWorkedEntries) {
    auto tables = std::make_unique<TunnelTables>();
    build_tunnel_tables(*tables);
    struct Sample {
        int x, y, angle, depth, shade;
    };
    const Sample samples[] = {{0, 0, 0, 7500, 255},  {1, 0, 0, 750, 240},  {-1, 0, 64, 750, 240},
                              {0, 5, 31, 149, 180},  {-1, -1, -47, 530, 240}, {17, 0, 0, 44, 0},
                              {0, -1, -29, 746, 240}, {16, 0, 0, 46, 15},  {-64, -64, -47, 8, 0}};
    for (const Sample& s : samples) {
        EXPECT_EQ(angle_at(*tables, s.x, s.y), s.angle) << s.x << "," << s.y;
        EXPECT_EQ(depth_at(*tables, s.x, s.y), s.depth) << s.x << "," << s.y;
        EXPECT_EQ(shade_at(*tables, s.x, s.y), s.shade) << s.x << "," << s.y;
    }
}

// Off the centre column the tables follow plain geometry: the angle within one step of
// atan2 (128 steps per turn), depth within one of 750 / distance, and the shade exact.
TEST(TunnelTables, FollowGeometryEverywhere) {
    auto tables = std::make_unique<TunnelTables>();
    build_tunnel_tables(*tables);
    for (int x = -64; x < 64; ++x) {
        for (int y = -64; y < 64; ++y) {
            const double distance = std::sqrt(x * x + y * y);
            const int shade = std::clamp(15 * (17 - static_cast<int>(std::floor(distance + 1e-9))), 0, 255);
            ASSERT_EQ(shade_at(*tables, x, y), shade) << x << "," << y;
            if (x == 0) continue;
            ASSERT_NEAR(angle_at(*tables, x, y), std::atan2(y, x) * 64 / M_PI, 1.0) << x << "," << y;
            ASSERT_NEAR(depth_at(*tables, x, y), 750 / distance, 1.0) << x << "," << y;
        }
    }
}

TEST(TunnelOverlay, SwingAtPatternRows) {
    EXPECT_EQ(logo_swing(0), 4);    // trunc(10 sin 9)
    EXPECT_EQ(logo_swing(10), 9);   // trunc(10 sin 8)
    EXPECT_EQ(logo_swing(43), -9);  // trunc(10 sin 4.7)
    EXPECT_EQ(logo_swing(58), 0);   // trunc(10 sin 3.2) = trunc(-0.58)
    EXPECT_EQ(logo_swing(90), 0);
    EXPECT_EQ(logo_swing(300), 0);
}

// Synthetic content: a 256 x 256 texture whose grey level is (3 col + 5 row) & 255, a
// stain mask of (7 n) & 255 and an overlay that is transparent except for a few marks.
int texture_grey(int column, int row) { return (3 * column + 5 * row) & 255; }
int stain_grey(int n) { return (7 * n) & 255; }
constexpr std::uint32_t KEY = 0x00FF00FF;

std::vector<std::uint32_t> marked_overlay() {
    std::vector<std::uint32_t> words(FRAME_CELLS, KEY);
    for (int y = 0; y < FRAME_HEIGHT; ++y) {
        words[y * 80 + 0] = 0x00102030;   // left edge
        words[y * 80 + 5] = 0x00000000;   // black is not the key
        words[y * 80 + 75] = 0x00A0B0C0;  // right edge
        words[y * 80 + 79] = 0x00FFFFFE;
    }
    return words;
}

class TunnelTest : public test::EffectTest {
protected:
    void put_content(const std::vector<std::uint32_t>& overlay, int pattern_rows = 64) {
        test::put_pattern_dump({0}, {pattern_rows});
        test::put_grey_png("splat2.png", 80, 50, [](int x, int y) { return stain_grey(y * 80 + x); });
        test::put_grey_png("tunnel.png", 256, 256, texture_grey);
        test::put_png("logo_overlay.png", 80, 50, overlay);
    }

    // The tube word of frame pixel (k, r) at `position` with the given darkness.
    static std::uint32_t tube_word(const TunnelTables& tables, int k, int r, std::uint32_t position, int darkness) {
        const int x = k - 44, y = r - 27;
        const int u = angle_at(tables, x, y) & 127;
        const int v = static_cast<int>((static_cast<std::uint32_t>(depth_at(tables, x, y)) + position / 20) & 127);
        int t = texture_grey(2 * u, 2 * v) - shade_at(tables, x, y);  // shade is 0 where unused
        const int m = stain_grey(r * 80 + k);
        const int value = std::clamp((t - m / 3 - darkness) / 2, 0, 255);  // halving truncates toward 0
        return 0x01E60032u + static_cast<std::uint32_t>(value) * 256;
    }

    // Expected frame: the tube, then the overlay marks shifted by `swing`.
    static void expect_frame(std::uint32_t position, int darkness, int swing) {
        auto tables = std::make_unique<TunnelTables>();
        build_tunnel_tables(*tables);
        const auto overlay = marked_overlay();
        const std::uint32_t* pixels = text_frame().pixels;
        for (int r = 0; r < 50; ++r) {
            for (int k = 0; k < 80; ++k) {
                std::uint32_t expected = tube_word(*tables, k, r, position, darkness);
                const int source = k - swing;
                if (source >= 0 && source < 80 && overlay[r * 80 + source] != KEY) expected = overlay[r * 80 + source];
                ASSERT_EQ(pixels[r * 80 + k], expected) << "column " << k << " row " << r;
            }
        }
    }
};

TEST_F(TunnelTest, DarkAtTheStartExceptTheOverlay) {
    put_content(marked_overlay());
    EffectTunnel tunnel(0, 100000);
    test::song_at(0);  // row 0: the overlay swings 4 columns right
    tunnel.render();
    const std::uint32_t* pixels = text_frame().pixels;
    for (int r = 0; r < 50; ++r) {
        EXPECT_EQ(pixels[r * 80 + 4], 0x00102030u);
        EXPECT_EQ(pixels[r * 80 + 9], 0x00000000u);
        EXPECT_EQ(pixels[r * 80 + 79], 0x00A0B0C0u);  // column 75 + 4; column 79 + 4 is dropped
        for (int k : {0, 3, 5, 8, 10, 44, 78}) EXPECT_EQ(pixels[r * 80 + k], 0x01E60032u) << k << "," << r;
    }
    expect_frame(0, 500, 4);
}

TEST_F(TunnelTest, WholeFrameNearTheEndOfTheFadeIn) {
    put_content(marked_overlay());
    EffectTunnel tunnel(0, 100000);
    test::song_at(4990);  // row 229 = order 3, row 37: swing trunc(10 sin 5.3) = -8
    tunnel.render();
    expect_frame(4990, 1, -8);
    EXPECT_EQ(text_frame().pixels[27 * 80 + 44], 0x01E60032u);  // the axis is always black
}

TEST_F(TunnelTest, DarknessIsKeptFromTheLastEarlyFrame) {
    put_content(marked_overlay());
    EffectTunnel early(0, 100000), late(0, 100000);
    test::song_at(4990);
    early.render();
    test::song_at(7000);  // row 321 = order 5, row 1: swing trunc(10 sin 8.9) = 5
    early.render();
    expect_frame(7000, 1, 5);
    late.render();
    expect_frame(7000, 0, 5);
}

// 128-row patterns: 7762 ms is row 356, order 2, row 100, where the overlay no longer swings.
constexpr std::uint32_t ROW_100_OF_ORDER_2 = 7762;

TEST_F(TunnelTest, OverlayLandsUnshiftedFromRow90) {
    put_content(marked_overlay(), 128);
    EffectTunnel tunnel(0, 100000);
    test::song_at(ROW_100_OF_ORDER_2);
    ASSERT_EQ(current_row(pattern_data()), 100);
    tunnel.render();
    expect_frame(ROW_100_OF_ORDER_2, 0, 0);
}

// A texture far smaller than the 256 x 256 the tube samples reads as 0 beyond its end, and
// an overlay that is all colour key leaves the tube untouched.
TEST_F(TunnelTest, SmallTextureReadsZeroBeyondItsPixels) {
    put_content(std::vector<std::uint32_t>(FRAME_CELLS, KEY));
    test::put_grey_png("tunnel.png", 8, 8, [](int, int) { return 255; });
    test::put_grey_png("splat2.png", 80, 50, [](int, int) { return 0; });
    EffectTunnel tunnel(0, 100000);
    test::song_at(6000);
    tunnel.render();
    auto tables = std::make_unique<TunnelTables>();
    build_tunnel_tables(*tables);
    for (int r = 0; r < 50; ++r) {
        for (int k = 0; k < 80; ++k) {
            const int x = k - 44, y = r - 27;
            const int u = angle_at(*tables, x, y) & 127;
            const int v = (depth_at(*tables, x, y) + 6000 / 20) & 127;
            const int n = v * 512 + u * 2;
            const int t = (n < 64 ? 255 : 0) - shade_at(*tables, x, y);
            const int value = std::clamp(t / 2, 0, 255);
            ASSERT_EQ(text_frame().pixels[r * 80 + k], 0x01E60032u + value * 256u) << k << "," << r;
        }
    }
}

}  // namespace
}  // namespace textdemo
