// window_faults: how the window program ends when the X server fails it: a request the
// server refuses, the connection lost, a server that stops answering.
//
// Offers: watch_window_system (Xlib's handlers and the watchdog, installed once),
// take_refusals (the handler of refused requests again, in place of SDL's),
// WindowSystemCall (marks a call that may wait for the server), window_system_refused and
// window_system_refusal (whether and what the server refused) and quiet_window_faults (for
// a child process).
// Depends on: Xlib, stop_signals (stop_requested, stop_signal, die_of_signal).
//
// Xlib's own handlers print several lines and exit inside Xlib, where the exit hooks then
// work on a dead connection (an abort, or a hang in the event wait). Ours instead:
// - a refused request (a window destroyed from outside, a broken OpenGL) is kept, and the
//   window's frame step ends the show as Escape would: through its teardown, the window
//   closed on the connection that still works (later refusals are ignored); the program
//   then says what was refused and exits with 1;
// - a lost connection (the server gone, the client killed) cannot be used any more: the
//   handler prints one line, runs the teardown it was given and ends the process without
//   another window-system call: exit code 1, or death by the signal that asked for a stop
//   (SIGPIPE is ignored, so that a write to a server gone is such a loss too);
// - a call still waiting for the server after its deadline (a server that accepts the
//   connection and never answers), or STOP_GRACE_MS after a stop was asked, is given up the
//   same way by a watchdog thread; should the call come back, its thread waits to be ended.
#pragma once

#include <cstdint>
#include <string>

namespace textdemo {

// The first connection and its set-up: a live server answers at once.
constexpr std::int64_t CONNECT_DEADLINE_MS = 1000;
// Anything else (a window mapped, a mode changed, a frame shown).
constexpr std::int64_t CALL_DEADLINE_MS = 5000;
constexpr std::int64_t STOP_GRACE_MS = 500;

// Installs the handlers and starts the watchdog, on the first call; `teardown` runs (on the
// thread that found the fault, once) before the program ends for a lost or silent server.
// Call before the window system is opened: SDL keeps the handler it finds and puts it back
// when it quits, so that the requests its quitting sends are still ours to judge.
void watch_window_system(void (*teardown)());

// Installs the handler of refused requests again, in place of the one SDL's video installs
// when it starts: SDL's would first give a fullscreen mode back with requests of its own,
// made inside Xlib's error handling, where they wait for ever (the window's close gives the
// mode back instead).
void take_refusals();

// While one lives, the calling thread waits for the X server, for up to deadline_ms. Nested
// calls count as the outermost.
class WindowSystemCall {
public:
    explicit WindowSystemCall(std::int64_t deadline_ms = CALL_DEADLINE_MS);
    ~WindowSystemCall();
    WindowSystemCall(const WindowSystemCall&) = delete;
    WindowSystemCall& operator=(const WindowSystemCall&) = delete;

private:
    std::uint64_t number_;
};

// Whether the server has refused a request; what the first was: "the X server refused
// REQUEST: REASON" (empty before).
bool window_system_refused();
std::string window_system_refusal();

// In a child process (a message box): a lost connection or a refusal ends it at once with
// exit_code, silently; the parent decides what to say.
void quiet_window_faults(int exit_code);

}  // namespace textdemo
