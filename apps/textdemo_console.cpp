// textdemo-console: the show in the terminal it runs in.
//
// Entry routine: start-up in a fixed order, the shared frame loop with the terminal's
// presentation and keys, teardown, and the terminal given back as it was found; a failure
// on the way is reported once the terminal is back, and after a stop signal the program
// then dies of it.
// Depends on: player_options, player_start, console_display, frame_loop, stop_signals,
// text_frame.
#include <cstdio>
#include <cstdlib>

#include "apps/player_options.hpp"
#include "apps/player_start.hpp"
#include "display/console/console_display.hpp"
#include "frame/text_frame.hpp"
#include "show/frame_loop.hpp"
#include "show/stop_signals.hpp"

int main(int argc, char** argv) {
    using namespace textdemo;
    PlayerOptions options;
    if (int exit_code; !read_player_command_line(PlayerProgram::Console, argc, argv, options, exit_code))
        return exit_code;
    // Nothing is touched when there is no terminal to draw on.
    if (!standard_output_is_terminal()) {
        std::fprintf(stderr, "textdemo-console: standard output is not a terminal\n");
        return 1;
    }
    if (!terminal_addresses_cursor(std::getenv("TERM"))) {
        std::fprintf(stderr, "textdemo-console: the terminal cannot address the cursor (TERM is unset or dumb)\n");
        return 1;
    }
    // Ctrl-C and the other stop signals end the show through its teardown; a terminal that
    // no longer reads gets its modes back at the stop deadline all the same.
    install_stop_signal_handlers(request_stop, give_terminal_back_through_the_tty);
    TextFrame& frame = text_frame();
    std::uint32_t start_ms = 0;
    if (int exit_code = load_show_music(PlayerProgram::Console, options, start_ms)) return exit_code;
    Failure failure = setup_console(frame, options.console);

    LoopEnd end = LoopEnd::Teardown;
    if (!failure) failure = play_show(options, start_ms, console_frame_backend(), end);
    if (!failure && end == LoopEnd::Teardown) failure = teardown_show();
    // The terminal first, so a failure's line lands on the shell's screen.
    restore_console();
    const int exit_code = exit_code_after(PlayerProgram::Console, failure);
    if (exit_code == 0) end_by_stop_signal();
    return exit_code;
}
