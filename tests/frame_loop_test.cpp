// The shared frame loop on a fake clock and a scripted music position: pacing and catch-up,
// the position rules of both programs, end conditions, the mute key and its cooldown; and on
// the real clock with a sound device that starts two seconds late.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "song/music_player.hpp"
#include "song/pattern_data.hpp"
#include "song/sound_layer.hpp"
#include "show/timeline.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"
#include "tests/support/test_mp3.hpp"

namespace textdemo {
namespace {

// A clock that only moves when the loop sleeps (or when a test moves it).
struct FakeClock {
    std::uint32_t now = 0;
    std::uint32_t slept = 0;
    FrameClock table() {
        return FrameClock{[](void* c) { return static_cast<FakeClock*>(c)->now; },
                          [](void* c, std::uint32_t ms) {
                              static_cast<FakeClock*>(c)->now += ms;
                              static_cast<FakeClock*>(c)->slept += ms;
                          },
                          this};
    }
};

// Answers each query from a script indexed by query number, the music's end included;
// records mute calls.
struct ScriptedMusic {
    struct Answer {
        std::int32_t result;
        std::uint32_t position;
        bool finished = false;
    };
    std::function<Answer(int)> script;
    int queries = 0;
    bool finished = false;  // as the last answer said
    std::vector<bool> mutes;
    PositionSource table() {
        return PositionSource{[](void* c, std::uint32_t* position) {
                                  auto& music = *static_cast<ScriptedMusic*>(c);
                                  const Answer answer = music.script(music.queries++);
                                  *position = answer.position;
                                  music.finished = answer.finished;
                                  return answer.result;
                              },
                              [](void* c) { return static_cast<ScriptedMusic*>(c)->finished; },
                              [](void* c, bool muted) { static_cast<ScriptedMusic*>(c)->mutes.push_back(muted); },
                              this};
    }
};

// Records, per presented frame, the clock and the song position; scripted outcomes and keys.
struct FakeBackend {
    FakeClock* clock = nullptr;
    std::vector<std::uint32_t> presented_at;
    std::vector<std::uint32_t> positions;
    std::function<FrameOutcome(int)> outcome = [](int) { return FrameOutcome::Continue; };
    std::function<std::vector<KeyRecord>(int)> keys;  // by frame index
    int frames_read = 0;

    FrameBackend table(bool window_program) {
        FrameBackend backend{};
        backend.sleep_before_deadline_check = window_program;
        backend.frame_clock_fallback = !window_program;
        backend.present = [](void* c) {
            auto& fake = *static_cast<FakeBackend*>(c);
            fake.presented_at.push_back(fake.clock->now);
            fake.positions.push_back(pattern_data().position);
            return fake.outcome(static_cast<int>(fake.positions.size()) - 1);
        };
        if (!window_program) {
            backend.read_keys = [](void* c, std::vector<KeyRecord>& records) {
                auto& fake = *static_cast<FakeBackend*>(c);
                if (fake.keys) {
                    const auto batch = fake.keys(fake.frames_read);
                    records.insert(records.end(), batch.begin(), batch.end());
                }
                ++fake.frames_read;
            };
        }
        backend.context = this;
        return backend;
    }
};

class FrameLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::use_empty_archive();
        test::put_pattern_dump({0}, {});
    }
    static void TearDownTestSuite() {
        test::restore_archive_path();
    }
    void SetUp() override {
        stop_requested = 0;
        reset();
    }
    void TearDown() override {
        destroy_timeline();
        stop_requested = 0;
    }
    void reset() {
        clock = FakeClock{};
        clock.now = 1000;
        music = ScriptedMusic{};
        // 100 ms per query, then 0 from query 30 on: the music has ended.
        music.script = [](int n) {
            return n < 30 ? ScriptedMusic::Answer{SOUND_OK, 100u * static_cast<std::uint32_t>(n + 1)}
                          : ScriptedMusic::Answer{SOUND_ERR_INVALID_HANDLE, 0, true};
        };
        backend = FakeBackend{};
        backend.clock = &clock;
    }
    LoopEnd run(bool window_program) {
        const FrameClock clock_table = clock.table();
        state = start_frame_loop(clock_table);
        return run_frame_loop(clock_table, music.table(), backend.table(window_program), state);
    }

    FakeClock clock;
    ScriptedMusic music;
    FakeBackend backend;
    FrameLoopState state;
};

