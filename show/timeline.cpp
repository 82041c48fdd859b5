// timeline: builds the nine effect slots from the pattern dump and schedules them per frame.
//
// Depends on: effect and the effect classes, pattern_data, music_player, text_frame,
// fixed_math. The slots, their effects and their cuts are one table, TIMELINE.
#include "show/timeline.hpp"

#include <algorithm>
#include <string>

#include "frame/fixed_math.hpp"
#include "frame/text_frame.hpp"
#include "song/music_player.hpp"

// Effect classes, one include per class.
#include "effects/effect_demo_logo.hpp"
#include "effects/effect_glow.hpp"
#include "effects/effect_kelvaron_logo.hpp"
#include "effects/effect_skull_logo.hpp"
#include "effects/effect_table.hpp"
#include "effects/effect_tunnel.hpp"
#include "effects/effect_twister.hpp"
#include "effects/effect_wobbly.hpp"

namespace textdemo {

namespace {

std::unique_ptr<EffectList> list_instance;

template <class EffectClass>
std::unique_ptr<Effect> make_effect(std::uint32_t start_ms, std::uint32_t end_ms) {
    return std::make_unique<EffectClass>(start_ms, end_ms);
}

constexpr int MUSIC_END = -1;

// One slot of the show: its effect and the order positions it plays, first to last. Its
// end cut falls at the end of the last one, `early_rows` rows before it where the next
// effect takes over early; the last slot ends with the music.
struct TimelineSlot {
    std::unique_ptr<Effect> (*create)(std::uint32_t start_ms, std::uint32_t end_ms);
    int first_order;
    int last_order;
    int early_rows;
};

constexpr TimelineSlot TIMELINE[TIMELINE_SLOTS] = {
    {make_effect<EffectKelvaronLogo>, 0, 7, 0},
    {make_effect<EffectTunnel>, 8, 11, 0},
    {make_effect<EffectDemoLogo>, 12, 19, 0},
    {make_effect<EffectWobbly>, 20, 23, 1},
    {make_effect<EffectTable>, 24, 27, 0},
    {make_effect<EffectGlow>, 28, 29, 1},
    {make_effect<EffectWobbly>, 30, 33, 0},  // a second instance, with a look of its own
    {make_effect<EffectTwister>, 34, 37, 0},
    {make_effect<EffectSkullLogo>, 38, MUSIC_END, 0},
};

constexpr bool slots_follow_each_other() {
    for (int k = 1; k < TIMELINE_SLOTS; ++k)
        if (TIMELINE[k].first_order != TIMELINE[k - 1].last_order + 1) return false;
    return TIMELINE[0].first_order == 0 && TIMELINE[TIMELINE_SLOTS - 1].last_order == MUSIC_END;
}
static_assert(slots_follow_each_other(), "every order position belongs to exactly one slot");

}  // namespace

EffectList& effect_list() {
    if (!list_instance) list_instance = std::make_unique<EffectList>();
    return *list_instance;
}

std::uint32_t span_time(std::int32_t rows) {
    const auto ms = static_cast<std::int64_t>(static_cast<double>(rows) * MS_PER_ROW);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

Failure check_timeline(const PatternData& data) {
    std::int32_t start_row = 0;
    for (int k = 0; k < TIMELINE_SLOTS; ++k) {
        const TimelineSlot& slot = TIMELINE[k];
        if (slot.last_order == MUSIC_END) break;
        const std::int32_t end_row = rows_through(data, slot.last_order) - slot.early_rows;
        if (end_row < start_row)
            return {"pattern dump \"patterndata.bin\" gives no timeline: slot " + std::to_string(k + 1) +
                    " would end at row " + std::to_string(end_row) + ", before it starts at row " +
                    std::to_string(start_row)};
        start_row = end_row;
    }
    return {};
}

std::array<EffectSpan, TIMELINE_SLOTS> timeline_spans(const PatternData& data, std::uint32_t music_length_ms) {
    std::array<EffectSpan, TIMELINE_SLOTS> spans{};
    std::uint32_t start_ms = 0;
    for (int k = 0; k < TIMELINE_SLOTS; ++k) {
        const TimelineSlot& slot = TIMELINE[k];
        spans[k].start_ms = start_ms;
        spans[k].end_ms = slot.last_order == MUSIC_END
                              ? music_length_ms
                              : span_time(rows_through(data, slot.last_order) - slot.early_rows);
        start_ms = spans[k].end_ms;
    }
    return spans;
}

Failure build_timeline() {
    if (Failure failure = load_pattern_data()) return failure;
    if (Failure failure = check_timeline(pattern_data())) return failure;
    EffectList& list = effect_list();
    std::fill(std::begin(text_frame().pixels), std::end(text_frame().pixels), 0u);
    build_sine_tables();
    const auto spans = timeline_spans(pattern_data(), music_player().length);
    for (int k = 0; k < TIMELINE_SLOTS; ++k) {
        list.effects.push_back(TIMELINE[k].create(spans[k].start_ms, spans[k].end_ms));
        if (list.effects.back()->load_failure) return list.effects.back()->load_failure;
    }
    return {};
}

void render_active_effects(EffectList& list) {
    TextFrame& frame = text_frame();
    bool drawn = false;
    for (const auto& effect : list.effects) {
        const std::uint32_t position = pattern_data().position;
        if (effect && effect->start_ms <= position && position <= effect->end_ms) {
            effect->render();
            drawn = true;
        }
    }
    if (!drawn) std::fill(std::begin(frame.pixels), std::end(frame.pixels), DEFAULT_FILL_WORD);
}

void destroy_timeline() {
    // Effects first, in list order, then the list, then the pattern data.
    if (list_instance) {
        for (auto& effect : list_instance->effects) effect.reset();
        list_instance.reset();
    }
    release_pattern_data();
}

}  // namespace textdemo
