// pattern_data: copies "patterndata.bin" and maps song milliseconds to order, pattern, row.
//
// Depends on: archive (find_resource), failure. A dump that does not have the exact size,
// or whose row counts or order list leave the format, is refused up front: every later read
// (row walk, plane bytes) then stays inside the copied block.
#include "song/pattern_data.hpp"

#include <memory>
#include <string>

#include "resources/archive.hpp"

namespace textdemo {

namespace {

constexpr const char* PATTERN_DUMP_NAME = "patterndata.bin";

std::unique_ptr<PatternData> instance;

std::int32_t read_le32(const std::vector<std::uint8_t>& block, std::size_t at) {
    const std::uint32_t v = block[at] | block[at + 1] << 8 | block[at + 2] << 16 |
                            static_cast<std::uint32_t>(block[at + 3]) << 24;
    return static_cast<std::int32_t>(v);
}

std::int32_t row_count(const PatternData& data, int pattern) {
    return read_le32(data.block, PATTERN_DUMP_HEADER_SIZE + PATTERN_RECORD_SIZE * pattern + PATTERN_ROW_COUNT_OFFSET);
}

std::int32_t order_pattern(const PatternData& data, int order) {
    return read_le32(data.block, ORDER_LIST_OFFSET + 4 * static_cast<std::size_t>(order));
}

Failure malformed_dump(const char* what, long value) {
    return {"pattern dump \"" + std::string(PATTERN_DUMP_NAME) + "\" is malformed: " + what + " " + std::to_string(value)};
}

Failure check_dump(const PatternData& data) {
    if (data.block.size() != PATTERN_DUMP_SIZE) return malformed_dump("size", static_cast<long>(data.block.size()));
    for (int p = 0; p < PATTERN_COUNT; ++p) {
        const std::int32_t rows = row_count(data, p);
        if (rows < 0 || rows > PATTERN_MAX_ROWS) return malformed_dump("row count", rows);
    }
    for (int i = 0; i < ORDER_COUNT; ++i) {
        const std::int32_t pattern = order_pattern(data, i);
        if (pattern < 0 || pattern >= PATTERN_COUNT) return malformed_dump("order list pattern", pattern);
    }
    return {};
}

}  // namespace

Failure load_pattern_data() {
    PatternData& data = pattern_data();
    if (data.loaded) return {};
    const ResourceEntry* entry = nullptr;
    if (Failure failure = find_resource(resource_archive(), PATTERN_DUMP_NAME, entry)) return failure;
    data.block.assign(entry->data, entry->data + entry->size);
    Failure failure = check_dump(data);
    if (failure) data.block = {};
    data.loaded = !failure;
    return failure;
}

PatternData& pattern_data() {
    if (!instance) instance = std::make_unique<PatternData>();
    return *instance;
}

void release_pattern_data() { instance.reset(); }

void update_song_position(std::uint32_t position, PatternData& data) {
    data.position = position;
    if (!data.loaded) return;
    const auto total = static_cast<std::int32_t>(static_cast<double>(position) / MS_PER_ROW + 0.5);
    std::int32_t row = total;
    std::int32_t sum = 0;
    int order = 0;
    for (; order < ORDER_COUNT; ++order) {
        const std::int32_t rows = row_count(data, order_pattern(data, order));
        sum += rows;
        if (total < sum) break;
        row -= rows;
    }
    data.order_index = order;
    data.pattern = order < ORDER_COUNT ? order_pattern(data, order) : -1;
    data.row = row;
}

int current_row(const PatternData& data) { return data.loaded ? data.row : 0; }

int current_order(const PatternData& data) { return data.loaded ? data.order_index : 0; }

bool row_has_value(const PatternData& data, int v) {
    if (!data.loaded || data.pattern < 0 || data.pattern >= PATTERN_COUNT) return false;
    if (data.row < 0 || data.row >= PATTERN_MAX_ROWS) return false;
    const std::size_t base = PATTERN_DUMP_HEADER_SIZE + PATTERN_RECORD_SIZE * data.pattern + data.row;
    for (int plane = 0; plane < PATTERN_PLANES; ++plane) {
        const int b = data.block[base + PATTERN_MAX_ROWS * static_cast<std::size_t>(plane)];
        if (b != 0 && b - 1 == v) return true;
    }
    return false;
}

std::int32_t rows_through(const PatternData& data, int k) {
    std::int32_t sum = 0;
    if (!data.loaded) return sum;
    for (int i = 0; i <= k && i < ORDER_COUNT; ++i) sum += row_count(data, order_pattern(data, i));
    return sum;
}

}  // namespace textdemo
