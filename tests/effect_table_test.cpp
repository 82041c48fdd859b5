#include <gtest/gtest.h>

#include <cmath>

#include "effects/effect_table.hpp"
#include "frame/fixed_math.hpp"
#include "tests/support/effect_fixture.hpp"

using namespace textdemo;
using namespace textdemo::test;

namespace {

// Texture grey level at (column lo, row hi); stain grey level at frame pixel p.
int texture_grey(int lo, int hi) { return (hi * 3 + lo * 7) & 255; }
int stain_grey(int p) { return (p * 5) & 255; }
// Credit grey level and opacity at frame column x, row y.
int credit_grey(int x, int y) { return (x * 3 + y) & 255; }
int credit_opacity(int x, int y) { return x % 4 == 0 ? 0 : (x % 4 == 1 ? 255 : 60 + y); }

class EffectTableTest : public EffectTest {
public:
    void SetUp() override {
        EffectTest::SetUp();
        build_sine_tables();
        put_grey_png("table.png", 256, 256, [](int x, int y) { return texture_grey(x, y); });
        put_grey_png("splat3.png", 80, 50, [](int x, int y) { return stain_grey(y * 80 + x); });
        put_grey_png("zentrobe.png", 80, 50, [](int x, int y) { return credit_grey(x, y); });
        put_grey_png("quorvila.png", 80, 50, [](int x, int y) { return 255 - credit_grey(x, y); });
        for (const char* name : {"quorvila_opacity.png", "zentrobe_opacity.png"})
            put_grey_png(name, 80, 50, [](int x, int y) { return credit_opacity(x, y); });
    }

    static std::uint32_t pixel(int x, int y) { return text_frame().pixels[y * 80 + x]; }
};

// Plasma lightness of frame pixel (x, y) worked out directly: the centres sit at table
// columns cx[n] (row 200), distances from a real square root, the angle from fixed_atan2.
int expected_plasma(int x, int y, const int cx[4], std::uint32_t fall) {
    int sum = 0, last_distance = 0, last_angle = 0;
    for (int n = 0; n < 4; ++n) {
        const int dx = cx[n] + x - 256, dy = 200 + y - 256;
        last_distance = std::min(255, static_cast<int>(std::floor(std::sqrt(double(dx * dx + dy * dy)))));
        const std::int64_t a = fixed_atan2(dx, dy);
        last_angle = static_cast<int>(std::floor(std::floor(a * 1780117 / 65536.0) / 65536.0)) & 255;
        sum += last_distance;
    }
    const int hi = static_cast<int>((static_cast<std::int64_t>(sum) - fall) & 255);
    const int lo = (last_angle - last_distance) & 255;
    return std::clamp(texture_grey(lo, hi) / 8 + (255 - stain_grey(y * 80 + x)) / 6, 0, 80);
}

std::uint32_t plasma_word(int lightness) { return 0x01DC0064u + static_cast<std::uint32_t>(lightness) * 256; }
std::uint32_t credit_word(int lightness) { return 0x01E60032u + static_cast<std::uint32_t>(lightness) * 256; }

// Column of centre n's table window at song position P: the sine of T x frequency taken
// modulo a full turn of 65536, scaled by the amplitude.
int centre_column(std::uint32_t position, int n) {
    const int amplitude[4] = {41, 42, 59, 58}, frequency[4] = {270, 350, -570, 370};
    const std::int64_t turn = (static_cast<std::int64_t>(position >> 5) * frequency[n]) % 65536;
    const std::int64_t sine = SineTable[(turn + 65536) % 65536];
    return static_cast<int>(std::floor(sine * amplitude[n] / 65536.0)) + 180;
}

// Credit lightness: grey level over the pulsing gain, scaled by the opacity.
int credit_lightness(int g, int v, std::uint32_t position) {
    const double gain = 3 + 0.6 * std::sin(position / 200.0);
    return static_cast<int>(g / gain * (v / 255.0));
}

// The whole expected frame at P; the credit (grey level function) is shown with column shift s.
void expect_frame(std::uint32_t position, int (*credit)(int, int), int s) {
    int cx[4];
    for (int n = 0; n < 4; ++n) cx[n] = centre_column(position, n);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            const int oc = std::clamp(x + s, 0, 79);
            const int v = credit ? credit_opacity(oc, y) : 0;
            const std::uint32_t expected = v != 0 ? credit_word(credit_lightness(credit(oc, y), v, position))
                                                  : plasma_word(expected_plasma(x, y, cx, position >> 2));
            ASSERT_EQ(EffectTableTest::pixel(x, y), expected) << "P " << position << " at " << x << ", " << y;
        }
    }
}

int zentrobe_grey(int x, int y) { return credit_grey(x, y); }
int quorvila_grey(int x, int y) { return 255 - credit_grey(x, y); }

