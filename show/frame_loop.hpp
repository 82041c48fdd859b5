// frame_loop: the 16 ms frame loop every display shares, and the teardown after it.
//
// Offers: the three small function tables a program hands to the loop (FrameClock,
// PositionSource, FrameBackend); FrameLoopState and start_frame_loop; draw_song_frame (the drawing of one song position,
// shared with the capture tool); frame_position (the position rules of a frame);
// picture_position (the audio delay); run_frame_loop; system_clock and
// music_position_source (the real clock and music); teardown_show.
// Depends on: pattern_data, timeline, text_frame, music_player, archive, failure,
// stop_signals (the stop_requested flag it reads at the head of every frame).
//
// One frame: wait for the deadline, advance it by 16 ms (late frames are caught up, never
// skipped), read the music position, draw_song_frame at that position less the audio
// delay, let the backend present, end once the music has been heard to its end (after more
// than 10 frames), count, read keys (Escape, mute), end on quit. A position of 0 alone ends
// nothing: it is also what a sound device that starts late reports, and the show then waits
// on its first picture until the music comes.
//
// Typical use by a program after loading the archive and the music:
//     const FrameClock clock = system_clock();
//     FrameLoopState state = start_frame_loop(clock);
//     if (Failure failure = build_timeline()) ... report it;
//     play_music(player);
//     if (run_frame_loop(clock, music_position_source(player), backend, state) == LoopEnd::Teardown)
//         failure = teardown_show();
//     ... then, once the display is given back: end_by_stop_signal();
//
// A display is a FrameBackend: two steps and two flags, with the contract written at the
// table. The loop knows nothing else of a display, so a new one needs no change here.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/failure.hpp"
#include "show/stop_signals.hpp"

namespace textdemo {

struct MusicPlayer;

constexpr std::uint32_t FRAME_PERIOD_MS = 16;
constexpr std::int32_t MUTE_COOLDOWN_FRAMES = 20;
constexpr std::uint32_t KEY_ESCAPE = 27;
constexpr std::uint32_t FAILED_POSITION = 0xFFFFFFFF;  // -1 as song milliseconds

// Millisecond tick source.
struct FrameClock {
    // A tick count in ms that wraps at 32 bits like any unsigned counter.
    std::uint32_t (*now_ms)(void* context);
    // Blocks for about ms milliseconds.
    void (*sleep_ms)(void* context, std::uint32_t ms);
    void* context;
};

// The music clock.
struct PositionSource {
    // Writes the play position in ms and returns the sound result code: 0 and 36 (a
    // finished channel, position 0) mean the written position is valid, anything else failed.
    std::int32_t (*query)(void* context, std::uint32_t* position_ms);
    // True once the music has been heard to its end (its position then reads 0).
    bool (*finished)(void* context);
    // Mutes (true) or unmutes the music; the clock keeps running. Only the mute key calls it.
    void (*set_mute)(void* context, bool muted);
    void* context;
};

// One key record: key-down and key-up records alike, where a display sees both.
struct KeyRecord {
    std::uint32_t virtual_key;  // KEY_ESCAPE quits
    char character;             // 'm' (lower case only) toggles mute, at most once per 20 frames
};

// What a backend tells the loop after presenting.
enum class FrameOutcome {
    Continue,  // nothing asked
    Quit,      // the user asked to end the show: the frame finishes, then the loop ends
    Abandon,   // the display cannot go on: leave at once, without teardown
};

// A display, as the loop drives it. The contract every backend keeps:
// - Both steps run on the loop's thread, once per frame, present before read_keys; neither
//   waits for the user, and neither may end the process: a display that cannot go on
//   answers Abandon, and the program decides what follows.
// - present shows the frame the effects just drew (text_frame(), converted as the display
//   needs) and reports a quit request (a close button, Escape where the display reads it
//   there) as Quit. Leaving a frame out (a display that is hidden or busy) is allowed; the
//   clock and the music go on either way.
// - read_keys appends the key records typed since the last frame, in order; Escape and
//   "m" have their meaning in the loop. It may be null: no keys.
// - context is the display's state record; the loop hands it to both steps and never looks
//   inside.
struct FrameBackend {
    // True: sleep 1 ms once before checking the deadline, every frame (a display whose
    // presentation does not yield). False: sleep only while the deadline lies ahead, so a
    // late frame starts at once.
    bool sleep_before_deadline_check;
    // Position after a failed query. False: FAILED_POSITION (no effect draws, the frame
    // shows the dark-red fill, the show goes on). True: frame_count * 16, also when the
    // query reported 0xFFFFFFFF, so the picture keeps moving on the frame clock.
    bool frame_clock_fallback;
    // Runs after the effects drew the frame.
    FrameOutcome (*present)(void* context);
    // Runs after the frame was counted; appends every pending key record, in order.
    void (*read_keys)(void* context, std::vector<KeyRecord>& records);
    void* context;
};

struct FrameLoopState {
    std::uint32_t frame_deadline = 0;                      // tick count to pass before the next frame
    std::uint32_t frame_count = 0;                         // frames completed
    std::int32_t mute_cooldown = MUTE_COOLDOWN_FRAMES;     // frames until "m" is accepted again
    bool muted = false;                                    // a program starting muted sets it with the channel
    // For sound heard late (positive) or early (negative): the picture shows the music's
    // position less this, never before 0 and never past picture_end_ms (the music's end).
    std::int32_t audio_delay_ms = 0;
    std::uint32_t picture_end_ms = FAILED_POSITION - 1;
};

// Loop state with the deadline at the current tick; read just before build_timeline, so the
// first frames catch up for the time the effects took to build.
FrameLoopState start_frame_loop(const FrameClock& clock);

// The drawing of one frame at a song position: store it in PatternData, update the song
// position, clear the 4000 frame words, render the active effects. Conversion and
// presentation are left to the caller.
void draw_song_frame(std::uint32_t position);

// Song position of a frame from the query's result code and reported position.
std::uint32_t frame_position(std::int32_t result, std::uint32_t reported, std::uint32_t frame_count,
                             bool frame_clock_fallback);

// The song position a frame draws for the music's position: moved by the audio delay and
// held within 0..picture_end_ms; a failed position (FAILED_POSITION) stays as it is.
std::uint32_t picture_position(std::uint32_t position, const FrameLoopState& state);

enum class LoopEnd {
    Teardown,  // normal end: the program runs teardown_show, then end_by_stop_signal, then ends with 0
    Abandon,   // the backend abandoned the show: the program ends at once, without teardown
};

LoopEnd run_frame_loop(const FrameClock& clock, const PositionSource& source, const FrameBackend& backend,
                       FrameLoopState& state);

// Monotonic system clock in ms, with real sleeps.
FrameClock system_clock();

// The music player's per-frame calls (position, finished, mute). The player must outlive it.
PositionSource music_position_source(MusicPlayer& player);

// Teardown in order: timeline (effects, list, pattern data), music, archive, text frame.
// A failing music release stops it there, with the sound layer's failure.
Failure teardown_show();

}  // namespace textdemo