TEST_F(FrameLoopTest, LateFramesAreCaughtUpBackToBackThenPacedAt16Ms) {
    // Building the timeline took 100 ms: the deadline is 1000, the clock 1100.
    music.script = [](int) { return ScriptedMusic::Answer{SOUND_OK, 500}; };
    backend.outcome = [](int frame) { return frame == 9 ? FrameOutcome::Quit : FrameOutcome::Continue; };
    const FrameClock clock_table = clock.table();
    state = start_frame_loop(clock_table);
    clock.now = 1100;
    run_frame_loop(clock_table, music.table(), backend.table(false), state);
    // Deadlines 1000 .. 1096 are already passed; 1112 needs waiting until 1113.
    EXPECT_EQ(backend.presented_at,
              (std::vector<std::uint32_t>{1100, 1100, 1100, 1100, 1100, 1100, 1100, 1113, 1129, 1145}));
    EXPECT_EQ(state.frame_deadline, 1000u + 10 * 16);
}

TEST_F(FrameLoopTest, TheWindowProgramSleepsOneMillisecondBeforeEveryDeadlineCheck) {
    backend.outcome = [](int frame) { return frame == 3 ? FrameOutcome::Quit : FrameOutcome::Continue; };
    const FrameClock clock_table = clock.table();
    state = start_frame_loop(clock_table);
    clock.now = 1040;
    run_frame_loop(clock_table, music.table(), backend.table(true), state);
    EXPECT_EQ(backend.presented_at, (std::vector<std::uint32_t>{1041, 1042, 1043, 1049}));
}

TEST_F(FrameLoopTest, TheDeadlineComparisonIsPlainUnsignedAcrossTheWrap) {
    clock.now = 0xFFFFFFF8;
    backend.outcome = [](int frame) { return frame == 1 ? FrameOutcome::Quit : FrameOutcome::Continue; };
    run(false);
    // Deadline 0xFFFFFFF8 is passed at 0xFFFFFFF9; the next one has wrapped to 8, which the
    // unwrapped clock already exceeds, so that frame follows at once.
    EXPECT_EQ(backend.presented_at, (std::vector<std::uint32_t>{0xFFFFFFF9, 0xFFFFFFF9}));
    EXPECT_EQ(state.frame_deadline, 24u);
}

TEST_F(FrameLoopTest, TheMusicsEndEndsTheShowOnlyAfterMoreThanTenFrames) {
    music.script = [](int) { return ScriptedMusic::Answer{SOUND_ERR_INVALID_HANDLE, 0, true}; };
    EXPECT_EQ(run(false), LoopEnd::Teardown);
    EXPECT_EQ(backend.positions.size(), 12u);  // frame_count 0..10 go on, 11 ends
    EXPECT_EQ(state.frame_count, 12u);
}

TEST_F(FrameLoopTest, TheShowEndsInTheFrameThatFindsTheMusicOver) {
    EXPECT_EQ(run(true), LoopEnd::Teardown);
    ASSERT_EQ(backend.positions.size(), 31u);
    EXPECT_EQ(backend.positions[29], 3000u);
    EXPECT_EQ(backend.positions[30], 0u);
    // A position of 0 reported with success or with a finished channel's code: both carry it.
    for (std::int32_t code : {SOUND_OK, SOUND_ERR_INVALID_HANDLE}) {
        reset();
        music.script = [code](int n) { return ScriptedMusic::Answer{n < 15 ? SOUND_OK : code, n < 15 ? 50u : 0u, n >= 15}; };
        run(false);
        EXPECT_EQ(backend.positions.size(), 16u) << code;
    }
}

// A sound server or headset that wakes up late: the position reads 0 for 200 frames, in
// both programs. The show waits on its first picture, then follows the music to its end.
TEST_F(FrameLoopTest, PositionZeroBeforeTheMusicStartsEndsNothing) {
    for (const bool window_program : {false, true}) {
        reset();
        music.script = [](int n) {
            if (n < 200) return ScriptedMusic::Answer{SOUND_OK, 0};
            if (n < 300) return ScriptedMusic::Answer{SOUND_OK, 16u * static_cast<std::uint32_t>(n - 200)};
            return ScriptedMusic::Answer{SOUND_ERR_INVALID_HANDLE, 0, true};
        };
        EXPECT_EQ(run(window_program), LoopEnd::Teardown);
        ASSERT_EQ(backend.positions.size(), 301u) << window_program;
        EXPECT_EQ(std::count(backend.positions.begin(), backend.positions.begin() + 201, 0u), 201) << window_program;
        EXPECT_EQ(backend.positions[299], 99u * 16) << window_program;
    }
}

