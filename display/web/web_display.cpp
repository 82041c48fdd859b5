// web_display: conversion, picture and keys between two frames of the page.
#include "display/web/web_display.hpp"

#include <cstring>

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/cell_picture.hpp"
#include "resources/image.hpp"
#include "song/pattern_data.hpp"

extern "C" {
// web_display.js
void textdemo_page_picture(const std::uint8_t* rgba, int width, int height, std::uint32_t position_ms);
int textdemo_page_next_key();
double textdemo_page_now_ms();
void textdemo_page_wait_animation_frame();
int textdemo_page_ask_fullscreen();
}

namespace textdemo {

namespace {

constexpr int LOOKS = 256 * 16;             // attribute byte and glyph
constexpr int BLOCK_BYTES = 8 * 8 * 4;      // a cell's 8 x 8 pixels in RGBA
constexpr int ROW_BYTES = PICTURE_WIDTH * 4;

int look_of(const Cell& cell) { return static_cast<int>(((cell.attribute & 0xFF) << 4) | (cell.glyph & 15)); }

// Every look a cell can have, drawn by the window picture's own routine on frames of cells
// that hold each look once; copying these blocks gives the same bytes as drawing.
std::vector<std::uint8_t> draw_every_look(const FontTexture& font) {
    std::vector<std::uint8_t> blocks(static_cast<std::size_t>(LOOKS) * BLOCK_BYTES), rgb;
    Cell cells[FRAME_CELLS];
    for (int first = 0; first < LOOKS; first += FRAME_CELLS) {
        for (int i = 0; i < FRAME_CELLS; ++i) {
            const auto look = static_cast<std::uint32_t>((first + i) % LOOKS);
            cells[i] = {look >> 4, look & 15};
        }
        draw_cell_picture(cells, font, rgb);
        for (int i = 0; i < FRAME_CELLS && first + i < LOOKS; ++i) {
            const int left = (i % FRAME_WIDTH) * 8, top = (i / FRAME_WIDTH) * 8;
            std::uint8_t* block = &blocks[static_cast<std::size_t>(first + i) * BLOCK_BYTES];
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x, block += 4) {
                    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(top + y) * PICTURE_WIDTH + left + x) * 3];
                    block[0] = pixel[0];
                    block[1] = pixel[1];
                    block[2] = pixel[2];
                    block[3] = 255;
                }
        }
    }
    return blocks;
}

FrameOutcome present_page_frame(void* context) {
    auto& display = *static_cast<WebDisplay*>(context);
    TextFrame& frame = text_frame();
    convert_frame(frame);
    display.rgba.resize(static_cast<std::size_t>(ROW_BYTES) * PICTURE_HEIGHT);
    for (int cell = 0; cell < FRAME_CELLS; ++cell) {
        const std::uint8_t* block = &display.looks[static_cast<std::size_t>(look_of(frame.cells[cell])) * BLOCK_BYTES];
        std::uint8_t* out = &display.rgba[static_cast<std::size_t>(cell / FRAME_WIDTH) * 8 * ROW_BYTES + (cell % FRAME_WIDTH) * 32];
        for (int y = 0; y < 8; ++y) std::memcpy(out + y * ROW_BYTES, block + y * 32, 32);
    }
    textdemo_page_picture(display.rgba.data(), PICTURE_WIDTH, PICTURE_HEIGHT, pattern_data().position);
    return FrameOutcome::Continue;
}

void read_page_keys(void*, std::vector<KeyRecord>& records) {
    while (const int key = textdemo_page_next_key()) {
        if (key == static_cast<int>(KEY_ESCAPE)) records.push_back({KEY_ESCAPE, 0});
        else records.push_back({'M', static_cast<char>(key)});
    }
}

std::uint32_t page_now_ms(void*) { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(textdemo_page_now_ms())); }

void page_sleep_ms(void*, std::uint32_t) { textdemo_page_wait_animation_frame(); }

}  // namespace

Failure open_web_display(WebDisplay& display) {
    Image font;
    if (Failure failure = load_image(font, "textmodechars.png")) return failure;
    display.looks = draw_every_look(font_texture(font));
    return {};
}

FrameBackend web_frame_backend(WebDisplay& display) {
    return {.sleep_before_deadline_check = false, .frame_clock_fallback = false, .present = present_page_frame,
            .read_keys = read_page_keys, .context = &display};
}

FrameClock web_frame_clock() { return FrameClock{page_now_ms, page_sleep_ms, nullptr}; }

bool ask_fullscreen_on_page() { return textdemo_page_ask_fullscreen() >= 0; }

}  // namespace textdemo
