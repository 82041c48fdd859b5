// Image loading: RGB, RGBA and grey PNGs to 0x00RRGGBB words, and the 80 x 50 fallback.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <string>
#include <vector>

#include "resources/archive.hpp"
#include "resources/image.hpp"
#include "resources/png_chunks.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

namespace textdemo {
namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// A PNG of `channels` components per pixel from raw interleaved bytes.
void put_raw_png(const char* name, int width, int height, int channels, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(append, &png, width, height, channels, bytes.data(), width * channels);
    ASSERT_FALSE(put_resource(name, png.data(), png.size()));
}

class ImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
    }
    static void TearDownTestSuite() {
        test::restore_archive_path();
    }
};

TEST_F(ImageTest, RgbPixelsBecomeWordsInRowOrder) {
    const std::vector<std::uint32_t> words = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00123456, 0x00FFFFFF, 0x00000001};
    test::put_png("rgb.png", 3, 2, words);
    Image image;
    EXPECT_FALSE(load_image(image, "rgb.png"));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.count, 6);
    EXPECT_EQ(image.pixels, words);
}

TEST_F(ImageTest, AlphaIsDroppedAndGreyIsSpread) {
    put_raw_png("rgba.png", 2, 1, 4, {0x10, 0x20, 0x30, 0x00, 0xA0, 0xB0, 0xC0, 0x7F});
    Image rgba;
    EXPECT_FALSE(load_image(rgba, "rgba.png"));
    EXPECT_EQ(rgba.pixels, (std::vector<std::uint32_t>{0x00102030, 0x00A0B0C0}));

    put_raw_png("grey.png", 1, 1, 1, {0x5A});
    Image grey;
    EXPECT_FALSE(load_image(grey, "grey.png"));
    EXPECT_EQ(grey.count, 1);
    EXPECT_EQ(grey.pixels, std::vector<std::uint32_t>{0x005A5A5A});
    EXPECT_EQ(grey_level(grey, 0), 0x5Au);
}

TEST_F(ImageTest, UndecodableEntryGivesZeroFrameSizedImageAndOneLine) {
    const std::string junk = "GIF89a this is not a png";
    ASSERT_FALSE(put_resource("junk.png", junk.data(), junk.size()));
    Image image;
    image.pixels = {7, 7, 7};
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(load_image(image, "junk.png"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "bitmap loading failed! junk.png (unknown image type)\n");
    EXPECT_EQ(image.width, 80);
    EXPECT_EQ(image.height, 50);
    EXPECT_EQ(image.count, 4000);
    EXPECT_EQ(image.pixels, std::vector<std::uint32_t>(4000, 0));
}

TEST_F(ImageTest, AMissingEntryFailsAndLeavesTheImageAlone) {
    Image image;
    image.pixels = {7};
    EXPECT_EQ(load_image(image, "absent.png").message, "resource \"absent.png\" not found");
    EXPECT_EQ(image.pixels, std::vector<std::uint32_t>{7});
    Image first, second;
    test::put_png("present.png", 1, 1, {0x00010203});
    EXPECT_EQ(load_images({{first, "present.png"}, {second, "absent.png"}}).message,
              "resource \"absent.png\" not found");
    EXPECT_EQ(first.pixels, std::vector<std::uint32_t>{0x00010203});
}

// Loads `png` as name and returns what load_image printed.
std::string load_printed(Image& image, const char* name, const std::vector<std::uint8_t>& png) {
    EXPECT_FALSE(put_resource(name, png.data(), png.size()));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(load_image(image, name));
    return ::testing::internal::GetCapturedStdout();
}

TEST_F(ImageTest, ChunksRunningPastTheEndAreRefusedBeforeDecoding) {
    const std::vector<std::uint32_t> words = {0x00ABCDEF, 0x00010203, 0x00FFFFFF, 0};
    const std::vector<std::uint8_t> png = test::encode_png(2, 2, words);
    Image image;

    std::vector<std::uint8_t> cut(png.begin(), png.end() - 20);
    EXPECT_EQ(load_printed(image, "cut.png", cut), "bitmap loading failed! cut.png (PNG chunk runs past the end of the file)\n");
    EXPECT_EQ(image.count, 4000);

    // The first data chunk (right after the 8-byte signature and 25-byte IHDR) claims 1 GiB.
    std::vector<std::uint8_t> bloated = png;
    bloated[33] = 0x40, bloated[34] = 0, bloated[35] = 0, bloated[36] = 0;
    ASSERT_EQ(std::string(bloated.begin() + 37, bloated.begin() + 41), "IDAT");
    EXPECT_EQ(load_printed(image, "bloated.png", bloated),
              "bitmap loading failed! bloated.png (PNG chunk runs past the end of the file)\n");

    // Nothing after IEND is read, so junk there is harmless.
    std::vector<std::uint8_t> trailing = png;
    trailing.insert(trailing.end(), {0xFF, 0xFF, 0xFF, 0xFF, 'j', 'u', 'n', 'k'});
    EXPECT_EQ(load_printed(image, "trailing.png", trailing), "");
    EXPECT_EQ(image.pixels, words);
}

TEST_F(ImageTest, EmptyDataChunksAreDropped) {
    const std::vector<std::uint32_t> words = {0x00102030, 0x00405060, 0x00708090, 0x00A0B0C0};
    const std::vector<std::uint8_t> original = test::encode_png(2, 2, words);
    std::vector<std::uint8_t> png = original, scratch;
    std::span<const std::uint8_t> decode;
    EXPECT_EQ(prepare_png(png, scratch, decode), nullptr);
    EXPECT_EQ(decode.data(), png.data());
    // Zero-length IDAT chunks (with their CRC) right after IHDR and right before IEND.
    const std::vector<std::uint8_t> empty_idat = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    png.insert(png.end() - 12, empty_idat.begin(), empty_idat.end());
    png.insert(png.begin() + 8 + 25, empty_idat.begin(), empty_idat.end());
    EXPECT_EQ(prepare_png(png, scratch, decode), nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(decode.begin(), decode.end()), original);

    Image image;
    EXPECT_EQ(load_printed(image, "empty_idat.png", png), "");
    EXPECT_EQ(image.pixels, words);
}

TEST_F(ImageTest, ReasonQuotingFileBytesStaysOnOneLine) {
    std::vector<std::uint8_t> png = test::encode_png(1, 1, {0});
    // An unknown critical chunk (type "\nBad") right after IHDR; the decoder names its type.
    const std::vector<std::uint8_t> chunk = {0, 0, 0, 0, '\n', 'B', 'a', 'd', 0, 0, 0, 0};
    png.insert(png.begin() + 8 + 25, chunk.begin(), chunk.end());
    ASSERT_FALSE(put_resource("odd.png", png.data(), png.size()));
    Image image;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(load_image(image, "odd.png"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "bitmap loading failed! odd.png (?Bad PNG chunk not known)\n");
}

}  // namespace
}  // namespace textdemo
