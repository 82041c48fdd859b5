// sound_layer: MP3 from memory through libmpg123, played by an SDL2 audio callback or by a
// silent output that only keeps time.
//
// Depends on: libmpg123, SDL2, library_chatter, std::thread.
//
// Three threads meet here. While a device plays, a decoding thread of the stream's own owns
// the decoder and keeps a ring of decoded samples about two seconds ahead; SDL's audio
// callback only copies from that ring (a busy machine delays the decoding thread without
// starving the device); the main thread reads the clock. The ring and the clock are shared
// through atomics only, each counter written by one thread. Opening and closing the device
// happen without library chatter: without a sound card the audio libraries print a dozen
// lines of their configuration troubles.
#include "song/sound_layer.hpp"

#include <SDL.h>
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "song/library_chatter.hpp"

namespace textdemo {

namespace {

bool silent_output_forced = false;

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The stream's bytes as a seekable file for the decoder.
struct MemoryReader {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t offset = 0;
};

ssize_t read_memory(void* handle, void* buffer, size_t count) {
    auto* reader = static_cast<MemoryReader*>(handle);
    const std::size_t n = std::min(count, reader->size - reader->offset);
    if (n == 0) return 0;
    std::memcpy(buffer, reader->data + reader->offset, n);
    reader->offset += n;
    return static_cast<ssize_t>(n);
}

off_t seek_memory(void* handle, off_t offset, int whence) {
    auto* reader = static_cast<MemoryReader*>(handle);
    const off_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? static_cast<off_t>(reader->offset)
                       : whence == SEEK_END ? static_cast<off_t>(reader->size)
                                            : -1;
    if (base < 0 || offset < -base || offset > static_cast<off_t>(reader->size) - base) return -1;
    reader->offset = static_cast<std::size_t>(base + offset);
    return static_cast<off_t>(reader->offset);
}

constexpr std::uint64_t NOT_ENDED = std::numeric_limits<std::uint64_t>::max();
// 4096 frames (93 ms at 44.1 kHz) ride out the scheduling delays of a busy desktop.
constexpr Uint16 DEVICE_BUFFER_FRAMES = 4096;
constexpr std::uint32_t RING_SECONDS = 2;
// The decoding thread tops the ring up once this many frames are free, and looks again
// after DECODE_PAUSE otherwise.
constexpr std::size_t DECODE_STEP_FRAMES = 8192;
constexpr auto DECODE_PAUSE = std::chrono::milliseconds(20);

// Decoded bytes between one writer (the decoding thread) and one reader (the audio
// callback). Both counters only grow; the difference is what waits in the ring.
struct SampleRing {
    std::vector<std::uint8_t> bytes;
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> read{0};
    std::atomic<bool> complete{false};  // the decoder ran dry: written is final
};

}  // namespace

struct SoundStream {
    SoundSystem* system = nullptr;
    mpg123_handle* decoder = nullptr;
    MemoryReader reader;
    long rate = 0;
    int channels = 0;
    std::uint64_t total_frames = 0;  // exact, from a full scan with gapless trimming
    std::uint64_t start_frame = 0;   // where playback begins; positions count from the stream's start
    SDL_AudioDeviceID device = 0;    // 0: silent output
    std::uint64_t device_frames = 0; // frames of the device's buffer, given at each callback
    std::uint64_t server_frames = 0; // frames a sound server holds besides them

    // Decoding ahead: the ring, and the thread that fills it while the device plays.
    SampleRing ring;
    std::thread decoding;
    std::mutex decoding_lock;
    std::condition_variable decoding_wake;
    bool decoding_stops = false;  // under decoding_lock

    // Written by the audio callback. Frames count in device time: music and silence alike.
    std::atomic<std::uint64_t> frames_fed{0};         // frames handed to the device since playback began
    std::atomic<std::uint64_t> gap_frames{0};         // of those, silence given while the ring was empty
    std::atomic<std::uint64_t> end_frame{NOT_ENDED};  // frames_fed where the music ran out
    std::atomic<std::int64_t> fed_at_ns{0};           // time of the last callback
    std::atomic<bool> muted{false};

