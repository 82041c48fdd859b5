// library_chatter: standard error pointed at /dev/null and back.
//
// Depends on: POSIX file descriptors.
#include "song/library_chatter.hpp"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace textdemo {

int silence_standard_error() {
    std::fflush(stderr);
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved < 0 || null < 0) {
        if (saved >= 0) close(saved);
        if (null >= 0) close(null);
        return -1;
    }
    dup2(null, STDERR_FILENO);
    close(null);
    return saved;
}

void restore_standard_error(int saved) {
    if (saved < 0) return;
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
}

}  // namespace textdemo
