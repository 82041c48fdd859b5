// png_chunks: a bounds-checked walk over the chunks of a PNG file before stb_image sees it.
//
// Offers: prepare_png. Two inputs make stb_image misbehave although they are plainly
// damaged or harmless: a data chunk whose length runs past the end of the file makes it
// grow its buffer to that length first (gigabytes, from a few bytes of input), and a
// zero-length data chunk before any data makes it memcpy into a null pointer. The first is
// refused here, the second dropped (the picture is unchanged).
// Depends on: nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace textdemo {

// Returns nullptr and sets `decode` to the bytes to hand to the decoder (`png` itself, or
// `scratch` holding `png` without its zero-length IDAT chunks); or returns why the file is
// refused. Files that do not start with the PNG signature are passed through unchanged.
const char* prepare_png(std::span<const std::uint8_t> png, std::vector<std::uint8_t>& scratch,
                        std::span<const std::uint8_t>& decode);

}  // namespace textdemo
