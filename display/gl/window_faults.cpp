// window_faults: Xlib's error handlers and the watchdog of calls that wait for the server.
//
// Depends on: Xlib, stop_signals, std::thread.
#include "display/gl/window_faults.hpp"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "show/stop_signals.hpp"

namespace textdemo {

namespace {

constexpr std::int64_t WATCH_PERIOD_MS = 20;
constexpr std::uint64_t CLAIMED = 0;  // the watchdog took over the call in progress

// Call numbers: odd while a call waits (2n + 1 for the nth), even between calls; the
// watchdog claims a call by swapping its number for CLAIMED.
std::atomic<std::uint64_t> g_call{2};
std::atomic<std::int64_t> g_call_deadline_ms{0};
int g_depth = 0;  // nesting on the window thread

void (*g_teardown)() = nullptr;
int g_stderr = STDERR_FILENO;  // a copy: the line must pass while library chatter is silenced
std::atomic<bool> g_ending{false};
int g_quiet_exit_code = -1;  // >= 0 in a child process

std::atomic<bool> g_refused{false};
char g_refusal[256] = {};

std::int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void wait_to_be_ended() {
    for (;;) pause();
}

// The end for a server that cannot be used any more; the first caller ends the process, any
// other waits for it.
[[noreturn]] void end_without_server(const char* what) {
    if (g_quiet_exit_code >= 0) _exit(g_quiet_exit_code);
    if (g_ending.exchange(true)) wait_to_be_ended();
    char line[160];
    const int length = std::snprintf(line, sizeof line, "textdemo-gl: %s\n", what);
    std::fflush(stderr);
    if (write(g_stderr, line, static_cast<std::size_t>(length)) < 0) {}
    if (g_teardown) g_teardown();
    std::fflush(nullptr);
    if (stop_signal != 0) die_of_signal(stop_signal);
    _exit(1);
}

int connection_lost(Display*) { end_without_server("the connection to the X server was lost"); }

// Runs inside Xlib, so no requests: the error texts come from Xlib's own tables.
int request_refused(Display* display, XErrorEvent* error) {
    if (g_quiet_exit_code >= 0) _exit(g_quiet_exit_code);
    if (!g_refused.load()) {
        char reason[128] = {}, request[64] = {}, code[16];
        XGetErrorText(display, error->error_code, reason, sizeof reason);
        std::snprintf(code, sizeof code, "%d", error->request_code);
        XGetErrorDatabaseText(display, "XRequest", code, "", request, sizeof request);
        if (request[0] == '\0') std::snprintf(request, sizeof request, "request %d.%d", error->request_code,
                                              error->minor_code);
        std::snprintf(g_refusal, sizeof g_refusal, "the X server refused %s: %s", request, reason);
        g_refused.store(true);
    }
    return 0;
}

// Gives up a call past its deadline, or one still waiting STOP_GRACE_MS after a stop.
void watch_calls() {
    std::uint64_t watched = 0;
    std::int64_t stop_seen_ms = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(WATCH_PERIOD_MS));
        std::uint64_t call = g_call.load();
        if (call % 2 == 0) continue;
        const std::int64_t now = now_ms();
        if (call != watched) {
            watched = call;
            stop_seen_ms = 0;
        }
        if (stop_requested && stop_seen_ms == 0) stop_seen_ms = now;
        const bool late = now > g_call_deadline_ms.load() || (stop_seen_ms != 0 && now - stop_seen_ms >= STOP_GRACE_MS);
        if (late && g_call.compare_exchange_strong(call, CLAIMED)) end_without_server("the X server does not answer");
    }
}

}  // namespace

void watch_window_system(void (*teardown)()) {
    if (g_teardown != nullptr) return;
    g_teardown = teardown;
    if (const int copy = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3); copy >= 0) g_stderr = copy;
    XSetErrorHandler(request_refused);  // SDL puts back the handler it found when it quits
    XSetIOErrorHandler(connection_lost);
    // A write to a server that is gone must reach the handler as an error, not kill the
    // program by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::thread(watch_calls).detach();
}

void take_refusals() { XSetErrorHandler(request_refused); }

WindowSystemCall::WindowSystemCall(std::int64_t deadline_ms) : number_(0) {
    if (g_depth++ > 0) return;
    number_ = g_call.load() + 1;
    g_call_deadline_ms.store(now_ms() + deadline_ms);
    g_call.store(number_);
}

WindowSystemCall::~WindowSystemCall() {
    if (--g_depth > 0) return;
    std::uint64_t expected = number_;
    if (!g_call.compare_exchange_strong(expected, number_ + 1)) wait_to_be_ended();
}

bool window_system_refused() { return g_refused.load(); }

std::string window_system_refusal() { return g_refused.load() ? g_refusal : ""; }

void quiet_window_faults(int exit_code) { g_quiet_exit_code = exit_code; }

}  // namespace textdemo
