// sound_layer: the handles, their checks and the clock, shared by every build; the sound
// itself is the build's sound_device.
//
// Depends on: sound_device, std::chrono (the silent output's clock).
//
// The system has one stream and one channel. The position counts music frames heard from
// the stream's start: the device's count where the music is audible, real time on the
// silent output; it never steps back, and the channel is finished once the count reaches
// the stream's end or the device has run out of music.
#include "song/sound_layer.hpp"

#include <algorithm>
#include <chrono>

#include "song/sound_device.hpp"

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
    DeviceMusic* music = nullptr;
    MusicFormat format;
    std::uint64_t start_frame = 0;  // where playback begins; positions count from the stream's start
    std::int64_t started_ns = 0;    // silent output: start of playback
    std::uint64_t last_heard = 0;   // keeps the reported position from stepping back
};

struct SoundChannel {
    SoundStream* stream = nullptr;
    bool playing = false;
};

struct SoundSystem {
    bool initialised = false;
    bool silent = false;       // no audio output: time only
    bool output_open = false;  // the device's output is ours to close
    SoundStream* stream = nullptr;
    SoundChannel channel;
};

namespace {

// Music frames heard since play, never stepping back; marks the channel finished at the end.
std::uint64_t heard_frames(SoundChannel& channel) {
    SoundStream& stream = *channel.stream;
    bool ran_out = false;
    const std::uint64_t heard =
        stream.format.audible
            ? device_heard_frames(*stream.music, ran_out)
            : static_cast<std::uint64_t>(now_ns() - stream.started_ns) * stream.format.rate / 1000000000u;
    stream.last_heard = std::max(stream.last_heard, heard);
    if (ran_out || stream.last_heard >= stream.format.total_frames - stream.start_frame) channel.playing = false;
    return stream.last_heard;
}

}  // namespace

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
    if (!system->silent) {
        system->output_open = device_open_output();
        system->silent = !system->output_open;
    }
    system->initialised = true;
    return SOUND_OK;
}

std::int32_t system_create_stream(SoundSystem* system, const std::uint8_t* data, std::size_t size,
                                  SoundStream** out) {
    if (!system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (!out || (!data && size > 0)) return SOUND_ERR_INVALID_PARAM;
    if (system->stream) return SOUND_ERR_ALREADY_PLAYING;
    auto* stream = new SoundStream;
    stream->system = system;
    if (const std::int32_t result = device_load_music(data, size, system->silent, stream->music, stream->format)) {
        delete stream;
        return result;
    }
    if (!stream->format.audible) system->silent = true;
    system->stream = stream;
    *out = stream;
    return SOUND_OK;
}

std::int32_t sound_get_length_ms(SoundStream* stream, std::uint32_t* length_ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (!length_ms) return SOUND_ERR_INVALID_PARAM;
    *length_ms = static_cast<std::uint32_t>(stream->format.total_frames * 1000u / stream->format.rate);
    return SOUND_OK;
}

std::int32_t sound_set_start_ms(SoundStream* stream, std::uint32_t ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (stream->system->channel.stream == stream) return SOUND_ERR_ALREADY_PLAYING;
    const std::uint64_t frame = (static_cast<std::uint64_t>(ms) * stream->format.rate + 999) / 1000;
    if (frame >= stream->format.total_frames) return SOUND_ERR_INVALID_PARAM;
    if (const std::int32_t result = device_seek_music(*stream->music, frame)) return result;
    stream->start_frame = frame;
    return SOUND_OK;
}

std::int32_t system_play_sound(SoundSystem* system, SoundStream* stream, SoundChannel** channel) {
    if (!system || !stream || stream->system != system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (!channel) return SOUND_ERR_INVALID_PARAM;
    if (system->channel.playing) return SOUND_ERR_ALREADY_PLAYING;
    system->channel = SoundChannel{stream, true};
    if (stream->format.audible) device_play_music(*stream->music, stream->start_frame);
    stream->started_ns = now_ns();
    *channel = &system->channel;
    return SOUND_OK;
}

std::int32_t channel_get_position_ms(SoundChannel* channel, std::uint32_t* position_ms) {
    if (!position_ms) return SOUND_ERR_INVALID_PARAM;
    *position_ms = 0;
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    const std::uint64_t heard = heard_frames(*channel);
    if (!channel->playing) return SOUND_ERR_INVALID_HANDLE;
    const SoundStream& stream = *channel->stream;
    *position_ms = static_cast<std::uint32_t>((stream.start_frame + heard) * 1000u / stream.format.rate);
    return SOUND_OK;
}

std::int32_t channel_is_playing(SoundChannel* channel, bool* playing) {
    if (!playing) return SOUND_ERR_INVALID_PARAM;
    *playing = false;
    if (!channel || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    if (channel->playing) heard_frames(*channel);
    *playing = channel->playing;
    return SOUND_OK;
}

std::int32_t channel_set_mute(SoundChannel* channel, bool muted) {
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    if (channel->stream->format.audible) device_mute_music(*channel->stream->music, muted);
    return SOUND_OK;
}

std::int32_t sound_release(SoundStream* stream) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    device_release_music(stream->music);
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
    if (system->output_open) device_close_output();
    system->output_open = false;
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
