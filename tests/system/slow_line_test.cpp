// textdemo-console behind a slow line: a pty pair of the test's own whose master this test
// reads at 100 KB/s, as a terminal at the end of a slow ssh connection would get the bytes,
// answering the device attributes requests in order with the data (or never, as tmux
// inside such a terminal or the Linux console may not). The picture must stay close to the
// music, and Escape must end the show at once, however much the line would hold.
//
// What reached the "terminal" is replayed frame by frame (each frame is one synchronized
// update) into a terminal model; the screens at frame ends are matched afterwards against
// the show's frames drawn in this process, to find each one's song position. The silent
// music's clock is the wall clock since the music started: the first frame, written to an
// idle line and so arriving at once, tells when that was.
//
// Needs the show archive (TEXTDEMO_SHOW_ARCHIVE, else the one the build packs).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/console/cp437.hpp"
#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "tests/support/console_sequences.hpp"
#include "tests/support/pty_program.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/terminal_model.hpp"

using namespace std::chrono_literals;
using namespace textdemo;
using Clock = std::chrono::steady_clock;

namespace {

// What a VT220 with colours answers.
constexpr std::string_view ATTRIBUTES_ANSWER = "\x1b[?62;22c";
constexpr double LINE_BYTES_PER_MS = 100;  // 100 KB/s
constexpr double LINE_BURST = 1024;
// Where the show moves in every millisecond (the tunnel), so each screen tells its position.
constexpr std::uint32_t START_MS = 20000;
// The native picture cut to its top rows: a native frame of the whole picture in 16 colours
// is some 17 KB there, 170 ms of this line by itself; 20 rows leave room for a busy machine.
constexpr int ROWS = 20;

std::int64_t ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// A screen at the end of a frame, and when its last byte came.
struct Sample {
    std::int64_t at_ms;  // since the program was started
    std::vector<std::string> text;
};

struct LineRun {
    std::vector<Sample> samples;        // the first frame, then one at least every 250 ms
    std::int64_t first_frame_start_ms = -1;  // its first byte
    int frames = 0;
    int requests = 0;                   // device attributes requests seen
    std::int64_t escape_to_exit_ms = -1;
    std::int64_t escape_to_main_screen_ms = -1;  // the terminal has the shell's screen again
    int status = 0;
};

// The terminal's side of the line: bytes are taken from the master no faster than
// bytes_per_ms (unlimited at 0), frames replayed into the model, requests answered where
// `answers` as the terminal reaches them. After run_ms of frames Escape is typed; the line
// goes on until the program has ended (or 10 s have passed: it is killed).
LineRun run_behind_line(double bytes_per_ms, bool answers, std::int64_t run_ms) {
    LineRun run;
    int master = -1, slave = -1;
    winsize size{};
    size.ws_row = ROWS, size.ws_col = FRAME_WIDTH;
    EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    if (master < 0) return run;
    const std::string archive = test::show_archive_path();
    const std::string start = std::to_string(START_MS / 1000);  // seconds
    const Clock::time_point started = Clock::now();
    const pid_t child = test::start_in_pty(master, slave,
                                           {"TERM=xterm-256color", "COLORTERM=", "LC_ALL=C.UTF-8", TEXTDEMO_CONSOLE_PROGRAM,
                                            "--archive", archive.c_str(), "--layout", "native", "--colors", "16",
                                            "--start", start.c_str()});
    EXPECT_GE(child, 0);
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    test::TerminalModel model(ROWS, FRAME_WIDTH);
    std::string seen;          // bytes not yet looked at for frames and requests
    bool in_frame = false;
    char bytes[65536];
    std::string held;          // taken from the master, not yet carried
    double credit = 0;         // bytes the line may carry now
    Clock::time_point credited_at = started;
    std::int64_t last_sample_ms = -1000;
    Clock::time_point escape_at{};
    bool exited = false, killed = false;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const std::int64_t now_ms = ms_between(started, now);
        if (escape_at == Clock::time_point{} && run.first_frame_start_ms >= 0 &&
            now_ms - run.first_frame_start_ms > run_ms) {
            EXPECT_EQ(write(master, "\x1b", 1), 1);
            escape_at = now;
        }
        if (!killed && (now_ms > run_ms + 60000 || (escape_at != Clock::time_point{} && now - escape_at > 10s))) {
            ADD_FAILURE() << "still running, killed";
            kill(child, SIGKILL);
            killed = true;
        }
        int status = 0;
        if (!exited && waitpid(child, &status, WNOHANG) == child) {
            run.status = status;
            if (escape_at != Clock::time_point{}) run.escape_to_exit_ms = ms_between(escape_at, Clock::now());
            exited = true;
        }
        // Everything the program wrote is taken at once, as sshd does; the line carries it
        // on at bytes_per_ms, keeping no more than LINE_BURST of what it could have carried
        // while idle.
        ssize_t got;
        while ((got = read(master, bytes, sizeof bytes)) > 0) held.append(bytes, static_cast<std::size_t>(got));
        if (got < 0 && errno != EAGAIN && errno != EIO) ADD_FAILURE() << "reading the master: " << errno;
        std::size_t carried = held.size();
        if (bytes_per_ms > 0) {
            const auto waited_us = std::chrono::duration_cast<std::chrono::microseconds>(now - credited_at).count();
            credit = std::min(credit + static_cast<double>(waited_us) * bytes_per_ms / 1000, LINE_BURST);
            credited_at = now;
            carried = std::min(carried, static_cast<std::size_t>(credit));
            credit -= static_cast<double>(carried);
        }
        if (carried == 0) {
            if (exited) break;  // the line has carried everything
            std::this_thread::sleep_for(1ms);
            continue;
        }
        seen.append(held, 0, carried);
        held.erase(0, carried);
        // Frames and requests, in the order they came; what is cut at the end waits.
        for (;;) {
            if (in_frame) {
                const std::size_t end = seen.find(FRAME_END);
                if (end == std::string::npos) break;
                model.apply(seen.substr(0, end));
                seen.erase(0, end + FRAME_END.size());
                in_frame = false;
                ++run.frames;
                if (run.samples.empty() || now_ms - last_sample_ms >= 250) {
                    run.samples.push_back({now_ms, model.text});
                    last_sample_ms = now_ms;
                }
                continue;
            }
            if (escape_at != Clock::time_point{} && run.escape_to_main_screen_ms < 0 &&
                seen.find(MAIN_SCREEN) != std::string::npos)
                run.escape_to_main_screen_ms = ms_between(escape_at, now);
            const std::size_t frame = seen.find(FRAME_START);
            const std::size_t request = seen.find(ATTRIBUTES_REQUEST);
            if (request != std::string::npos && request < frame) {
                ++run.requests;
                if (answers) {
                    const ssize_t sent = write(master, ATTRIBUTES_ANSWER.data(), ATTRIBUTES_ANSWER.size());
                    EXPECT_EQ(sent, static_cast<ssize_t>(ATTRIBUTES_ANSWER.size()));
                }
                seen.erase(0, request + ATTRIBUTES_REQUEST.size());
            } else if (frame != std::string::npos) {
                if (run.first_frame_start_ms < 0) run.first_frame_start_ms = now_ms;
                seen.erase(0, frame + FRAME_START.size());
                in_frame = true;
            } else {
                // Keep what may be the start of a marker cut by the read.
                seen.erase(0, seen.size() > 8 ? seen.size() - 8 : 0);
                break;
            }
        }
    }
    close(master);
    return run;
}

