// sound_device: the sound output behind the sound layer's handles, the one part each build
// has its own: sound_device_sdl.cpp natively (libmpg123 decodes, an SDL2 audio device
// plays), web/sound_device_web.cpp in the web build (the browser decodes and plays).
//
// Offers (to sound_layer.cpp only): DeviceMusic, MusicFormat and the calls below.
// Depends on: nothing here; each implementation on its libraries.
//
// Contract: sound_layer checks every handle and argument before it calls, and keeps the
// clock of the silent output itself. A music that is not audible (silent asked, or no
// device could be had) is only read for its format; the calls that play, report what is
// heard and mute are made only for an audible one. A DeviceMusic lives from
// device_load_music to device_release_music.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textdemo {

struct DeviceMusic;

struct MusicFormat {
    std::uint64_t rate = 0;          // sample frames a second
    std::uint64_t total_frames = 0;  // the whole stream, after gapless trimming
    bool audible = false;            // false: the music plays on the silent output
};

// Readies the build's audio output; false (after one line saying why on stdout) leaves the
// system on the silent output.
bool device_open_output();
void device_close_output();

// Reads the MP3 at data (which outlives the music) for its format, and unless `silent`
// opens the device for it; a device that cannot be had is said in one line on stdout and
// leaves the music inaudible. SOUND_OK, SOUND_ERR_BAD_STREAM or SOUND_ERR_DECODER.
std::int32_t device_load_music(const std::uint8_t* data, std::size_t size, bool silent, DeviceMusic*& music,
                               MusicFormat& format);

// Makes the music begin at `frame` (before its end); SOUND_OK or SOUND_ERR_BAD_STREAM.
std::int32_t device_seek_music(DeviceMusic& music, std::uint64_t frame);

// Plays from where it was sought (start_frame, 0 unless sought).
void device_play_music(DeviceMusic& music, std::uint64_t start_frame);

// Music frames heard since play began, leaving out any silence the device was given while
// the music fell behind; `ran_out` becomes true once the device has played all the music it
// will ever get (before the count says so).
std::uint64_t device_heard_frames(DeviceMusic& music, bool& ran_out);

void device_mute_music(DeviceMusic& music, bool muted);

// Stops and frees everything of the music.
void device_release_music(DeviceMusic* music);

}  // namespace textdemo
