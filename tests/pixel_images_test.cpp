// The pixel layout's encoders: sixel images and kitty graphics commands, byte for byte.
#include <gtest/gtest.h>

#include <zlib.h>

#include "display/console/kitty_image.hpp"
#include "display/console/sixel_image.hpp"

namespace textdemo {
namespace {

// The 16 colours in percent, worked out from the palette's bytes (128 is 50%, 191 75%).
const std::string PALETTE =
    "#0;2;0;0;0#1;2;0;0;50#2;2;0;50;0#3;2;0;50;50#4;2;50;0;0#5;2;50;0;50#6;2;50;50;0#7;2;75;75;75"
    "#8;2;50;50;50#9;2;0;0;100#10;2;0;100;0#11;2;0;100;100#12;2;100;0;0#13;2;100;0;100#14;2;100;100;0"
    "#15;2;100;100;100";

std::string sixel(const IndexedPicture& picture, const IndexedPicture* previous = nullptr) {
    std::string out;
    append_sixel_image(picture, previous, out);
    return out;
}

std::string image(int width, int height, const std::string& bands) {
    return "\x1bP0;1;0q\"1;1;" + std::to_string(width) + ";" + std::to_string(height) + PALETTE + bands + "\x1b\\";
}

TEST(SixelImage, EachColourOfABandInOnePassCutAfterItsLastInk) {
    // Colour 0 inks column 0, colour 9 column 1: the bit of row 0 is '@' (63 + 1).
    EXPECT_EQ(sixel({2, 1, {0, 9}}), image(2, 1, "#0@$#9?@"));
    // Rows 0 and 5 of one column in two colours: bits 1 and 32.
    EXPECT_EQ(sixel({1, 6, {4, 0, 0, 0, 0, 12}}), image(1, 6, "#0\x5d$#4@$#12_"));
}

TEST(SixelImage, RunsOfMoreThanThreeAreCounted) {
    EXPECT_EQ(sixel({10, 6, std::vector<std::uint8_t>(60, 3)}), image(10, 6, "#3!10~"));
    // Three stay as they are ("!3~" is no shorter), four are counted.
    EXPECT_EQ(sixel({7, 1, {1, 1, 1, 2, 2, 2, 2}}), image(7, 1, "#1@@@$#2??" "?!4@"));
    // Indices count modulo 16.
    EXPECT_EQ(sixel({1, 1, {0x1F}}), image(1, 1, "#15@"));
}

TEST(SixelImage, OnlyBandsThatChangedAreDrawn) {
    // 4 x 13: bands of rows 0-5, 6-11 and 12.
    IndexedPicture before{4, 13, std::vector<std::uint8_t>(52, 0)};
    EXPECT_EQ(sixel(before, &before), "");
    IndexedPicture after = before;
    after.index[12 * 4 + 2] = 5;  // the last band, alone
    EXPECT_EQ(sixel(after, &before), image(4, 13, "--#0@@?@$#5??@"));
    after = before;
    after.index[7 * 4 + 0] = 1;  // the middle band; nothing follows it
    EXPECT_EQ(sixel(after, &before), image(4, 13, "-#0|~~~$#1A"));
    // A previous picture of another size counts as none: every band is drawn.
    const IndexedPicture other{4, 12, std::vector<std::uint8_t>(48, 0)};
    EXPECT_EQ(sixel(before, &other), image(4, 13, "#0!4~-#0!4~-#0!4@"));
}

std::string kitty(std::vector<std::uint8_t> payload, KittyPlacement placement) {
    std::string out;
    append_kitty_image(payload, placement, out);
    return out;
}

TEST(KittyImage, OneCommandForAShortPayload) {
    EXPECT_EQ(kitty({0, 1, 2}, {7, 2, 1, 3, 0}), "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=7,s=2,v=1,X=3,m=0;AAEC\x1b\\");
    EXPECT_EQ(kitty({0xFF}, {1, 640, 400, 0, 5}), "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=1,s=640,v=400,Y=5,m=0;/w==\x1b\\");
    EXPECT_EQ(kitty({0xFF, 0xFF}, {1, 1, 1, 0, 0}), "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=1,s=1,v=1,m=0;//8=\x1b\\");
}

TEST(KittyImage, LongPayloadsGoInChunksMarkedUntilTheLast) {
    // 3073 bytes: 4100 base64 characters, 4096 in the first command and 4 in the second.
    std::vector<std::uint8_t> payload(3073, 0);
    payload.back() = 0xFF;
    const std::string head = "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=1,s=1,v=1,m=1;";
    const std::string expected = head + std::string(4096, 'A') + "\x1b\\\x1b_Gm=0;/w==\x1b\\";
    EXPECT_EQ(kitty(payload, {1, 1, 1, 0, 0}), expected);
    // Exactly one chunk's worth: no empty command after it.
    const std::string full = kitty(std::vector<std::uint8_t>(3072, 0), {1, 1, 1, 0, 0});
    EXPECT_EQ(full, "\x1b_Ga=T,f=24,o=z,q=2,C=1,p=1,i=1,s=1,v=1,m=0;" + std::string(4096, 'A') + "\x1b\\");
}

TEST(KittyImage, CompressedPictureDecodesToItself) {
    std::vector<std::uint8_t> rgb(640 * 3 * 8);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7 % 251);
    const std::vector<std::uint8_t> compressed = compress_picture(rgb);
    ASSERT_FALSE(compressed.empty());
    std::vector<std::uint8_t> back(rgb.size() + 1);
    uLongf size = back.size();
    ASSERT_EQ(uncompress(back.data(), &size, compressed.data(), compressed.size()), Z_OK);
    back.resize(size);
    EXPECT_EQ(back, rgb);
}

TEST(KittyImage, DeleteFreesTheImageData) {
    std::string out;
    append_kitty_delete(3, out);
    EXPECT_EQ(out, "\x1b_Ga=d,d=I,q=2,i=3\x1b\\");
}

}  // namespace
}  // namespace textdemo
