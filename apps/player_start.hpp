// player_start: what both players do with their options while starting the show.
//
// Offers: use_archive_of (where the archive is read from), show_start_ms (where the show
// begins, checked against the music), load_show_music (both, with the archive read and
// the music loaded) and start_show_music (the music started there, muted when asked, and
// the frame loop told the audio delay and the music's end) and play_show (the clock read,
// the timeline built, the music started and the frames run).
// Depends on: player_options, archive, archive_places, music_player, pattern_data, timeline,
// frame_loop.
//
// In start-up order:
//     std::uint32_t start_ms;
//     if (!load_show_music(program, options, start_ms)) return 2;  // before the display
//     ... the display set up ...
//     if (play_show(options, start_ms, backend) == LoopEnd::Teardown) teardown_show();
#pragma once

#include <cstdint>

#include "apps/player_options.hpp"
#include "show/frame_loop.hpp"

namespace textdemo {

struct MusicPlayer;

// --archive FILE, else ruk.salad in the working directory, beside the program, then in the
// installed data folder.
void use_archive_of(const PlayerOptions& options);

// The song position the show starts at: --start, the start of the --section's slot, or 0.
// A start at or past the music's end is refused with one line on standard error naming
// where the music ends; the result is then false.
bool show_start_ms(PlayerProgram program, const PlayerOptions& options, const MusicPlayer& player,
                   std::uint32_t& start_ms);

// use_archive_of, the archive read, the music loaded, then show_start_ms.
bool load_show_music(PlayerProgram program, const PlayerOptions& options, std::uint32_t& start_ms);

// Plays the music from start_ms (when there is a sound), muted with --mute, and sets the
// loop state's mute flag, audio delay and picture end to match.
void start_show_music(const PlayerOptions& options, MusicPlayer& player, std::uint32_t start_ms,
                      FrameLoopState& state);

// The frame clock read, the timeline built, the music started as start_show_music does, and
// the frames run with the display's backend until the show ends.
LoopEnd play_show(const PlayerOptions& options, std::uint32_t start_ms, const FrameBackend& backend);

}  // namespace textdemo
