// archive_writer: builds resource archive files that the loader reads back.
//
// Offers: PackItem, build_archive (entries in the given order, each compressed as
// LZMA-alone where that saves at least 1/MIN_SAVING_SHARE of it, unless compression is
// off), worth_compressing and encode_lzma_alone.
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

// An entry is compressed only where LZMA saves at least this share (1/8) of its bytes.
// Every compressed byte costs decoding time at each start (about 80 ns here, against 1.5 ns
// to read a stored byte), and what is already compressed hardly shrinks: the MP3 by 0.16%
// for 300 ms of decoding, the PNG images by 3 to 11% for 13 ms in all. The pattern dump,
// the mesh and the font image still shrink by 80% and more.
constexpr std::size_t MIN_SAVING_SHARE = 8;

// True when `packed_size` bytes instead of `size` save at least 1/MIN_SAVING_SHARE.
bool worth_compressing(std::size_t size, std::size_t packed_size);

// Lays out an archive of `items`. Returns "" and fills `archive`, or returns the problem
// (more than 100 items, an empty or over-long name, a name used twice, data above the
// size limits) as one short phrase.
std::string build_archive(const std::vector<PackItem>& items, bool allow_compression,
                          std::vector<std::uint8_t>& archive);

// `data` as an LZMA-alone stream: 5 property bytes, an "unknown" size field, the raw
// stream closed by an end marker.
std::vector<std::uint8_t> encode_lzma_alone(std::span<const std::uint8_t> data);

}  // namespace textdemo
