// gl_frame_backend: events, drawing, F1 and the mute key between two frames of the window.
#include "display/gl/gl_frame_backend.hpp"

#include <vector>

#include "display/gl/gl_renderer.hpp"
#include "display/gl/gl_window.hpp"
#include "display/gl/window_faults.hpp"
#include "frame/convert.hpp"
#include "frame/text_frame.hpp"

namespace textdemo {

namespace {

// The events, and the frame drawn and shown: the part of a frame that waits for the X server.
FrameOutcome show_window_frame(GlDisplay& window) {
    WindowSystemCall call;
    if (pump_window_events(window)) return FrameOutcome::Quit;
    if (!window.window_active) return FrameOutcome::Continue;
    if (window.key_down[KEY_ESCAPE]) return FrameOutcome::Quit;
    TextFrame& frame = text_frame();
    convert_frame(frame);
    render_cells(window.renderer, frame, window.width, window.height);
    swap_window(window);
    return FrameOutcome::Continue;
}

FrameOutcome present_window_frame(void* context) {
    GlDisplay& window = *static_cast<GlDisplay*>(context);
    const FrameOutcome outcome = show_window_frame(window);
    // A refused request (the window destroyed from outside) ends the show as Escape does.
    if (window_system_refused()) return FrameOutcome::Quit;
    if (window.key_down[KEY_F1]) {
        window.key_down[KEY_F1] = 0;
        close_window(window);
        window.fullscreen = !window.fullscreen;
        if (!open_window(window)) return FrameOutcome::Abandon;
    }
    return outcome;
}

void read_window_keys(void* context, std::vector<KeyRecord>& records) {
    std::uint8_t& m = static_cast<GlDisplay*>(context)->key_down['M'];
    if (m) records.push_back({'M', 'm'});
    m = 0;
}

}  // namespace

FrameBackend window_frame_backend(GlDisplay& display) {
    return {.sleep_before_deadline_check = true, .frame_clock_fallback = false, .present = present_window_frame,
            .read_keys = read_window_keys, .context = &display};
}

}  // namespace textdemo
