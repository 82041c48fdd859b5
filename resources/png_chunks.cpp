// png_chunks: walks PNG chunks up to IEND, refusing overlong ones, dropping empty IDATs.
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

bool chunk_is(const std::uint8_t* chunk, const char* type) { return std::memcmp(chunk + 4, type, 4) == 0; }
bool empty_idat(const std::uint8_t* chunk) { return read_be32(chunk) == 0 && chunk_is(chunk, "IDAT"); }
}  // namespace

const char* prepare_png(std::span<const std::uint8_t> png, std::vector<std::uint8_t>& scratch,
                        std::span<const std::uint8_t>& decode) {
    decode = png;
    if (png.size() < sizeof PNG_SIGNATURE || !std::equal(PNG_SIGNATURE, PNG_SIGNATURE + 8, png.begin())) {
        return nullptr;
    }
    // The decoder reads chunks up to IEND and nothing after it.
    std::vector<std::size_t> starts;
    std::size_t at = sizeof PNG_SIGNATURE;
    bool has_empty_idat = false;
    for (;;) {
        if (png.size() - at < CHUNK_OVERHEAD || read_be32(&png[at]) > png.size() - at - CHUNK_OVERHEAD) {
            return "PNG chunk runs past the end of the file";
        }
        starts.push_back(at);
        has_empty_idat = has_empty_idat || empty_idat(&png[at]);
        const bool end = chunk_is(&png[at], "IEND");
        at += CHUNK_OVERHEAD + read_be32(&png[at]);
        if (end) break;
    }
    if (!has_empty_idat) return nullptr;
    scratch.assign(png.begin(), png.begin() + sizeof PNG_SIGNATURE);
    for (std::size_t start : starts) {
        if (!empty_idat(&png[start])) {
            scratch.insert(scratch.end(), &png[start], &png[start] + CHUNK_OVERHEAD + read_be32(&png[start]));
        }
    }
    decode = scratch;
    return nullptr;
}

}  // namespace textdemo
