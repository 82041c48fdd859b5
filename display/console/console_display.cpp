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
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>

#include "display/console/console_picture.hpp"
#include "display/console/key_decoder.hpp"
#include "display/console/output_pacing.hpp"
#include "display/console/kitty_image.hpp"
#include "display/console/pixel_layout.hpp"
#include "display/console/screen_writer.hpp"
#include "display/console/terminal_queries.hpp"
#include "resources/font_texture.hpp"
#include "resources/image.hpp"

namespace textdemo {

namespace {

// Push the title, set ours; alternate screen, hidden cursor, no autowrap, blank screen.
constexpr std::string_view PUSH_TITLE = "\x1b[22;0t";
constexpr std::string_view SET_TITLE = "\x1b]2;";
constexpr std::string_view TAKE_OVER_END = "\x07\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
// Colours, autowrap, cursor, main screen and the pushed title come back.
constexpr std::string_view GIVE_BACK = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";
// Ends the synchronized update of a frame cut short; sent only then (kitty warns of a stop
// without a start).
constexpr std::string_view END_CUT_FRAME = "\x1b[?2026l";
// Largest frame: every cell with a cursor move, both colours and a 3-byte character.
constexpr std::size_t FRAME_BYTES_RESERVED = 128 * 1024;
constexpr std::size_t KEY_BYTES_PER_FRAME = 4096;
constexpr char REPAINT_KEY = '\x0c';  // Ctrl+L
// The crash signals, and every other signal whose default action ends the process (SIGALRM
// aside: it is the stop deadline's, whose last words give the terminal back as well).
constexpr int CRASH_SIGNALS[] = {SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGABRT,   SIGTRAP, SIGSYS, SIGXCPU,
                                 SIGXFSZ, SIGUSR1, SIGUSR2, SIGPIPE, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,
                                 SIGSTKFLT};
// Frames' time the terminal gets to answer the request for 80 x 50 cells and the queries
// before the layout and colours are chosen from whatever it has told.
constexpr int ANSWER_FRAMES = 8;
constexpr std::string_view RESIZE_REQUEST = "\x1b[8;50;80t";
constexpr int ANSWERS_DRAIN_MS = 250;
// How long a paced frame's write may wait for the terminal to take its bytes, each frame:
// long enough that a busy terminal still gets whole frames, short enough that keys are
// read in time on a line that takes longer.
constexpr std::uint32_t PENDING_WAIT_MS = 100;

// What restoring needs; read by signal handlers, so fixed storage and plain writes only.
struct TakenTerminal {
    volatile sig_atomic_t active = 0;
    int output = -1;           // our own descriptor of the terminal we draw on
    int held_messages = -1;    // memory file standing in for standard output (and error)
    int saved_error = -1;      // standard error while it writes into held_messages
    int mode_descriptor = -1;  // whose terminal modes were changed, -1 if none
    termios original_modes{};
    termios show_modes{};
    char take_over[256] = {};
    std::size_t take_over_length = 0;
    // The give-back, and (used once the terminal answered the kitty graphics query; others
    // could print it) the same with the kitty picture removed first.
    char give_back[2][192] = {};
    std::size_t give_back_length[2] = {};
    volatile sig_atomic_t give_back_kitty = 0;
    // The shell has the terminal: the show was stopped, or runs in the background.
    volatile sig_atomic_t lent = 0;
    pthread_t main_thread{};
    // Device attributes still to be read from `input`: the queries' last answer, or the
    // answers to the pacing's probes.
    volatile sig_atomic_t answers_due = 0;
    int input = -1;
    // A descriptor of the same terminal whose writes never wait, or -1.
    int unblocked = -1;
    // What the terminal has not taken yet of a paced frame's write: finished before
    // anything else is written.
    const char* volatile pending = nullptr;
    volatile std::size_t pending_size = 0;
};

// The console backend's one state record: the terminal as taken over and the crash handlers
// to give back (both read by signal handlers), the screen as last written, the layout and
// picture choices, the key decoder, and the frame's cells and bytes.
struct ConsoleDisplay {
    TakenTerminal taken;
    // Crash handlers in place before ours (a sanitizer's, or the default), given back after us.
    struct sigaction crash_actions_before[std::size(CRASH_SIGNALS)];
    ScreenState screen;
    PixelScreen pixels;  // the window's picture where the terminal shows pixels
    FontTexture font;
    ConsoleLayout layout_asked = ConsoleLayout::Auto;
    ConsoleColours colours_asked = ConsoleColours::Auto;
    PictureStyle picture_style;
    SteadyPicture steady;  // what the averaged half picture last showed
    // The terminal is given time to answer the size request and queries: since when (the
    // first frame that waited), and whether the wait has begun.
    bool awaiting_answers = false;
    bool answer_wait_begun = false;
    std::uint32_t answer_wait_from_ms = 0;
    bool resize_asked = false;
    bool resize_wanted = false;  // the terminal was not 80 x 50 at start, and may be asked
    int start_rows = 0, start_columns = 0;
    // The answers to the queries sent at start are still taken in (queries_round_open), and
    // when the queries went out.
    bool queries_open = false;
    std::uint32_t queries_sent_ms = 0;
    TerminalAnswers answers;
    OutputPacing pacing;
    KeyDecoder key_decoder;
    std::vector<ScreenCell> cells;  // the frame in the chosen layout
    std::string frame_bytes;        // what the frame writes
};

// The one instance: the signal handlers reach it here, the frame loop through its context.
ConsoleDisplay console;

// Signal-handler flags, for job control against the frame steps: a stop or resume signal
// that comes while a frame is made and written, or keys are read, leaves its work to the
// main thread, which does it once the step is done. So no escape sequence is ever cut in
// two, and nothing made while the show had the terminal is written after it was lent.
volatile sig_atomic_t in_console_step = 0;
volatile sig_atomic_t writing_frame = 0;  // the frame's bytes are being written
volatile sig_atomic_t stop_deferred = 0;
volatile sig_atomic_t resume_deferred = 0;
volatile sig_atomic_t repaint_needed = 0;  // the terminal was taken again: repaint everything
// A resume is acted on once: by SIGCONT's handler on the main thread (which it may reach
// only after another thread got it), or, when the show is continued from its own stop
// before that, by the stop's handler, the SIGCONT then left alone.
volatile sig_atomic_t resumes_acted_on = 0;
volatile sig_atomic_t resume_taken_early = 0;
volatile sig_atomic_t frame_cut_short = 0;  // the last frame write did not finish

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

void drain_answers();

// Async-signal-safe: the rest of a paced frame, waiting for the terminal, before anything
// else is written; unless a write of it was cut by this signal.
void finish_pending() {
    TakenTerminal& taken = console.taken;
    if (!writing_frame && taken.pending_size > 0 && write_all(taken.output, taken.pending, taken.pending_size))
        taken.pending_size = 0;
}

// Async-signal-safe: the rest of a paced frame, the answers still due read, then
// attributes, cursor, main screen, title and size, and the modes as they were found.
void write_give_back() {
    TakenTerminal& taken = console.taken;
    finish_pending();
    if (taken.answers_due) drain_answers();
    if (writing_frame || frame_cut_short || taken.pending_size > 0)
        write_all(taken.output, END_CUT_FRAME.data(), END_CUT_FRAME.size());
    const int kitty = taken.give_back_kitty;
    write_all(taken.output, taken.give_back[kitty], taken.give_back_length[kitty]);
    if (taken.mode_descriptor >= 0) tcsetattr(taken.mode_descriptor, TCSAFLUSH, &taken.original_modes);
}

// Async-signal-safe (poll, read): the answers still on their way (to the queries of a show
// that ends right after it started, to the pacing's probes) are read, up to as many device
// attributes (ESC [ ? ... c) as are due or until the terminal has sent nothing for
// ANSWERS_DRAIN_MS in all, so that the shell does not get them as typed text.
void drain_answers() {
    enum { Other, Escape, Introducer, Attributes } state = Other;
    int due = console.taken.answers_due;
    console.taken.answers_due = 0;  // those that do not come in time are given up
    std::uint8_t bytes[256];
    for (int waited_ms = 0; waited_ms < ANSWERS_DRAIN_MS;) {
        pollfd wanted{console.taken.input, POLLIN, 0};
        if (poll(&wanted, 1, 10) == 0) {
            waited_ms += 10;
            continue;
        }
        const ssize_t got = read(console.taken.input, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        for (ssize_t i = 0; i < got; ++i) {
            const std::uint8_t byte = bytes[i];
            if (state == Attributes && byte == 'c' && --due == 0) return;
            if (byte == 0x1B) state = Escape;
            else if (state == Escape) state = byte == '[' ? Introducer : Other;
            else if (state == Introducer) state = byte == '?' ? Attributes : Other;
            else if (state == Attributes && !((byte >= '0' && byte <= '9') || byte == ';')) state = Other;
        }
    }
}

// Async-signal-safe (write, tcsetattr, dup2, lseek, read, close, poll), for the crash
// handlers.
void give_terminal_back() {
    if (!console.taken.active) return;
    // Still active while the give-back waits on the terminal, so that the stop deadline's
    // last words give it back through the tty when the terminal does not read.
    if (!console.taken.lent) write_give_back();
    console.taken.active = 0;
    if (console.taken.held_messages < 0) return;
    // Messages of the show now reach the main screen, and so does all later output.
    dup2(console.taken.output, STDOUT_FILENO);
    if (console.taken.saved_error >= 0) dup2(console.taken.saved_error, STDERR_FILENO);
    char bytes[4096];
    ssize_t got;
    lseek(console.taken.held_messages, 0, SEEK_SET);
    while ((got = read(console.taken.held_messages, bytes, sizeof bytes)) > 0) {
        write_all(console.taken.output, bytes, static_cast<std::size_t>(got));
    }
    close(console.taken.held_messages);
    console.taken.held_messages = -1;
}

// A descriptor of the terminal behind `descriptor` whose writes never wait (a file
// description of its own, so the shell's stays as it is), or -1.
int open_unblocked(int descriptor) {
    char path[32] = "/proc/self/fd/";
    std::size_t length = std::strlen(path);
    char digits[12];
    std::size_t count = 0;
    for (int value = descriptor; count == 0 || value > 0; value /= 10) digits[count++] = static_cast<char>('0' + value % 10);
    while (count > 0) path[length++] = digits[--count];
    path[length] = '\0';
    return open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

// The give-back bytes (and the held messages) go through the descriptor that never waits,
// for when the terminal reads again.
void give_terminal_back_through_the_tty() {
    TakenTerminal& taken = console.taken;
    if (!taken.active) return;
    taken.active = 0;
    tcflush(taken.output, TCOFLUSH);
    if (taken.mode_descriptor >= 0) tcsetattr(taken.mode_descriptor, TCSANOW, &taken.original_modes);
    const int unblocked = taken.unblocked;
    if (unblocked < 0) return;
    if (!taken.lent) {
        if (writing_frame || frame_cut_short || taken.pending_size > 0)
            write(unblocked, END_CUT_FRAME.data(), END_CUT_FRAME.size());
        write(unblocked, taken.give_back[taken.give_back_kitty], taken.give_back_length[taken.give_back_kitty]);
    }
    if (taken.held_messages >= 0) {
        char bytes[4096];
        ssize_t got;
        lseek(taken.held_messages, 0, SEEK_SET);
        while ((got = read(taken.held_messages, bytes, sizeof bytes)) > 0 &&
               write(unblocked, bytes, static_cast<std::size_t>(got)) == got) {
        }
    }
}

namespace {

// Async-signal-safe: the terminal as the shell had it, while the show is stopped.
void lend_terminal() {
    if (!console.taken.active || console.taken.lent) return;
    write_give_back();
    console.taken.lent = 1;
}

// Async-signal-safe: the show's terminal modes, alternate screen, hidden cursor, title and
// size request again, and a full repaint; but only in the terminal's foreground (in the
// background the terminal stays with the shell until the show is brought back).
void take_terminal() {
    if (!console.taken.active) return;
    const pid_t foreground = tcgetpgrp(console.taken.output);
    if (foreground >= 0 && foreground != getpgrp()) {
        console.taken.lent = 1;
        return;
    }
    if (console.taken.mode_descriptor >= 0) tcsetattr(console.taken.mode_descriptor, TCSANOW, &console.taken.show_modes);
    finish_pending();  // a repaint follows, but no sequence may be cut
    write_all(console.taken.output, console.taken.take_over, console.taken.take_over_length);
    console.taken.lent = 0;
    repaint_needed = 1;
}

// Job-control work is done on the main thread, the one that writes frames, and never in a
// frame step. True when the handler can act now; otherwise the signal is handed to the main
// thread, or `deferred` is set for after the step.
bool can_act_now(int signal_number, volatile sig_atomic_t& deferred) {
    if (!pthread_equal(pthread_self(), console.taken.main_thread)) {
        pthread_kill(console.taken.main_thread, signal_number);
        return false;
    }
    if (in_console_step) {
        deferred = 1;
        return false;
    }
    return true;
}

// SIGTSTP from outside: the terminal goes back to the shell first (so its "Stopped" line
// lands on the main screen, cursor shown), then the show stops as by default.
void stop_for_job_control(int signal_number) {
    if (!can_act_now(signal_number, stop_deferred)) return;
    const int saved_errno = errno;
    lend_terminal();
    struct sigaction ours {};
    struct sigaction stop_by_default {};
    stop_by_default.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stop_by_default, &ours);
    sigset_t stop_signal;
    sigemptyset(&stop_signal);
    sigaddset(&stop_signal, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &stop_signal, nullptr);
    const sig_atomic_t resumes_before = resumes_acted_on;
    raise(SIGTSTP);  // stopped here until SIGCONT
    sigaction(SIGTSTP, &ours, nullptr);
    if (resumes_acted_on == resumes_before) {
        resume_taken_early = 1;
        take_terminal();
    }
    errno = saved_errno;
}

// After any stop (ours, SIGSTOP, or one the shell sent), on the main thread: the shell has
// put the terminal in its own modes meanwhile.
void act_on_resume() {
    if (resume_taken_early) {
        resume_taken_early = 0;
        return;
    }
    resumes_acted_on = resumes_acted_on + 1;
    take_terminal();
}

void resume_after_stop(int signal_number) {
    if (!can_act_now(signal_number, resume_deferred)) return;
    const int saved_errno = errno;
    act_on_resume();
    errno = saved_errno;
}

// On the main thread between frame steps: the job-control work the handlers left, and the
// terminal taken back once the shell has brought the show to the foreground.
void settle_job_control() {
    if (stop_deferred) {
        stop_deferred = 0;
        raise(SIGTSTP);
    }
    if (resume_deferred) {
        resume_deferred = 0;
        act_on_resume();
    }
    if (console.taken.lent) take_terminal();
}

// A frame step, from the look at whether the show has the terminal to the end of what it
// writes or reads: the terminal is neither lent nor taken meanwhile (what was deferred is
// done at its end), so a frame made for the show's screen never reaches the shell's.
class ConsoleStep {
public:
    ConsoleStep() {
        settle_job_control();
        in_console_step = 1;
    }
    ~ConsoleStep() {
        in_console_step = 0;
        settle_job_control();
    }
    ConsoleStep(const ConsoleStep&) = delete;
    ConsoleStep& operator=(const ConsoleStep&) = delete;
};

// True when a read of the descriptor returns at once, whatever the terminal's modes.
bool input_waiting(int descriptor) {
    pollfd wanted{descriptor, POLLIN, 0};
    return poll(&wanted, 1, 0) == 1 && (wanted.revents & POLLIN) != 0;
}

void install_handler(int signal_number, void (*handler)(int), int flags, struct sigaction* before = nullptr) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(signal_number, &action, before);
}

void put_back_crash_handlers() {
    for (std::size_t i = 0; i < std::size(CRASH_SIGNALS); ++i) sigaction(CRASH_SIGNALS[i], &console.crash_actions_before[i], nullptr);
}

// The terminal first, then the crash goes on as it would have: the signal, blocked while
// this runs, reaches the handler from before once this returns (a fault simply recurs).
void restore_and_crash(int signal_number) {
    give_terminal_back();
    put_back_crash_handlers();
    raise(signal_number);
}

// The size in cells, and in pixels where the terminal tells the kernel (else 0).
bool terminal_size(int descriptor, winsize& size) {
    return ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0;
}

// Colours from the answers (or the environment), margins in the picture's black.
void settle_colours(ConsoleDisplay& display) {
    display.picture_style.colours =
        detected_colours(display.colours_asked, display.answers, std::getenv("COLORTERM"), std::getenv("TERM"));
    display.screen.margin = palette_colour(display.picture_style.colours, 0);
}

// True while the terminal may still answer: the size asked for has not come, or the
// device attributes, the last of the queries, have not.
bool answers_pending(const ConsoleDisplay& display) {
    const bool size_pending = display.screen.rows != FRAME_HEIGHT || display.screen.columns != FRAME_WIDTH;
    return (display.resize_asked && size_pending) || (display.queries_open && !display.answers.finished);
}

bool locale_is_utf8() {
    std::setlocale(LC_CTYPE, "");
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// No echo, no line editing, no flow control, reads that return at once; the interrupt and
// quit keys still raise their signals, but without the kernel discarding what is on its way
// to the terminal (that would cut a frame's sequence in two, and the terminal would take the
// give-back for part of it); the suspend key is off (a stop comes only from outside, as
// kill -TSTP).
termios raw_modes(termios modes) {
    modes.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
    modes.c_lflag |= NOFLSH;
    modes.c_cc[VSUSP] = _POSIX_VDISABLE;
    modes.c_cc[VMIN] = 0;
    modes.c_cc[VTIME] = 0;
    return modes;
}

void prepare_give_back(bool resized, int rows, int columns) {
    const std::string size = resized ? "\x1b[8;" + std::to_string(rows) + ";" + std::to_string(columns) + "t" : "";
    std::string removal;
    append_kitty_delete(KITTY_PICTURE_ID, removal);
    const std::string variants[2] = {std::string(GIVE_BACK) + size, removal + std::string(GIVE_BACK) + size};
    for (int kitty = 0; kitty < 2; ++kitty) {
        console.taken.give_back_length[kitty] = std::min(variants[kitty].size(), sizeof console.taken.give_back[kitty]);
        std::memcpy(console.taken.give_back[kitty], variants[kitty].data(), console.taken.give_back_length[kitty]);
    }
    console.taken.give_back_kitty = 0;
}

// The terminal may no longer show what was written (cleared, given back, cut short): the
// next frame clears it and draws everything.
void forget_screen(ConsoleDisplay& display) {
    invalidate_screen(display.screen);
    forget_pixel_picture(display.pixels);
}

// The window's picture where the terminal shows pixels and it fits; else the text layouts,
// the picture removed first where one was shown.
void write_frame(ConsoleDisplay& display, const TextFrame& frame, CellSize cell) {
    const int rows = display.screen.rows, columns = display.screen.columns;
    display.frame_bytes.clear();
    const PixelLayout pixels = choose_pixel_layout(display.layout_asked, display.answers.kitty_graphics,
                                                   display.answers.sixel, rows, columns, cell);
    if (pixels.protocol != PixelProtocol::None) {
        write_pixel_frame(display.pixels, pixels, frame.pixels, display.font, display.screen, display.frame_bytes);
        return;
    }
    remove_pixel_picture(display.pixels, display.frame_bytes);
    const ScreenLayout layout = choose_layout(display.layout_asked, rows, columns, cell);
    picture_cells(layout, display.picture_style, display.steady, frame.pixels, display.cells);
    place_region(display.screen, layout.region);
    write_frame_changes(display.screen, display.cells.data(), display.frame_bytes);
}

// Once the answers are in: the request for 80 x 50 cells (also sent again on every resume),
// the size found given back at the end, and (where the show has not begun: `wait`) a few
// frames to wait for the new size; later, a new size is taken as any resize. Left
// out where the terminal answered the kitty graphics query: kitty, WezTerm and Ghostty never
// resize on request, and kitty logs a warning for each request; Konsole, which would,
// keeps its size, which every layout fits. A terminal that tells nothing is asked, as ever.
void ask_for_frame_size(ConsoleDisplay& display, bool wait) {
    if (!display.resize_wanted || display.answers.kitty_graphics) return;
    TakenTerminal& taken = display.taken;
    prepare_give_back(true, display.start_rows, display.start_columns);
    if (taken.take_over_length + RESIZE_REQUEST.size() <= sizeof taken.take_over) {
        std::memcpy(taken.take_over + taken.take_over_length, RESIZE_REQUEST.data(), RESIZE_REQUEST.size());
        taken.take_over_length += RESIZE_REQUEST.size();
    }
    write_all(taken.output, RESIZE_REQUEST.data(), RESIZE_REQUEST.size());
    display.resize_asked = true;
    display.awaiting_answers = wait;
    display.answer_wait_begun = false;
}

// The queries' answers among `replies`, in the start's wait or later: new colours repaint
// the screen, and the layout follows the new answers with the next frame, as on a resize.
void take_in_answers(ConsoleDisplay& display, const std::vector<TerminalReply>& replies) {
    const ConsoleColours colours_before = display.answers.colours;
    read_terminal_answers(display.answers, replies);
    display.taken.give_back_kitty = display.answers.kitty_graphics;
    if (display.answers.colours == colours_before) return;
    settle_colours(display);
    forget_screen(display);
}

// The device attributes still to be read before the terminal goes back to the shell.
void note_answers_due(ConsoleDisplay& display) {
    const bool queries_due = display.queries_open && !display.answers.finished;
    display.taken.answers_due = queries_due ? 1 : probes_due(display.pacing);
}

// Writes the frame's rest (taken.pending) to `descriptor` until all of it is out, a stop is
// requested, or (where the descriptor never waits) the terminal has taken nothing for
// PENDING_WAIT_MS; true once all of it is out. What is left then goes out before anything
// else is written, the give-back included, so no escape sequence is ever cut in two. A
// terminal that fails drops the rest, and the next frame repaints everything.
bool send_pending(ConsoleDisplay& display, int descriptor) {
    TakenTerminal& taken = display.taken;
    const FrameClock clock = system_clock();
    const std::uint32_t started_ms = clock.now_ms(clock.context);
    writing_frame = 1;
    while (taken.pending_size > 0 && !stop_requested) {
        const ssize_t written = write(descriptor, taken.pending, taken.pending_size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const std::uint32_t waited_ms = clock.now_ms(clock.context) - started_ms;
            pollfd room{descriptor, POLLOUT, 0};
            if (waited_ms >= PENDING_WAIT_MS || poll(&room, 1, static_cast<int>(PENDING_WAIT_MS - waited_ms)) < 0) break;
            continue;
        }
        if (written <= 0) {
            taken.pending_size = 0;
            frame_cut_short = 1;
            forget_screen(display);
            break;
        }
        taken.pending = taken.pending + written;
        taken.pending_size = taken.pending_size - static_cast<std::size_t>(written);
    }
    writing_frame = 0;
    return taken.pending_size == 0;
}

// The descriptor a paced frame's rest goes through: one whose writes never wait, where
// there is one.
int paced_descriptor(const TakenTerminal& taken) { return taken.unblocked >= 0 ? taken.unblocked : taken.output; }

// Writes the frame's bytes, whatever layout made them. A paced terminal gets them with the
// probe after them and without waiting long: what it does not take now goes out before the
// next frame is made. Any other terminal gets them through a write that waits until they
// are out, or a stop comes; then the give-back finishes them.
void send_frame(ConsoleDisplay& display, std::uint32_t now_ms) {
    const bool paced = display.pacing.answered;
    if (paced) {
        display.frame_bytes += PACING_PROBE;
        pacing_sent(display.pacing, now_ms, display.frame_bytes.size());
        note_answers_due(display);
    }
    frame_cut_short = 0;
    display.taken.pending = display.frame_bytes.data();
    display.taken.pending_size = display.frame_bytes.size();
    send_pending(display, paced ? paced_descriptor(display.taken) : display.taken.output);
}

// Converts the frame in the layout the terminal's size calls for and writes what changed
// since the last frame written. Frames are left out while the terminal is behind (the
// pacing, or the last frame not all written yet): the next one written holds every change
// since, as what the layouts remember is what was sent.
void present_console_frame(ConsoleDisplay& display, const TextFrame& frame) {
    if (display.taken.lent) return;  // the shell has the terminal
    if (repaint_needed) {
        repaint_needed = 0;
        forget_screen(display);
        // The answers to what was in flight were read when the terminal was lent.
        pacing_forget_in_flight(display.pacing);
    }
    winsize size{};
    if (terminal_size(frame.console_out, size)) resize_screen(display.screen, size.ws_row, size.ws_col);
    // Timed from the first frame that waits: the frames late after the start come at once.
    const FrameClock clock = system_clock();
    const std::uint32_t now_ms = clock.now_ms(clock.context);
    if (display.awaiting_answers && answers_pending(display)) {
        if (!display.answer_wait_begun) display.answer_wait_from_ms = now_ms;
        display.answer_wait_begun = true;
        if (now_ms - display.answer_wait_from_ms < ANSWER_FRAMES * FRAME_PERIOD_MS) return;
    }
    const bool start_wait_ends = display.awaiting_answers;
    display.awaiting_answers = false;
    // The show goes on after the wait; answers that come later still count until the round
    // of queries is over (take_in_answers), and the size request waits for that.
    if (display.queries_open && !queries_round_open(display.answers, display.queries_sent_ms, now_ms)) {
        display.queries_open = false;
        note_answers_due(display);  // answered, or a terminal that does not answer
        ask_for_frame_size(display, start_wait_ends);
        if (display.awaiting_answers) return;  // the new size is waited for
    }
    // The pacing decides here, before any layout makes the frame.
    if (!send_pending(display, paced_descriptor(display.taken)) || !frame_may_go(display.pacing, now_ms)) return;
    const CellSize cell =
        cell_size(display.screen.columns, display.screen.rows, size.ws_xpixel, size.ws_ypixel, display.answers);
    write_frame(display, frame, cell);
    send_frame(display, now_ms);
}

// Appends the keys typed since the last call (Escape, characters); never waits for input.
void read_console_keys(ConsoleDisplay& display, const TextFrame& frame, std::vector<KeyRecord>& records) {
    if (frame.console_in < 0 || display.taken.lent) return;
    std::uint8_t bytes[KEY_BYTES_PER_FRAME];
    std::size_t count = 0;
    while (count < sizeof bytes && input_waiting(frame.console_in)) {
        const ssize_t got = read(frame.console_in, bytes + count, sizeof bytes - count);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        count += static_cast<std::size_t>(got);
    }
    const FrameClock clock = system_clock();
    std::vector<TerminalReply> replies;
    const std::size_t first = records.size();
    const std::uint32_t now_ms = clock.now_ms(clock.context);
    decode_keys(display.key_decoder, bytes, count, now_ms, records, replies);
    if (display.queries_open) take_in_answers(display, replies);
    for (const TerminalReply& reply : replies)
        if (answers_probe(reply)) pacing_answered(display.pacing, now_ms);
    note_answers_due(display);
    // Ctrl+L, as in other full-screen programs: the screen may have been garbled by another
    // program's output, so the next frame clears it and repaints everything.
    for (std::size_t i = first; i < records.size(); ++i)
        if (records[i].character == REPAINT_KEY) forget_screen(display);
}

FrameOutcome present_step(void* context) {
    const ConsoleStep step;
    present_console_frame(*static_cast<ConsoleDisplay*>(context), text_frame());
    return FrameOutcome::Continue;
}

void key_step(void* context, std::vector<KeyRecord>& records) {
    const ConsoleStep step;
    read_console_keys(*static_cast<ConsoleDisplay*>(context), text_frame(), records);
}

// Lines printed during the show (a picture that does not decode, a library's complaint)
// would land on the alternate screen and vanish with it, or tear the picture: they go into
// a memory file instead and are shown once the terminal is given back.
void hold_messages() {
    std::fflush(stdout);
    std::fflush(stderr);
    console.taken.held_messages = memfd_create("textdemo-console-messages", MFD_CLOEXEC);
    if (console.taken.held_messages < 0) return;
    dup2(console.taken.held_messages, STDOUT_FILENO);
    if (isatty(STDERR_FILENO)) {
        console.taken.saved_error = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (console.taken.saved_error >= 0) dup2(console.taken.held_messages, STDERR_FILENO);
    }
}

}  // namespace

bool standard_output_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

bool terminal_addresses_cursor(const char* term) { return term && *term && std::strcmp(term, "dumb") != 0; }

Failure setup_console(TextFrame& frame, const ConsoleSettings& settings) {
    // Before the terminal is taken over, so a damaged glyph image's message stays readable.
    Image font;
    if (Failure failure = load_image(font, "textmodechars.png")) return failure;
    console.font = font_texture(font);
    console.picture_style.glyphs = glyph_ink(console.font);
    console.colours_asked = settings.colours;
    console.answers = TerminalAnswers{};
    settle_colours(console);
    console.layout_asked = settings.layout;

    frame.console_out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (frame.console_out < 0) frame.console_out = STDOUT_FILENO;
    frame.console_in = isatty(STDIN_FILENO) ? STDIN_FILENO : -1;

    console.taken.output = frame.console_out;
    // Without a terminal on standard input the keys are not read, but the modes of the
    // terminal we draw on still change, so typing does not echo into the picture.
    const int mode_descriptor = frame.console_in >= 0 ? frame.console_in : frame.console_out;
    console.taken.mode_descriptor = tcgetattr(mode_descriptor, &console.taken.original_modes) == 0 ? mode_descriptor : -1;

    winsize size{FRAME_HEIGHT, FRAME_WIDTH, 0, 0};
    const bool size_known = terminal_size(frame.console_out, size);
    const int rows = size.ws_row, columns = size.ws_col;
    const bool resize = size_known && (rows != FRAME_HEIGHT || columns != FRAME_WIDTH);
    prepare_give_back(resize && frame.console_in < 0, rows, columns);

    for (std::size_t i = 0; i < std::size(CRASH_SIGNALS); ++i)
        install_handler(CRASH_SIGNALS[i], restore_and_crash, 0, &console.crash_actions_before[i]);
    if (frame.console_out != STDOUT_FILENO) hold_messages();

    console.taken.main_thread = pthread_self();
    install_handler(SIGTSTP, stop_for_job_control, SA_RESTART);
    install_handler(SIGCONT, resume_after_stop, SA_RESTART);
    console.taken.active = 1;
    if (console.taken.mode_descriptor >= 0) {
        console.taken.show_modes = raw_modes(console.taken.original_modes);
        tcsetattr(console.taken.mode_descriptor, TCSANOW, &console.taken.show_modes);
    }
    std::string take_over(PUSH_TITLE);
    take_over += SET_TITLE;
    take_over += CONSOLE_TITLE;
    take_over += TAKE_OVER_END;
    // Asked at once where no answers can tell; else once they have (ask_for_frame_size).
    const bool ask_now = resize && frame.console_in < 0;
    if (ask_now) take_over += RESIZE_REQUEST;
    console.taken.take_over_length = std::min(take_over.size(), sizeof console.taken.take_over);
    std::memcpy(console.taken.take_over, take_over.data(), console.taken.take_over_length);
    // The queries, once, where the answers can be read (unread, they would reach the shell);
    // before our title, which tmux and screen would take from the kitty query's string.
    console.queries_open = frame.console_in >= 0;
    console.taken.input = frame.console_in;
    console.taken.answers_due = console.queries_open;
    if (console.queries_open) take_over.insert(PUSH_TITLE.size(), TERMINAL_QUERIES);
    console.taken.unblocked = open_unblocked(frame.console_out);
    console.taken.pending_size = 0;
    write_all(frame.console_out, take_over.data(), take_over.size());
    // The queries end with the device attributes: their write is the pacing's first probe.
    console.pacing = OutputPacing{};
    const FrameClock clock = system_clock();
    console.queries_sent_ms = clock.now_ms(clock.context);
    if (console.queries_open) pacing_sent(console.pacing, console.queries_sent_ms, take_over.size(), false);

    console.screen.utf8 = console.picture_style.utf8 = locale_is_utf8();
    resize_screen(console.screen, rows, columns);
    invalidate_screen(console.screen);
    console.resize_asked = ask_now;
    console.resize_wanted = resize && !ask_now;
    console.start_rows = rows, console.start_columns = columns;
    console.awaiting_answers = ask_now || console.queries_open;
    console.answer_wait_begun = false;
    console.key_decoder = KeyDecoder{};
    console.frame_bytes.reserve(FRAME_BYTES_RESERVED);
    return {};
}

void restore_console() {
    if (!console.taken.active) return;
    give_terminal_back();
    put_back_crash_handlers();
}

FrameBackend console_frame_backend() {
    return {.sleep_before_deadline_check = false, .frame_clock_fallback = true, .present = present_step,
            .read_keys = key_step, .context = &console};
}

}  // namespace textdemo
