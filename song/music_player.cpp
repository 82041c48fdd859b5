// music_player: the MusicPlayer singleton over the sound layer.
//
// Depends on: sound_layer, archive, failure. Each call stores its result in last_result;
// every failure except the per-frame calls comes back with the sound layer's code and text.
#include "song/music_player.hpp"

#include <string>

#include "resources/archive.hpp"

namespace textdemo {

namespace {

constexpr const char* MUSIC_NAME = "ruk.mp3";

MusicPlayer* instance = nullptr;

Failure checked(MusicPlayer& player, std::int32_t result) {
    player.last_result = result;
    return sound_failure(result);
}

}  // namespace

Failure sound_failure(std::int32_t result) {
    if (result == SOUND_OK) return {};
    return {"FMOD error! (" + std::to_string(result) + ") " + sound_error_string(result)};
}

MusicPlayer& music_player() {
    if (!instance) instance = new MusicPlayer;
    return *instance;
}

Failure open_music_player(MusicPlayer& player) {
    if (player.system) return {};
    if (Failure failure = checked(player, system_create(&player.system))) return failure;
    return checked(player, system_init(player.system, 1));
}

Failure load_music(MusicPlayer& player) {
    const ResourceEntry* entry = nullptr;
    if (Failure failure = find_resource(resource_archive(), MUSIC_NAME, entry)) return failure;
    if (Failure failure = checked(player, system_create_stream(player.system, entry->data, entry->size, &player.sound)))
        return failure;
    return checked(player, sound_get_length_ms(player.sound, &player.length));
}

Failure load_archive_and_music(MusicPlayer& player) {
    if (Failure failure = load_resource_archive()) return failure;
    if (Failure failure = open_music_player(player)) return failure;
    return load_music(player);
}

Failure set_music_start(MusicPlayer& player, std::uint32_t start_ms) {
    return checked(player, sound_set_start_ms(player.sound, start_ms));
}

Failure play_music(MusicPlayer& player) {
    return checked(player, system_play_sound(player.system, player.sound, &player.channel));
}

std::int32_t query_music_position(MusicPlayer& player, std::uint32_t& position_ms) {
    player.last_result = channel_get_position_ms(player.channel, &position_ms);
    return player.last_result;
}

bool music_finished(MusicPlayer& player) {
    bool playing = false;
    channel_is_playing(player.channel, &playing);
    return !playing;
}

void set_music_mute(MusicPlayer& player, bool muted) { channel_set_mute(player.channel, muted); }

Failure release_music(MusicPlayer& player) {
    if (Failure failure = checked(player, sound_release(player.sound))) return failure;
    player.sound = nullptr;
    player.channel = nullptr;
    if (Failure failure = checked(player, system_close(player.system))) return failure;
    if (Failure failure = checked(player, system_release(player.system))) return failure;
    player.system = nullptr;
    if (&player == instance) {
        delete instance;
        instance = nullptr;
    }
    return {};
}

}  // namespace textdemo
