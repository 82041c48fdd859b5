// report: the one-line messages of textdemo-capture on standard error.
//
// Offers: report ("textdemo-capture: MESSAGE"), report_errno ("textdemo-capture: WHAT: reason",
// the reason from the errno the failed call left).
// Depends on: the C standard library.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace textdemo::capture {

inline void report(const std::string& message) { std::fprintf(stderr, "textdemo-capture: %s\n", message.c_str()); }

inline void report_errno(const std::string& what) {
    const char* reason = std::strerror(errno);
    report(what + ": " + reason);
}

}  // namespace textdemo::capture
