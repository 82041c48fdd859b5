// archive_format: the byte layout of a resource archive, checked and decoded from memory.
//
// Offers: the layout constants and limits (MAX_RESOURCES, RESOURCE_NAME_LENGTH, the
// sizes), DirectoryEntry, archive_file_problem (a file judged by its size and first bytes
// before the rest is read), read_archive_layout (header and directory of an archive image
// in memory, every field checked against the file before it is trusted, no two entries of
// one name), decode_entry (an entry's decoded bytes, stored or LZMA-alone) and
// decode_lzma_alone, printable_name. Pure functions: no files, no messages, no exit; the
// loader, the salad tool and the fuzz target share them.
// Depends on: liblzma (raw LZMA1 decoder).
//
// File layout (little-endian): "SALAD", version byte, signed 16-bit entry count, 4 reserved
// bytes; the entries' stored bytes back to back from offset 12; then a directory of 44-byte
// entries that ends the file: stored size, unpacked size (unsigned 32-bit each), flag byte
// (1 = LZMA-alone), signed name length 0..32, 34 name bytes with bit 7 inverted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace textdemo {

constexpr std::size_t ARCHIVE_HEADER_SIZE = 12;
constexpr std::size_t DIRECTORY_ENTRY_SIZE = 44;
constexpr std::size_t DIRECTORY_NAME_OFFSET = 10;
constexpr std::size_t DIRECTORY_NAME_FIELD = 34;
constexpr std::uint8_t COMPRESSED_FLAG = 1;
constexpr int RESOURCE_NAME_LENGTH = 32;  // longest entry name, in bytes
constexpr int MAX_RESOURCES = 100;        // most entries an archive holds

// 5 property bytes and an 8-byte size field (never read) precede the raw LZMA stream.
constexpr std::size_t LZMA_PROPERTIES_SIZE = 5;
constexpr std::size_t LZMA_ALONE_HEADER_SIZE = 13;

// Largest unpacked entry, and largest total of all unpacked entries, an archive may claim.
// The show's biggest resource (the music) is a few MiB; the bounds keep a damaged or
// hostile directory from making the loader allocate gigabytes.
constexpr std::uint32_t MAX_UNPACKED_ENTRY_SIZE = 64u << 20;
constexpr std::uint64_t MAX_UNPACKED_ARCHIVE_SIZE = 256u << 20;

// The largest archive file: header, directory and the most its entries may unpack to (an
// entry is stored compressed only where that is smaller).
constexpr std::uint64_t MAX_ARCHIVE_FILE_SIZE =
    ARCHIVE_HEADER_SIZE + MAX_UNPACKED_ARCHIVE_SIZE + DIRECTORY_ENTRY_SIZE * MAX_RESOURCES;

// The magic "SALAD" every archive starts with.
constexpr std::size_t ARCHIVE_MAGIC_SIZE = 5;
constexpr std::uint8_t ARCHIVE_MAGIC[ARCHIVE_MAGIC_SIZE] = {'S', 'A', 'L', 'A', 'D'};

struct DirectoryEntry {
    std::string name;              // the L decoded name bytes
    std::uint32_t stored_size;     // bytes in the data area
    std::uint32_t unpacked_size;   // bytes after decoding
    bool compressed;               // flag byte 1; any other value means stored as is
    std::size_t data_offset;       // where the stored bytes start in the file
};

// Judges a file of file_size bytes that starts with `head` (its first bytes, as many as
// it has up to the header's 12): the problem as one short phrase when it is larger than
// MAX_ARCHIVE_FILE_SIZE or does not start with the magic, else "".
std::string archive_file_problem(std::uint64_t file_size, std::span<const std::uint8_t> head);

// Reads and checks the directory of the archive image `file`. On success fills `entries`
// in directory order and returns an empty string; otherwise returns the problem as one
// short phrase (no archive name, no newline).
std::string read_archive_layout(std::span<const std::uint8_t> file, std::vector<DirectoryEntry>& entries);

// `name` fit for a one-line message: control and non-ASCII bytes shown as '?'.
std::string printable_name(const std::string& name);

// Decodes `entry` of `file` (already checked by read_archive_layout) into `out`, which
// holds entry.unpacked_size bytes. Returns the number of bytes produced: the unpacked size,
// or fewer when an LZMA stream ends or breaks early.
std::size_t decode_entry(std::span<const std::uint8_t> file, const DirectoryEntry& entry, std::uint8_t* out);

// Decodes an LZMA-alone stream (13-byte header, then the raw stream) into at most
// out_size bytes and returns how many were produced. The header's size field is ignored;
// decoding stops when the output is full, the stream ends, or the data turns out damaged
// (the bytes produced until then are kept).
std::size_t decode_lzma_alone(std::span<const std::uint8_t> stored, std::uint8_t* out, std::size_t out_size);

}  // namespace textdemo
