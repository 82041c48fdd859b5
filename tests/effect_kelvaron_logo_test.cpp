// Kelvaron logo: the drop of the logo during order 4, the background before order 4, and
// whole frames against a reference written out from the noise recipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "effects/effect_kelvaron_logo.hpp"
#include "frame/drawing.hpp"
#include "tests/support/effect_fixture.hpp"

namespace textdemo {
namespace {

// Background word of pixel (x, y) at song time p: the noise recipe spelled out term by term.
std::uint32_t background_word(int x, int y, std::uint32_t p) {
    const float t = static_cast<float>(p);
    const float d = static_cast<float>(y) / 30.0f + t / 3000.0f, e = 3.0f * d, f = 7.0f * d;
    const float o = static_cast<float>(x) / 40.0f + t / 32000.0f;
    const float a1 = std::fabs(perlin_noise3(2.0f * o, e, 2.0f * t / 2310.0f)) * 10.0f * 0.5f;
    const float a2 = std::fabs(perlin_noise3(o, d, t / 2310.0f)) * 10.0f;
    const float a3 = std::fabs(perlin_noise3(4.0f * o, e, 2.0f * t / 2310.0f)) * 20.0f * 0.25f;
    const float a4 = std::fabs(perlin_noise3(6.0f * o, f, 8.0f * t / 2310.0f)) * 10.0f * 0.125f;
    float lum = static_cast<float>(50 - y) + 20.0f * std::sin(a4 + (a3 + (a2 + a1)));
    if (p < 10000) lum -= static_cast<float>((10000 - p) / 150);
    lum = std::min(std::max(lum, 0.0f), 80.0f);
    return 0x01DC0032u | static_cast<std::uint32_t>(lum + 0.5f) << 8;
}

std::uint32_t logo_word(int lightness) { return 0x01E60032u | static_cast<std::uint32_t>(lightness) << 8; }

class KelvaronTest : public test::EffectTest {
protected:
    // Logo grey 3 j + 1 on image row j; opacity 255 only on the rows `shown` accepts.
    static void put_row_images(bool (*shown)(int row)) {
        test::put_grey_png("kelvaron.png", 80, 50, [](int, int y) { return 3 * y + 1; });
        test::put_grey_png("kelvaron_opacity.png", 80, 50, [shown](int, int y) { return shown(y) ? 255 : 0; });
    }
    static std::uint32_t at(int x, int y) { return text_frame().pixels[y * 80 + x]; }
};

// At 0 ms the divisor is exactly 3, so image row j shows lightness j. At order 4, row 0
// frame row y shows image row y - 20, clamped: rows 0..20 repeat image row 0.
TEST_F(KelvaronTest, LogoStartsTwentyRowsLowAtOrder4Row0) {
    test::put_order_start_dump(4);
    put_row_images([](int) { return true; });
    EffectKelvaronLogo effect(0, 100000);
    test::song_at(0);
    effect.render();
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x) ASSERT_EQ(at(x, y), logo_word(std::max(y - 20, 0))) << x << "," << y;
}

// A single opaque image row (30) lands on frame row 30 + 20 - 2 row during the drop.
TEST_F(KelvaronTest, DropRowsFollowThePatternRow) {
    test::put_order_start_dump(4);
    put_row_images([](int row) { return row == 30; });
    EffectKelvaronLogo effect(0, 100000);
    struct Case {
        std::uint32_t position;
        int pattern_row, frame_row;
    };
    for (const Case& c : {Case{0, 0, 50}, Case{109, 5, 40}, Case{196, 9, 32}, Case{218, 10, 30}, Case{2000, 92, 30}}) {
        test::song_at(c.position);
        ASSERT_EQ(current_row(pattern_data()), c.pattern_row);
        effect.render();
        const double divisor = std::sin(c.position / 200.0) * 0.6 + 3;
        const int lightness = static_cast<int>(91 / divisor);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                if (y == c.frame_row)
                    ASSERT_EQ(at(x, y), logo_word(lightness)) << c.position << ": " << x << "," << y;
                else
                    ASSERT_EQ(at(x, y), background_word(x, y, c.position)) << c.position << ": " << x << "," << y;
            }
    }
}

// The drop belongs to order 4 only: at order 5, row 0 the logo is at rest.
TEST_F(KelvaronTest, LaterOrdersShowTheLogoAtRest) {
    test::put_order_start_dump(5);
    put_row_images([](int row) { return row == 0 || row == 49; });
    EffectKelvaronLogo effect(0, 100000);
    test::song_at(0);
    effect.render();
    for (int x = 0; x < 80; ++x) {
        EXPECT_EQ(at(x, 0), logo_word(0));
        EXPECT_EQ(at(x, 49), logo_word(49));
        EXPECT_EQ(at(x, 1), background_word(x, 1, 0));
    }
}

// Before order 4 the opacity is ignored: the whole frame is background, including the
// darkening fade of the first ten seconds (66 levels at 0 ms, none from 10000 ms on).
TEST_F(KelvaronTest, OnlyBackgroundBeforeOrder4) {
    test::put_pattern_dump({0}, {512});  // order 0 up to 11162 ms, then order 1
    put_row_images([](int) { return true; });
    EffectKelvaronLogo effect(0, 100000);
    for (std::uint32_t position : {0u, 4321u, 9999u, 10000u, 11200u}) {
        test::song_at(position);
        effect.render();
        int lit = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                ASSERT_EQ(at(x, y), background_word(x, y, position)) << position << ": " << x << "," << y;
                lit += ((at(x, y) >> 8) & 255) > 0;
            }
        if (position == 0) {
            EXPECT_LT(lit, 400);  // at most 4 levels even in the top row: 50 + 20 - 66
            for (int x = 0; x < 80; ++x) EXPECT_LE((at(x, 0) >> 8) & 255, 4u);
        } else if (position >= 10000) {
            EXPECT_GT(lit, 3000);
        }
    }
}

// Opacity 0 always shows the background, even under the brightest logo pixels; the logo
// word is trunc((O / 255) (L / D)).
TEST_F(KelvaronTest, WholeFrameWithPatternedOpacity) {
    test::put_order_start_dump(6);
    test::put_grey_png("kelvaron.png", 80, 50, [](int x, int y) { return 255 - ((x * 3 + y * 7) & 127); });
    test::put_grey_png("kelvaron_opacity.png", 80, 50, [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 60 * (x % 4) + 15; });
    EffectKelvaronLogo effect(0, 100000);
    for (std::uint32_t position : {3000u, 15000u}) {
        test::song_at(position);
        effect.render();
        const float t = static_cast<float>(position);
        const float divisor = std::sin(t / 200.0f) * 0.6f + 3.0f;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 80; ++x) {
                const int opacity = (x + y) % 3 == 0 ? 0 : 60 * (x % 4) + 15;
                const int logo = 255 - ((x * 3 + y * 7) & 127);
                const std::uint32_t expected =
                    opacity == 0 ? background_word(x, y, position)
                                 : logo_word(static_cast<int>((opacity / 255.0f) * (static_cast<float>(logo) / divisor)));
                ASSERT_EQ(at(x, y), expected) << position << ": " << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace textdemo
