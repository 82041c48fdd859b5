// music_player: the MusicPlayer singleton over the sound layer.
//
// Depends on: sound_layer, archive. Each call stores its result in last_result; every
// failure except the per-frame calls is fatal with the sound layer's code and text.
#include "song/music_player.hpp"

#include <cstdio>
#include <cstdlib>

#include "resources/archive.hpp"

namespace textdemo {

namespace {

constexpr const char* MUSIC_NAME = "ruk.mp3";

// A plain pointer: a fatal exit leaves the player (and its sound handles) reachable.
MusicPlayer* instance = nullptr;

void checked(MusicPlayer& player, std::int32_t result) {
    player.last_result = result;
    fail_on_sound_error(result);
}

}  // namespace

void fail_on_sound_error(std::int32_t result) {
    if (result == SOUND_OK) return;
    std::printf("FMOD error! (%d) %s\n", result, sound_error_string(result));
    std::fflush(stdout);
    std::exit(-1);
}

bool check_sound_version(std::uint32_t version) {
    if (version >= REQUIRED_SOUND_VERSION) return true;
    std::printf("Error!  You are using an old version of FMOD %08x.  This program requires %08x\n", version,
                REQUIRED_SOUND_VERSION);
    std::fflush(stdout);
    return false;
}

MusicPlayer& music_player() {
    if (!instance) {
        instance = new MusicPlayer;
        MusicPlayer& player = *instance;
        checked(player, system_create(&player.system));
        checked(player, system_get_version(player.system, &player.version));
        // An old layer is reported and left uninitialised; loading the music then fails.
        if (check_sound_version(player.version)) checked(player, system_init(player.system, 1));
    }
    return *instance;
}

void load_music(MusicPlayer& player) {
    const ResourceEntry& entry = find_resource(resource_archive(), MUSIC_NAME);
    checked(player, system_create_stream(player.system, entry.data, entry.size, &player.sound));
    checked(player, sound_get_length_ms(player.sound, &player.length));
}

void set_music_start(MusicPlayer& player, std::uint32_t start_ms) {
    checked(player, sound_set_start_ms(player.sound, start_ms));
}

void play_music(MusicPlayer& player) {
    checked(player, system_play_sound(player.system, player.sound, &player.channel));
}

std::int32_t query_music_position(MusicPlayer& player, std::uint32_t& position_ms) {
    system_update(player.system);
    player.last_result = channel_get_position_ms(player.channel, &position_ms);
    return player.last_result;
}

void set_music_mute(MusicPlayer& player, bool muted) { channel_set_mute(player.channel, muted); }

void release_music(MusicPlayer& player) {
    checked(player, sound_release(player.sound));
    player.sound = nullptr;
    player.channel = nullptr;
    checked(player, system_close(player.system));
    checked(player, system_release(player.system));
    player.system = nullptr;
    if (&player == instance) {
        delete instance;
        instance = nullptr;
    }
}

}  // namespace textdemo
