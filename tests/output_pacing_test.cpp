// Output pacing against lines worked out by hand and against a simulated line: a queue that
// the terminal reads at a fixed speed after a delay, answering each probe once it has read
// the write before it, with the program's frame loop writing a frame every 16 ms that the
// pacing lets go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>

#include "display/console/output_pacing.hpp"

namespace textdemo {
namespace {

TEST(OutputPacing, OnlyTheAnswerToTheProbeCounts) {
    TerminalReply attributes{ReplyKind::ControlSequence, '?', "", 'c', "62;22"};
    EXPECT_TRUE(answers_probe(attributes));
    TerminalReply secondary = attributes;
    secondary.marker = '>';
    EXPECT_FALSE(answers_probe(secondary));
    TerminalReply mode_report{ReplyKind::ControlSequence, '?', "$", 'y', "2026;2"};
    EXPECT_FALSE(answers_probe(mode_report));
    TerminalReply status{ReplyKind::ControlSequence, 0, "", 'n', "0"};
    EXPECT_FALSE(answers_probe(status));
    TerminalReply string{ReplyKind::DeviceControl, '?', "", 'c', ""};
    EXPECT_FALSE(answers_probe(string));
}

TEST(OutputPacing, ATerminalNeverAnsweredIsNotPaced) {
    OutputPacing pacing;
    pacing_sent(pacing, 0, 200, false);
    for (std::uint32_t t = 0; t < 5000; t += 16) {
        EXPECT_TRUE(frame_may_go(pacing, t));
        pacing_sent(pacing, t, 12000);
    }
    EXPECT_EQ(probes_due(pacing), 0);
}

// The start-up queries' answer measures nothing; a frame of 1,000 bytes answered 15 ms
// after it went: 15,000 ns a byte.
TEST(OutputPacing, TheLinesSpeedFromTheAnswers) {
    OutputPacing pacing;
    pacing_sent(pacing, 100, 150, false);
    EXPECT_EQ(probes_due(pacing), 0);
    pacing_answered(pacing, 105);
    EXPECT_TRUE(pacing.answered);
    EXPECT_EQ(pacing.samples, 0);

    EXPECT_TRUE(frame_may_go(pacing, 110));
    pacing_sent(pacing, 110, 1000);
    EXPECT_EQ(probes_due(pacing), 1);
    EXPECT_FALSE(frame_may_go(pacing, 120)) << "one write at a time until the speed is known";
    pacing_answered(pacing, 125);
    EXPECT_EQ(pacing.samples, 1);
    EXPECT_EQ(line_ns_per_byte(pacing), 15000u);
    EXPECT_EQ(probes_due(pacing), 0);

    // In flight 1,000 and one more like it: 30 ms to drain.
    pacing_sent(pacing, 126, 1000);
    EXPECT_TRUE(frame_may_go(pacing, 130));
    // 3,000 in flight and 3,000 more: 90 ms; 3,400 and 3,400: 102 ms.
    pacing_sent(pacing, 130, 2000);
    pacing.last_frame_bytes = 3000;
    EXPECT_TRUE(frame_may_go(pacing, 131));
    pacing.bytes_in_flight = pacing.last_frame_bytes = 3400;
    EXPECT_FALSE(frame_may_go(pacing, 131));
    pacing.bytes_in_flight = 3000;
    // A write queued behind another is measured from when that one was answered.
    pacing_answered(pacing, 140);  // the 1,000 bytes sent at 126, after the line was idle
    EXPECT_EQ(pacing.sample_busy_ms[1], 14u);
    pacing_answered(pacing, 180);  // the 2,000 sent at 130: busy from 140 to 180
    EXPECT_EQ(pacing.sample_busy_ms[2], 40u);
    EXPECT_EQ(line_ns_per_byte(pacing), (15u + 14u + 40u) * 1000000u / 4000u);
    EXPECT_EQ(pacing.bytes_in_flight, 0u);
}

TEST(OutputPacing, TheOldestWriteUnansweredForTooLongHoldsFramesBack) {
    OutputPacing pacing;
    pacing_sent(pacing, 0, 100, false);
    pacing_answered(pacing, 2);
    pacing_sent(pacing, 10, 100);
    pacing_answered(pacing, 13);  // 30,000 ns a byte: 200 bytes drain in 6 ms
    pacing_sent(pacing, 20, 100);
    EXPECT_TRUE(frame_may_go(pacing, 20 + PACING_LAG_MS - 1));
    EXPECT_FALSE(frame_may_go(pacing, 20 + PACING_LAG_MS));
    pacing_answered(pacing, 200);
    EXPECT_TRUE(frame_may_go(pacing, 200));
}

TEST(OutputPacing, AtMostSoManyProbesInFlightAndStrayAnswersIgnored) {
    OutputPacing pacing;
    pacing_sent(pacing, 0, 10, false);
    pacing_answered(pacing, 1);
    pacing_answered(pacing, 2);  // none in flight
    EXPECT_EQ(pacing.samples, 0);
    pacing_sent(pacing, 2, 10);
    pacing_answered(pacing, 3);
    for (int i = 0; i < MAX_PROBES_IN_FLIGHT; ++i) {
        ASSERT_TRUE(frame_may_go(pacing, 4));
        pacing_sent(pacing, 4, 10);
    }
    EXPECT_FALSE(frame_may_go(pacing, 4));
    pacing_sent(pacing, 4, 10);
    EXPECT_EQ(probes_due(pacing), MAX_PROBES_IN_FLIGHT);
    pacing_forget_in_flight(pacing);
    EXPECT_EQ(probes_due(pacing), 0);
    EXPECT_TRUE(frame_may_go(pacing, 5));
    EXPECT_EQ(pacing.samples, 1) << "what was measured stays";
}

// A line that carries bytes_per_ms after delay_ms each way; the show writes a frame of
// frame_bytes every 16 ms where the pacing lets it, and reads the answers once a frame.
struct LineRun {
    int frames_written = 0;
    int ticks = 0;
    std::uint32_t worst_lag_ms = 0;  // from a frame's write to the terminal having read it
    double line_use = 0;             // the share of the time the line carried frames
};

LineRun run_line(double bytes_per_ms, std::uint32_t delay_ms, std::size_t frame_bytes, std::uint32_t run_ms = 10000) {
    struct Arrival {
        std::uint32_t read_ms;    // the terminal has read the write
        std::uint32_t answer_ms;  // its answer reaches the program
    };
    OutputPacing pacing;
    std::deque<Arrival> answers;
    double line_free_ms = 0;
    double busy_ms = 0;
    LineRun run;
    const auto write = [&](std::uint32_t now, std::size_t bytes, bool frame) {
        // Frames carry a probe once the terminal has answered one.
        const bool probe = !frame || pacing.answered;
        if (probe) pacing_sent(pacing, now, bytes, frame);
        const double start = std::max<double>(now + delay_ms, line_free_ms);
        line_free_ms = start + static_cast<double>(bytes) / bytes_per_ms;
        if (frame) busy_ms += static_cast<double>(bytes) / bytes_per_ms;
        const auto read_ms = static_cast<std::uint32_t>(line_free_ms + 0.999);
        if (probe) answers.push_back({read_ms, read_ms + delay_ms});
        if (frame) run.worst_lag_ms = std::max(run.worst_lag_ms, read_ms - now);
    };
    write(0, 200, false);
    // The show starts once the start-up queries are answered.
    std::uint32_t start = 16;
    for (; !pacing.answered; start += 16) {
        pacing_answered(pacing, start);
        answers.pop_front();
    }
    for (std::uint32_t now = start; now < run_ms; now += 16) {
        ++run.ticks;
        if (frame_may_go(pacing, now)) {
            write(now, frame_bytes, true);
            ++run.frames_written;
        }
        while (!answers.empty() && answers.front().answer_ms <= now) {
            pacing_answered(pacing, now);
            answers.pop_front();
        }
    }
    run.line_use = busy_ms / run_ms;
    std::printf("%g bytes/ms, %u ms each way, frames of %zu: %d of %d frames, worst lag %u ms, line busy %.2f\n",
                bytes_per_ms, delay_ms, frame_bytes, run.frames_written, run.ticks, run.worst_lag_ms, run.line_use);
    return run;
}

// All but the first after the start, which waits for the line's first measure.
TEST(OutputPacing, AFastTerminalGetsEveryFrame) {
    const LineRun run = run_line(20000, 0, 12000);
    EXPECT_EQ(run.frames_written, run.ticks - 1);
    EXPECT_LE(run.worst_lag_ms, 2u);
}

// 100 KB/s: frames of 8 KB take 80 ms each; they are left out so that none waits behind
// others, and the line is still kept busy.
TEST(OutputPacing, ASlowLineGetsFewerFramesNeverLate) {
    for (const std::size_t frame_bytes : {2000u, 5000u, 8000u, 12000u}) {
        const LineRun run = run_line(100, 1, frame_bytes);
        const auto own_ms = static_cast<std::uint32_t>(frame_bytes / 100);
        EXPECT_LE(run.worst_lag_ms, std::max<std::uint32_t>(own_ms + 20, PACING_LAG_MS + 30)) << frame_bytes;
        EXPECT_GT(run.line_use, 0.6) << frame_bytes;
        EXPECT_LT(run.frames_written, run.ticks) << frame_bytes;
    }
}

// A fast line with a round trip longer than the lag allowed (150 ms): a frame per round
// trip (read at the next frame), each on screen half a round trip after it went.
TEST(OutputPacing, ALongRoundTripGetsAFramePerRoundTrip) {
    const LineRun run = run_line(10000, 75, 12000);
    EXPECT_GE(run.frames_written, 10000 / (150 + 2 * 16));
    EXPECT_LE(run.frames_written, 10000 / 150 + 1);
    EXPECT_LE(run.worst_lag_ms, 75u + 2u);
}

}  // namespace
}  // namespace textdemo