// The show's frames drawn in this process: whether a screen shows the frame of a position.
class ShowPositions {
public:
    ShowPositions() { EXPECT_EQ(build_headless_show().message, ""); }
    ~ShowPositions() { EXPECT_EQ(end_headless_show().message, ""); }

    // Cells whose colours are alike may be drawn as any character.
    bool shows(const std::vector<std::string>& text, std::uint32_t position) {
        draw_song_frame(position);
        convert_frame_console(text_frame().pixels, cells_);
        for (int i = 0; i < ROWS * FRAME_WIDTH; ++i) {
            const ConsoleCell cell = cells_[i];
            if ((cell.attribute >> 4) == (cell.attribute & 15)) continue;
            if (text[static_cast<std::size_t>(i)] != cp437_text(cell.character, true)) return false;
        }
        return true;
    }

    // The latest position from `newest` down to `oldest` the screen shows, or -1.
    std::int64_t latest(const std::vector<std::string>& text, std::int64_t newest, std::int64_t oldest) {
        for (std::int64_t p = newest; p >= std::max<std::int64_t>(oldest, 0); --p)
            if (shows(text, static_cast<std::uint32_t>(p))) return p;
        return -1;
    }

private:
    ConsoleCell cells_[FRAME_CELLS];
};

class SlowLine : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(test::show_archive_path())) GTEST_SKIP() << "no show archive";
        release_resource_archive();
        set_archive_path(test::show_archive_path());
    }
};

// 100 KB/s, answered: every sampled screen shows a position of the music within 200 ms of
// where the music is then, and Escape ends the show within 1 s, the terminal back.
TEST_F(SlowLine, ThePictureKeepsUpWithTheMusicAndEscapeEndsAtOnce) {
    const LineRun run = run_behind_line(LINE_BYTES_PER_MS, true, 6000);
    ASSERT_GE(run.samples.size(), 10u) << run.frames << " frames";
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
    EXPECT_GE(run.escape_to_exit_ms, 0);
    EXPECT_LT(run.escape_to_exit_ms, 1000);
    EXPECT_GE(run.escape_to_main_screen_ms, 0);
    EXPECT_LT(run.escape_to_main_screen_ms, 1000);
    EXPECT_GT(run.requests, 10) << "frames are not paced";

    ShowPositions show;
    // The first frame went to an idle line: the music started its position before its
    // first byte came (the song's clock is the wall clock on the silent output).
    const Sample& first = run.samples.front();
    const std::int64_t first_position = show.latest(first.text, START_MS + run.first_frame_start_ms, START_MS);
    ASSERT_GE(first_position, START_MS) << "the first frame is none of the show's";
    const std::int64_t music_started_ms = run.first_frame_start_ms - (first_position - START_MS);
    std::int64_t worst = 0;
    for (const Sample& sample : run.samples) {
        const std::int64_t music = START_MS + sample.at_ms - music_started_ms;
        const std::int64_t shown = show.latest(sample.text, music + 20, music - 1000);
        ASSERT_GE(shown, 0) << "at " << sample.at_ms << " ms no frame of the last second";
        worst = std::max(worst, music - shown);

    }
    std::printf("%d frames, %zu samples, picture at most %lld ms behind the music; %lld ms after Escape the "
                "program was gone, %lld ms after it the terminal had the main screen back\n",
                run.frames, run.samples.size(), static_cast<long long>(worst),
                static_cast<long long>(run.escape_to_exit_ms), static_cast<long long>(run.escape_to_main_screen_ms));
    EXPECT_LE(worst, 200);
}

// A terminal that answers nothing is written every frame, as ever: no request after the
// start-up queries' one.
TEST_F(SlowLine, ATerminalThatNeverAnswersGetsEveryFrameUnpaced) {
    const LineRun run = run_behind_line(0, false, 2000);
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
    EXPECT_EQ(run.requests, 1);
    EXPECT_GT(run.frames, 2000 / 16 / 3);
}

}  // namespace
