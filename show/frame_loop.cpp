// frame_loop: pacing, position rules, end conditions and the mute key of the shared loop.
//
// Depends on: pattern_data, timeline, text_frame, music_player, archive.
#include "show/frame_loop.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"
#include "show/timeline.hpp"

namespace textdemo {

namespace {

bool position_is_valid(std::int32_t result) {
    return result == SOUND_OK || result == SOUND_ERR_INVALID_HANDLE;
}

// Steps 1 and 2 of a frame: sleep until the tick count has passed the deadline (unsigned).
void wait_for_deadline(const FrameClock& clock, bool sleep_first, std::uint32_t deadline) {
    if (sleep_first) clock.sleep_ms(clock.context, 1);
    while (clock.now_ms(clock.context) <= deadline) clock.sleep_ms(clock.context, 1);
}

// Escape quits on any record; "m" toggles mute when the cooldown has run out, and the new
// cooldown already holds for the later records of the same batch.
bool handle_keys(const std::vector<KeyRecord>& records, const PositionSource& source, FrameLoopState& state) {
    bool quit = false;
    for (const KeyRecord& record : records) {
        if (record.virtual_key == KEY_ESCAPE) quit = true;
        if (record.character == 'm' && state.mute_cooldown == 0) {
            state.muted = !state.muted;
            source.set_mute(source.context, state.muted);
            state.mute_cooldown = MUTE_COOLDOWN_FRAMES;
        }
    }
    return quit;
}

std::uint32_t system_now_ms(void*) {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void system_sleep_ms(void*, std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::int32_t music_query(void* player, std::uint32_t* position_ms) {
    return query_music_position(*static_cast<MusicPlayer*>(player), *position_ms);
}

bool music_over(void* player) { return music_finished(*static_cast<MusicPlayer*>(player)); }

void music_mute(void* player, bool muted) { set_music_mute(*static_cast<MusicPlayer*>(player), muted); }

}  // namespace

FrameLoopState start_frame_loop(const FrameClock& clock) {
    FrameLoopState state;
    state.frame_deadline = clock.now_ms(clock.context);
    return state;
}

void draw_song_frame(std::uint32_t position) {
    update_song_position(position, pattern_data());
    TextFrame& frame = text_frame();
    std::fill(std::begin(frame.pixels), std::end(frame.pixels), 0u);
    render_active_effects(effect_list());
}

std::uint32_t frame_position(std::int32_t result, std::uint32_t reported, std::uint32_t frame_count,
                             bool frame_clock_fallback) {
    const bool valid = position_is_valid(result) && !(frame_clock_fallback && reported == FAILED_POSITION);
    if (valid) return reported;
    return frame_clock_fallback ? frame_count * FRAME_PERIOD_MS : FAILED_POSITION;
}

std::uint32_t picture_position(std::uint32_t position, const FrameLoopState& state) {
    if (position == FAILED_POSITION) return position;
    const std::int64_t moved = static_cast<std::int64_t>(position) - state.audio_delay_ms;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(moved, 0, state.picture_end_ms));
}

LoopEnd run_frame_loop(const FrameClock& clock, const PositionSource& source, const FrameBackend& backend,
                       FrameLoopState& state) {
    std::vector<KeyRecord> records;
    for (;;) {
        if (stop_requested) return LoopEnd::Teardown;
        wait_for_deadline(clock, backend.sleep_before_deadline_check, state.frame_deadline);
        state.frame_deadline += FRAME_PERIOD_MS;

        std::uint32_t reported = 0;
        const std::int32_t result = source.query(source.context, &reported);
        const std::uint32_t position = frame_position(result, reported, state.frame_count, backend.frame_clock_fallback);
        draw_song_frame(picture_position(position, state));

        const FrameOutcome outcome = backend.present(backend.context);
        if (outcome == FrameOutcome::Abandon) return LoopEnd::Abandon;
        bool quit = outcome == FrameOutcome::Quit;
        if (state.frame_count > 10 && source.finished(source.context)) quit = true;

        ++state.frame_count;
        if (state.mute_cooldown > 0) --state.mute_cooldown;

        if (backend.read_keys) {
            records.clear();
            backend.read_keys(backend.context, records);
            if (handle_keys(records, source, state)) quit = true;
        }
        if (quit) return LoopEnd::Teardown;
    }
}

FrameClock system_clock() { return FrameClock{system_now_ms, system_sleep_ms, nullptr}; }

PositionSource music_position_source(MusicPlayer& player) { return PositionSource{music_query, music_over, music_mute, &player}; }

Failure teardown_show() {
    destroy_timeline();
    if (Failure failure = release_music(music_player())) return failure;
    release_resource_archive();
    release_text_frame();
    return {};
}

}  // namespace textdemo
