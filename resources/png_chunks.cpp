// png_chunks: finds and drops zero-length IDAT chunks.
#include "resources/png_chunks.hpp"

#include <algorithm>
#include <cstring>

namespace textdemo {

namespace {
constexpr std::uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t CHUNK_OVERHEAD = 12;  // length, type, CRC

std::uint32_t read_be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

bool empty_idat(const std::uint8_t* chunk) { return read_be32(chunk) == 0 && std::memcmp(chunk + 4, "IDAT", 4) == 0; }
}  // namespace

bool without_empty_idat(std::span<const std::uint8_t> png, std::vector<std::uint8_t>& out) {
    if (png.size() < sizeof PNG_SIGNATURE || !std::equal(PNG_SIGNATURE, PNG_SIGNATURE + 8, png.begin())) return false;
    // Chunk boundaries up to the first one that does not fit in the file.
    std::vector<std::size_t> starts;
    std::size_t at = sizeof PNG_SIGNATURE;
    bool found = false;
    while (png.size() - at >= CHUNK_OVERHEAD && read_be32(&png[at]) <= png.size() - at - CHUNK_OVERHEAD) {
        starts.push_back(at);
        found = found || empty_idat(&png[at]);
        at += CHUNK_OVERHEAD + read_be32(&png[at]);
    }
    if (!found) return false;
    out.assign(png.begin(), png.begin() + sizeof PNG_SIGNATURE);
    for (std::size_t start : starts) {
        if (!empty_idat(&png[start])) out.insert(out.end(), &png[start], &png[start] + CHUNK_OVERHEAD + read_be32(&png[start]));
    }
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(at), png.end());
    return true;
}

}  // namespace textdemo
