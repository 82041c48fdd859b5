// archive_fuzz: arbitrary bytes as a resource archive, checked and every entry decoded
// exactly as the loader does it.
// Depends on: archive_format.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "resources/archive_format.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    std::vector<textdemo::DirectoryEntry> entries;
    if (!textdemo::read_archive_layout(file, entries).empty()) return 0;
    for (const textdemo::DirectoryEntry& entry : entries) {
        // Uninitialised like the loader's buffers, so the sanitizers see any read of bytes
        // the decoder did not produce.
        auto* out = static_cast<std::uint8_t*>(std::malloc(entry.unpacked_size > 0 ? entry.unpacked_size : 1));
        if (textdemo::decode_entry(file, entry, out) > entry.unpacked_size) std::abort();
        std::free(out);
    }
    return 0;
}
