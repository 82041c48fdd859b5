// archive_file: an archive file read into memory once its kind, size and magic say it may be
// one.
//
// Offers: read_archive_file.
// Depends on: archive_format (the limits and the magic), POSIX open, fstat and read.
//
// A FIFO with no writer would block the reader forever and /dev/zero would feed it without
// end, and a huge file would be allocated whole before anything was judged; so only a
// regular file of at most MAX_ARCHIVE_FILE_SIZE bytes that starts with "SALAD" is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo {

// Reads the archive at `path` into `bytes`. False when it cannot be opened or read, a
// directory included (errno says why, `problem` stays empty), or when it is no archive:
// `problem` is then one short phrase ("not a regular file (a FIFO or a device)", its size
// beyond the limit, no magic).
bool read_archive_file(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& problem);

}  // namespace textdemo
