#include "display/console/console_display.hpp"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include <errno.h>
#include <fcntl.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

#include "display/console/key_decoder.hpp"
#include "display/console/screen_writer.hpp"
#include "frame/convert.hpp"

namespace textdemo {

namespace {

// Push the title, set ours; alternate screen, hidden cursor, no autowrap, blank screen.
constexpr std::string_view TAKE_OVER_START = "\x1b[22;0t\x1b]2;";
constexpr std::string_view TAKE_OVER_END = "\x07\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
// A frame cut short ends its synchronized update; then colours, autowrap, cursor, main
// screen and the pushed title come back.
constexpr std::string_view GIVE_BACK = "\x1b[?2026l\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";
// Largest frame: every cell with a cursor move, both colours and a 3-byte character.
constexpr std::size_t FRAME_BYTES_RESERVED = 128 * 1024;
constexpr std::size_t KEY_BYTES_PER_FRAME = 4096;
constexpr int CRASH_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// What restoring needs; read by signal handlers, so fixed storage and plain writes only.
struct TakenTerminal {
    volatile sig_atomic_t active = 0;
    int output = -1;           // our own descriptor of the terminal we draw on
    int held_messages = -1;    // memory file standing in for standard output (and error)
    int saved_error = -1;      // standard error while it writes into held_messages
    int mode_descriptor = -1;  // whose terminal modes were changed, -1 if none
    termios original_modes{};
    char give_back[128] = {};
    std::size_t give_back_length = 0;
};

TakenTerminal taken;
// Crash handlers in place before ours (a sanitizer's, or the default), given back after us.
struct sigaction crash_actions_before[std::size(CRASH_SIGNALS)];
ScreenState screen;
KeyDecoder key_decoder;
std::string frame_bytes;
bool exit_hook_registered = false;

// Writes everything unless the terminal fails; async-signal-safe.
bool write_all(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Async-signal-safe (write, tcsetattr, dup2, lseek, read, close), for the crash handlers.
void give_terminal_back() {
    if (!taken.active) return;
    taken.active = 0;
    write_all(taken.output, taken.give_back, taken.give_back_length);
    if (taken.mode_descriptor >= 0) tcsetattr(taken.mode_descriptor, TCSAFLUSH, &taken.original_modes);
    if (taken.held_messages < 0) return;
    // Messages of the show now reach the main screen, and so does all later output.
    dup2(taken.output, STDOUT_FILENO);
    if (taken.saved_error >= 0) dup2(taken.saved_error, STDERR_FILENO);
    char bytes[4096];
    ssize_t got;
    lseek(taken.held_messages, 0, SEEK_SET);
    while ((got = read(taken.held_messages, bytes, sizeof bytes)) > 0) {
        write_all(taken.output, bytes, static_cast<std::size_t>(got));
    }
    close(taken.held_messages);
    taken.held_messages = -1;
}

void restore_at_exit() { give_terminal_back(); }

void install_handler(int signal_number, void (*handler)(int), int flags, struct sigaction* before = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(signal_number, &action, before);
}

void put_back_crash_handlers() {
    for (std::size_t i = 0; i < std::size(CRASH_SIGNALS); ++i) sigaction(CRASH_SIGNALS[i], &crash_actions_before[i], nullptr);
}

// The terminal first, then the crash goes on as it would have: the signal, blocked while
// this runs, reaches the handler from before once this returns (a fault simply recurs).
void restore_and_crash(int signal_number) {
    give_terminal_back();
    put_back_crash_handlers();
    raise(signal_number);
}

bool terminal_size(int descriptor, int& rows, int& columns) {
    winsize size{};
    if (ioctl(descriptor, TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0) return false;
    rows = size.ws_row;
    columns = size.ws_col;
    return true;
}

bool locale_is_utf8() {
    std::setlocale(LC_CTYPE, "");
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// No echo, no line editing, no flow control, reads that return at once; the interrupt and
// quit keys still raise their signals, the suspend key is off (a stopped show would keep
// the terminal taken).
termios raw_modes(termios modes) {
    modes.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
    modes.c_cc[VSUSP] = _POSIX_VDISABLE;
    modes.c_cc[VMIN] = 0;
    modes.c_cc[VTIME] = 0;
    return modes;
}

void prepare_give_back(bool resized, int rows, int columns) {
    std::string bytes(GIVE_BACK);
    if (resized) bytes += "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t";
    taken.give_back_length = std::min(bytes.size(), sizeof taken.give_back);
    std::memcpy(taken.give_back, bytes.data(), taken.give_back_length);
}

FrameOutcome present_step(void*) {
    present_console_frame(text_frame());
    return FrameOutcome::Continue;
}

void key_step(void*, std::vector<KeyRecord>& records) { read_console_keys(text_frame(), records); }

// Lines printed during the show (a fatal message, a library's complaint on standard error)
// would land on the alternate screen and vanish with it, or tear the picture: they go into
// a memory file instead and are shown once the terminal is given back.
void hold_messages() {
    std::fflush(stdout);
    std::fflush(stderr);
    taken.held_messages = memfd_create("textdemo-console-messages", MFD_CLOEXEC);
    if (taken.held_messages < 0) return;
    dup2(taken.held_messages, STDOUT_FILENO);
    if (isatty(STDERR_FILENO)) {
        taken.saved_error = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (taken.saved_error >= 0) dup2(taken.held_messages, STDERR_FILENO);
    }
}

}  // namespace

bool standard_output_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

int setup_console_font() { return 1; }

void console_ctrl_handler(int signal_number) { request_stop(signal_number); }

void install_console_ctrl_handler() { install_stop_signal_handlers(console_ctrl_handler); }

void setup_console(TextFrame& frame) {
    frame.console_out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (frame.console_out < 0) frame.console_out = STDOUT_FILENO;
    frame.console_in = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;

    taken.output = frame.console_out;
    // Without a terminal on standard input the keys are not read, but the modes of the
    // terminal we draw on still change, so typing does not echo into the picture.
    const int mode_descriptor = frame.console_in >= 0 ? frame.console_in : frame.console_out;
    taken.mode_descriptor = tcgetattr(mode_descriptor, &taken.original_modes) == 0 ? mode_descriptor : -1;

    int rows = FRAME_HEIGHT, columns = FRAME_WIDTH;
    const bool size_known = terminal_size(frame.console_out, rows, columns);
    const bool resize = size_known && (rows != FRAME_HEIGHT || columns != FRAME_WIDTH);
    prepare_give_back(resize, rows, columns);

    if (!exit_hook_registered) {
        std::atexit(restore_at_exit);
        exit_hook_registered = true;
    }
    for (std::size_t i = 0; i < std::size(CRASH_SIGNALS); ++i)
        install_handler(CRASH_SIGNALS[i], restore_and_crash, 0, &crash_actions_before[i]);
    if (frame.console_out != STDOUT_FILENO) hold_messages();

    taken.active = 1;
    if (taken.mode_descriptor >= 0) {
        const termios modes = raw_modes(taken.original_modes);
        tcsetattr(taken.mode_descriptor, TCSANOW, &modes);
    }
    std::string take_over(TAKE_OVER_START);
    take_over += CONSOLE_TITLE;
    take_over += TAKE_OVER_END;
    if (resize) take_over += "\x1b[8;50;80t";
    write_all(frame.console_out, take_over.data(), take_over.size());

    screen.utf8 = locale_is_utf8();
    resize_screen(screen, rows, columns);
    invalidate_screen(screen);
    key_decoder = KeyDecoder{};
    frame_bytes.reserve(FRAME_BYTES_RESERVED);
}

void present_console_frame(TextFrame& frame) {
    ConsoleCell cells[FRAME_CELLS];
    convert_frame_console(frame.pixels, cells);
    int rows, columns;
    if (terminal_size(frame.console_out, rows, columns)) resize_screen(screen, rows, columns);
    frame_bytes.clear();
    write_frame_changes(screen, cells, frame_bytes);
    // After a failed write the terminal holds an unknown picture: repaint next time.
    if (!write_all(frame.console_out, frame_bytes.data(), frame_bytes.size())) invalidate_screen(screen);
}

void read_console_keys(const TextFrame& frame, std::vector<KeyRecord>& records) {
    if (frame.console_in < 0) return;
    std::uint8_t bytes[KEY_BYTES_PER_FRAME];
    std::size_t count = 0;
    while (count < sizeof bytes) {
        const ssize_t got = read(frame.console_in, bytes + count, sizeof bytes - count);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        count += static_cast<std::size_t>(got);
    }
    decode_keys(key_decoder, bytes, count, records);
}

void restore_console() {
    if (!taken.active) return;
    give_terminal_back();
    put_back_crash_handlers();
}

FrameBackend console_frame_backend() {
    FrameBackend backend{};
    backend.sleep_before_deadline_check = false;
    backend.frame_clock_fallback = true;
    backend.present = present_step;
    backend.read_keys = key_step;
    backend.context = nullptr;
    return backend;
}

}  // namespace textdemo
