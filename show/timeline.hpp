// timeline: the nine effect slots of the show and the per-frame scheduler.
//
// Offers: EffectList (the ordered, owning list of effects) and its accessor effect_list(),
// span_time (T(x): milliseconds of x rows), check_timeline (a dump whose cuts would go
// back or below row 0 refused), timeline_spans (the nine inclusive spans from the pattern
// dump and the music length), build_timeline, render_active_effects and destroy_timeline.
// Depends on: effect, failure, pattern_data, music_player (length of the last span), text_frame,
// fixed_math (sine tables built before the effects).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "effects/effect.hpp"
#include "resources/failure.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

struct EffectList {
    std::vector<std::unique_ptr<Effect>> effects;  // creation order = drawing order
};

// The list, created empty on first use.
EffectList& effect_list();

constexpr int TIMELINE_SLOTS = 9;

// Inclusive span of one slot in song milliseconds.
struct EffectSpan {
    std::uint32_t start_ms;
    std::uint32_t end_ms;
};

// x rows in milliseconds: x * MS_PER_ROW truncated to 64 bits, low 32 bits kept.
std::uint32_t span_time(std::int32_t rows);

// Fails when the dump's cuts would not follow each other: a slot ending at a row before
// the one it starts at (empty patterns where a cut falls one row early, so the row count is
// -1 and its time wraps to 49 days), with one line naming the slot and both rows. Slots of
// no length (a cut at the row of the one before) are allowed.
Failure check_timeline(const PatternData& data);

// Spans of the nine slots; the last one ends at music_length_ms. Only meaningful for a
// dump that check_timeline accepts.
std::array<EffectSpan, TIMELINE_SLOTS> timeline_spans(const PatternData& data, std::uint32_t music_length_ms);

// Loads and checks the pattern dump, clears the frame words, builds the sine tables, then
// creates the effects in slot order. Needs the music loaded (its length ends the last
// slot). Fails with the pattern dump's failure or the first effect's that could not load
// its resources.
Failure build_timeline();

// Lets every effect whose span holds the song position draw, in list order; fills the
// frame with DEFAULT_FILL_WORD when none did.
void render_active_effects(EffectList& list);

// Destroys the effects in list order, the list, then the pattern data.
void destroy_timeline();

}  // namespace textdemo
