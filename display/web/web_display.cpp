// web_display: conversion, picture and keys between two frames of the page.
#include "display/web/web_display.hpp"

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/cell_looks.hpp"
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

FrameOutcome present_page_frame(void* context) {
    auto& display = *static_cast<WebDisplay*>(context);
    TextFrame& frame = text_frame();
    convert_frame(frame);
    lay_out_cell_picture(frame.cells, display.looks, display.rgba);
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
