// file_bytes: whole files in and out of memory.
//
// Offers: read_file_bytes, write_file_bytes (both report failure by returning false, with
// errno saying why).
// Depends on: the C standard I/O library.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace textdemo {

// The whole file in `bytes`; false (errno set) when it cannot be opened or read.
bool read_file_bytes(const std::string& path, std::vector<std::uint8_t>& bytes);

// Writes `bytes` as the whole file; false (errno set) on any failure.
bool write_file_bytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace textdemo
