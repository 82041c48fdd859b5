// standard_output: flushes, closes and reports a lost standard output.
#include "apps/standard_output.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace textdemo {

bool close_standard_output(const char* program) {
    const bool failed_before = std::ferror(stdout) != 0;
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    int reason = errno;
    const bool closed = std::fclose(stdout) == 0;
    if (!closed && reason == 0) reason = errno;
    if (!failed_before && flushed && closed) return true;
    if (reason == 0) reason = EIO;  // the failed write's own errno is long gone
    if (reason != EPIPE) std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, std::strerror(reason));
    return false;
}

}  // namespace textdemo
