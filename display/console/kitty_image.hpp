// kitty_image: an RGB picture as kitty graphics protocol commands that show it in place of
// the picture last shown under the same image id.
//
// Offers: KittyPlacement, KITTY_CHUNK_BYTES, compress_picture, append_kitty_image and
// append_kitty_delete.
// Depends on: zlib (compress2).
//
// Contract: pure functions of their arguments, appending to `out`. append_kitty_image
// transmits zlib-compressed 24-bit RGB (f=24, o=z) and places it at the cursor without
// moving it (C=1), shifted by the placement's pixel offsets within that cell, replacing
// image `id` and its placement 1; the terminal is asked not to answer (q=2). The payload
// goes in base64, at most KITTY_CHUNK_BYTES a command, every command but the last marked
// m=1, so the terminal shows the new picture only once it has all of it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace textdemo {

struct KittyPlacement {
    int id = 1;
    int width = 0;   // pixels
    int height = 0;
    int x_offset = 0;  // pixels right of the cursor cell's left edge, less than a cell
    int y_offset = 0;
};

// Base64 characters a command carries at most (a multiple of 4).
constexpr std::size_t KITTY_CHUNK_BYTES = 4096;

// zlib's format at level 1: the pictures are large, sent every frame, and mostly runs.
std::vector<std::uint8_t> compress_picture(std::span<const std::uint8_t> bytes);

void append_kitty_image(std::span<const std::uint8_t> compressed_rgb, const KittyPlacement& placement, std::string& out);

// Removes image `id`, its placements and its data.
void append_kitty_delete(int id, std::string& out);

}  // namespace textdemo
