// The generated pictures: every image the effects and the window renderer read decodes
// at the size they address, the masks use the grey range, the textures tile, the credit
// and band pictures are shaped the way their effects read them, the glyphs sit where the
// renderer cuts them out, and the packed archive holds every resource.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include "tests/support/show_resources.hpp"

namespace textdemo {
namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> words;  // 0x00RRGGBB
    std::uint32_t at(int x, int y) const { return words[static_cast<std::size_t>(y) * width + x]; }
    int grey(int x, int y) const { return static_cast<int>(at(x, y) & 0xFF); }
};

const Picture& picture(const std::string& name) {
    static std::map<std::string, Picture> cache;
    auto found = cache.find(name);
    if (found != cache.end()) return found->second;
    Picture p;
    int channels = 0;
    const std::string path = std::string(TEXTDEMO_CONTENT_FILES) + "/" + name;
    if (unsigned char* rgb = stbi_load(path.c_str(), &p.width, &p.height, &channels, 3)) {
        for (int i = 0; i < p.width * p.height; ++i) {
            p.words.push_back(std::uint32_t{rgb[i * 3]} << 16 | std::uint32_t{rgb[i * 3 + 1]} << 8 | rgb[i * 3 + 2]);
        }
        stbi_image_free(rgb);
    }
    return cache.emplace(name, std::move(p)).first->second;
}

// Every picture the show reads, the glyph image included.
std::vector<test::ShowPicture> show_pictures() {
    std::vector<test::ShowPicture> pictures(std::begin(test::SHOW_PICTURES), std::end(test::SHOW_PICTURES));
    pictures.push_back(test::FONT_PICTURE);
    return pictures;
}

TEST(ContentPictures, EveryImageDecodesAtItsSize) {
    for (const test::ShowPicture& expected : show_pictures()) {
        const Picture& p = picture(expected.name);
        EXPECT_EQ(p.width, expected.width) << expected.name;
        EXPECT_EQ(p.height, expected.height) << expected.name;
    }
}

TEST(ContentPictures, StainMasksSpanTheGreyLevels) {
    for (const char* name : {"splat1.png", "splat2.png", "splat3.png", "splat4.png", "splat6.png", "splat7.png", "splat8.png", "splat9.png"}) {
        const Picture& p = picture(name);
        ASSERT_EQ(p.words.size(), 4000u) << name;
        int low = 255, high = 0, middle = 0;
        for (std::uint32_t w : p.words) {
            const int g = static_cast<int>(w & 0xFF);
            low = std::min(low, g), high = std::max(high, g);
            middle += g > 64 && g < 192;
        }
        // The plasma's mask keeps its paper at 185 (a constant lift), so 160 levels at least.
        EXPECT_LE(low, 40) << name;
        EXPECT_GE(high - low, 160) << name;
        EXPECT_GT(middle, 40) << name << ": blot edges should shade through the middle greys";
    }
}

// Mean absolute grey difference across the wrap seam, against the mean between
// neighbouring columns (or rows) inside the picture, read every `step` pixels.
void expect_tiles(const std::string& name, int step) {
    const Picture& p = picture(name);
    ASSERT_EQ(p.words.size(), 65536u) << name;
    double seam_x = 0, seam_y = 0, inner = 0;
    int inner_count = 0;
    for (int i = 0; i < 256; i += step) {
        seam_x += std::abs(p.grey(256 - step, i) - p.grey(0, i));
        seam_y += std::abs(p.grey(i, 256 - step) - p.grey(i, 0));
        for (int j = 0; j + step < 256; j += step) {
            inner += std::abs(p.grey(j, i) - p.grey(j + step, i)) + std::abs(p.grey(i, j) - p.grey(i, j + step));
            inner_count += 2;
        }
    }
    const double per_pair = inner / inner_count, samples = 256.0 / step;
    EXPECT_LE(seam_x / samples, 3 * per_pair + 2) << name << " columns";
    EXPECT_LE(seam_y / samples, 3 * per_pair + 2) << name << " rows";
}

TEST(ContentPictures, TexturesTile) {
    expect_tiles("table.png", 1);
    expect_tiles("tunnel.png", 2);  // the tunnel reads every other column and row
}

TEST(ContentPictures, TunnelReadsEqualPixelPairs) {
    // Odd columns and rows repeat the even ones, so the sampled grid is the picture.
    const Picture& p = picture("tunnel.png");
    ASSERT_EQ(p.words.size(), 65536u);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) ASSERT_EQ(p.grey(x, y), p.grey(x & ~1, y & ~1)) << x << "," << y;
    }
}

