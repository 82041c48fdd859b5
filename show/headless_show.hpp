// headless_show: the show built as the players build it, without sound output or display.
//
// Offers: build_headless_show and end_headless_show, the start-up and teardown of what
// renders the show off screen: the capture tool, the benchmarks and the tests.
// Depends on: text_frame, archive, sound_layer (the silent output), music_player,
// timeline, frame_loop (teardown_show).
//
// The archive is read from where set_archive_path or set_archive_places pointed it. The
// music is loaded on the silent output, which keeps time without a sound device: its
// length ends the last slot.
//
//     set_archive_path(path);
//     MusicPlayer& player = build_headless_show();
//     for (...) draw_song_frame(position);  // then convert, compare, write ...
//     end_headless_show();
#pragma once

namespace textdemo {

struct MusicPlayer;

// Text frame, archive, music on the silent output, timeline; returns the music player.
MusicPlayer& build_headless_show();

// Tears the show down (teardown_show); sound systems made later open a device again.
void end_headless_show();

}  // namespace textdemo
