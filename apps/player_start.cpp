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

namespace {

// Everything load_show_music reads, in start-up order, up to the first failure.
Failure load_show_resources() {
    if (Failure failure = load_archive_and_music(music_player())) return failure;
    if (Failure failure = load_pattern_data()) return failure;
    return check_timeline(pattern_data());  // before --section reads the spans
}

}  // namespace

int exit_code_after(PlayerProgram program, const Failure& failure) {
    if (!failure) return 0;
    std::fprintf(stderr, "%s%s\n", player_message_prefix(program), failure.message.c_str());
    return FAILURE_EXIT_CODE;
}

bool show_start_ms(PlayerProgram program, const PlayerOptions& options, const MusicPlayer& player,
                   std::uint32_t& start_ms) {
    start_ms = options.start_ms.value_or(0);
    if (options.section > 0) start_ms = timeline_spans(pattern_data(), player.length)[options.section - 1].start_ms;
    if (start_ms < player.length) return true;
    const std::string start = format_song_time(start_ms), end = format_song_time(player.length);
    if (options.section > 0)
        std::fprintf(stderr, "%s--section %d starts at %s, past the music's end at %s\n", player_message_prefix(program),
                     options.section, start.c_str(), end.c_str());
    else
        std::fprintf(stderr, "%s--start %s lies past the music's end at %s\n", player_message_prefix(program),
                     start.c_str(), end.c_str());
    return false;
}

int load_show_music(PlayerProgram program, const PlayerOptions& options, std::uint32_t& start_ms) {
    set_archive_places(places_of_archive(options.archive));
    if (Failure failure = load_show_resources()) return exit_code_after(program, failure);
    return show_start_ms(program, options, music_player(), start_ms) ? 0 : 2;
}

Failure start_show_music(const PlayerOptions& options, MusicPlayer& player, std::uint32_t start_ms,
                         FrameLoopState& state) {
    state.muted = options.mute;
    state.audio_delay_ms = options.audio_delay_ms;
    state.picture_end_ms = player.length;
    if (start_ms > 0) {
        if (Failure failure = set_music_start(player, start_ms)) return failure;
    }
    if (Failure failure = play_music(player)) return failure;
    if (options.mute) set_music_mute(player, true);
    return {};
}

Failure play_show(const PlayerOptions& options, std::uint32_t start_ms, const FrameBackend& backend, LoopEnd& end,
                  const FrameClock& clock) {
    FrameLoopState state = start_frame_loop(clock);
    if (Failure failure = build_timeline()) return failure;
    MusicPlayer& player = music_player();
    if (Failure failure = start_show_music(options, player, start_ms, state)) return failure;
    end = run_frame_loop(clock, music_position_source(player), backend, state);
    return {};
}

}  // namespace textdemo