TEST_F(FrameLoopTest, FailedQueriesGiveMinusOneInTheWindowAndAFrameClockInTheConsole) {
    EXPECT_EQ(frame_position(SOUND_OK, 1234, 7, false), 1234u);
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_HANDLE, 1234, 7, true), 1234u);
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_HANDLE, 1234, 7, false), 1234u);
    EXPECT_EQ(frame_position(SOUND_ERR_NOT_INITIALISED, 1234, 7, true), 7u * 16);
    EXPECT_EQ(frame_position(11, 1234, 7, false), 0xFFFFFFFFu);  // no code of this layer
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_HANDLE, 0, 7, true), 0u);
    EXPECT_EQ(frame_position(SOUND_ERR_BAD_STREAM, 1234, 7, false), 0xFFFFFFFFu);
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_PARAM, 1234, 7, true), 7u * 16);
    EXPECT_EQ(frame_position(SOUND_OK, 0xFFFFFFFF, 7, true), 7u * 16);    // console: -1 reported
    EXPECT_EQ(frame_position(SOUND_OK, 0xFFFFFFFF, 7, false), 0xFFFFFFFFu);

    // In the loop: a window frame at -1 is dark red and does not end the show.
    music.script = [](int n) {
        return n < 20 ? ScriptedMusic::Answer{SOUND_ERR_NOT_INITIALISED, 0} : ScriptedMusic::Answer{SOUND_OK, 0, true};
    };
    run(true);
    ASSERT_EQ(backend.positions.size(), 21u);
    EXPECT_EQ(backend.positions[0], 0xFFFFFFFFu);
    EXPECT_EQ(text_frame().pixels[0], 0x00780000u);

    // The console keeps going on frame_count x 16 and is never ended by its frame clock.
    const auto script = music.script;
    reset();
    music.script = script;
    run(false);
    ASSERT_EQ(backend.positions.size(), 21u);
    EXPECT_EQ(backend.positions[0], 0u);
    EXPECT_EQ(backend.positions[12], 12u * 16);
    EXPECT_EQ(backend.positions[19], 19u * 16);
}

// Sound heard 250 ms late: the picture runs 250 ms behind the music, holding its first
// frame meanwhile; heard early: ahead, holding the last frame. The end stays the music's.
TEST_F(FrameLoopTest, TheAudioDelayMovesThePictureButNotTheEnd) {
    const FrameClock clock_table = clock.table();
    for (const std::int32_t delay : {250, -250}) {
        reset();
        state = start_frame_loop(clock_table);
        state.audio_delay_ms = delay;
        state.picture_end_ms = 2900;
        EXPECT_EQ(run_frame_loop(clock_table, music.table(), backend.table(false), state), LoopEnd::Teardown);
        ASSERT_EQ(backend.positions.size(), 31u) << delay;  // query 30 reads 0: the music has ended
        if (delay > 0) {
            EXPECT_EQ(backend.positions[0], 0u);   // 100 - 250
            EXPECT_EQ(backend.positions[1], 0u);   // 200 - 250
            EXPECT_EQ(backend.positions[2], 50u);
            EXPECT_EQ(backend.positions[29], 2750u);
        } else {
            EXPECT_EQ(backend.positions[0], 350u);
            EXPECT_EQ(backend.positions[25], 2850u);
            EXPECT_EQ(backend.positions[26], 2900u);  // 2950 held at the end
            EXPECT_EQ(backend.positions[29], 2900u);
        }
    }
    FrameLoopState delayed;
    delayed.audio_delay_ms = 100;
    EXPECT_EQ(picture_position(FAILED_POSITION, delayed), FAILED_POSITION);  // still the dark-red frame
    EXPECT_EQ(picture_position(100, delayed), 0u);
    delayed.audio_delay_ms = -10000;
    EXPECT_EQ(picture_position(0xFFFFFF00u, delayed), FAILED_POSITION - 1);  // held below the failed value
}

TEST_F(FrameLoopTest, QuitFinishesTheFrameAndAbandonLeavesAtOnce) {
    backend.outcome = [](int frame) { return frame == 4 ? FrameOutcome::Quit : FrameOutcome::Continue; };
    EXPECT_EQ(run(false), LoopEnd::Teardown);
    EXPECT_EQ(state.frame_count, 5u);
    EXPECT_EQ(backend.frames_read, 5);  // the quitting frame still reads its keys

    reset();
    backend.outcome = [](int frame) { return frame == 4 ? FrameOutcome::Abandon : FrameOutcome::Continue; };
    EXPECT_EQ(run(false), LoopEnd::Abandon);
    EXPECT_EQ(state.frame_count, 4u);
}

TEST_F(FrameLoopTest, StopRequestedIsSeenAtTheHeadOfTheNextFrame) {
    backend.outcome = [](int frame) {
        if (frame == 2) stop_requested = 1;
        return FrameOutcome::Continue;
    };
    EXPECT_EQ(run(false), LoopEnd::Teardown);
    EXPECT_EQ(backend.positions.size(), 3u);
    EXPECT_EQ(state.frame_count, 3u);
}

