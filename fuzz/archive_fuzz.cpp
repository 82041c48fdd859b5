// archive_fuzz: arbitrary bytes as a resource archive, judged by size and magic as a file of
// that size and of a size its first bytes claim, checked and every entry decoded exactly as
// the loader does it.
// Depends on: archive_format.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "resources/archive_format.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto head = file.first(std::min(size, textdemo::ARCHIVE_HEADER_SIZE));
    const bool file_accepted = textdemo::archive_file_problem(size, head).empty();
    // The size of a file that starts with these bytes, from bytes 8..15 (0 when shorter).
    std::uint64_t claimed = 0;
    for (std::size_t i = 8; i < 16 && i < size; ++i) claimed |= std::uint64_t{data[i]} << (8 * (i - 8));
    if (textdemo::archive_file_problem(claimed, head).empty() &&
        (claimed > textdemo::MAX_ARCHIVE_FILE_SIZE || !file_accepted))
        std::abort();  // a claimed size passes only within the limit and with the magic
    std::vector<textdemo::DirectoryEntry> entries;
    if (!textdemo::read_archive_layout(file, entries).empty()) return 0;
    if (!file_accepted) std::abort();  // a layout is only read from a file that passed
    for (std::size_t i = 0; i < entries.size(); ++i)
        for (std::size_t k = i + 1; k < entries.size(); ++k)
            if (entries[i].name == entries[k].name) std::abort();
    for (const textdemo::DirectoryEntry& entry : entries) {
        // Uninitialised like the loader's buffers, so the sanitizers see any read of bytes
        // the decoder did not produce.
        auto* out = static_cast<std::uint8_t*>(std::malloc(entry.unpacked_size > 0 ? entry.unpacked_size : 1));
        if (textdemo::decode_entry(file, entry, out) > entry.unpacked_size) std::abort();
        std::free(out);
    }
    return 0;
}
