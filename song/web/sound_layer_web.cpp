// sound_layer_web: the sound layer of the web build. The browser decodes and plays the MP3
// (web_audio.js, through WebAudio); the length comes from the stream's frame headers, as
// libmpg123 would count it, so the show's timeline is the native build's.
//
// Depends on: mp3_length, web_audio.js (the page's audio context). Without one (Node, the
// capture tool, a browser without WebAudio) or with force_silent_sound_output, the silent
// output keeps time with the steady clock. The position is what is heard: the audio
// context's time since playback began, less the output latency the browser reports.
#include <chrono>
#include <cstdio>

#include "song/mp3_length.hpp"
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

namespace {

bool silent_output_forced = false;

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

struct SoundStream {
    SoundSystem* system = nullptr;
    std::uint64_t rate = 0;
    std::uint64_t total_frames = 0;  // after gapless trimming
    std::uint64_t start_frame = 0;
    bool web_audio = false;          // false: the silent output
    std::int64_t started_ns = 0;
    std::uint64_t last_heard = 0;    // keeps the position from stepping back
};

struct SoundChannel {
    SoundStream* stream = nullptr;
    bool playing = false;
};

struct SoundSystem {
    bool initialised = false;
    bool silent = false;
    SoundStream* stream = nullptr;
    SoundChannel channel;
};

void force_silent_sound_output(bool silent) { silent_output_forced = silent; }

std::int32_t system_create(SoundSystem** system) {
    if (!system) return SOUND_ERR_INVALID_PARAM;
    *system = new SoundSystem;
    return SOUND_OK;
}

std::int32_t system_init(SoundSystem* system, int max_channels) {
    if (!system) return SOUND_ERR_INVALID_HANDLE;
    if (max_channels < 1) return SOUND_ERR_INVALID_PARAM;
    system->silent = silent_output_forced;
    system->initialised = true;
    return SOUND_OK;
}

std::int32_t system_create_stream(SoundSystem* system, const std::uint8_t* data, std::size_t size,
                                  SoundStream** out) {
    if (!system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (!out || (!data && size > 0)) return SOUND_ERR_INVALID_PARAM;
    if (system->stream) return SOUND_ERR_ALREADY_PLAYING;
    const Mp3Length length = scan_mp3_length({data, size});
    if (!length.problem.empty()) return SOUND_ERR_BAD_STREAM;
    auto* stream = new SoundStream{system, length.rate, length.sample_frames};
    stream->web_audio = !system->silent && textdemo_audio_open(data, size, length.rate) == 1;
    if (!system->silent && !stream->web_audio) {
        std::printf("no audio output, the music plays silently (this browser has no WebAudio)\n");
        system->silent = true;
    }
    system->stream = stream;
    *out = stream;
    return SOUND_OK;
}

std::int32_t sound_get_length_ms(SoundStream* stream, std::uint32_t* length_ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (!length_ms) return SOUND_ERR_INVALID_PARAM;
    *length_ms = static_cast<std::uint32_t>(stream->total_frames * 1000u / stream->rate);
    return SOUND_OK;
}

std::int32_t sound_set_start_ms(SoundStream* stream, std::uint32_t ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (stream->system->channel.stream == stream) return SOUND_ERR_ALREADY_PLAYING;
    const std::uint64_t frame = (static_cast<std::uint64_t>(ms) * stream->rate + 999) / 1000;
    if (frame >= stream->total_frames) return SOUND_ERR_INVALID_PARAM;
    stream->start_frame = frame;
    return SOUND_OK;
}

std::int32_t system_play_sound(SoundSystem* system, SoundStream* stream, SoundChannel** channel) {
    if (!system || !stream || stream->system != system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (!channel) return SOUND_ERR_INVALID_PARAM;
    if (system->channel.playing) return SOUND_ERR_ALREADY_PLAYING;
    system->channel = SoundChannel{stream, true};
    stream->started_ns = now_ns();
    if (stream->web_audio)
        textdemo_audio_play(static_cast<double>(stream->start_frame) / static_cast<double>(stream->rate));
    *channel = &system->channel;
    return SOUND_OK;
}

std::int32_t channel_get_position_ms(SoundChannel* channel, std::uint32_t* position_ms) {
    if (!position_ms) return SOUND_ERR_INVALID_PARAM;
    *position_ms = 0;
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    SoundStream& stream = *channel->stream;
    const double seconds = stream.web_audio ? textdemo_audio_heard_seconds()
                                            : static_cast<double>(now_ns() - stream.started_ns) / 1e9;
    stream.last_heard = std::max(stream.last_heard, static_cast<std::uint64_t>(seconds * static_cast<double>(stream.rate)));
    if (stream.last_heard >= stream.total_frames - stream.start_frame) {
        channel->playing = false;
        return SOUND_ERR_INVALID_HANDLE;
    }
    *position_ms = static_cast<std::uint32_t>((stream.start_frame + stream.last_heard) * 1000u / stream.rate);
    return SOUND_OK;
}

std::int32_t channel_is_playing(SoundChannel* channel, bool* playing) {
    if (!playing) return SOUND_ERR_INVALID_PARAM;
    *playing = false;
    if (!channel || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    std::uint32_t position = 0;
    *playing = channel->playing && channel_get_position_ms(channel, &position) == SOUND_OK;
    return SOUND_OK;
}

std::int32_t channel_set_mute(SoundChannel* channel, bool muted) {
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    if (channel->stream->web_audio) textdemo_audio_mute(muted ? 1 : 0);
    return SOUND_OK;
}

std::int32_t sound_release(SoundStream* stream) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (stream->web_audio) textdemo_audio_close();
    SoundSystem* system = stream->system;
    if (system->channel.stream == stream) system->channel = SoundChannel{};
    system->stream = nullptr;
    delete stream;
    return SOUND_OK;
}

std::int32_t system_close(SoundSystem* system) {
    if (!system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (system->stream) sound_release(system->stream);
    system->initialised = false;
    return SOUND_OK;
}

std::int32_t system_release(SoundSystem* system) {
    if (!system) return SOUND_ERR_INVALID_HANDLE;
    if (system->initialised) system_close(system);
    delete system;
    return SOUND_OK;
}

}  // namespace textdemo
