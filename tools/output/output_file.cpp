// output_file: fresh files beside their targets, renamed into place when complete.
#include "tools/output/output_file.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace textdemo::tools {

namespace {

// A name that reaches into /proc (/dev/stdout, /dev/fd/1, /proc/self/fd/1) stands for a
// descriptor the process already has: renaming a file over it would replace the system's
// link, not write the stream.
bool names_a_process_descriptor(const std::string& path) {
    char link[16] = {};
    if (readlink(path.c_str(), link, sizeof link - 1) > 0 && std::strncmp(link, "/proc/", 6) == 0) return true;
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::string folder = std::filesystem::canonical(parent.empty() ? "." : parent, error).string();
    return !error && folder.compare(0, 6, "/proc/") == 0;
}

// True when the target is a FIFO, a device or a socket (links followed), or a process's
// descriptor: something written in place, never replaced.
bool written_in_place(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return true;
    return names_a_process_descriptor(path);
}

// Moves fd above the standard descriptors: a program started with its standard output
// closed must not have its messages land in the file.
bool above_standard_descriptors(int& fd) {
    if (fd > STDERR_FILENO) return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) return false;
    close(fd);
    fd = moved;
    return true;
}

// Removes the fresh file, keeping the errno of what failed.
bool fail_and_remove(OutputFile& out) {
    const int reason = errno;
    discard_output(out);
    errno = reason;
    return false;
}

// Renames without replacing an existing target. Where the file system cannot do that in
// one step, a hard link does it: it fails on an existing name as well.
int rename_without_replacing(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (link(from, to) != 0) return -1;
    unlink(from);
    return 0;
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    std::error_code error_a, error_b;  // not there yet: the same place by name
    const auto place_a = std::filesystem::weakly_canonical(std::filesystem::absolute(a), error_a);
    const auto place_b = std::filesystem::weakly_canonical(std::filesystem::absolute(b), error_b);
    return !error_a && !error_b && place_a == place_b;
}

std::string output_target_problem(const std::string& path, OutputKind kind, std::span<const std::string> inputs) {
    for (const std::string& input : inputs) {
        if (same_file(path, input)) return "it is the same file as the input " + input;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    if (kind == OutputKind::WholeFile && written_in_place(path)) return "not a regular file (a FIFO or a device)";
    return "";
}

bool open_output(OutputFile& out, OutputKind kind) {
    out.partial.clear();
    if (kind == OutputKind::Stream && written_in_place(out.path)) {
        // Not blocking in open: a FIFO nobody reads is refused (ENXIO) instead of hanging.
        out.fd = open(out.path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (out.fd < 0 || !above_standard_descriptors(out.fd)) return fail_and_remove(out);
        fcntl(out.fd, F_SETFL, fcntl(out.fd, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    // The extension stays last, for programs that choose a format by it.
    const std::filesystem::path target(out.path);
    const std::string extension = target.extension().string();
    std::string name = (target.parent_path() / (target.stem().string() + ".partial-XXXXXX" + extension)).string();
    out.fd = mkostemps(name.data(), static_cast<int>(extension.size()), O_CLOEXEC);
    if (out.fd < 0) return false;
    out.partial = name;
    if (!above_standard_descriptors(out.fd)) return fail_and_remove(out);
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(out.fd, 0666 & ~mask) != 0) return fail_and_remove(out);  // mkostemps makes it private
    return true;
}

bool write_output(OutputFile& out, const void* bytes, std::size_t size) {
    const auto* next = static_cast<const std::uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = write(out.fd, next, size);
        if (written < 0) return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool commit_output(OutputFile& out, bool replace) {
    if (out.partial.empty()) {
        const bool closed = out.fd < 0 || close(out.fd) == 0;
        out.fd = -1;
        return closed;
    }
    if (fsync(out.fd) != 0) return fail_and_remove(out);
    const int fd = out.fd;
    out.fd = -1;
    if (close(fd) != 0) return fail_and_remove(out);
    const int renamed = replace ? rename(out.partial.c_str(), out.path.c_str())
                                : rename_without_replacing(out.partial.c_str(), out.path.c_str());
    if (renamed != 0) return fail_and_remove(out);
    out.partial.clear();
    return true;
}

bool write_whole_file(const std::string& path, std::span<const std::uint8_t> bytes, bool replace) {
    OutputFile out;
    out.path = path;
    if (!open_output(out, OutputKind::WholeFile)) return false;
    if (!write_output(out, bytes.data(), bytes.size())) return fail_and_remove(out);
    return commit_output(out, replace);
}

void discard_output(OutputFile& out) {
    if (out.fd >= 0) close(out.fd);
    out.fd = -1;
    if (!out.partial.empty()) unlink(out.partial.c_str());
    out.partial.clear();
}

}  // namespace textdemo::tools
