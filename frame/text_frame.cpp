#include "frame/text_frame.hpp"

namespace textdemo {

namespace {
std::unique_ptr<TextFrame> g_frame;
}

TextFrame& text_frame() {
    if (!g_frame) {
        g_frame = std::make_unique<TextFrame>();  // value-initialised: all words and cells 0
        g_frame->camera = std::make_unique<Camera>();
        g_frame->console_out = -1;
        g_frame->console_in = -1;
    }
    return *g_frame;
}

void release_text_frame() {
    if (!g_frame) return;
    g_frame->camera.reset();
    g_frame.reset();
}

}  // namespace textdemo
