// stop_signals: flags, the stop deadline and dying of a signal.
//
// Depends on: POSIX sigaction, pthread_sigmask, alarm.
#include "show/stop_signals.hpp"

#include <cstdio>
#include <initializer_list>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace textdemo {

volatile std::sig_atomic_t stop_requested = 0;
volatile std::sig_atomic_t stop_signal = 0;

namespace {

// Set once by install_stop_signal_handlers, before any handler can run.
void (*deadline_last_words)() = nullptr;

void stop_deadline_passed(int signal_number) {
    if (deadline_last_words) deadline_last_words();
    die_of_signal(stop_signal != 0 ? static_cast<int>(stop_signal) : signal_number);
}

void install(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: blocked calls return EINTR
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

void request_stop(int signal_number) {
    stop_requested = 1;
    if (stop_signal == 0) {
        stop_signal = signal_number;
        alarm(STOP_DEADLINE_S);
    }
}

void install_stop_signal_handlers(void (*handler)(int), void (*last_words)()) {
    deadline_last_words = last_words;
    for (int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) install(signal_number, handler);
    install(SIGALRM, stop_deadline_passed);
}

void end_by_stop_signal() {
    if (stop_signal == 0) return;
    std::fflush(nullptr);
    die_of_signal(stop_signal);
}

void die_of_signal(int signal_number) {
    struct sigaction by_default {};
    by_default.sa_handler = SIG_DFL;
    sigemptyset(&by_default.sa_mask);
    sigaction(signal_number, &by_default, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

}  // namespace textdemo
