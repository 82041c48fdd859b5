// png_chunks: a bounds-checked walk over the chunks of a PNG file.
//
// Offers: without_empty_idat (a copy of a PNG without its zero-length IDAT chunks). stb_image
// copies every IDAT chunk into its buffer with memcpy, and for an empty one before any data
// that buffer is still a null pointer: undefined behaviour, although nothing is copied.
// Dropping empty IDAT chunks leaves the picture unchanged.
// Depends on: nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace textdemo {

// True when `png` holds zero-length IDAT chunks; then `out` is `png` without them. Bytes
// after a chunk that runs past the end are kept as they are, for the decoder to reject.
bool without_empty_idat(std::span<const std::uint8_t> png, std::vector<std::uint8_t>& out);

}  // namespace textdemo
