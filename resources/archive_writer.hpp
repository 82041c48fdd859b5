// archive_writer: builds resource archive files that the loader reads back.
//
// Offers: PackItem, build_archive (entries in the given order, each compressed as
// LZMA-alone when that is smaller than storing it, unless compression is off) and
// encode_lzma_alone.
// Depends on: archive_format (layout and limits), liblzma (LZMA-alone encoder).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace textdemo {

struct PackItem {
    std::string name;
    std::vector<std::uint8_t> data;
};

// Lays out an archive of `items`. Returns "" and fills `archive`, or returns the problem
// (more than 100 items, an empty or over-long name, a name used twice, data above the
// size limits) as one short phrase.
std::string build_archive(const std::vector<PackItem>& items, bool allow_compression,
                          std::vector<std::uint8_t>& archive);

// `data` as an LZMA-alone stream: 5 property bytes, an "unknown" size field, the raw
// stream closed by an end marker.
std::vector<std::uint8_t> encode_lzma_alone(std::span<const std::uint8_t> data);

}  // namespace textdemo
