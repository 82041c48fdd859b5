// textdemo-gl: the show in an OpenGL window.
//
// Start-up: frame, archive, music, the "Fullscreen?" question (unless --fullscreen or
// --window answered it), the window, cleared cells, clock, timeline, music started; then
// the shared frame loop with the window's steps (gl_frame_backend), and the shared
// teardown. Leaving gives the desktop its mode and cursor back.
// Interrupt, quit, terminate and hang-up end the show through the teardown, then the
// program dies of the signal; a window or OpenGL that cannot be had ends the program with
// exit code 1, an archive or resource that cannot be used with its line and -1.
#include <SDL.h>

#include <cstdlib>

#include "apps/player_options.hpp"
#include "apps/player_start.hpp"
#include "display/gl/gl_frame_backend.hpp"
#include "display/gl/gl_renderer.hpp"
#include "display/gl/gl_window.hpp"
#include "frame/text_frame.hpp"
#include "show/frame_loop.hpp"

using namespace textdemo;

namespace {

// After the teardown: the exit code of its failure; else death by the signal that stopped
// the show (SDL_Quit first, as dying skips the exit hooks); else 0.
int leave(Failure failure) {
    const int exit_code = exit_code_after(PlayerProgram::Window, failure);
    if (exit_code == 0 && stop_signal != 0) {
        SDL_Quit();
        end_by_stop_signal();
    }
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

    // Whatever way the program ends, a fullscreen mode change is undone.
    std::atexit(SDL_Quit);
    if (options.fullscreen) display.fullscreen = *options.fullscreen;
    else ask_fullscreen(display);
    // A signal while the question was open ends the show before it starts.
    if (stop_requested) return leave(teardown_show());
    if (!open_window(display)) return EXIT_FAILURE;
    for (Cell& cell : text_frame().cells) cell = {0, 0};

    LoopEnd end = LoopEnd::Teardown;
    Failure failure = play_show(options, start_ms, window_frame_backend(display), end);
    if (!failure && end == LoopEnd::Abandon) return EXIT_FAILURE;
    if (!failure) failure = teardown_show();
    close_window(display);
    return leave(failure);
}