TEST(ContentPictures, TwisterBandRepeatsAndLeavesRoomForTheGreetings) {
    const Picture& band = picture("twist.png");
    const Picture& mask = picture("twistalpha.png");
    ASSERT_EQ(mask.words.size(), 80u * 46);
    for (int row = 0; row < 46; ++row) {
        int drawn = 0, right_half = 0;
        for (int x = 0; x < 80; ++x) {
            const bool on = mask.grey(x, row) >= 230;
            drawn += on;
            right_half += on && x >= 40;
            // Only full coverage or none: nothing hovers around the 230 threshold.
            EXPECT_TRUE(mask.grey(x, row) == 0 || mask.grey(x, row) == 255) << x << "," << row;
            if (on) {
                EXPECT_LE(band.grey(x, row) / 3, 80) << x << "," << row;
            }
        }
        EXPECT_GE(drawn, 12) << "row " << row;
        EXPECT_EQ(right_half, 0) << "row " << row;
    }
    // Row 45 runs on into row 0: the band widths there differ by at most a column or two.
    auto width = [&](int row) {
        int n = 0;
        for (int x = 0; x < 80; ++x) n += mask.grey(x, row) >= 230;
        return n;
    };
    EXPECT_LE(std::abs(width(45) - width(0)), 2);
}

TEST(ContentPictures, CreditsAreClearAtTheirRightEdge) {
    // While a credit slides in every frame column reads its column 79: it must be clear.
    for (const char* name : {"quorvila_opacity.png", "zentrobe_opacity.png"}) {
        const Picture& p = picture(name);
        ASSERT_EQ(p.words.size(), 4000u) << name;
        int shown = 0;
        for (int y = 0; y < 50; ++y) {
            EXPECT_EQ(p.grey(79, y), 0) << name << " row " << y;
            for (int x = 0; x < 80; ++x) shown += p.grey(x, y) > 0;
        }
        EXPECT_GT(shown, 800) << name;
    }
}

TEST(ContentPictures, LetteringIsDrawnWhereItsEffectShowsIt) {
    // The title window sways over columns 55..334; the logo rows stay inside 1..49.
    const Picture& title = picture("ruk_opacity.png");
    ASSERT_EQ(title.words.size(), 400u * 50);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (title.grey(x, y) == 0) continue;
            EXPECT_GE(x, 55);
            EXPECT_LE(x, 334);
            EXPECT_GE(y, 1);
        }
    }
    // Greetings: names begin within the first 80 columns the scroll brings in, and the
    // bright letters show through the dimming of the right half (grey above 160).
    const Picture& greets = picture("greets.png");
    const Picture& greets_mask = picture("greets_opacity.png");
    ASSERT_EQ(greets.words.size(), 960u * 50);
    int first_column = 960, bright = 0;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 960; ++x) {
            if (greets_mask.grey(x, y) > 0) first_column = std::min(first_column, x);
            bright += greets.grey(x, y) > 160;
        }
    }
    EXPECT_LE(first_column, 80);
    EXPECT_GT(bright, 2000);
}

TEST(ContentPictures, OverlayUsesTheColourKey) {
    const Picture& p = picture("logo_overlay.png");
    ASSERT_EQ(p.words.size(), 4000u);
    int transparent = 0;
    for (std::uint32_t w : p.words) transparent += w == 0x00FF00FF;
    EXPECT_GT(transparent, 2000);
    EXPECT_LT(transparent, 3950);
}

TEST(ContentPictures, GlyphsSitInTheTopLeftStrip) {
    const Picture& p = picture("textmodechars.png");
    ASSERT_EQ(p.words.size(), 65536u);
    int ink[16] = {};
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const std::uint32_t w = p.at(x, y);
            // White on black only: the renderer takes the blue byte as the glyph's alpha.
            ASSERT_TRUE(w == 0 || w == 0x00FFFFFF) << x << "," << y;
            if (w == 0) continue;
            ASSERT_TRUE(x < 128 && y < 8) << "ink outside the glyph strip at " << x << "," << y;
            ink[x / 8]++;
        }
    }
    EXPECT_EQ(ink[0], 0);
    EXPECT_EQ(ink[15], 0);
    // Denser towards the middle (sun and theta), and glyph g mirrors glyph 15 - g for the
    // repeated shapes (middle dot, small bullet, bullet, plus, ring, O).
    for (int g = 0; g < 6; ++g) EXPECT_LT(ink[g], ink[g + 1]) << g;
    for (int g = 1; g < 7; ++g) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) EXPECT_EQ(p.at(8 * g + x, y), p.at(8 * (15 - g) + x, y)) << g;
        }
    }
}

TEST(ContentArchive, HoldsEveryResource) {
    const std::string command = "'" SALAD_EXECUTABLE "' list '" TEXTDEMO_ARCHIVE_FILE "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string listing;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) listing += buffer;
    EXPECT_EQ(pclose(pipe), 0);
    for (const test::ShowPicture& expected : show_pictures())
        EXPECT_NE(listing.find(std::string(expected.name) + " "), std::string::npos) << expected.name;
    EXPECT_NE(listing.find("pineapple3.ase.bin "), std::string::npos);
}

}  // namespace
}  // namespace textdemo
