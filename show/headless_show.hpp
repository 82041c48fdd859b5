// headless_show: the show built as the players build it, without sound output or display.
//
// Offers: build_headless_show and end_headless_show, the start-up and teardown of what
// renders the show off screen: the capture tool, the benchmarks and the tests.
// Depends on: failure, text_frame, sound_layer (the silent output), music_player (the
// archive and the music), timeline, frame_loop (teardown_show).
//
// The archive is read from where set_archive_path or set_archive_places pointed it. The
// music is loaded on the silent output, which keeps time without a sound device: its
// length ends the last slot.
//
//     set_archive_path(path);
//     if (Failure failure = build_headless_show()) ... report it and end;
//     for (...) draw_song_frame(position);  // then convert, compare, write ...
//     end_headless_show();
#pragma once

#include "resources/failure.hpp"

namespace textdemo {

// Text frame, archive, music on the silent output (music_player() has its length),
// timeline; stops at the first step that fails.
Failure build_headless_show();

// Tears the show down (teardown_show); sound systems made later open a device again.
Failure end_headless_show();

}  // namespace textdemo
