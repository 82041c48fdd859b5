// music_player: the show's music ("ruk.mp3") and its play position, the master clock.
//
// Offers: MusicPlayer (sound layer handles, last result, length in ms), the
// accessor music_player(), open_music_player (the sound system created and initialised),
// load_music, load_archive_and_music (the start-up steps every program shares),
// set_music_start, play_music, release_music, query_music_position, music_finished and
// set_music_mute (the per-frame calls of the frame loop), and sound_failure.
// Depends on: sound_layer, archive (load_resource_archive, find_resource), failure.
//
// Every failing sound call except the position query and mute is a Failure
// "FMOD error! (%d) %s" with the sound layer's code and text.
#pragma once

#include <cstdint>

#include "resources/failure.hpp"
#include "song/sound_layer.hpp"

namespace textdemo {

struct MusicPlayer {
    SoundSystem* system = nullptr;
    SoundStream* sound = nullptr;     // null until load_music
    SoundChannel* channel = nullptr;  // null until play_music
    std::int32_t last_result = 0;
    std::uint32_t length = 0;         // stream length in milliseconds
};

// The player, created on first use without a sound system.
MusicPlayer& music_player();

// System created and initialised; does nothing once the system exists.
Failure open_music_player(MusicPlayer& player);

// Creates the stream from the archive entry "ruk.mp3" and reads its length.
Failure load_music(MusicPlayer& player);

// The archive read (load_resource_archive), the player opened, then load_music: the
// steps every program that plays or renders the show starts with, up to the first failure.
Failure load_archive_and_music(MusicPlayer& player);

// Makes play_music begin at start_ms (exact to the sample) instead of 0; start_ms must lie
// before the music's end.
Failure set_music_start(MusicPlayer& player, std::uint32_t start_ms);

// Starts playback at position 0, or where set_music_start said.
Failure play_music(MusicPlayer& player);

// Releases the sound, closes and releases the system, frees the player; stops at the first
// call that fails.
Failure release_music(MusicPlayer& player);

// Reads the play position in ms; returns the result code (also kept in last_result). Not fatal: the frame loop interprets the code.
std::int32_t query_music_position(MusicPlayer& player, std::uint32_t& position_ms);

// True once the music has been heard to its end, and when none plays (no channel). A
// device that has not started yet is not the end: the music is still to come.
bool music_finished(MusicPlayer& player);

// Mutes (true) or unmutes the channel; the clock keeps running. Result ignored.
void set_music_mute(MusicPlayer& player, bool muted);

// Nothing for SOUND_OK; otherwise "FMOD error! (%d) %s" with the code and its text.
Failure sound_failure(std::int32_t result);

}  // namespace textdemo
