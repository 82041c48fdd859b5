// textdemo-gl: the show in an OpenGL window.
//
// Start-up: frame, archive, music, the "Fullscreen?" question (unless --fullscreen or
// --window answered it), the window, cleared cells, clock, timeline, music started; then
// the shared frame loop with this program's window steps and "m" for mute, and the shared
// teardown. Leaving gives the desktop its mode and cursor back.
// Interrupt, quit, terminate and hang-up end the show through the teardown; a window or
// OpenGL that cannot be had ends the program with exit code 1.
#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "apps/player_options.hpp"
#include "apps/player_start.hpp"
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

// "m" mutes and unmutes, as in the console program: each press is handed to the loop once,
// which applies the mute key's cooldown.
void read_window_keys(void*, std::vector<KeyRecord>& records) {
    std::uint8_t& m = gl_window_state().key_down['M'];
    if (m) records.push_back({'M', 'm'});
    m = 0;
}

}  // namespace

int main(int argc, char** argv) {
    PlayerOptions options;
    if (int exit_code; !read_player_command_line(PlayerProgram::Window, argc, argv, options, exit_code))
        return exit_code;
    install_stop_signal_handlers(request_stop);
    text_frame();
    use_archive_of(options);
    resource_archive();
    MusicPlayer& player = music_player();
    load_music(player);
    std::uint32_t start_ms = 0;
    if (!show_start_ms(PlayerProgram::Window, options, player, start_ms)) return 2;

    // Whatever way the program ends, a fullscreen mode change is undone.
    std::atexit(SDL_Quit);
    if (options.fullscreen) gl_window_state().fullscreen = *options.fullscreen;
    else ask_fullscreen();
    if (stop_requested) {  // a signal while the question was open
        teardown_show();
        return 0;
    }
    if (!open_window()) return EXIT_FAILURE;
    for (Cell& cell : text_frame().cells) cell = {0, 0};

    const FrameClock clock = system_clock();
    FrameLoopState state = start_frame_loop(clock);
    build_timeline();
    start_show_music(options, player, start_ms, state);

    const FrameBackend backend = {true, false, present_window_frame, read_window_keys, nullptr};
    if (run_frame_loop(clock, music_position_source(player), backend, state) == LoopEnd::Abandon) return EXIT_FAILURE;
    teardown_show();
    close_window();
    return 0;
}
