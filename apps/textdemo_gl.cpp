// textdemo-gl: the show in an OpenGL window.
//
// Start-up: frame, archive, music, the "Fullscreen?" question, the window, cleared cells,
// clock, timeline, music started; then the shared frame loop with this program's window
// steps, and the shared teardown. Leaving gives the desktop its mode and cursor back.
#include <SDL.h>

#include <cstdlib>

#include "apps/player_options.hpp"
#include "display/gl/gl_renderer.hpp"
#include "display/gl/gl_window.hpp"
#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "runtime/frame_loop.hpp"
#include "runtime/music_player.hpp"
#include "runtime/timeline.hpp"

using namespace textdemo;

namespace {

// The window program's frame steps after the effects drew: events, drawing, F1.
FrameOutcome present_window_frame(void*) {
    GlWindowState& window = gl_window_state();
    FrameOutcome outcome = pump_window_events() ? FrameOutcome::Quit : FrameOutcome::Continue;
    if (window.window_active) {
        if (window.key_down[VK_ESCAPE]) {
            outcome = FrameOutcome::Quit;
        } else {
            TextFrame& frame = text_frame();
            convert_frame(frame);
            render_cells(frame, window.width, window.height);
            swap_window();
        }
    }
    if (window.key_down[VK_F1]) {
        window.key_down[VK_F1] = 0;
        close_window();
        window.fullscreen = !window.fullscreen;
        if (!open_window()) return FrameOutcome::Abandon;
    }
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    PlayerOptions options;
    if (int exit_code; !read_player_command_line(PlayerProgram::Window, argc, argv, options, exit_code))
        return exit_code;
    text_frame();
    resource_archive();
    MusicPlayer& player = music_player();
    load_music(player);

    // Whatever way the program ends, a fullscreen mode change is undone.
    std::atexit(SDL_Quit);
    ask_fullscreen();
    if (!open_window()) return 0;
    for (Cell& cell : text_frame().cells) cell = {0, 0};

    const FrameClock clock = system_clock();
    FrameLoopState state = start_frame_loop(clock);
    build_timeline();
    if (player.sound != nullptr) play_music(player);

    const FrameBackend backend = {true, false, present_window_frame, nullptr, nullptr};
    if (run_frame_loop(clock, music_position_source(player), backend, state) == LoopEnd::Abandon) return 0;
    teardown_show();
    close_window();
    return 0;
}
