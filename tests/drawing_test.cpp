#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "frame/drawing.hpp"
#include "frame/text_frame.hpp"
#include "resources/image.hpp"

using namespace textdemo;

namespace {

TEST(Isqrt32, SmallValuesAndExtremes) {
    const std::uint32_t expected[] = {0, 1, 1, 1, 2};
    for (std::uint32_t v = 0; v < 5; ++v) EXPECT_EQ(isqrt32(v), expected[v]);
    EXPECT_EQ(isqrt32(65535u * 65535u), 65535u);
    EXPECT_EQ(isqrt32(65535u * 65535u - 1), 65534u);
    EXPECT_EQ(isqrt32(0xFFFFFFFFu), 65535u);
    EXPECT_EQ(isqrt32(0x40000000u), 32768u);
}

TEST(Isqrt32, FloorAroundEverySquareUpTo4096) {
    for (std::uint32_t r = 1; r <= 4096; ++r) {
        ASSERT_EQ(isqrt32(r * r), r);
        ASSERT_EQ(isqrt32(r * r - 1), r - 1);
    }
}

TEST(PerlinPermutation, IsAPermutationRepeatedOnce) {
    std::set<int> seen(PerlinPermutation, PerlinPermutation + 256);
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_EQ(PerlinPermutation[0], 151);
    EXPECT_EQ(PerlinPermutation[9], 95);
    EXPECT_EQ(PerlinPermutation[255], 180);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(PerlinPermutation[i], PerlinPermutation[i + 256]);
}

TEST(NoiseGrad, DirectionsAndHashBits) {
    EXPECT_FLOAT_EQ(noise_grad(0, 1, 2, 3), 3);     // x + y
    EXPECT_FLOAT_EQ(noise_grad(3, 1, 2, 3), -3);    // -x - y
    EXPECT_FLOAT_EQ(noise_grad(4, 1, 2, 3), 4);     // x + z
    EXPECT_FLOAT_EQ(noise_grad(8, 1, 2, 3), 5);     // y + z
    EXPECT_FLOAT_EQ(noise_grad(12, 1, 2, 3), 3);    // y + x
    EXPECT_FLOAT_EQ(noise_grad(14, 1, 2, 3), 1);    // y - x
    EXPECT_FLOAT_EQ(noise_grad(13, 1, 2, 3), 1);    // -y + z
    EXPECT_FLOAT_EQ(noise_grad(3, 0.25f, -0.5f, 2), noise_grad(19, 0.25f, -0.5f, 2));
}

TEST(PerlinNoise3, LatticeZerosPeriodAndContinuity) {
    for (float x : {0.0f, 1.0f, -2.0f, 17.0f})
        for (float y : {0.0f, -1.0f, 3.0f})
            EXPECT_EQ(perlin_noise3(x, y, -5.0f), 0.0f);
    EXPECT_FLOAT_EQ(perlin_noise3(0.5f, 0.5f, 0.5f), 0.936f * 0.25f);
    EXPECT_EQ(perlin_noise3(3.25f, 1.5f, 0.75f), perlin_noise3(3.25f + 256, 1.5f, 0.75f));
    EXPECT_EQ(perlin_noise3(3.25f, 1.5f, 0.75f), perlin_noise3(3.25f, 1.5f - 256, 0.75f));
    const float below = perlin_noise3(0.9999f, 0.3f, 0.7f), above = perlin_noise3(1.0001f, 0.3f, 0.7f);
    EXPECT_NEAR(below, -0.2141f, 0.0005f);
    EXPECT_NEAR(above, -0.2141f, 0.0005f);
    for (float t = -3; t < 3; t += 0.173f) {
        const float v = perlin_noise3(t, t * 0.7f, 1.3f - t);
        ASSERT_LE(std::fabs(v), 1.0f);
    }
}

TEST(PresetWord, PacksBytes) {
    EXPECT_EQ(preset_word(0xE6, 0x3F, 0x32), 0x01E63F32u);
    EXPECT_EQ(preset_word(0xDC, 0, 0x64), 0x01DC0064u);
}

TEST(ImageAccess, ReadsOutsideTheImageGiveZero) {
    Image image;
    image.width = 2;
    image.height = 1;
    image.count = 2;
    image.pixels = {0x00123456, 0x00FF00FF};
    EXPECT_EQ(grey_level(image, 0), 0x56u);
    EXPECT_EQ(image_word(image, 1), 0x00FF00FFu);
    EXPECT_EQ(grey_level(image, 2), 0u);
    EXPECT_EQ(grey_level(image, -1), 0u);
    EXPECT_EQ(image_word(image, 65535), 0u);
}

TEST(TextFrame, SingleInstanceWithCameraAtRest) {
    TextFrame& a = text_frame();
    TextFrame& b = text_frame();
    EXPECT_EQ(&a, &b);
    ASSERT_NE(a.camera, nullptr);
    EXPECT_EQ(a.camera->rotation.m[0], 0x10000);
    EXPECT_EQ(a.camera->rotation.m[1], 0);
    EXPECT_EQ(a.camera->position.z, 0);
    EXPECT_EQ(a.pixels[3999], 0u);
    EXPECT_EQ(a.cells[0].attribute, 0u);
    release_text_frame();
}

}  // namespace
