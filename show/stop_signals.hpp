// stop_signals: the signals that end the show through its teardown, and the program dying
// of them afterwards.
//
// Offers: stop_requested and stop_signal (the flags the frame loop reads), request_stop,
// install_stop_signal_handlers, end_by_stop_signal and die_of_signal.
// Depends on: POSIX signals and alarm.
//
// Interrupt, quit, terminate and hang-up only set the flags, so the show ends through the
// normal teardown at the head of the next frame; then the program dies of the signal by
// its default action (end_by_stop_signal), so that its parent can tell an interrupted show
// from a finished one (a shell sees 128 + n: 130, 143, 129). The handlers do not restart
// system calls: a read, write or wait blocked at the time returns EINTR. The first stop
// also sets a deadline of STOP_DEADLINE_S seconds: a program still alive then (blocked
// again, say on a terminal that no longer reads) runs its last words and dies of the signal
// at once. The deadline is SIGALRM, so an alarm from outside ends the program the same way.
#pragma once

#include <csignal>

namespace textdemo {

// Read (without a lock) at the head of every frame.
extern volatile std::sig_atomic_t stop_requested;
// The first signal that asked for the stop; 0 when none did (Escape, the music's end).
extern volatile std::sig_atomic_t stop_signal;

constexpr unsigned STOP_DEADLINE_S = 2;

// Signal handler: sets both flags and, on the first stop, the deadline.
void request_stop(int signal_number);

// Installs `handler` (request_stop or one that calls it) for interrupt, quit, terminate and
// hang-up, without restarting interrupted calls, and the deadline's handler, which runs
// `last_words` (async-signal-safe, may be null) before the program dies.
void install_stop_signal_handlers(void (*handler)(int), void (*last_words)() = nullptr);

// After teardown: dies of stop_signal by its default action; returns when no signal
// stopped the show.
void end_by_stop_signal();

// Dies of the signal by its default action, now (async-signal-safe). For a signal whose
// default action does not end the process, exits with 128 + its number.
[[noreturn]] void die_of_signal(int signal_number);

}  // namespace textdemo