    // Main thread only.
    std::int64_t started_ns = 0;  // silent output: start of playback
    std::uint64_t last_heard = 0; // keeps the reported position from stepping back
};

struct SoundChannel {
    SoundStream* stream = nullptr;
    bool playing = false;
};

struct SoundSystem {
    bool initialised = false;
    bool silent = false;       // no audio device: time only
    bool sdl_audio = false;    // the SDL audio subsystem is ours to quit
    SoundStream* stream = nullptr;
    SoundChannel channel;
};

namespace {

// One line that fits an 80-column terminal: SDL's reason is cut short where it would not.
void say_silent(const char* reason) {
    constexpr std::string_view LEAD = "no audio device, the music plays silently";
    constexpr std::size_t LINE_WIDTH = 80;
    constexpr std::size_t ROOM = LINE_WIDTH - LEAD.size() - 3;  // " (" and ")"
    const std::string_view why(reason);
    if (why.size() <= ROOM) {
        std::printf("%s (%s)\n", LEAD.data(), reason);
    } else {
        std::printf("%s (%.*s...)\n", LEAD.data(), static_cast<int>(ROOM - 3), reason);
    }
    std::fflush(stdout);
}

// Decodes into the ring until it holds `wanted` bytes or the stream ends; false once it has
// ended. Only the ring's writer calls it.
bool decode_into_ring(SoundStream& stream, std::size_t wanted) {
    SampleRing& ring = stream.ring;
    const std::size_t capacity = ring.bytes.size();
    std::uint64_t written = ring.written.load(std::memory_order_relaxed);
    for (;;) {
        const std::size_t held = static_cast<std::size_t>(written - ring.read.load(std::memory_order_acquire));
        if (held >= wanted) return true;
        const std::size_t at = static_cast<std::size_t>(written % capacity);
        const std::size_t room = std::min(wanted - held, capacity - at);
        size_t got = 0;
        const int result = mpg123_read(stream.decoder, ring.bytes.data() + at, room, &got);
        written += got;
        ring.written.store(written, std::memory_order_release);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            ring.complete.store(true, std::memory_order_release);
            return false;
        }
    }
}

void decode_ahead(SoundStream* stream) {
    const std::size_t step = DECODE_STEP_FRAMES * 2 * static_cast<std::size_t>(stream->channels);
    const std::size_t capacity = stream->ring.bytes.size();
    std::unique_lock lock(stream->decoding_lock);
    while (!stream->decoding_stops) {
        const std::uint64_t held = stream->ring.written.load() - stream->ring.read.load();
        if (capacity - held >= step) {
            lock.unlock();
            const bool more = decode_into_ring(*stream, capacity);
            lock.lock();
            if (!more) return;
        }
        stream->decoding_wake.wait_for(lock, DECODE_PAUSE, [&] { return stream->decoding_stops; });
    }
}

void stop_decoding(SoundStream& stream) {
    if (!stream.decoding.joinable()) return;
    {
        std::lock_guard lock(stream.decoding_lock);
        stream.decoding_stops = true;
    }
    stream.decoding_wake.notify_one();
    stream.decoding.join();
}

// The audio callback: copies what the ring holds, silence for the rest. Silence while the
// decoder is still running is a gap in the music, counted so the clock leaves it out.
void fill_audio(void* userdata, Uint8* out, int length) {
    auto* stream = static_cast<SoundStream*>(userdata);
    SampleRing& ring = stream->ring;
    const std::size_t frame_bytes = 2 * static_cast<std::size_t>(stream->channels);
    const auto total = static_cast<std::size_t>(length);
    const std::size_t capacity = ring.bytes.size();
    const bool complete = ring.complete.load(std::memory_order_acquire);
    const std::uint64_t read = ring.read.load(std::memory_order_relaxed);
    const std::uint64_t written = ring.written.load(std::memory_order_acquire);
    const std::size_t done = static_cast<std::size_t>(std::min<std::uint64_t>(total, written - read));
    const std::size_t at = static_cast<std::size_t>(read % capacity);
    const std::size_t first = std::min(done, capacity - at);
    std::memcpy(out, ring.bytes.data() + at, first);
    std::memcpy(out + first, ring.bytes.data(), done - first);
    ring.read.store(read + done, std::memory_order_release);
    std::memset(out + done, 0, total - done);
    if (stream->muted.load()) std::memset(out, 0, total);

    const std::uint64_t fed = stream->frames_fed.load();
    if (done < total && stream->end_frame.load() == NOT_ENDED) {
        if (complete && read + done == written) stream->end_frame.store(fed + done / frame_bytes);
        else stream->gap_frames.fetch_add((total - done) / frame_bytes);
    }
    stream->fed_at_ns.store(now_ns());
    stream->frames_fed.store(fed + total / frame_bytes);
}

// Opens the device for the stream's format; false leaves the stream on the silent output.
bool open_device(SoundStream& stream) {
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(stream.rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(stream.channels);
    wanted.samples = DEVICE_BUFFER_FRAMES;
    wanted.callback = fill_audio;
    wanted.userdata = &stream;
    SDL_AudioSpec obtained{};
    // SDL's audio thread asks for time-critical priority: real-time scheduling where the
    // system grants it, so busy processes beside the show do not keep it waiting.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    stream.device = without_library_chatter([&] { return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0); });
    if (stream.device == 0) return false;
    stream.device_frames = obtained.samples;
    // SDL asks PulseAudio for a latency of one buffer and lets the server adjust the sink to
    // it (PA_STREAM_ADJUST_LATENCY), which then holds half a buffer in the sink besides the
    // buffer just given: the picture was 47 ms ahead with 4096 frames without this
    // (bench/picture_sound_offset.sh).
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver != nullptr && std::string_view(driver) == "pulseaudio") stream.server_frames = obtained.samples / 2;
    return true;
}

// Device frames heard since playback began: what the device was given, less its buffer and
// what a sound server holds besides, plus the time since the last callback (never past what
// it was given); the silent output counts real time. A device that has not asked for anything yet has played nothing.
std::uint64_t heard_device_frames(const SoundStream& stream) {
    const std::int64_t now = now_ns();
    if (stream.device == 0)
        return static_cast<std::uint64_t>(now - stream.started_ns) * static_cast<std::uint64_t>(stream.rate) /
               1000000000u;
    const std::uint64_t fed = stream.frames_fed.load();
    if (fed == 0) return 0;
    const std::int64_t since = std::max<std::int64_t>(0, now - stream.fed_at_ns.load());
    const std::uint64_t drift = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(since) * static_cast<std::uint64_t>(stream.rate) / 1000000000u,
        stream.device_frames);
    const std::uint64_t ahead = stream.device_frames + stream.server_frames;
    return fed + drift > ahead ? fed + drift - ahead : 0;
}

