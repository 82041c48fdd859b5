// archive_file: kind and size from fstat, the magic from the first bytes, then the rest.
#include "resources/archive_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "resources/archive_format.hpp"

namespace textdemo {

namespace {

// Reads up to size bytes at offset; the count read, or -1 (errno set) on an error.
ssize_t read_at(int fd, std::uint8_t* out, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, out + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool judge_and_read(int fd, std::vector<std::uint8_t>& bytes, std::string& problem) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "not a regular file (a FIFO or a device)";
        return false;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::uint8_t head[ARCHIVE_HEADER_SIZE];
    const ssize_t head_size = size > MAX_ARCHIVE_FILE_SIZE ? 0 : read_at(fd, head, sizeof head, 0);
    if (head_size < 0) return false;
    problem = archive_file_problem(size, std::span<const std::uint8_t>(head, static_cast<std::size_t>(head_size)));
    if (!problem.empty()) return false;
    bytes.resize(static_cast<std::size_t>(size));
    const ssize_t got = read_at(fd, bytes.data(), bytes.size(), 0);
    if (got < 0) return false;
    bytes.resize(static_cast<std::size_t>(got));  // a file that shrank meanwhile: what is left
    return true;
}

}  // namespace

bool read_archive_file(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& problem) {
    problem.clear();
    bytes.clear();
    // Not blocking in open: a FIFO is judged (and refused) at once, writer or not.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool read = judge_and_read(fd, bytes, problem);
    const int reason = errno;
    close(fd);
    errno = reason;
    if (!read) bytes.clear();
    return read;
}

}  // namespace textdemo
