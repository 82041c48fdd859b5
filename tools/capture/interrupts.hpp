// interrupts: Ctrl-C and the termination signals, recorded so that a capture can clean up.
//
// Offers: catch_interrupts, caught_interrupt, die_of_interrupt.
// Depends on: POSIX signals.
//
// Once caught, SIGINT, SIGTERM and SIGHUP only record themselves; they are installed without
// SA_RESTART, so a blocked write or wait returns at once (EINTR) and the caller, seeing
// caught_interrupt(), removes what it made and then dies of the signal as the shell expects.
#pragma once

namespace textdemo::capture {

void catch_interrupts();

// The interrupt that came since catch_interrupts, or 0.
int caught_interrupt();

// Ends the process by the caught signal, with its default action.
[[noreturn]] void die_of_interrupt();

}  // namespace textdemo::capture
