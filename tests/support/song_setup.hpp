// song_setup: a clean, file-less world for effect tests.
//
// Offers: reset_effect_world (drops the frame, pattern data and archive singletons, points
// the archive at a missing file so it starts empty, and builds the sine tables),
// put_song_at_order (a pattern dump whose first `order` positions are empty, so the song
// starts straight in that order position), play_at (sets the song position), and
// put_solid_png / put_png_from (synthetic images from a value or a function of x and y).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "frame/fixed_math.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "runtime/pattern_data.hpp"
#include "tests/support/test_content.hpp"

namespace textdemo::test {

inline void reset_effect_world() {
    release_text_frame();
    release_pattern_data();
    release_resource_archive();
    set_archive_path("/nonexistent/effect-test.salad");
    build_sine_tables();
}

// Orders 0..order-1 play pattern 0 with no rows; order `order` and all later ones play
// pattern 1 with `rows` rows. Position P then lies at row round(P / MS_PER_ROW) of `order`.
inline void put_song_at_order(int order, int rows = 512) {
    std::vector<int> orders(static_cast<std::size_t>(order), 0);
    orders.push_back(1);
    put_pattern_dump(orders, {0, rows});
}

// Milliseconds that round to the given row of the song.
inline std::uint32_t ms_at_row(int row) { return static_cast<std::uint32_t>(row * MS_PER_ROW + 0.5); }

inline void play_at(std::uint32_t position) { update_song_position(position, pattern_data()); }

inline void put_png_from(const char* name, int width, int height, const std::function<std::uint32_t(int, int)>& word) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) words[static_cast<std::size_t>(y) * width + x] = word(x, y);
    put_png(name, width, height, words);
}

inline void put_solid_png(const char* name, int width, int height, std::uint32_t word) {
    put_png_from(name, width, height, [word](int, int) { return word; });
}

// A grey pixel word with the given level in all three bytes.
inline std::uint32_t grey(int level) {
    const auto v = static_cast<std::uint32_t>(level) & 0xFF;
    return v << 16 | v << 8 | v;
}

}  // namespace textdemo::test
