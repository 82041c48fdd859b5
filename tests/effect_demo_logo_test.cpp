// Demo logo: the title window, the bob with the pattern row, pixels left unwritten above
// and below the title, and whole frames against a reference spelled out term by term.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "effects/effect_demo_logo.hpp"
#include "frame/drawing.hpp"
#include "tests/support/effect_fixture.hpp"

namespace textdemo {
namespace {

TEST(DemoLogoWindow, SwaysAroundColumn155) {
    EXPECT_EQ(demo_logo_window(5000, 5000), 55);    // trunc(100 sin 11 + 155)
    EXPECT_EQ(demo_logo_window(6000, 5000), 101);   // trunc(100 sin 12 + 155) = trunc(101.34)
    EXPECT_EQ(demo_logo_window(9000, 5000), 220);   // trunc(100 sin 15 + 155) = trunc(220.03)
    EXPECT_EQ(demo_logo_window(7000, 18000), 155);  // s = 0
    EXPECT_EQ(demo_logo_window(0, 0xFFFFFFFF), 55);  // s wraps round to 11001: trunc(55.001)
}

int title_grey(int x, int y) { return (x * 5 + y * 9) & 255; }
int opacity_grey(int x, int y) { return (x / 3 + y) % 4 == 0 ? 0 : 40 + (x + 2 * y) % 200; }
int splat_grey(int n) { return (n * 29) & 255; }
constexpr std::uint32_t UNTOUCHED = 0x02345678;

// Expected word of frame pixel (x, y), or UNTOUCHED where the effect leaves it.
std::uint32_t reference_word(int x, int y, std::uint32_t position, int window, int bob, bool title_shown) {
    const float t = static_cast<float>(position);
    const float divisor = std::sin(t / 200.0f) * 0.6f + 3.0f;
    const int title_row = y + bob, clamped = std::clamp(title_row, 0, 49);
    const int stain = splat_grey(y * 80 + x);
    const int opacity = title_shown ? opacity_grey(window + x, clamped) : 0;
    if (opacity != 0) {
        if (title_row < 1 || title_row > 49) return UNTOUCHED;
        const int w = title_grey(window + x, clamped) - stain + 255;
        const float v = (static_cast<float>(w) / divisor) * (static_cast<float>(opacity) / 255.0f);
        return 0x01E60032u | static_cast<std::uint32_t>(v) << 8;
    }
    const float d = t / 2310.0f, h = t / 40000.0f, g = t / 3000.0f;
    const float m = static_cast<float>(y) / 30.0f + g, e = 3.0f * m, f = 7.0f * m;
    const float o = static_cast<float>(x) / 40.0f + h;
    const float a1 = std::fabs(perlin_noise3(2.0f * o, e, 2.0f * d)) * 10.0f * 0.5f;
    const float a2 = std::fabs(perlin_noise3(o, m, d)) * 10.0f;
    const float a3 = std::fabs(perlin_noise3(4.0f * o, e, 2.0f * d)) * 20.0f * 0.25f;
    const float a4 = std::fabs(perlin_noise3(6.0f * o, f, 8.0f * d)) * 10.0f * 0.125f;
    float lum = 10.0f * std::sin(a4 + (a3 + (a2 + a1))) + static_cast<float>(y) + static_cast<float>((255 - stain) / 6);
    lum = std::min(std::max(lum, 0.0f), 80.0f);
    return 0x01DC0032u | static_cast<std::uint32_t>(lum + 0.5f) << 8;
}

class DemoLogoTest : public test::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        test::put_grey_png("ruk.png", 400, 50, title_grey);
        test::put_grey_png("ruk_opacity.png", 400, 50, opacity_grey);
        test::put_grey_png("splat9.png", 80, 50, [](int x, int y) { return splat_grey(y * 80 + x); });
    }
    static void render_over_untouched(EffectDemoLogo& effect) {
        std::fill(std::begin(text_frame().pixels), std::end(text_frame().pixels), UNTOUCHED);
        effect.render();
    }
    static void expect_frame(std::uint32_t position, int window, int bob, bool title_shown) {
        int untouched = 0, title = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                const std::uint32_t expected = reference_word(x, y, position, window, bob, title_shown);
                ASSERT_EQ(text_frame().pixels[y * 80 + x], expected) << position << ": " << x << "," << y;
                untouched += expected == UNTOUCHED;
                title += (expected >> 16) == 0x1E6;
            }
        if (title_shown) {
            EXPECT_GT(title, 1000);
        }
        if (bob != 0 && title_shown) {
            EXPECT_GT(untouched, 0);
        }
    }
};

// The bob follows the pattern row: 4 rows at row 0 (trunc(10 sin 9)), so frame rows 46..49
// have no title row and their opaque pixels keep what was there; -9 at row 43 (frame rows
// 0..9 lose theirs); none from row 90 on. The window starts at column 55 and sways from
// the effect's own start.
TEST_F(DemoLogoTest, BobAndSwayWholeFrames) {
    test::put_order_start_dump(12);
    struct Case {
        std::uint32_t start, position;
        int row, window, bob;
    };
    // Windows: trunc(100 sin(s / 1000) + 155) with s = position - start + 11000.
    for (const Case& c : {Case{0, 0, 0, 55, 4}, Case{0, 938, 43, 96, -9}, Case{1000, 3000, 138, 197, 0}}) {
        EffectDemoLogo effect(c.start, 100000);
        test::song_at(c.position);
        ASSERT_EQ(current_row(pattern_data()), c.row);
        ASSERT_EQ(demo_logo_window(c.position, c.start), c.window);
        render_over_untouched(effect);
        expect_frame(c.position, c.window, c.bob, true);
    }
}

// Before order 4, row 10 the opacity counts as 0: background everywhere.
TEST_F(DemoLogoTest, TitleHiddenUntilOrder4Row10) {
    test::put_order_start_dump(4);
    EffectDemoLogo effect(0, 100000);
    test::song_at(196);  // row 9
    render_over_untouched(effect);
    expect_frame(196, demo_logo_window(196, 0), 9, false);  // trunc(10 sin 8.1)
    test::song_at(218);  // row 10
    render_over_untouched(effect);
    expect_frame(218, demo_logo_window(218, 0), 9, true);
}

// An undecodable title is the zero-filled 80 x 50 fallback: no read past it, W = 255 - S.
TEST_F(DemoLogoTest, FallbackTitleReadsAsZero) {
    test::put_order_start_dump(12);
    const char junk[] = "not a picture";
    ASSERT_FALSE(put_resource("ruk.png", junk, sizeof junk));
    ::testing::internal::CaptureStdout();
    EffectDemoLogo effect(0, 100000);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("bitmap loading failed! ruk.png"), std::string::npos);
    test::song_at(5000);
    effect.render();
    const int window = demo_logo_window(5000, 0), bob = 0;  // row 229 of a 256-row pattern
    const float divisor = std::sin(25.0f) * 0.6f + 3.0f;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x) {
            const int opacity = opacity_grey(window + x, y + bob);
            if (opacity == 0 || y == 0) continue;
            const float v = (static_cast<float>(255 - splat_grey(y * 80 + x)) / divisor) * (opacity / 255.0f);
            ASSERT_EQ(text_frame().pixels[y * 80 + x], 0x01E60032u | static_cast<std::uint32_t>(v) << 8) << x << "," << y;
        }
}

}  // namespace
}  // namespace textdemo
