// Song position in tracker terms: rounding to rows, order boundaries, the end of the order
// list, plane lookups, and the rejection of dumps that leave the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

namespace textdemo {
namespace {

class PatternDataTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
    }
    static void TearDownTestSuite() {
        test::restore_archive_path();
    }
    void TearDown() override { release_pattern_data(); }

    // Order list 3, 5, 0, 0, ...: pattern 3 has 4 rows, pattern 5 two, pattern 0 64 rows.
    static PatternData& small_song(const std::vector<test::PlaneByte>& bytes = {}) {
        std::vector<int> rows(PATTERN_COUNT, 64);
        rows[3] = 4;
        rows[5] = 2;
        test::put_pattern_dump({3, 5, 0}, rows, bytes);
        return pattern_data();
    }
    static void put_raw_dump(const std::vector<std::uint8_t>& dump) {
        EXPECT_FALSE(put_resource("patterndata.bin", dump.data(), dump.size()));
        release_pattern_data();
    }
    static void put_le32(std::vector<std::uint8_t>& dump, std::size_t at, std::int32_t value) {
        for (int i = 0; i < 4; ++i) dump[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
};

struct Expected {
    std::uint32_t position;
    int order, pattern, row;
};

TEST_F(PatternDataTest, PositionsRoundToTheNearestRowAndWalkTheOrderList) {
    PatternData& data = small_song();
    EXPECT_TRUE(data.loaded);
    // 10 ms is 0.459 rows, 11 ms 0.505; 76 ms is 3.49 rows, 87 ms 3.99 rows (row 4 = the
    // first row of order position 1); 130 ms is 5.96 rows, 6 = the start of order 2.
    const Expected cases[] = {
        {0, 0, 3, 0},  {10, 0, 3, 0}, {11, 0, 3, 1}, {76, 0, 3, 3},  {87, 1, 5, 0},
        {109, 1, 5, 1}, {130, 2, 0, 0}, {131, 2, 0, 0}, {153, 2, 0, 1},
    };
    for (const Expected& e : cases) {
        update_song_position(e.position, data);
        EXPECT_EQ(data.position, e.position);
        EXPECT_EQ(current_order(data), e.order) << e.position;
        EXPECT_EQ(data.pattern, e.pattern) << e.position;
        EXPECT_EQ(current_row(data), e.row) << e.position;
    }
}

TEST_F(PatternDataTest, PositionsPastTheOrderListGiveOrder46AndNoPattern) {
    // Every order position holds a pattern of 10 + its number of rows (orders 38..45 repeat 0..7).
    std::vector<int> orders, rows;
    for (int i = 0; i < ORDER_COUNT; ++i) orders.push_back(i % PATTERN_COUNT);
    for (int p = 0; p < PATTERN_COUNT; ++p) rows.push_back(10 + p);
    test::put_pattern_dump(orders, rows);
    PatternData& data = pattern_data();
    EXPECT_EQ(rows_through(data, 7), 108);
    EXPECT_EQ(rows_through(data, 45), 1191);

    // 1191 rows = 25966.57 ms: 25966 ms rounds to row 1191 already (1190.98 + 0.5).
    update_song_position(25955, data);  // 1190.46 rows: the last row of order 45
    EXPECT_EQ(current_order(data), 45);
    EXPECT_EQ(data.pattern, 7);
    EXPECT_EQ(current_row(data), 16);
    update_song_position(25966, data);
    EXPECT_EQ(current_order(data), 46);
    EXPECT_EQ(data.pattern, -1);
    EXPECT_EQ(current_row(data), 0);
    EXPECT_FALSE(row_has_value(data, 0));

    // -1 from a failed query is 4294967295 ms = 196995832.6 rows, rounded to 196995833.
    update_song_position(0xFFFFFFFF, data);
    EXPECT_EQ(current_order(data), 46);
    EXPECT_EQ(data.pattern, -1);
    EXPECT_EQ(current_row(data), 196995833 - 1191);
}

TEST_F(PatternDataTest, EmptyPatternsInTheOrderListAreSkipped) {
    std::vector<int> rows(PATTERN_COUNT, 64);
    rows[1] = 0;
    test::put_pattern_dump({1, 1, 2}, rows);
    PatternData& data = pattern_data();
    update_song_position(0, data);
    EXPECT_EQ(current_order(data), 2);
    EXPECT_EQ(data.pattern, 2);
    EXPECT_EQ(current_row(data), 0);
}

TEST_F(PatternDataTest, RowHasValueMatchesStoredBytesMinusOneOnTheCurrentRowOnly) {
    // Pattern 3: row 0 plane 0 holds 1 (value 0), row 1 plane 26 holds 255 (value 254).
    PatternData& data = small_song({{3, 0, 0, 1}, {3, 26, 1, 255}, {5, 4, 0, 9}});
    update_song_position(0, data);
    EXPECT_TRUE(row_has_value(data, 0));
    EXPECT_FALSE(row_has_value(data, 1));
    EXPECT_FALSE(row_has_value(data, -1));  // empty bytes never match
    EXPECT_FALSE(row_has_value(data, 254));
    update_song_position(22, data);  // row 1
    EXPECT_TRUE(row_has_value(data, 254));
    EXPECT_FALSE(row_has_value(data, 0));
    update_song_position(87, data);  // order 1, pattern 5, row 0
    EXPECT_TRUE(row_has_value(data, 8));
    EXPECT_FALSE(row_has_value(data, 0));
}

TEST_F(PatternDataTest, FullPatternsOf512RowsAreAcceptedUpToTheirLastRow) {
    std::vector<int> rows(PATTERN_COUNT, 512);
    test::put_pattern_dump({37}, rows, {{37, 26, 511, 43}});
    PatternData& data = pattern_data();
    update_song_position(11141, data);  // 511.0 rows
    EXPECT_EQ(current_order(data), 0);
    EXPECT_EQ(current_row(data), 511);
    EXPECT_TRUE(row_has_value(data, 42));
}

TEST_F(PatternDataTest, AnObjectWithoutDataAnswersNeutrally) {
    PatternData data;
    data.row = 5;
    data.order_index = 7;
    update_song_position(1000, data);
    EXPECT_EQ(data.position, 1000u);
    EXPECT_EQ(current_row(data), 0);
    EXPECT_EQ(current_order(data), 0);
    EXPECT_FALSE(row_has_value(data, 0));
    EXPECT_EQ(rows_through(data, 45), 0);
}

TEST_F(PatternDataTest, DumpsOutsideTheFormatAreRejectedWithOneLine) {
    const std::vector<std::uint8_t> good = test::make_pattern_dump({0}, {});
    constexpr std::size_t ROW_COUNT_OF_PATTERN_2 = 13848 + 13828 * 2;
    constexpr std::size_t ORDER_5 = 525488 + 4 * 5;
    struct Bad {
        std::vector<std::uint8_t> dump;
        const char* message;
    };
    std::vector<Bad> bad;
    bad.push_back({std::vector<std::uint8_t>(good.begin(), good.end() - 1), "size 525671"});
    bad.push_back({good, "size 525673"});
    bad.back().dump.push_back(0);
    for (std::int32_t rows : {513, -1}) {
        bad.push_back({good, rows == 513 ? "row count 513" : "row count -1"});
        put_le32(bad.back().dump, ROW_COUNT_OF_PATTERN_2, rows);
    }
    for (std::int32_t pattern : {38, -1}) {
        bad.push_back({good, pattern == 38 ? "order list pattern 38" : "order list pattern -1"});
        put_le32(bad.back().dump, ORDER_5, pattern);
    }
    for (const Bad& b : bad) {
        put_raw_dump(b.dump);
        EXPECT_EQ(load_pattern_data().message, std::string("pattern dump \"patterndata.bin\" is malformed: ") + b.message);
        EXPECT_FALSE(pattern_data().loaded);
        EXPECT_TRUE(pattern_data().block.empty());
    }
    put_raw_dump(good);
    EXPECT_FALSE(load_pattern_data());
    EXPECT_TRUE(pattern_data().loaded);
}

TEST_F(PatternDataTest, AMissingDumpFails) {
    test::use_empty_archive();
    release_pattern_data();
    EXPECT_EQ(load_pattern_data().message, "resource \"patterndata.bin\" not found");
    EXPECT_FALSE(pattern_data().loaded);
}

}  // namespace
}  // namespace textdemo
