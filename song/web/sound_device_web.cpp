// sound_device_web: the web build's sound device. The browser decodes and plays the MP3
// (web_audio.js, through WebAudio); the length comes from the stream's frame headers, as
// libmpg123 would count it, so the show's timeline is the native build's.
//
// Depends on: mp3_length, web_audio.js (the page's audio context). Without one (Node, the
// capture tool, a browser without WebAudio) the music is inaudible and the sound layer's
// silent output keeps time. What is heard is the audio context's time since playback
// began, less the output latency the browser reports.
#include <cstdio>

#include "song/mp3_length.hpp"
#include "song/sound_device.hpp"
#include "song/sound_layer.hpp"

extern "C" {
// 1 when the page has an audio context: the bytes are copied and decoding has begun.
int textdemo_audio_open(const std::uint8_t* data, std::size_t size, std::uint32_t rate);
// Plays the decoded music from offset seconds on.
void textdemo_audio_play(double offset_seconds);
// Seconds of the music heard since play (never negative).
double textdemo_audio_heard_seconds();
void textdemo_audio_mute(int muted);
void textdemo_audio_close();
}

namespace textdemo {

struct DeviceMusic {
    std::uint64_t rate = 0;
    bool web_audio = false;
};

// The page's audio context needs nothing before the music.
bool device_open_output() { return true; }

void device_close_output() {}

std::int32_t device_load_music(const std::uint8_t* data, std::size_t size, bool silent, DeviceMusic*& music,
                               MusicFormat& format) {
    const Mp3Length length = scan_mp3_length({data, size});
    if (!length.problem.empty()) return SOUND_ERR_BAD_STREAM;
    music = new DeviceMusic{length.rate, !silent && textdemo_audio_open(data, size, length.rate) == 1};
    if (!silent && !music->web_audio)
        std::printf("no audio output, the music plays silently (this browser has no WebAudio)\n");
    format = {length.rate, length.sample_frames, music->web_audio};
    return SOUND_OK;
}

// The browser's buffer starts playing at any offset.
std::int32_t device_seek_music(DeviceMusic&, std::uint64_t) { return SOUND_OK; }

void device_play_music(DeviceMusic& music, std::uint64_t start_frame) {
    textdemo_audio_play(static_cast<double>(start_frame) / static_cast<double>(music.rate));
}

// The browser plays the whole decoded buffer: the count alone says where it ends.
std::uint64_t device_heard_frames(DeviceMusic& music, bool&) {
    return static_cast<std::uint64_t>(textdemo_audio_heard_seconds() * static_cast<double>(music.rate));
}

void device_mute_music(DeviceMusic&, bool muted) { textdemo_audio_mute(muted ? 1 : 0); }

void device_release_music(DeviceMusic* music) {
    if (music->web_audio) textdemo_audio_close();
    delete music;
}

}  // namespace textdemo
