// process_calls_absent: the two Linux calls of the video export that emscripten's C library
// lacks, failing with ENOSYS; under Node, --video then reports that it cannot start.
#include <cerrno>

extern "C" {

int memfd_create(const char*, unsigned) {
    errno = ENOSYS;
    return -1;
}

int prctl(int, ...) {
    errno = ENOSYS;
    return -1;
}

}  // extern "C"
