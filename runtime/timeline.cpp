// timeline: builds the nine effect slots from the pattern dump and schedules them per frame.
//
// Depends on: effect and the effect classes, pattern_data, music_player, text_frame,
// fixed_math. Each slot is created by one line in build_timeline.
#include "runtime/timeline.hpp"

#include <algorithm>

#include "frame/fixed_math.hpp"
#include "frame/text_frame.hpp"
#include "runtime/music_player.hpp"

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
void add_effect(EffectList& list, const EffectSpan& span) {
    list.effects.push_back(std::make_unique<EffectClass>(span.start_ms, span.end_ms));
}

}  // namespace

EffectList& effect_list() {
    if (!list_instance) list_instance = std::make_unique<EffectList>();
    return *list_instance;
}

std::uint32_t span_time(std::int32_t rows) {
    const auto ms = static_cast<std::int64_t>(static_cast<double>(rows) * MS_PER_ROW);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

std::array<EffectSpan, TIMELINE_SLOTS> timeline_spans(const PatternData& data, std::uint32_t music_length_ms) {
    // Cut k starts the slot after it: at the end of order position `through`, minus `early`
    // rows (the hand-overs to the Table and the second Wobbly come one row early).
    struct Cut {
        int through;
        int early;
    };
    constexpr Cut CUTS[TIMELINE_SLOTS - 1] = {{7, 0}, {11, 0}, {19, 0}, {23, 1}, {27, 0}, {29, 1}, {33, 0}, {37, 0}};
    std::array<EffectSpan, TIMELINE_SLOTS> spans{};
    spans[0].start_ms = 0;
    for (int k = 0; k < TIMELINE_SLOTS - 1; ++k) {
        const std::uint32_t cut = span_time(rows_through(data, CUTS[k].through) - CUTS[k].early);
        spans[k].end_ms = cut;
        spans[k + 1].start_ms = cut;
    }
    spans[TIMELINE_SLOTS - 1].end_ms = music_length_ms;
    return spans;
}

void build_timeline() {
    const PatternData& data = pattern_data();
    EffectList& list = effect_list();
    std::fill(std::begin(text_frame().pixels), std::end(text_frame().pixels), 0u);
    build_sine_tables();
    const auto spans = timeline_spans(data, music_player().length);

    // Slot 1: Kelvaron logo, order positions 0..7.
    add_effect<EffectKelvaronLogo>(list, spans[0]);

    // Slot 2: Tunnel, 8..11.
    add_effect<EffectTunnel>(list, spans[1]);

    // Slot 3: Demo logo, 12..19.
    add_effect<EffectDemoLogo>(list, spans[2]);

    // Slot 4: Wobbly, 20..23 (hands over one row early).
    add_effect<EffectWobbly>(list, spans[3]);

    // Slot 5: Table, 24..27 (starts one row early).
    add_effect<EffectTable>(list, spans[4]);

    // Slot 6: Glow, 28..29 (hands over one row early).
    add_effect<EffectGlow>(list, spans[5]);

    // Slot 7: Wobbly, a second instance, 30..33 (starts one row early).
    add_effect<EffectWobbly>(list, spans[6]);

    // Slot 8: Twister, 34..37.
    add_effect<EffectTwister>(list, spans[7]);

    // Slot 9: Skull logo, 38 to the end of the music.
    add_effect<EffectSkullLogo>(list, spans[8]);
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