TEST_F(FrameLoopTest, MuteTogglesOncePerPressAfterTheCooldownAndEscapeQuitsOnAnyRecord) {
    const KeyRecord m{'M', 'm'}, capital_m{'M', 'M'}, escape{KEY_ESCAPE, 27};
    backend.keys = [&](int frame) -> std::vector<KeyRecord> {
        switch (frame) {
            case 18: return {m, m};          // cooldown 1 after 19 frames: ignored
            case 19: return {m, m};          // cooldown 0: down toggles, up meets the new cooldown
            case 20: return {capital_m};     // never toggles
            case 39: return {m, m, m};       // 20 frames later: toggles back once
            case 45: return {escape};        // key-up record of Escape quits too
            default: return {};
        }
    };
    music.script = [](int) { return ScriptedMusic::Answer{SOUND_OK, 500}; };
    run(false);
    EXPECT_EQ(music.mutes, (std::vector<bool>{true, false}));
    EXPECT_FALSE(state.muted);
    EXPECT_EQ(state.frame_count, 46u);
    EXPECT_EQ(state.mute_cooldown, 20 - 6);
}

// A sound device that starts two seconds late, for real: SDL's disk driver writes into a
// small pipe nobody reads until two seconds after play, so its audio thread is stuck in
// write and asks for no samples. The show (one second of music) holds its first picture
// meanwhile, then plays the whole second and ends with it.
TEST_F(FrameLoopTest, ASoundDeviceTwoSecondsLateHoldsTheFirstFramesAndTheShowStillPlaysToItsEnd) {
    const std::string pipe_path = ::testing::TempDir() + "late_device_" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(pipe_path.c_str(), 0600), 0);
    const int reader = open(pipe_path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    // One page: the device's first buffer of 16 KiB already waits for the reader.
    ASSERT_GT(fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    std::atomic<bool> playing{false}, show_over{false};
    std::thread late_listener([&] {
        while (!playing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        char bytes[65536];
        while (!show_over) {
            if (read(reader, bytes, sizeof bytes) <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", pipe_path.c_str(), 1);
    const auto mp3 = test::encode_test_mp3(44100, 44100, 2);
    ASSERT_FALSE(put_resource("ruk.mp3", mp3.data(), mp3.size()));
    MusicPlayer& player = music_player();
    ASSERT_FALSE(open_music_player(player));
    ASSERT_FALSE(load_music(player));

    // Per presented frame: ms since play, and the position drawn.
    struct Presented {
        std::chrono::steady_clock::time_point started;
        std::vector<std::pair<std::int64_t, std::uint32_t>> frames;
    } presented;
    FrameBackend backend{};
    backend.frame_clock_fallback = true;
    backend.present = [](void* c) {
        auto& record = *static_cast<Presented*>(c);
        const auto since = std::chrono::steady_clock::now() - record.started;
        record.frames.emplace_back(std::chrono::duration_cast<std::chrono::milliseconds>(since).count(),
                                   pattern_data().position);
        return FrameOutcome::Continue;
    };
    backend.context = &presented;
    const FrameClock clock_table = system_clock();
    state = start_frame_loop(clock_table);
    presented.started = std::chrono::steady_clock::now();
    playing = true;
    EXPECT_FALSE(play_music(player));
    const LoopEnd end = run_frame_loop(clock_table, music_position_source(player), backend, state);
    EXPECT_FALSE(release_music(player));
    show_over = true;
    late_listener.join();
    close(reader);
    unlink(pipe_path.c_str());
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");

    EXPECT_EQ(end, LoopEnd::Teardown);
    ASSERT_GT(presented.frames.size(), 20u);
    // Two seconds' wait and the second of music.
    EXPECT_GE(presented.frames.back().first, 2900);
    // Before the device starts the picture waits at the music's start: at 0, or (when the
    // device took one buffer and then stalled) within the 93 ms that buffer holds.
    for (const auto& [at, position] : presented.frames) {
        if (at < 1900) {
            EXPECT_LE(position, 93u) << "at " << at << " ms";
        }
    }
    std::uint32_t furthest = 0;
    for (std::size_t i = 0; i + 1 < presented.frames.size(); ++i) {
        EXPECT_GE(presented.frames[i].second, furthest) << "frame " << i;
        furthest = std::max(furthest, presented.frames[i].second);
    }
    EXPECT_GE(furthest, 900u);
    EXPECT_EQ(presented.frames.back().second, 0u);  // the frame that found the music over
}

}  // namespace
}  // namespace textdemo
