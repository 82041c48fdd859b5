// Timeline spans from a synthetic pattern dump, inclusive scheduling, the dark-red fill and
// the teardown order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "show/timeline.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

namespace textdemo {
namespace {

std::vector<std::string> event_log;

// Logs its renders and its destruction, and marks the frame word it owns.
class RecordingEffect : public Effect {
public:
    RecordingEffect(std::uint32_t start, std::uint32_t end, std::string tag, std::uint32_t word_index)
        : Effect(start, end), tag_(std::move(tag)), word_index_(word_index) {}
    ~RecordingEffect() override { event_log.push_back("~" + tag_); }
    void render() override {
        event_log.push_back(tag_);
        text_frame().pixels[word_index_] = 0x00123456;
    }

private:
    std::string tag_;
    std::uint32_t word_index_;
};

class TimelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
        // Order position i plays pattern i % 38, and pattern p has 10 + p rows.
        std::vector<int> orders, rows;
        for (int i = 0; i < ORDER_COUNT; ++i) orders.push_back(i % PATTERN_COUNT);
        for (int p = 0; p < PATTERN_COUNT; ++p) rows.push_back(10 + p);
        test::put_pattern_dump(orders, rows);
    }
    static void TearDownTestSuite() {
        test::restore_archive_path();
    }
    // Each case's teardown releases the pattern data with the timeline; the dump stays in
    // the archive, so it is loaded again here.
    void SetUp() override {
        event_log.clear();
        ASSERT_TRUE(load_pattern_data().message.empty());
    }
    void TearDown() override { destroy_timeline(); }

    static void add(std::uint32_t start, std::uint32_t end, const char* tag, std::uint32_t word_index = 0) {
        effect_list().effects.push_back(std::make_unique<RecordingEffect>(start, end, tag, word_index));
    }
    // Renders at position and returns the effects that drew, in order.
    static std::vector<std::string> render_at(std::uint32_t position) {
        event_log.clear();
        pattern_data().position = position;
        render_active_effects(effect_list());
        return event_log;
    }
    static bool frame_is_dark_red() {
        const auto& pixels = text_frame().pixels;
        return std::all_of(std::begin(pixels), std::end(pixels), [](std::uint32_t w) { return w == 0x00780000; });
    }
};

TEST_F(TimelineTest, SpanTimeTruncatesRowsTimesMsPerRowAndKeepsTheLow32Bits) {
    EXPECT_EQ(span_time(0), 0u);
    EXPECT_EQ(span_time(1), 21u);           // 21.80
    EXPECT_EQ(span_time(108), 2354u);       // 2354.65
    EXPECT_EQ(span_time(86), 1875u);        // exactly 1875 in double
    EXPECT_EQ(span_time(5934), 129374u);    // 69 x 1875 exactly, but the double product lies just below
    EXPECT_EQ(span_time(-1), 0xFFFFFFEBu);  // -21.80 truncates to -21
}

TEST_F(TimelineTest, NineSpansFollowTheOrderListWithTwoCutsOneRowEarly) {
    // R(0..k) = 10(k + 1) + k(k + 1)/2 here; the cuts are T(108), T(186), T(390), T(515),
    // T(658), T(734), T(901), T(1083) (515 and 734 are one row before order 24 and 30).
    const auto spans = timeline_spans(pattern_data(), 60000);
    const EffectSpan expected[TIMELINE_SLOTS] = {
        {0, 2354},         {2354, 4055},   {4055, 8502},   {8502, 11228},  {11228, 14345},
        {14345, 16002},    {16002, 19643}, {19643, 23611}, {23611, 60000},
    };
    for (int k = 0; k < TIMELINE_SLOTS; ++k) {
        EXPECT_EQ(spans[k].start_ms, expected[k].start_ms) << "slot " << k + 1;
        EXPECT_EQ(spans[k].end_ms, expected[k].end_ms) << "slot " << k + 1;
    }
}

// A dump as loaded, outside the archive.
PatternData loaded_dump(const std::vector<int>& orders, const std::vector<int>& rows) {
    PatternData data;
    data.block = test::make_pattern_dump(orders, rows);
    data.loaded = true;
    return data;
}

TEST(TimelineCheck, CutsThatGoBackOrBelowRowZeroAreRefused) {
    // All row counts 0: the cut one row before order 24 would fall at row -1, 49 days on.
    EXPECT_EQ(check_timeline(loaded_dump({0}, std::vector<int>(PATTERN_COUNT, 0))).message,
              "pattern dump \"patterndata.bin\" gives no timeline: slot 4 would end at row -1, before it starts at row 0");
    // Orders 28 and 29 empty: the sixth slot would hand over one row before it began.
    std::vector<int> orders(ORDER_COUNT, 0);
    orders[28] = orders[29] = 1;
    EXPECT_EQ(check_timeline(loaded_dump(orders, {10, 0})).message,
              "pattern dump \"patterndata.bin\" gives no timeline: slot 6 would end at row 279, before it starts at row 280");
    // One row in order 29 is enough: slot 6 then has no length, which is allowed.
    orders[29] = 2;
    EXPECT_EQ(check_timeline(loaded_dump(orders, {10, 0, 1})).message, "");
    // Every pattern at its 512 rows: a long timeline, but one that follows itself.
    EXPECT_EQ(check_timeline(loaded_dump({0}, std::vector<int>(PATTERN_COUNT, 512))).message, "");
    EXPECT_EQ(check_timeline(loaded_dump({0}, {1})).message, "");
}

TEST_F(TimelineTest, EffectsDrawInListOrderInsideTheirInclusiveSpans) {
    add(0, 2354, "first", 1);
    add(2354, 4055, "second", 2);
    add(4055, 4055, "single", 3);
    EXPECT_EQ(render_at(0), std::vector<std::string>{"first"});
    EXPECT_EQ(render_at(2353), std::vector<std::string>{"first"});
    EXPECT_EQ(render_at(2354), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(render_at(2355), std::vector<std::string>{"second"});
    EXPECT_EQ(render_at(4055), (std::vector<std::string>{"second", "single"}));
    EXPECT_EQ(text_frame().pixels[3], 0x00123456u);
    EXPECT_EQ(render_at(4054), std::vector<std::string>{"second"});
}

TEST_F(TimelineTest, PositionsOutsideEverySpanGiveTheDarkRedFrame) {
    add(100, 60000, "last");
    EXPECT_EQ(render_at(60000), std::vector<std::string>{"last"});
    EXPECT_FALSE(frame_is_dark_red());
    EXPECT_TRUE(render_at(60001).empty());
    EXPECT_TRUE(frame_is_dark_red());
    EXPECT_TRUE(render_at(99).empty());
    EXPECT_TRUE(render_at(0xFFFFFFFF).empty());  // -1 from a failed query
    EXPECT_TRUE(frame_is_dark_red());
}

TEST_F(TimelineTest, AnEmptyListAlwaysGivesTheDarkRedFrame) {
    std::fill(std::begin(text_frame().pixels), std::end(text_frame().pixels), 0u);
    render_at(0);
    EXPECT_TRUE(frame_is_dark_red());
}

TEST_F(TimelineTest, DestroyTimelineDestroysEffectsInListOrderThenEmptiesTheList) {
    add(0, 10, "a");
    add(0, 10, "b");
    add(0, 10, "c");
    event_log.clear();
    destroy_timeline();
    EXPECT_EQ(event_log, (std::vector<std::string>{"~a", "~b", "~c"}));
    EXPECT_TRUE(effect_list().effects.empty());
}

}  // namespace
}  // namespace textdemo
