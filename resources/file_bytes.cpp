// file_bytes: whole-file reads and writes through stdio.
#include "resources/file_bytes.hpp"

#include <cerrno>
#include <cstdio>

namespace textdemo {

bool read_file_bytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    std::uint8_t chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
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
