// file_bytes: whole-file reads and writes through stdio.
// Depends on: stdio, fstat (the size of a file about to be read).
#include "resources/file_bytes.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace textdemo {

bool read_file_bytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    // Room for the whole file when its size is known, and a little more: a file of that size
    // is read by one call (the short read marks its end) and never copied while the buffer
    // grows.
    struct stat info {};
    const bool sized = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode);
    bytes.resize((sized ? static_cast<std::size_t>(info.st_size) : 0) + (1 << 16));
    std::size_t size = 0, got;
    while ((got = std::fread(bytes.data() + size, 1, bytes.size() - size, file)) > 0) {
        size += got;
        if (size == bytes.size()) bytes.resize(2 * size);
    }
    bytes.resize(size);
    const bool ok = !std::ferror(file);
    const int read_error = errno;  // closing must not hide why the read failed
    std::fclose(file);
    errno = read_error;
    return ok;
}

bool write_file_bytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int write_error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written) errno = write_error;
    return closed && written;
}

}  // namespace textdemo
