// effect_fixture: a test fixture for effects drawn from synthetic resources.
//
// Offers: EffectTest (an empty in-memory archive, fresh pattern data and frame per test),
// grey_image (an image of grey words from a function of column and row), song_at (places
// a pattern dump and moves the song to a position), ms_at_row (the position of a row) and
// order_start_dump (a dump whose first `order` positions are empty, so position 0 already
// lies in order `order`).
// Depends on: archive, pattern_data, text_frame, test_content.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/test_content.hpp"

namespace textdemo::test {

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        release_all();
        use_empty_archive();
    }
    void TearDown() override {
        release_all();
        set_archive_path("ruk.salad");
    }
    static void release_all() {
        release_pattern_data();
        release_resource_archive();
        release_text_frame();
    }
};

// width x height words 0x00RRGGBB with every component equal to grey(column, row) & 255.
inline std::vector<std::uint32_t> grey_words(int width, int height, const std::function<int(int, int)>& grey) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto g = static_cast<std::uint32_t>(grey(x, y) & 255);
            words[static_cast<std::size_t>(y) * width + x] = g << 16 | g << 8 | g;
        }
    return words;
}

inline void put_grey_png(const char* name, int width, int height, const std::function<int(int, int)>& grey) {
    put_png(name, width, height, grey_words(width, height, grey));
}

// Orders 0..order-1 play the empty pattern 0; order `order` on plays pattern 1 of `rows` rows.
inline void put_order_start_dump(int order, int rows = 256) {
    std::vector<int> orders(static_cast<std::size_t>(order), 0);
    orders.push_back(1);
    put_pattern_dump(orders, {0, rows});
}

// Moves the song to `position` ms (the pattern dump must be in the archive).
inline void song_at(std::uint32_t position) { update_song_position(position, pattern_data()); }

// Song milliseconds that round to `row` rows from the start.
inline std::uint32_t ms_at_row(int row) { return static_cast<std::uint32_t>(row * MS_PER_ROW + 0.5); }

}  // namespace textdemo::test
