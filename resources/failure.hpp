// failure: how the libraries report what went wrong, instead of ending the program.
//
// Offers: Failure (empty on success, else one line saying what failed and why) and
// first_failure (keeps the earlier of two).
// Depends on: nothing.
//
// A routine that can fail returns a Failure; its results, if any, go through parameters.
// The message is the whole line a program shows for it, without program name or newline,
// such as "resource \"ruk.mp3\" not found". Only programs decide what a failure ends: the
// players and textdemo-capture print it on standard error and exit with FAILURE_EXIT_CODE.
//
//     if (Failure failure = load_resource_archive()) return report(failure);
#pragma once

#include <string>
#include <utility>

namespace textdemo {

// Exit code of a program whose archive or resources could not be used (255 to the shell).
constexpr int FAILURE_EXIT_CODE = -1;

struct [[nodiscard]] Failure {
    std::string message;  // empty: nothing failed

    // True when something failed.
    explicit operator bool() const { return !message.empty(); }
};

// `earlier` when it failed, else `later`: the first of several steps that failed.
inline Failure first_failure(Failure earlier, Failure later) {
    return earlier ? std::move(earlier) : std::move(later);
}

}  // namespace textdemo
