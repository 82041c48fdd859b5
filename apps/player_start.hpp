// player_start: what both players do with their options while starting the show, and how
// they end on a failure.
//
// Offers: exit_code_after (a failure's line on standard error, FAILURE_EXIT_CODE),
// show_start_ms (where the show begins, checked against the music), load_show_music
// (archive, music and pattern dump loaded and the start checked, before the display),
// start_show_music (the music started there, muted when asked, and the frame loop told the
// audio delay and the music's end) and play_show (the clock read, the timeline built, the
// music started and the frames run).
// Depends on: player_options, failure, archive, archive_places, music_player, pattern_data,
// timeline, frame_loop.
//
// In start-up order:
//     std::uint32_t start_ms;
//     if (int code = load_show_music(program, options, start_ms)) return code;  // before the display
//     ... the display set up ...
//     LoopEnd end;
//     Failure failure = play_show(options, start_ms, backend, end);
//     if (!failure && end == LoopEnd::Teardown) failure = teardown_show();
//     ... the display given back ...
//     return exit_code_after(program, failure);
#pragma once

#include <cstdint>

#include "apps/player_options.hpp"
#include "resources/failure.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

struct MusicPlayer;

// 0 without a failure; otherwise prints the message after the program's prefix ("PROGRAM: "
// in a terminal, nothing on the page) on standard error and returns FAILURE_EXIT_CODE.
int exit_code_after(PlayerProgram program, const Failure& failure);

// The song position the show starts at: --start, the start of the --section's slot, or 0
// (the pattern dump loaded). A start at or past the music's end is refused with one line
// on standard error naming where the music ends; the result is then false.
bool show_start_ms(PlayerProgram program, const PlayerOptions& options, const MusicPlayer& player,
                   std::uint32_t& start_ms);

// The archive read (--archive FILE, else ruk.salad in the working directory, beside the
// program, then in the installed data folder), the music loaded, the pattern dump loaded,
// then show_start_ms. Returns 0 when the show can start; otherwise the line has been printed on
// standard error and the result is the exit code: FAILURE_EXIT_CODE, or 2 for a start
// past the music's end.
int load_show_music(PlayerProgram program, const PlayerOptions& options, std::uint32_t& start_ms);

// Plays the music from start_ms, muted with --mute, and sets the
// loop state's mute flag, audio delay and picture end to match.
Failure start_show_music(const PlayerOptions& options, MusicPlayer& player, std::uint32_t start_ms,
                         FrameLoopState& state);

// The frame clock read, the timeline built, the music started as start_show_music does, and
// the frames run with the display's backend until the show ends (`end` says how). A
// failure before the first frame comes back, and no frame runs. The clock is the system's
// unless the display has its own (the web page's).
Failure play_show(const PlayerOptions& options, std::uint32_t start_ms, const FrameBackend& backend, LoopEnd& end,
                  const FrameClock& clock = system_clock());

}  // namespace textdemo
