// sound_device_sdl: the native build's sound device: MP3 from memory through libmpg123,
// played by an SDL2 audio callback.
//
// Depends on: libmpg123, SDL2, library_chatter, std::thread.
//
// Three threads meet here. While a device plays, a decoding thread of the music's own owns
// the decoder and keeps a ring of decoded samples about two seconds ahead; SDL's audio
// callback only copies from that ring (a busy machine delays the decoding thread without
// starving the device); the main thread reads the clock. The ring and the clock are shared
// through atomics only, each counter written by one thread. Opening and closing the device
// happen without library chatter: without a sound card the audio libraries print a dozen
// lines of their configuration troubles. An inaudible music keeps its decoder, for the
// length and the seek.
#include "song/sound_device.hpp"

#include <SDL.h>
#include <mpg123.h>
#include <pthread.h>
#include <sched.h>
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
#include "song/sound_layer.hpp"

namespace textdemo {

namespace {

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

struct DeviceMusic {
    mpg123_handle* decoder = nullptr;
    MemoryReader reader;
    long rate = 0;
    int channels = 0;
    SDL_AudioDeviceID device = 0;    // 0: inaudible
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
bool decode_into_ring(DeviceMusic& music, std::size_t wanted) {
    SampleRing& ring = music.ring;
    const std::size_t capacity = ring.bytes.size();
    std::uint64_t written = ring.written.load(std::memory_order_relaxed);
    for (;;) {
        const std::size_t held = static_cast<std::size_t>(written - ring.read.load(std::memory_order_acquire));
        if (held >= wanted) return true;
        const std::size_t at = static_cast<std::size_t>(written % capacity);
        const std::size_t room = std::min(wanted - held, capacity - at);
        size_t got = 0;
        const int result = mpg123_read(music.decoder, ring.bytes.data() + at, room, &got);
        written += got;
        ring.written.store(written, std::memory_order_release);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            ring.complete.store(true, std::memory_order_release);
            return false;
        }
    }
}

void decode_ahead(DeviceMusic* music) {
    const std::size_t step = DECODE_STEP_FRAMES * 2 * static_cast<std::size_t>(music->channels);
    const std::size_t capacity = music->ring.bytes.size();
    std::unique_lock lock(music->decoding_lock);
    while (!music->decoding_stops) {
        const std::uint64_t held = music->ring.written.load() - music->ring.read.load();
        if (capacity - held >= step) {
            lock.unlock();
            const bool more = decode_into_ring(*music, capacity);
            lock.lock();
            if (!more) return;
        }
        music->decoding_wake.wait_for(lock, DECODE_PAUSE, [&] { return music->decoding_stops; });
    }
}

void stop_decoding(DeviceMusic& music) {
    if (!music.decoding.joinable()) return;
    {
        std::lock_guard lock(music.decoding_lock);
        music.decoding_stops = true;
    }
    music.decoding_wake.notify_one();
    music.decoding.join();
}

// Real-time scheduling for the calling audio thread, where the system grants it: SDL's own
// request left it at normal scheduling, and beside busy processes its callbacks then came up
// to 210 ms apart, longer than the device and the sound server hold (93 + 46 ms), so the
// music dropped out. The callback only copies, so the lowest real-time priority will do.
void schedule_audio_thread_in_real_time() {
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_min(SCHED_RR);
    pthread_setschedparam(pthread_self(), SCHED_RR, &parameters);
}

// The audio callback: copies what the ring holds, silence for the rest. Silence while the
// decoder is still running is a gap in the music, counted so the clock leaves it out.
void fill_audio(void* userdata, Uint8* out, int length) {
    static thread_local bool scheduled = false;
    if (!scheduled) {
        schedule_audio_thread_in_real_time();
        scheduled = true;
    }
    auto* music = static_cast<DeviceMusic*>(userdata);
    SampleRing& ring = music->ring;
    const std::size_t frame_bytes = 2 * static_cast<std::size_t>(music->channels);
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
    if (music->muted.load()) std::memset(out, 0, total);

    const std::uint64_t fed = music->frames_fed.load();
    if (done < total && music->end_frame.load() == NOT_ENDED) {
        if (complete && read + done == written) music->end_frame.store(fed + done / frame_bytes);
        else music->gap_frames.fetch_add((total - done) / frame_bytes);
    }
    music->fed_at_ns.store(now_ns());
    music->frames_fed.store(fed + total / frame_bytes);
}

// Opens the device for the music's format; false leaves the music inaudible.
bool open_device(DeviceMusic& music) {
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(music.rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(music.channels);
    wanted.samples = DEVICE_BUFFER_FRAMES;
    wanted.callback = fill_audio;
    wanted.userdata = &music;
    SDL_AudioSpec obtained{};
    // SDL's audio thread asks for time-critical priority: real-time scheduling where the
    // system grants it, so busy processes beside the show do not keep it waiting.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    music.device = without_library_chatter([&] { return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0); });
    if (music.device == 0) return false;
    music.device_frames = obtained.samples;
    // SDL asks PulseAudio for a latency of one buffer and lets the server adjust the sink to
    // it (PA_STREAM_ADJUST_LATENCY), which then holds half a buffer in the sink besides the
    // buffer just given: the picture was 47 ms ahead with 4096 frames without this
    // (bench/picture_sound_offset.sh).
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver != nullptr && std::string_view(driver) == "pulseaudio") music.server_frames = obtained.samples / 2;
    return true;
}

// Device frames heard since playback began: what the device was given, less its buffer and
// what a sound server holds besides, plus the time since the last callback (never past what
// it was given). A device that has not asked for anything yet has played nothing.
std::uint64_t heard_device_frames(const DeviceMusic& music) {
    const std::int64_t now = now_ns();
    const std::uint64_t fed = music.frames_fed.load();
    if (fed == 0) return 0;
    const std::int64_t since = std::max<std::int64_t>(0, now - music.fed_at_ns.load());
    const std::uint64_t drift = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(since) * static_cast<std::uint64_t>(music.rate) / 1000000000u,
        music.device_frames);
    const std::uint64_t ahead = music.device_frames + music.server_frames;
    return fed + drift > ahead ? fed + drift - ahead : 0;
}

}  // namespace

