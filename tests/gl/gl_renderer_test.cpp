// Draws known cells into real windows of several sizes (under Xvfb with Mesa's software
// OpenGL) and reads the pixels back: scale, offset, palette and glyph blending.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "display/gl/gl_renderer.hpp"
#include "display/gl/gl_window.hpp"
#include "resources/archive.hpp"
#include "tests/support/test_content.hpp"

using namespace textdemo;

namespace {

using Rgb = std::array<int, 3>;

constexpr Rgb BLACK = {0, 0, 0};
constexpr Rgb DARK_RED = {128, 0, 0};   // palette 4 (0.5 rounds to 128)
constexpr Rgb RED = {255, 0, 0};        // palette 12
constexpr Rgb BLUE = {0, 0, 255};       // palette 9

// Font: glyph 1 is a solid block; glyph 2 has only its top-left texel set; the rest empty.
std::vector<std::uint32_t> test_font() {
    std::vector<std::uint32_t> font(256 * 256, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) font[y * 256 + x] = 0x00FFFFFF;
    font[16] = 0x00FFFFFF;
    return font;
}

class GlRenderer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        use_no_archive_file();
        test::put_png("textmodechars.png", 256, 256, test_font());
    }
    void TearDown() override {
        release_renderer(renderer_);
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        release_resource_archive();
        release_text_frame();
    }

    // Renders the frame in a width x height window and returns its pixels, top row first.
    std::vector<std::uint8_t> render(int width, int height) {
        window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        EXPECT_NE(window_, nullptr) << SDL_GetError();
        context_ = SDL_GL_CreateContext(window_);
        EXPECT_NE(context_, nullptr) << SDL_GetError();
        set_viewport(width, height);
        EXPECT_EQ(load_window_font(renderer_).message, "");
        init_renderer(renderer_);
        render_cells(renderer_, text_frame(), width, height);
        glFinish();
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        width_ = width;
        height_ = height;
        return pixels;
    }

    Rgb at(const std::vector<std::uint8_t>& pixels, int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(height_ - 1 - y) * width_ + x) * 4;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }

    // Every cell dark red with a plain glyph, except one cell at (column, row) drawn solid
    // bright red and the cell right of it blue with the one-texel glyph.
    static void fill_frame(int column, int row) {
        TextFrame& frame = text_frame();
        for (Cell& c : frame.cells) c = {0x4C, 0};
        frame.cells[row * 80 + column] = {0x4C, 1};
        frame.cells[row * 80 + column + 1] = {0x09, 2};
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    textdemo::GlRenderer renderer_;
    int width_ = 0, height_ = 0;
};

void expect_near(const Rgb& got, const Rgb& want, int x, int y) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1) << "pixel " << x << "," << y << " channel " << c;
}

TEST_F(GlRenderer, NativeSizeHasEightPixelCellsAndNoOffset) {
    fill_frame(10, 5);
    const auto px = render(640, 400);
    expect_near(at(px, 0, 0), DARK_RED, 0, 0);
    expect_near(at(px, 639, 399), DARK_RED, 639, 399);
    expect_near(at(px, 79, 40), DARK_RED, 79, 40);
    expect_near(at(px, 80, 40), RED, 80, 40);
    expect_near(at(px, 87, 47), RED, 87, 47);
    expect_near(at(px, 88, 40), BLUE, 88, 40);       // the one-texel glyph's corner
    expect_near(at(px, 89, 40), BLACK, 89, 40);      // background black, glyph empty there
    expect_near(at(px, 88, 41), BLACK, 88, 41);
}

TEST_F(GlRenderer, FullHdDoublesAndCentres) {
    fill_frame(0, 0);
    const auto px = render(1920, 1080);
    EXPECT_EQ(cell_layout(1920, 1080).scale, 2);
    expect_near(at(px, 319, 139), BLACK, 319, 139);  // outside the picture
    expect_near(at(px, 320, 140), RED, 320, 140);
    expect_near(at(px, 335, 155), RED, 335, 155);
    expect_near(at(px, 336, 140), BLUE, 336, 140);
    expect_near(at(px, 337, 141), BLUE, 337, 141);   // one texel is 2 x 2 pixels
    expect_near(at(px, 338, 140), BLACK, 338, 140);
    expect_near(at(px, 1599, 939), DARK_RED, 1599, 939);
    expect_near(at(px, 1600, 940), BLACK, 1600, 940);
}

TEST_F(GlRenderer, SmallWindowCropsEvenly) {
    // 500 x 300: scale 1, picture at (-70, -50); cell (9, 7) starts at window (2, 6).
    fill_frame(9, 7);
    const auto px = render(500, 300);
    EXPECT_EQ(cell_layout(500, 300).offset_x, -70);
    expect_near(at(px, 1, 6), DARK_RED, 1, 6);
    expect_near(at(px, 2, 6), RED, 2, 6);
    expect_near(at(px, 9, 13), RED, 9, 13);
    expect_near(at(px, 10, 6), BLUE, 10, 6);
    expect_near(at(px, 499, 299), DARK_RED, 499, 299);
}

TEST_F(GlRenderer, OddHeightTruncatesHalfPixel) {
    // 1280 x 401: scale 1, offset (320, 0).
    fill_frame(0, 0);
    const auto px = render(1280, 401);
    const CellLayout layout = cell_layout(1280, 401);
    EXPECT_EQ(layout.offset_x, 320);
    EXPECT_EQ(layout.offset_y, 0);
    expect_near(at(px, 319, 0), BLACK, 319, 0);
    expect_near(at(px, 320, 0), RED, 320, 0);
    expect_near(at(px, 959, 399), DARK_RED, 959, 399);
    expect_near(at(px, 959, 400), BLACK, 959, 400);
}

TEST(CellLayout, ScaleNeverBelowOne) {
    EXPECT_EQ(cell_layout(100, 50).scale, 1);
    EXPECT_EQ(cell_layout(1280, 800).scale, 2);
    EXPECT_EQ(cell_layout(1280, 799).scale, 1);
    EXPECT_EQ(cell_layout(3000, 1200).scale, 3);
}

}  // namespace
