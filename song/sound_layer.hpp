// sound_layer: our small sound library: an MP3 stream from memory played through the
// build's sound device (libmpg123 and one SDL2 audio device natively, the browser's
// WebAudio on the page), or through a silent real-time output when no device can be had.
//
// Offers: result codes and sound_error_string, and the operations the music player needs
// (create/init/close/release a system, create a stream from memory, its exact length in
// ms, a start later in the stream, play, play position in ms, whether the channel still
// plays, mute, release).
// Depends on: sound_device (sound_device_sdl.cpp natively, web/sound_device_web.cpp in the
// web build); the handles, their checks and the clock (sound_layer.cpp) and the result
// texts (sound_errors.cpp) are shared by both.
//
// The position is that of what is being heard: samples handed to the device minus the
// device's buffer, less any silence given while decoding fell behind. A device that has not
// started yet (a sound server or headset waking up) has played nothing: the position stays
// at the start, the channel plays. Once the stream has been heard to its end the channel is
// finished: channel_is_playing says so, and the position query answers 0 with
// SOUND_ERR_INVALID_HANDLE, as for a freed channel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textdemo {

// Result codes of the sound layer (0 = success). The frame loop also accepts a position
// reported with SOUND_ERR_INVALID_HANDLE (0 once the channel is finished).
enum SoundResult : std::int32_t {
    SOUND_OK = 0,
    SOUND_ERR_BAD_STREAM = 1,       // the bytes are not a decodable MP3 stream
    SOUND_ERR_DECODER = 20,         // the MP3 decoder could not be set up
    SOUND_ERR_INVALID_HANDLE = 36,  // null, released or finished object
    SOUND_ERR_INVALID_PARAM = 37,
    SOUND_ERR_NOT_INITIALISED = 46, // the system has not been initialised
    SOUND_ERR_ALREADY_PLAYING = 47,
};

// Text of a result code; "Unknown error." for codes outside the table.
const char* sound_error_string(std::int32_t result);

struct SoundSystem;
struct SoundStream;
struct SoundChannel;

// Makes every later system_init use the silent output without trying an audio device
// (tools and tests that need the clock but no sound).
void force_silent_sound_output(bool silent);

std::int32_t system_create(SoundSystem** system);
// Opens the audio output, or the silent fallback, announced by one line of at most 80
// characters on stdout; what the audio libraries print meanwhile never reaches the terminal.
std::int32_t system_init(SoundSystem* system, int max_channels);
// Streams the MP3 held at data (not copied: it must outlive the stream).
std::int32_t system_create_stream(SoundSystem* system, const std::uint8_t* data, std::size_t size,
                                  SoundStream** stream);
std::int32_t sound_get_length_ms(SoundStream* stream, std::uint32_t* length_ms);
// Makes playback begin at ms instead of 0, exact to the sample (the first sample at or
// after ms), so the position reads ms when it starts. Only before the stream is played;
// ms must lie before the stream's end.
std::int32_t sound_set_start_ms(SoundStream* stream, std::uint32_t ms);
// Starts the stream at its start (position 0 unless set) on the system's one channel.
std::int32_t system_play_sound(SoundSystem* system, SoundStream* stream, SoundChannel** channel);
std::int32_t channel_get_position_ms(SoundChannel* channel, std::uint32_t* position_ms);
// Writes true while the channel's stream has not been heard to its end (also before its
// device has started), false once it has; false with SOUND_ERR_INVALID_HANDLE for no channel.
std::int32_t channel_is_playing(SoundChannel* channel, bool* playing);
std::int32_t channel_set_mute(SoundChannel* channel, bool muted);
std::int32_t sound_release(SoundStream* stream);
std::int32_t system_close(SoundSystem* system);
std::int32_t system_release(SoundSystem* system);

}  // namespace textdemo