bool device_open_output() {
    if (without_library_chatter([] { return SDL_InitSubSystem(SDL_INIT_AUDIO); }) == 0) return true;
    say_silent(SDL_GetError());
    return false;
}

void device_close_output() {
    without_library_chatter([] { SDL_QuitSubSystem(SDL_INIT_AUDIO); });
}

std::int32_t device_load_music(const std::uint8_t* data, std::size_t size, bool silent, DeviceMusic*& music,
                               MusicFormat& format) {
    auto* loaded = new DeviceMusic;
    loaded->reader = MemoryReader{data, size, 0};
    int error = MPG123_OK;
    loaded->decoder = mpg123_new(nullptr, &error);
    if (!loaded->decoder) {
        delete loaded;
        return SOUND_ERR_DECODER;
    }
    mpg123_param(loaded->decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    int encoding = 0;
    off_t frames = 0;
    const bool decodable =
        mpg123_replace_reader_handle(loaded->decoder, read_memory, seek_memory, nullptr) == MPG123_OK &&
        mpg123_open_handle(loaded->decoder, &loaded->reader) == MPG123_OK &&
        mpg123_getformat(loaded->decoder, &loaded->rate, &loaded->channels, &encoding) == MPG123_OK &&
        loaded->rate > 0 && mpg123_format_none(loaded->decoder) == MPG123_OK &&
        mpg123_format(loaded->decoder, loaded->rate, loaded->channels, MPG123_ENC_SIGNED_16) == MPG123_OK &&
        mpg123_scan(loaded->decoder) == MPG123_OK && (frames = mpg123_length(loaded->decoder)) > 0 &&
        mpg123_seek(loaded->decoder, 0, SEEK_SET) == 0;
    if (!decodable) {
        mpg123_delete(loaded->decoder);
        delete loaded;
        return SOUND_ERR_BAD_STREAM;
    }
    format = {static_cast<std::uint64_t>(loaded->rate), static_cast<std::uint64_t>(frames), false};
    if (!silent) {
        format.audible = open_device(*loaded);
        if (!format.audible) say_silent(SDL_GetError());
    }
    music = loaded;
    return SOUND_OK;
}

std::int32_t device_seek_music(DeviceMusic& music, std::uint64_t frame) {
    // The scan indexed every frame: libmpg123 seeks to the exact sample of a gapless stream.
    const auto at = static_cast<off_t>(frame);
    return mpg123_seek(music.decoder, at, SEEK_SET) == at ? SOUND_OK : SOUND_ERR_BAD_STREAM;
}

void device_play_music(DeviceMusic& music, std::uint64_t) {
    // The first half of the ring decoded before the device asks, so it starts on music.
    music.ring.bytes.resize(static_cast<std::size_t>(music.rate) * RING_SECONDS * 2 *
                            static_cast<std::size_t>(music.channels));
    decode_into_ring(music, music.ring.bytes.size() / 2);
    music.decoding = std::thread(decode_ahead, &music);
    SDL_PauseAudioDevice(music.device, 0);
}

// Device frames less the silence of gaps; in device time the music ends where it ran out.
std::uint64_t device_heard_frames(DeviceMusic& music, bool& ran_out) {
    const std::uint64_t gaps = music.gap_frames.load();
    const std::uint64_t heard = heard_device_frames(music);
    ran_out = heard >= music.end_frame.load();
    return heard > gaps ? heard - gaps : 0;
}

void device_mute_music(DeviceMusic& music, bool muted) { music.muted.store(muted); }

void device_release_music(DeviceMusic* music) {
    // Closing waits for the callback to finish; then the decoding thread is stopped.
    if (music->device != 0) without_library_chatter([&] { SDL_CloseAudioDevice(music->device); });
    stop_decoding(*music);
    mpg123_delete(music->decoder);
    delete music;
}

}  // namespace textdemo