TEST_F(EffectTableTest, DistanceAndAngleTableSamples) {
    put_order_start_dump(0);
    EffectTable table(0, 1000);
    EXPECT_STREQ(table.name, "Table");
    auto at = [](const std::vector<std::int32_t>& t, int x, int y) { return t[(y + 256) * 512 + (x + 256)]; };
    EXPECT_EQ(at(table.distance_table, 0, 0), 0);
    EXPECT_EQ(at(table.distance_table, 100, 0), 100);
    EXPECT_EQ(at(table.distance_table, 0, 100), 100);
    EXPECT_EQ(at(table.distance_table, -256, -256), 255);  // 362 clamped
    EXPECT_EQ(at(table.distance_table, 3, -4), 5);
    EXPECT_EQ(at(table.distance_table, -7, 7), 9);          // 9.899 floored
    const struct {
        int x, y, value;
    } angles[] = {{0, 0, 42},     {1, 0, 21},     {100, 0, 0},     {0, 100, 42},  {-100, 0, 84},
                  {0, -100, 213}, {-256, 0, 85},  {-256, -1, 170}, {-1, 1, 56}};
    for (const auto& s : angles) EXPECT_EQ(at(table.angle_table, s.x, s.y), s.value) << s.x << ", " << s.y;
}

TEST(CreditSlide, ShiftByRow) {
    EXPECT_EQ(credit_slide_shift(0), 80);
    EXPECT_EQ(credit_slide_shift(1), 75);
    EXPECT_EQ(credit_slide_shift(16), 0);
    EXPECT_EQ(credit_slide_shift(240), 0);
    EXPECT_EQ(credit_slide_shift(241), -5);
    EXPECT_EQ(credit_slide_shift(255), -75);
}

TEST_F(EffectTableTest, PlasmaAtSongStartIgnoresTheCredits) {
    // Order 0: no credit, although both opacity images are non-zero in most places.
    put_order_start_dump(0);
    EffectTable table(0, 100000);
    song_at(0);
    table.render();
    const int centres[4] = {180, 180, 180, 180};
    // Worked by hand for the top-left pixel: all four centres at (dx, dy) = (-76, -56), distance 94,
    // angle byte 188; hi = 376 & 255 = 120, lo = 94; texture 360 + 658 & 255 = 250 -> 31;
    // stain 0 -> 42; lightness 73.
    EXPECT_EQ(pixel(0, 0), 0x01DC4964u);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(pixel(x, y), plasma_word(expected_plasma(x, y, centres, 0))) << x << ", " << y;
}

TEST_F(EffectTableTest, CentresSwingWithTimeAndWrapFarOut) {
    put_order_start_dump(0);
    EffectTable table(0, 0xFFFFFFFF);
    // Centre 2 at T = 3858 (P = 123456): -570 x 3858 = -2199060, a full-turn residue of 29164.
    EXPECT_EQ(centre_column(123456, 2), static_cast<int>(std::floor(SineTable[29164] * 59 / 65536.0)) + 180);
    // Far past the song's end (no order, no credit); T x frequency leaves 32 bits there.
    for (std::uint32_t position : {123456u, 0xF0001234u, 0xFFFFFFFFu}) {
        song_at(position);
        table.render();
        expect_frame(position, nullptr, 0);
    }
}

TEST_F(EffectTableTest, SecondOrderShowsZentrobeSlidingIn) {
    put_order_start_dump(25, 256);
    EffectTable table(0, 100000);
    // Row 0, P = 0: gain 3, shift 80, so every column samples credit column 79.
    song_at(0);
    table.render();
    EXPECT_EQ(pixel(0, 0), credit_word((237 / 3) * 60 / 255)) << "grey 237, opacity 60: 79 x 0.235 = 18";
    expect_frame(0, zentrobe_grey, 80);
    // Row 6: shift 50, columns 30..79 stand at credit column 79.
    const std::uint32_t row6 = ms_at_row(6);
    song_at(row6);
    table.render();
    expect_frame(row6, zentrobe_grey, 50);
}

TEST_F(EffectTableTest, FourthOrderShowsQuorvilaResting) {
    put_order_start_dump(27, 256);
    EffectTable table(0, 100000);
    for (int row : {16, 100, 240}) {
        const std::uint32_t position = ms_at_row(row);
        song_at(position);
        table.render();
        expect_frame(position, quorvila_grey, 0);
    }
}

TEST_F(EffectTableTest, CreditSlidesOutAfterRow240) {
    put_order_start_dump(25, 256);
    EffectTable table(0, 100000);
    for (int row : {241, 250, 255}) {
        const std::uint32_t position = ms_at_row(row);
        song_at(position);
        table.render();
        expect_frame(position, zentrobe_grey, 1200 - 5 * row);
    }
}

TEST_F(EffectTableTest, UndecodableTextureReadsAsBlackWithoutOverrun) {
    const char junk[] = "not a picture";
    ASSERT_FALSE(put_resource("table.png", junk, sizeof junk));
    put_order_start_dump(0);
    EffectTable table(0, 100000);
    song_at(777);
    table.render();
    for (int p = 0; p < 4000; ++p) ASSERT_EQ(text_frame().pixels[p], plasma_word((255 - stain_grey(p)) / 6)) << p;
}

}  // namespace
