// The shared frame loop on a fake clock and a scripted music position: pacing and catch-up,
// the position rules of both programs, end conditions, the mute key and its cooldown.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "song/pattern_data.hpp"
#include "song/sound_layer.hpp"
#include "show/timeline.hpp"
#include "tests/support/test_content.hpp"
#include "tests/support/empty_archive.hpp"

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

// Answers each query from a script indexed by query number; records mute calls.
struct ScriptedMusic {
    struct Answer {
        std::int32_t result;
        std::uint32_t position;
    };
    std::function<Answer(int)> script;
    int queries = 0;
    std::vector<bool> mutes;
    PositionSource table() {
        return PositionSource{[](void* c, std::uint32_t* position) {
                                  auto& music = *static_cast<ScriptedMusic*>(c);
                                  const Answer answer = music.script(music.queries++);
                                  *position = answer.position;
                                  return answer.result;
                              },
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
        music.script = [](int n) { return ScriptedMusic::Answer{SOUND_OK, n < 30 ? 100u * static_cast<std::uint32_t>(n + 1) : 0u}; };
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

TEST_F(FrameLoopTest, PositionZeroEndsTheShowOnlyAfterMoreThanTenFrames) {
    music.script = [](int) { return ScriptedMusic::Answer{SOUND_OK, 0}; };
    EXPECT_EQ(run(false), LoopEnd::Teardown);
    EXPECT_EQ(backend.positions.size(), 12u);  // frame_count 0..10 go on, 11 ends
    EXPECT_EQ(state.frame_count, 12u);
}

TEST_F(FrameLoopTest, TheShowEndsInTheFrameWhoseMusicPositionReadsZero) {
    EXPECT_EQ(run(true), LoopEnd::Teardown);
    ASSERT_EQ(backend.positions.size(), 31u);
    EXPECT_EQ(backend.positions[29], 3000u);
    EXPECT_EQ(backend.positions[30], 0u);
    // Channel stolen and invalid handle still carry the reported position (0 = ended).
    for (std::int32_t code : {SOUND_ERR_CHANNEL_STOLEN, SOUND_ERR_INVALID_HANDLE}) {
        reset();
        music.script = [code](int n) { return ScriptedMusic::Answer{n < 15 ? SOUND_OK : code, n < 15 ? 50u : 0u}; };
        run(false);
        EXPECT_EQ(backend.positions.size(), 16u) << code;
    }
}

TEST_F(FrameLoopTest, FailedQueriesGiveMinusOneInTheWindowAndAFrameClockInTheConsole) {
    EXPECT_EQ(frame_position(SOUND_OK, 1234, 7, false), 1234u);
    EXPECT_EQ(frame_position(SOUND_ERR_CHANNEL_STOLEN, 1234, 7, true), 1234u);
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_HANDLE, 0, 7, true), 0u);
    EXPECT_EQ(frame_position(SOUND_ERR_BAD_STREAM, 1234, 7, false), 0xFFFFFFFFu);
    EXPECT_EQ(frame_position(SOUND_ERR_INVALID_PARAM, 1234, 7, true), 7u * 16);
    EXPECT_EQ(frame_position(SOUND_OK, 0xFFFFFFFF, 7, true), 7u * 16);    // console: -1 reported
    EXPECT_EQ(frame_position(SOUND_OK, 0xFFFFFFFF, 7, false), 0xFFFFFFFFu);

    // In the loop: a window frame at -1 is dark red and does not end the show.
    music.script = [](int n) { return ScriptedMusic::Answer{n < 20 ? SOUND_ERR_NOT_INITIALISED : SOUND_OK, 0}; };
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

}  // namespace
}  // namespace textdemo
