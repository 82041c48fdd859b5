// console_display: the show in the terminal it runs in.
//
// Offers: standard_output_is_terminal, terminal_addresses_cursor, setup_console_font,
// console_ctrl_handler and install_console_ctrl_handler (the signal handling),
// setup_console, restore_console and console_frame_backend (the console's presentation
// and key steps for the shared frame loop).
// Depends on: text_frame, console_settings, console_layout, console_picture, screen_writer,
// key_decoder, image and font_texture (the glyphs' ink), failure, frame_loop (stop_requested,
// KeyRecord, FrameBackend, system_clock); POSIX termios, signals, poll, ioctl and
// pthread_kill.
//
// setup_console takes the terminal over (raw non-blocking input, alternate screen, hidden
// cursor, no autowrap, title, a request for 80 x 50 cells) and makes sure every way out
// gives it back as it was found: restore_console at the end of the show (also after a
// failure, which the program reports once the terminal is back), and handlers for the crash
// signals that restore and then die as before. What is printed while the show runs (a
// picture that does not decode, a library's complaint) is held until the terminal is back,
// so it lands on the main screen.
//
// Job control: a stop from outside (SIGTSTP) gives the terminal back before the show stops;
// every resume (SIGCONT, after any stop) takes it again and repaints the whole frame. While
// the show runs in the background it neither draws nor reads keys. Key reads never block,
// whatever modes the terminal is in.
//
// Each frame the terminal's size is read and the layout chosen from it (console_layout); a
// new size or layout clears the terminal and repaints it. Right after the request for
// 80 x 50 cells, a few frames are left out while the terminal may still answer it.
#pragma once

#include <vector>

#include "display/console/console_settings.hpp"
#include "frame/text_frame.hpp"
#include "resources/failure.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

// Title the terminal shows during the show.
inline constexpr const char CONSOLE_TITLE[] = "QUILLMOOR - kelvaron 2010 - www.kelvaron.example";

bool standard_output_is_terminal();

// False for a TERM that is unset, empty or "dumb": no cursor addressing to draw with.
bool terminal_addresses_cursor(const char* term);

// A terminal emulator offers no standard way to pick an 8 x 8 font: always 1 (font kept).
int setup_console_font();

// Handler of SIGINT, SIGQUIT, SIGTERM and SIGHUP: only sets stop_requested, so the show
// ends through the normal teardown at the head of the next frame.
void console_ctrl_handler(int signal_number);
void install_console_ctrl_handler();

// Reads the glyphs' ink from the archive's "textmodechars.png" (a missing one fails, and the
// terminal is left alone), settles the colour mode (Auto: from COLORTERM and TERM), stores
// the terminal descriptors in the frame and takes the terminal over.
Failure setup_console(TextFrame& frame, const ConsoleSettings& settings);

// Gives the terminal back: attributes reset, cursor shown, main screen, title and size as
// they were, original terminal modes. Does nothing when the terminal is not taken over.
void restore_console();

// The console's steps for the frame loop, on text_frame(): present converts the frame in
// the layout the terminal's size calls for and writes what changed since the last one, in
// one write; read_keys appends the keys typed since the last frame (Escape, characters)
// and never waits for input. A late frame starts at once, and a failed position query
// falls back to the frame clock. The context is the backend's one state record.
FrameBackend console_frame_backend();

}  // namespace textdemo
