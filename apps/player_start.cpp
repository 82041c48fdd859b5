// player_start: archive places, the start position and the music's start for both players.
#include "apps/player_start.hpp"

#include <cstdio>
#include <string>

#include "resources/archive.hpp"
#include "resources/archive_places.hpp"
#include "show/frame_loop.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"

namespace textdemo {

void use_archive_of(const PlayerOptions& options) {
    if (!options.archive.empty()) set_archive_path(options.archive);
    else set_archive_places(archive_places(running_program_folder()));
}

bool show_start_ms(PlayerProgram program, const PlayerOptions& options, const MusicPlayer& player,
                   std::uint32_t& start_ms) {
    start_ms = options.start_ms.value_or(0);
    if (options.section > 0) start_ms = timeline_spans(pattern_data(), player.length)[options.section - 1].start_ms;
    if (start_ms < player.length) return true;
    const std::string start = format_song_time(start_ms), end = format_song_time(player.length);
    if (options.section > 0)
        std::fprintf(stderr, "%s: --section %d starts at %s, past the music's end at %s\n", player_program_name(program),
                     options.section, start.c_str(), end.c_str());
    else
        std::fprintf(stderr, "%s: --start %s lies past the music's end at %s\n", player_program_name(program),
                     start.c_str(), end.c_str());
    return false;
}

bool load_show_music(PlayerProgram program, const PlayerOptions& options, std::uint32_t& start_ms) {
    use_archive_of(options);
    resource_archive();
    MusicPlayer& player = music_player();
    load_music(player);
    return show_start_ms(program, options, player, start_ms);
}

void start_show_music(const PlayerOptions& options, MusicPlayer& player, std::uint32_t start_ms,
                      FrameLoopState& state) {
    if (player.sound) {
        if (start_ms > 0) set_music_start(player, start_ms);
        play_music(player);
        if (options.mute) set_music_mute(player, true);
    }
    state.muted = options.mute;
    state.audio_delay_ms = options.audio_delay_ms;
    state.picture_end_ms = player.length;
}

LoopEnd play_show(const PlayerOptions& options, std::uint32_t start_ms, const FrameBackend& backend) {
    const FrameClock clock = system_clock();
    FrameLoopState state = start_frame_loop(clock);
    build_timeline();
    MusicPlayer& player = music_player();
    start_show_music(options, player, start_ms, state);
    return run_frame_loop(clock, music_position_source(player), backend, state);
}

}  // namespace textdemo
