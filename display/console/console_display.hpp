// console_display: the show in the terminal it runs in.
//
// Offers: standard_output_is_terminal, terminal_addresses_cursor,
// give_terminal_back_through_the_tty (the stop deadline's last words), setup_console,
// restore_console and console_frame_backend (the console's presentation and key steps for
// the shared frame loop).
// Depends on: text_frame, console_settings, console_layout, console_picture, screen_writer,
// pixel_layout, kitty_image, key_decoder, terminal_queries, output_pacing, image and
// font_texture (the glyphs' ink), failure,
// frame_loop (stop_requested, KeyRecord, FrameBackend, system_clock); POSIX termios,
// signals, poll, ioctl and pthread_kill.
//
// setup_console takes the terminal over (raw non-blocking input, alternate screen, hidden
// cursor, no autowrap, title, a request for 80 x 50 cells once the answers allow it) and
// makes sure every way out
// gives it back as it was found: restore_console at the end of the show (also after a
// failure, which the program reports once the terminal is back), and handlers for the crash
// signals and every other signal whose default action ends the process (USR1, XCPU, ...)
// that restore and then die of it. A frame write that waits on the terminal gives up when a
// stop is requested; a terminal that still does not read when the stop deadline passes gets
// its modes back through the tty (the bytes it never read are dropped). What is printed while the show runs (a
// picture that does not decode, a library's complaint) is held until the terminal is back,
// so it lands on the main screen.
//
// Job control: a stop from outside (SIGTSTP) gives the terminal back before the show stops;
// every resume (SIGCONT, after any stop) takes it again and repaints the whole frame. Both
// wait for the end of a frame being made and written, or of a key read, so what the show
// made for its screen never reaches the shell's. While the show runs in the background it
// neither draws nor reads keys. Key reads never block, whatever modes the terminal is in.
//
// At start the terminal is asked what it can show (terminal_queries; only where its answers
// can be read). A few frames are left out while it may still answer them, or the request
// for 80 x 50 cells; answers that come later still count until the round of queries is
// over, the colours and layout then chosen again as on a resize. Each frame the
// terminal's size (in cells and pixels) is read and the layout chosen from it and the
// cells' shape (console_layout), or the window's picture where the terminal shows pixels
// (pixel_layout); a new size or layout clears the terminal, margins in the picture's
// black, and repaints it. A terminal that answered the kitty graphics query has the
// picture removed at every way out, with the rest of the give-back. A show that ends before the answers came reads them
// first, so that they never reach the shell.
//
// A terminal that answered the queries' device attributes is paced (output_pacing), in
// every layout alike: each frame's write ends with a probe, a frame is made only while the
// terminal is less than about 100 ms behind, and its bytes go through a descriptor that
// never waits long, the rest following before the next frame, so that keys are read every
// frame however slow the line. Left-out frames cost nothing on the line: the next frame
// written carries every change since the last one sent. Before the terminal goes back to
// the shell the rest of the frame goes out and the probes' answers are read. A terminal
// that never answered gets every frame, each in a write that waits for the terminal.
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

// For a terminal that may have stopped reading (async-signal-safe): what it has not read is
// dropped and its modes come back through the tty at once. The last words of the stop
// signals' deadline (install_stop_signal_handlers). Does nothing when the terminal is not
// taken over.
void give_terminal_back_through_the_tty();

// Reads the glyphs' ink from the archive's "textmodechars.png" (a missing one fails, and the
// terminal is left alone), stores the terminal descriptors in the frame, takes the terminal
// over and asks it what it can show. The colour mode Auto is settled once it has answered:
// 24-bit or 256 colours as a colour read back shows, else from COLORTERM and TERM.
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
