// archive_bytes: archive files laid out byte by byte for tests, with every directory field
// under the test's control (so malformed archives are as easy to make as good ones).
//
// Offers: RawEntry (stored bytes and directory fields), archive_file (header, data,
// directory) and repeated_text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textdemo::test {

using Bytes = std::vector<std::uint8_t>;

struct RawEntry {
    std::string name;
    Bytes stored;                 // bytes placed in the data area
    std::uint32_t unpacked_size;  // directory field, free to disagree with the data
    std::uint8_t flag;            // 1 = LZMA
    int name_length;              // directory byte, free to disagree with the name

    static RawEntry stored_as_is(const std::string& name, const Bytes& data);
    static RawEntry lzma(const std::string& name, const Bytes& data);
};

// "SALAD", version 1, the entry count, reserved 0, the stored bytes, then the directory.
Bytes archive_file(const std::vector<RawEntry>& entries);

// n bytes of readable, compressible text.
Bytes repeated_text(std::size_t n);

}  // namespace textdemo::test
