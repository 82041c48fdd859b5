// The sound layer and the music player on short MP3 streams encoded here: exact length,
// a clock that runs in real time (also muted) and reads 0 once the music is over, the
// SDL device path, fatal messages and the player's start-up.
#include <gtest/gtest.h>

#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "resources/archive.hpp"
#include "resources/file_bytes.hpp"
#include "song/music_player.hpp"
#include "song/sound_layer.hpp"
#include "tests/support/test_mp3.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/temp_folder.hpp"

namespace textdemo {
namespace {

using namespace std::chrono_literals;

// 13353 frames at 44100 Hz = 302.79 ms, so a length of 302 ms.
constexpr int SONG_FRAMES = 13353;
constexpr std::uint32_t SONG_MS = 302;

// Clock checks measure some 150 ms into a song. A song of a second keeps them inside it on
// any machine that does not stall this thread for most of a second; one that does fails
// the check's precondition loudly rather than checking nothing.
constexpr std::uint32_t CLOCK_SONG_MS = 1000;
const std::vector<std::uint8_t>& clock_song() {
    static const std::vector<std::uint8_t> song = test::encode_test_mp3(44100, 44100, 2);
    return song;
}

class SoundLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        force_silent_sound_output(true);
        ASSERT_EQ(system_create(&system_), SOUND_OK);
    }
    void TearDown() override {
        if (system_) {
            EXPECT_EQ(system_release(system_), SOUND_OK);
        }
        force_silent_sound_output(false);
    }
    SoundStream* open_stream(const std::vector<std::uint8_t>& mp3) {
        SoundStream* stream = nullptr;
        EXPECT_EQ(system_init(system_, 1), SOUND_OK);
        EXPECT_EQ(system_create_stream(system_, mp3.data(), mp3.size(), &stream), SOUND_OK);
        return stream;
    }
    static std::uint32_t position_of(SoundChannel* channel, std::int32_t* result = nullptr) {
        std::uint32_t position = 12345;
        const std::int32_t r = channel_get_position_ms(channel, &position);
        if (result) *result = r;
        return position;
    }

    SoundSystem* system_ = nullptr;
    const std::vector<std::uint8_t> song_ = test::encode_test_mp3(SONG_FRAMES, 44100, 2);
};

TEST_F(SoundLayerTest, TheLengthIsExactInMillisecondsAfterGaplessDecoding) {
    std::uint32_t length = 0;
    ASSERT_EQ(sound_get_length_ms(open_stream(song_), &length), SOUND_OK);
    EXPECT_EQ(length, SONG_MS);
    // Mono at 22050 Hz: 22050 frames are exactly one second.
    SoundSystem* other = nullptr;
    SoundStream* mono = nullptr;
    const auto one_second = test::encode_test_mp3(22050, 22050, 1);
    ASSERT_EQ(system_create(&other), SOUND_OK);
    ASSERT_EQ(system_init(other, 1), SOUND_OK);
    ASSERT_EQ(system_create_stream(other, one_second.data(), one_second.size(), &mono), SOUND_OK);
    ASSERT_EQ(sound_get_length_ms(mono, &length), SOUND_OK);
    EXPECT_EQ(length, 1000u);
    EXPECT_EQ(system_release(other), SOUND_OK);
}