// Whether the stream has been heard to its end; the channel is then free again.
bool heard_to_end(SoundChannel& channel) {
    SoundStream& stream = *channel.stream;
    // In device time the music's end moves on by every gap.
    const std::uint64_t end = std::min(stream.total_frames - stream.start_frame + stream.gap_frames.load(),
                                       stream.end_frame.load());
    if (heard_device_frames(stream) >= end) channel.playing = false;
    return !channel.playing;
}

// Music frames heard: device frames less the silence of gaps, never stepping back.
std::uint64_t heard_music_frames(SoundStream& stream) {
    const std::uint64_t gaps = stream.gap_frames.load();
    const std::uint64_t heard = heard_device_frames(stream);
    stream.last_heard = std::max(stream.last_heard, heard > gaps ? heard - gaps : 0);
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
        system->sdl_audio = without_library_chatter([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) == 0;
        if (!system->sdl_audio) {
            say_silent(SDL_GetError());
            system->silent = true;
        }
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
    stream->reader = MemoryReader{data, size, 0};
    int error = MPG123_OK;
    stream->decoder = mpg123_new(nullptr, &error);
    if (!stream->decoder) {
        delete stream;
        return SOUND_ERR_DECODER;
    }
    mpg123_param(stream->decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    int encoding = 0;
    off_t frames = 0;
    const bool decodable =
        mpg123_replace_reader_handle(stream->decoder, read_memory, seek_memory, nullptr) == MPG123_OK &&
        mpg123_open_handle(stream->decoder, &stream->reader) == MPG123_OK &&
        mpg123_getformat(stream->decoder, &stream->rate, &stream->channels, &encoding) == MPG123_OK &&
        stream->rate > 0 && mpg123_format_none(stream->decoder) == MPG123_OK &&
        mpg123_format(stream->decoder, stream->rate, stream->channels, MPG123_ENC_SIGNED_16) == MPG123_OK &&
        mpg123_scan(stream->decoder) == MPG123_OK && (frames = mpg123_length(stream->decoder)) > 0 &&
        mpg123_seek(stream->decoder, 0, SEEK_SET) == 0;
    if (!decodable) {
        mpg123_delete(stream->decoder);
        delete stream;
        return SOUND_ERR_BAD_STREAM;
    }
    stream->total_frames = static_cast<std::uint64_t>(frames);
    if (!system->silent && !open_device(*stream)) {
        say_silent(SDL_GetError());
        system->silent = true;
    }
    system->stream = stream;
    *out = stream;
    return SOUND_OK;
}

std::int32_t sound_get_length_ms(SoundStream* stream, std::uint32_t* length_ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (!length_ms) return SOUND_ERR_INVALID_PARAM;
    *length_ms = static_cast<std::uint32_t>(stream->total_frames * 1000u / static_cast<std::uint64_t>(stream->rate));
    return SOUND_OK;
}

std::int32_t sound_set_start_ms(SoundStream* stream, std::uint32_t ms) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    if (stream->system->channel.stream == stream) return SOUND_ERR_ALREADY_PLAYING;
    const auto rate = static_cast<std::uint64_t>(stream->rate);
    const std::uint64_t frame = (static_cast<std::uint64_t>(ms) * rate + 999) / 1000;
    if (frame >= stream->total_frames) return SOUND_ERR_INVALID_PARAM;
    // The scan indexed every frame: libmpg123 seeks to the exact sample of a gapless stream.
    if (mpg123_seek(stream->decoder, static_cast<off_t>(frame), SEEK_SET) != static_cast<off_t>(frame))
        return SOUND_ERR_BAD_STREAM;
    stream->start_frame = frame;
    return SOUND_OK;
}

std::int32_t system_play_sound(SoundSystem* system, SoundStream* stream, SoundChannel** channel) {
    if (!system || !stream || stream->system != system) return SOUND_ERR_INVALID_HANDLE;
    if (!system->initialised) return SOUND_ERR_NOT_INITIALISED;
    if (!channel) return SOUND_ERR_INVALID_PARAM;
    if (system->channel.playing) return SOUND_ERR_ALREADY_PLAYING;
    system->channel = SoundChannel{stream, true};
    if (stream->device != 0) {
        // The first half of the ring decoded before the device asks, so it starts on music.
        stream->ring.bytes.resize(static_cast<std::size_t>(stream->rate) * RING_SECONDS * 2 *
                                  static_cast<std::size_t>(stream->channels));
        decode_into_ring(*stream, stream->ring.bytes.size() / 2);
        stream->decoding = std::thread(decode_ahead, stream);
        SDL_PauseAudioDevice(stream->device, 0);
    }
    stream->started_ns = now_ns();
    *channel = &system->channel;
    return SOUND_OK;
}

std::int32_t channel_get_position_ms(SoundChannel* channel, std::uint32_t* position_ms) {
    if (!position_ms) return SOUND_ERR_INVALID_PARAM;
    *position_ms = 0;
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    if (heard_to_end(*channel)) return SOUND_ERR_INVALID_HANDLE;
    SoundStream& stream = *channel->stream;
    const std::uint64_t heard = heard_music_frames(stream);
    *position_ms =
        static_cast<std::uint32_t>((stream.start_frame + heard) * 1000u / static_cast<std::uint64_t>(stream.rate));
    return SOUND_OK;
}

std::int32_t channel_is_playing(SoundChannel* channel, bool* playing) {
    if (!playing) return SOUND_ERR_INVALID_PARAM;
    *playing = false;
    if (!channel || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    *playing = channel->playing && !heard_to_end(*channel);
    return SOUND_OK;
}

std::int32_t channel_set_mute(SoundChannel* channel, bool muted) {
    if (!channel || !channel->playing || !channel->stream) return SOUND_ERR_INVALID_HANDLE;
    channel->stream->muted.store(muted);
    return SOUND_OK;
}

std::int32_t sound_release(SoundStream* stream) {
    if (!stream) return SOUND_ERR_INVALID_HANDLE;
    // Closing waits for the callback to finish; then the decoding thread is stopped.
    if (stream->device != 0) without_library_chatter([&] { SDL_CloseAudioDevice(stream->device); });
    stop_decoding(*stream);
    mpg123_delete(stream->decoder);
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
    if (system->sdl_audio) without_library_chatter([] { SDL_QuitSubSystem(SDL_INIT_AUDIO); });
    system->sdl_audio = false;
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
