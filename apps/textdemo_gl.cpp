// textdemo-gl: the show in an OpenGL window.
//
// Start-up: frame, archive, music, the "Fullscreen?" question (unless --fullscreen or
// --window answered it), the window, cleared cells, clock, timeline, music started; then
// the shared frame loop with the window's steps (gl_frame_backend), and the shared
// teardown. Leaving gives the desktop its mode and cursor back.
// Interrupt, quit, terminate and hang-up end the show through the teardown, then the
// program dies of the signal; a window or OpenGL that cannot be had ends the program with
// exit code 1, an archive or resource that cannot be used with its line and -1. An X server
// that refuses a request (the window destroyed from outside) ends the show through the
// teardown with one line and exit code 1; one that is lost or stops answering ends it from
// window_faults, through the same teardown, without another call to it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "apps/player_options.hpp"
#include "apps/player_start.hpp"
#include "display/gl/gl_frame_backend.hpp"
#include "display/gl/gl_renderer.hpp"
#include "display/gl/gl_window.hpp"
#include "display/gl/window_faults.hpp"
#include "frame/text_frame.hpp"
#include "show/frame_loop.hpp"

using namespace textdemo;

namespace {

std::atomic<bool> g_torn_down{false};

// The show's teardown, once: by the program's own end or by a window-system fault.
Failure teardown_once() { return g_torn_down.exchange(true) ? Failure{} : teardown_show(); }
void teardown_after_fault() { static_cast<void>(teardown_once()); }

// With the window closed and the connection still there: SDL shut down (no exit hook does
// it: one would run inside Xlib's exit on a dead connection), then the exit code of the
// given one or of the teardown's failure; else the line of a refused request and 1, or death
// by the signal that stopped the show; else 0.
int leave(int exit_code, const Failure& failure = {}) {
    close_window_system();
    if (exit_code == 0) exit_code = exit_code_after(PlayerProgram::Window, failure);
    if (exit_code != 0) return exit_code;
    if (const std::string refusal = window_system_refusal(); !refusal.empty()) {
        std::fprintf(stderr, "textdemo-gl: %s\n", refusal.c_str());
        exit_code = EXIT_FAILURE;
    }
    end_by_stop_signal();
    return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
    PlayerOptions options;
    if (int exit_code; !read_player_command_line(PlayerProgram::Window, argc, argv, options, exit_code))
        return exit_code;
    install_stop_signal_handlers(request_stop);
    text_frame();
    std::uint32_t start_ms = 0;
    if (int exit_code = load_show_music(PlayerProgram::Window, options, start_ms)) return exit_code;
    GlDisplay display;
    if (Failure failure = load_window_font(display.renderer)) return exit_code_after(PlayerProgram::Window, failure);

    watch_window_system(teardown_after_fault);
    if (options.fullscreen) display.fullscreen = *options.fullscreen;
    else ask_fullscreen(display);
    // A signal while the question was open ends the show before it starts.
    if (stop_requested) return leave(0, teardown_once());
    if (!open_window(display)) return leave(EXIT_FAILURE);
    for (Cell& cell : text_frame().cells) cell = {0, 0};

    LoopEnd end = LoopEnd::Teardown;
    Failure failure = play_show(options, start_ms, window_frame_backend(display), end);
    if (!failure && end == LoopEnd::Abandon) return leave(EXIT_FAILURE);
    if (!failure) failure = teardown_once();
    close_window(display);
    return leave(0, failure);
}
