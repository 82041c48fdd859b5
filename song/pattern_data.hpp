// pattern_data: the song clock in tracker terms, from the pattern dump "patterndata.bin".
//
// Offers: MS_PER_ROW, PatternData (position, copied dump, row, pattern, order index),
// load_pattern_data (copies the dump from the archive, refusing a malformed one), the
// accessor pattern_data(), update_song_position, current_row, current_order,
// row_has_value, rows_through (R(0..k), the rows of order positions 0..k) and
// release_pattern_data.
// Depends on: archive, failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "resources/failure.hpp"

namespace textdemo {

constexpr double MS_PER_ROW = 21.802325581395348;  // the double closest to 1875 / 86
// The dump's layout, shared with the content generator that writes it (little-endian): a
// header, PATTERN_COUNT pattern records (PATTERN_PLANES byte planes of PATTERN_MAX_ROWS
// rows, then the pattern's signed 32-bit row count), then ORDER_COUNT signed 32-bit
// pattern numbers. A plane byte n stands for the value n - 1; 0 is empty.
constexpr int PATTERN_COUNT = 38;
constexpr int PATTERN_PLANES = 27;
constexpr int PATTERN_MAX_ROWS = 512;
constexpr int ORDER_COUNT = 46;
constexpr std::size_t PATTERN_DUMP_HEADER_SIZE = 24;
constexpr std::size_t PATTERN_ROW_COUNT_OFFSET = std::size_t{PATTERN_PLANES} * PATTERN_MAX_ROWS;  // within a record
constexpr std::size_t PATTERN_RECORD_SIZE = PATTERN_ROW_COUNT_OFFSET + 4;
constexpr std::size_t ORDER_LIST_OFFSET = PATTERN_DUMP_HEADER_SIZE + PATTERN_RECORD_SIZE * PATTERN_COUNT;
constexpr int PATTERN_DUMP_SIZE = static_cast<int>(ORDER_LIST_OFFSET + 4 * ORDER_COUNT);
static_assert(PATTERN_RECORD_SIZE == 13828 && PATTERN_DUMP_SIZE == 525672);

struct PatternData {
    std::uint32_t position = 0;        // song milliseconds of this frame (read unsigned)
    std::vector<std::uint8_t> block;   // private copy of the dump
    std::int32_t row = 0;              // row within the current pattern
    std::int32_t pattern = 0;          // pattern at the current order position, -1 past the end
    std::int32_t order_index = 0;      // 0..45, 46 past the end
    bool loaded = false;
};

// Copies "patterndata.bin" from the archive and checks it; does nothing once loaded. A dump
// that is missing or malformed fails ("pattern dump \"patterndata.bin\" is malformed:
// size 12", the field and its value) and the data stays unloaded.
Failure load_pattern_data();

// The pattern data; until load_pattern_data succeeds, unloaded (every query answers 0).
PatternData& pattern_data();
void release_pattern_data();

// Stores position and turns it into order index, pattern and row.
void update_song_position(std::uint32_t position, PatternData& data);
int current_row(const PatternData& data);
int current_order(const PatternData& data);
// True when some plane of the current pattern holds v + 1 on the current row.
bool row_has_value(const PatternData& data, int v);
// Sum of the row counts of the patterns at order positions 0..k.
std::int32_t rows_through(const PatternData& data, int k);

}  // namespace textdemo
