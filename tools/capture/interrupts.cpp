// interrupts: a flag set by the signal handler, read by the capture loops.
#include "tools/capture/interrupts.hpp"

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace textdemo::capture {

namespace {

volatile std::sig_atomic_t interrupt_signal = 0;

void record_interrupt(int signal) { interrupt_signal = signal; }

}  // namespace

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = record_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked write or wait returns at once
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int caught_interrupt() { return interrupt_signal; }

void die_of_interrupt() {
    const int signal = interrupt_signal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::abort();  // only if the signal was blocked
}

}  // namespace textdemo::capture
