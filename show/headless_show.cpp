// headless_show: the players' start-up order with the silent sound output.
#include "show/headless_show.hpp"

#include "frame/text_frame.hpp"
#include "show/frame_loop.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "song/sound_layer.hpp"

namespace textdemo {

Failure build_headless_show() {
    text_frame();
    force_silent_sound_output(true);
    if (Failure failure = load_archive_and_music(music_player())) return failure;
    return build_timeline();
}

Failure end_headless_show() {
    Failure failure = teardown_show();
    force_silent_sound_output(false);
    return failure;
}

}  // namespace textdemo
