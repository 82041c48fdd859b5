// music_dump: writes the pattern dump from a Song (see music_dump.hpp).
// Depends on: music_song, pattern_data (the dump's layout).
#include "tools/content/music_dump.hpp"

#include <cstring>

namespace textdemo::content {

static_assert(SONG_CHANNELS * 3 == PATTERN_PLANES && SONG_MAX_ROWS == PATTERN_MAX_ROWS);

namespace {
void put_le32(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
}  // namespace

bool check_song_fits_dump(const Song& song, std::string& error) {
    if (song.patterns.size() != PATTERN_COUNT || song.orders.size() != ORDER_COUNT) {
        error = "the song has " + std::to_string(song.patterns.size()) + " patterns and " +
                std::to_string(song.orders.size()) + " orders; the pattern dump holds " +
                std::to_string(PATTERN_COUNT) + " and " + std::to_string(ORDER_COUNT);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> make_pattern_dump_bytes(const Song& song) {
    std::vector<std::uint8_t> dump(PATTERN_DUMP_SIZE, 0);
    static const char magic[] = "QUILLMOOR patterns";
    std::memcpy(dump.data(), magic, sizeof magic - 1);
    dump[20] = SONG_CHANNELS;
    dump[21] = 3;  // planes per channel: note, instrument, volume
    for (int p = 0; p < PATTERN_COUNT; ++p) {
        const SongPattern& pattern = song.patterns[p];
        const std::size_t record = PATTERN_DUMP_HEADER_SIZE + PATTERN_RECORD_SIZE * p;
        for (int row = 0; row < pattern.rows; ++row) {
            for (int c = 0; c < SONG_CHANNELS; ++c) {
                const SongCell& cell = pattern.cells[row][c];
                const std::size_t at = record + static_cast<std::size_t>(SONG_MAX_ROWS) * 3 * c + row;
                if (cell.note) dump[at] = static_cast<std::uint8_t>(cell.note + 1);
                if (cell.instrument >= 0) dump[at + SONG_MAX_ROWS] = static_cast<std::uint8_t>(cell.instrument + 1);
                if (cell.volume) dump[at + 2 * SONG_MAX_ROWS] = static_cast<std::uint8_t>(cell.volume + 1);
            }
        }
        put_le32(dump, record + PATTERN_ROW_COUNT_OFFSET, pattern.rows);
    }
    for (int i = 0; i < ORDER_COUNT; ++i) put_le32(dump, ORDER_LIST_OFFSET + 4 * i, song.orders[i]);
    return dump;
}

}  // namespace textdemo::content