// Milliseconds since start.
std::uint32_t since(std::chrono::steady_clock::time_point start) {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// The checks hold however long the machine keeps this thread waiting: a position is never
// ahead of the time elapsed, never behind what was surely elapsed, and the end is never early.
TEST_F(SoundLayerTest, TheSilentClockRunsInRealTimeThroughMuteAndReadsZeroAfterTheEnd) {
    SoundStream* stream = open_stream(clock_song());
    SoundChannel* channel = nullptr;
    EXPECT_EQ(position_of(channel), 0u);  // nothing plays yet
    // Playback starts somewhere between these two instants; the clock must lie between the
    // time since the later one and the time since the earlier one (1 ms for truncation).
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(system_play_sound(system_, stream, &channel), SOUND_OK);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(100ms);
    std::int32_t result = -1;
    std::uint32_t before = since(started);
    const std::uint32_t unmuted = position_of(channel, &result);
    std::uint32_t after = since(start);
    ASSERT_LT(after, CLOCK_SONG_MS) << "this thread was kept waiting past the song's end";
    EXPECT_EQ(result, SOUND_OK);
    EXPECT_GE(unmuted + 1, before);
    EXPECT_LE(unmuted, after + 1);
    EXPECT_EQ(channel_set_mute(channel, true), SOUND_OK);
    std::this_thread::sleep_for(50ms);
    before = since(started);
    const std::uint32_t muted = position_of(channel, &result);
    after = since(start);
    ASSERT_LT(after, CLOCK_SONG_MS) << "this thread was kept waiting past the song's end";
    EXPECT_EQ(result, SOUND_OK);
    EXPECT_GE(muted + 1, before);  // at least 150: muting keeps the clock
    EXPECT_LE(muted, after + 1);
    std::this_thread::sleep_until(started + std::chrono::milliseconds(CLOCK_SONG_MS + 20));
    EXPECT_EQ(position_of(channel, &result), 0u);
    EXPECT_EQ(result, SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(position_of(channel, &result), 0u);  // and it stays over
    EXPECT_EQ(channel_set_mute(channel, false), SOUND_ERR_INVALID_HANDLE);
}

TEST_F(SoundLayerTest, AnAudioDeviceDecodesAndPlaysTheWholeStream) {
    // SDL's dummy driver takes the callback's samples at about the real rate, without hardware.
    force_silent_sound_output(false);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::testing::internal::CaptureStdout();
    SoundStream* stream = open_stream(song_);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // no fallback line
    SoundChannel* channel = nullptr;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(system_play_sound(system_, stream, &channel), SOUND_OK);
    EXPECT_EQ(system_play_sound(system_, stream, &channel), SOUND_ERR_ALREADY_PLAYING);
    std::uint32_t last = 0;
    std::int32_t result = SOUND_OK;
    while (result == SOUND_OK && since(start) < 3000) {
        const std::uint32_t position = position_of(channel, &result);
        if (result == SOUND_OK) {
            EXPECT_GE(position, last);
            EXPECT_LE(position, since(start) + 10);  // the device may run a little fast
            EXPECT_LE(position, SONG_MS);
            last = position;
        } else {
            EXPECT_EQ(position, 0u);
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(result, SOUND_ERR_INVALID_HANDLE);
    EXPECT_GE(since(start), SONG_MS - 30);  // not cut short
    unsetenv("SDL_AUDIODRIVER");
}

// The whole stream as the decoder gives it, 16-bit interleaved, without the encoder's
// delay and padding: what a device must hear from any start on.
std::vector<std::int16_t> decode_whole(const std::vector<std::uint8_t>& mp3) {
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(decoder);
    mpg123_format(decoder, 44100, 2, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(decoder);
    std::vector<std::int16_t> pcm;
    std::vector<unsigned char> out(1 << 16);
    std::size_t got = 0;
    int result = mpg123_decode(decoder, mp3.data(), mp3.size(), out.data(), out.size(), &got);
    for (;;) {
        pcm.insert(pcm.end(), reinterpret_cast<std::int16_t*>(out.data()), reinterpret_cast<std::int16_t*>(out.data() + got));
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
        result = mpg123_decode(decoder, nullptr, 0, out.data(), out.size(), &got);
    }
    mpg123_delete(decoder);
    return pcm;
}

TEST_F(SoundLayerTest, ALaterStartPlaysFromThatSampleAndTheClockCountsOnFromIt) {
    SoundStream* short_song = open_stream(song_);
    // 303 ms is sample 13363, past the last one (13352); 302 ms is sample 13319.
    EXPECT_EQ(sound_set_start_ms(short_song, SONG_MS + 1), SOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(sound_set_start_ms(short_song, SONG_MS), SOUND_OK);
    EXPECT_EQ(sound_set_start_ms(nullptr, 5), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(sound_release(short_song), SOUND_OK);

    SoundStream* stream = open_stream(clock_song());
    ASSERT_EQ(sound_set_start_ms(stream, 200), SOUND_OK);
    SoundChannel* channel = nullptr;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(system_play_sound(system_, stream, &channel), SOUND_OK);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(sound_set_start_ms(stream, 100), SOUND_ERR_ALREADY_PLAYING);
    std::this_thread::sleep_for(40ms);
    std::int32_t result = -1;
    const std::uint32_t before = since(started);
    const std::uint32_t position = position_of(channel, &result);
    const std::uint32_t after = since(start);
    ASSERT_LT(after, CLOCK_SONG_MS - 200) << "this thread was kept waiting past the song's end";
    EXPECT_EQ(result, SOUND_OK);
    EXPECT_GE(position + 1, 200 + before);
    EXPECT_LE(position, 200 + after + 1);
    // The music ends where it always ends: 800 ms after a start at 200.
    std::this_thread::sleep_until(started + std::chrono::milliseconds(CLOCK_SONG_MS - 200 + 20));
    EXPECT_EQ(position_of(channel, &result), 0u);
    EXPECT_EQ(result, SOUND_ERR_INVALID_HANDLE);
}

// SDL's disk driver writes what the device is given to a file: it must be the decoded
// stream from the first sample at or after the start, sample for sample. An SDL device
// plays silence of its own while it is paused (between its opening with the stream and
// the start of play, however short that is): whole silent buffers may come first.
TEST_F(SoundLayerTest, TheDeviceIsGivenTheStreamFromTheExactStartSample) {
    const std::string file = ::testing::TempDir() + "sound_start_" + std::to_string(getpid()) + ".raw";
    force_silent_sound_output(false);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    SoundStream* stream = open_stream(song_);
    ASSERT_EQ(sound_set_start_ms(stream, 123), SOUND_OK);  // 5424.3 frames: from frame 5425
    SoundChannel* channel = nullptr;
    ASSERT_EQ(system_play_sound(system_, stream, &channel), SOUND_OK);
    std::int32_t result = SOUND_OK;
    const auto start = std::chrono::steady_clock::now();
    while (result == SOUND_OK && since(start) < 5000) {
        position_of(channel, &result);
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(result, SOUND_ERR_INVALID_HANDLE);
    ASSERT_EQ(system_release(system_), SOUND_OK);  // closes the device and its file
    system_ = nullptr;
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");

    const std::vector<std::int16_t> whole = decode_whole(song_);
    ASSERT_EQ(whole.size(), 2u * SONG_FRAMES);
    const std::vector<std::int16_t> expected(whole.begin() + 2 * 5425, whole.end());
    ASSERT_NE(expected[0], 0);  // so the device's own silence ends where the stream begins
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(read_file_bytes(file, bytes));
    std::remove(file.c_str());
    std::vector<std::int16_t> heard(bytes.size() / 2);
    std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
    const auto first_sound = std::find_if(heard.begin(), heard.end(), [](std::int16_t sample) { return sample != 0; });
    const std::size_t silence = static_cast<std::size_t>(first_sound - heard.begin());
    EXPECT_EQ(silence % (2 * 4096), 0u) << "not whole silent buffers of the device";
    ASSERT_GE(heard.size() - silence, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first_sound));
}

TEST_F(SoundLayerTest, BadCallsAndBadStreamsGetTheirCodes) {
    SoundStream* stream = nullptr;
    const std::vector<std::uint8_t> junk(4000, 0x55);
    EXPECT_EQ(system_create_stream(system_, song_.data(), song_.size(), &stream), SOUND_ERR_NOT_INITIALISED);
    ASSERT_EQ(system_init(system_, 1), SOUND_OK);
    EXPECT_EQ(system_create_stream(system_, junk.data(), junk.size(), &stream), SOUND_ERR_BAD_STREAM);
    EXPECT_EQ(system_create_stream(system_, nullptr, 0, &stream), SOUND_ERR_BAD_STREAM);
    EXPECT_EQ(stream, nullptr);
    std::uint32_t value = 0;
    EXPECT_EQ(sound_get_length_ms(nullptr, &value), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(system_play_sound(system_, nullptr, nullptr), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(sound_release(nullptr), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(system_init(nullptr, 1), SOUND_ERR_INVALID_HANDLE);
    EXPECT_EQ(system_init(system_, 0), SOUND_ERR_INVALID_PARAM);
    EXPECT_STREQ(sound_error_string(SOUND_ERR_INVALID_HANDLE), "An invalid or finished object handle was used.");
    EXPECT_STREQ(sound_error_string(98), "Unknown error.");
    EXPECT_STREQ(sound_error_string(-1), "Unknown error.");
}

class MusicPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
        force_silent_sound_output(true);
    }
    static void TearDownTestSuite() {
        force_silent_sound_output(false);
        test::restore_archive_path();
    }
    static void put_music(const std::vector<std::uint8_t>& bytes) {
        EXPECT_FALSE(put_resource("ruk.mp3", bytes.data(), bytes.size()));
    }
};

TEST_F(MusicPlayerTest, OpeningCreatesAndInitialisesTheSystemOnce) {
    MusicPlayer& player = music_player();
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(open_music_player(player));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // silent by request: no fallback line
    SoundSystem* const system = player.system;
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(player.last_result, SOUND_OK);
    EXPECT_FALSE(open_music_player(player));
    EXPECT_EQ(player.system, system) << "a second open keeps the system";
    EXPECT_EQ(system_init(system, 1), SOUND_OK) << "the system was created, not only the player";
    EXPECT_EQ(system_release(player.system), SOUND_OK);
    player.system = nullptr;
}

TEST_F(MusicPlayerTest, TheMusicLoadsPlaysAndIsReleased) {
    put_music(test::encode_test_mp3(SONG_FRAMES, 44100, 2));
    MusicPlayer& player = music_player();
    EXPECT_FALSE(open_music_player(player));
    EXPECT_FALSE(load_music(player));
    EXPECT_EQ(player.length, SONG_MS);
    std::uint32_t position = 1;
    EXPECT_EQ(query_music_position(player, position), SOUND_ERR_INVALID_HANDLE);  // not playing yet
    EXPECT_EQ(player.last_result, SOUND_ERR_INVALID_HANDLE);
    EXPECT_FALSE(play_music(player));
    EXPECT_EQ(player.last_result, SOUND_OK);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(query_music_position(player, position), SOUND_OK);
    EXPECT_GE(position, 30u);
    set_music_mute(player, true);
    EXPECT_FALSE(release_music(player));
}

TEST_F(MusicPlayerTest, FailingCallsGiveTheErrorLineWithCodeAndText) {
    test::use_empty_archive();
    MusicPlayer& player = music_player();
    EXPECT_EQ(load_music(player).message, "resource \"ruk.mp3\" not found");
    put_music(std::vector<std::uint8_t>(3000, 0x55));
    EXPECT_EQ(load_music(player).message, "FMOD error! (36) An invalid or finished object handle was used.")
        << "no sound system yet";
    EXPECT_EQ(sound_failure(SOUND_ERR_NOT_INITIALISED).message,
              "FMOD error! (46) The sound system has not been initialised.");
    EXPECT_FALSE(open_music_player(player));
    EXPECT_EQ(load_music(player).message, "FMOD error! (1) The data is not a playable MP3 stream.");
    EXPECT_EQ(player.last_result, SOUND_ERR_BAD_STREAM);
    EXPECT_EQ(sound_failure(SOUND_OK).message, "");
    EXPECT_EQ(play_music(player).message, "FMOD error! (36) An invalid or finished object handle was used.");
    EXPECT_EQ(release_music(player).message, "FMOD error! (36) An invalid or finished object handle was used.");
    EXPECT_EQ(&music_player(), &player) << "a failed release keeps the player";
    EXPECT_EQ(system_release(player.system), SOUND_OK);
    player.system = nullptr;
}

TEST_F(MusicPlayerTest, TheSharedStartUpStopsAtTheFirstStepThatFails) {
    MusicPlayer& player = music_player();
    const test::TempFolder folder;
    const std::string missing = folder.file("ruk.salad");
    set_archive_path(missing);
    release_resource_archive();
    EXPECT_EQ(load_archive_and_music(player).message, "unable to open " + missing + ": No such file or directory");
    EXPECT_EQ(player.system, nullptr) << "no sound system before the archive is read";
    test::use_empty_archive();
    release_resource_archive();
    EXPECT_EQ(load_archive_and_music(player).message, "resource \"ruk.mp3\" not found");
    ASSERT_NE(player.system, nullptr);
    put_music(test::encode_test_mp3(SONG_FRAMES, 44100, 2));  // the archive stays loaded
    EXPECT_FALSE(load_archive_and_music(player));
    EXPECT_EQ(player.length, SONG_MS);
    EXPECT_FALSE(release_music(player));
}

}  // namespace
}  // namespace textdemo
