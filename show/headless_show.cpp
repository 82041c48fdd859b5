// headless_show: the players' start-up order with the silent sound output.
#include "show/headless_show.hpp"

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "song/sound_layer.hpp"

namespace textdemo {

MusicPlayer& build_headless_show() {
    text_frame();
    resource_archive();
    force_silent_sound_output(true);
    MusicPlayer& player = music_player();
    load_music(player);
    build_timeline();
    return player;
}

void end_headless_show() {
    teardown_show();
    force_silent_sound_output(false);
}

}  // namespace textdemo
