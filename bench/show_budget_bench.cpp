// Frame budget of the whole show: start-up to the first presented frame (archive, music
// scan, tables and effects, the first frame drawn and written), step by step and as a
// share of the 16 ms frame, and the same for the console program itself, started in a
// pseudo-terminal until its first frame arrives; per timeline slot the time of drawing plus
// converting one frame (median and worst over every 16 ms frame of its span); and the
// console presentation's bytes per frame over the whole show. Prints one table.
//
// Reads the show's archive (TEXTDEMO_SHOW_ARCHIVE, else ruk.salad in the build folder).
// A frame where two slots touch is counted for the later one, which draws on top. The show
// runs PASSES times and each frame keeps its fastest time, so that a frame the scheduler of
// a busy machine interrupted does not pass for a slow one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/console/console_picture.hpp"
#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "show/timeline.hpp"
#include "song/music_player.hpp"
#include "tests/support/show_resources.hpp"

namespace {

using namespace textdemo;
using Clock = std::chrono::steady_clock;
constexpr int PASSES = 3;
constexpr int PROGRAM_STARTS = 7;
// Every frame the console program writes opens with the terminal's synchronized-update
// request.
constexpr std::string_view FRAME_MARKER = "\x1b[?2026h";

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print_share(const char* what, double ms) {
    std::printf("| %-40s | %8.2f ms | %6.1f frames |\n", what, ms, ms / FRAME_PERIOD_MS);
}

// Reads what the program writes until `done` says so, EOF, or the time limit; true when
// `done` was met.
template <typename Done>
bool read_terminal(int terminal, Clock::time_point start, double limit_ms, Done done) {
    std::string seen;
    char buffer[1 << 16];
    while (ms_since(start) < limit_ms) {
        pollfd ready{terminal, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0) continue;
        const ssize_t got = read(terminal, buffer, sizeof buffer);
        if (got <= 0) return false;  // the program has closed the terminal
        seen.append(buffer, static_cast<std::size_t>(got));
        if (done(seen)) return true;
    }
    return false;
}

// One start of textdemo-console in an 80 x 50 pseudo-terminal: milliseconds from the fork
// to the first frame on the terminal (negative when none came within 10 s). The show is
// then ended with SIGTERM, which it answers with its normal teardown.
double program_start_ms(const std::string& archive) {
    winsize size{};
    size.ws_row = 50;
    size.ws_col = 80;
    int terminal = -1;
    const auto start = Clock::now();
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    if (pid < 0) return -1;
    if (pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        execl(TEXTDEMO_CONSOLE_PROGRAM, TEXTDEMO_CONSOLE_PROGRAM, "--archive", archive.c_str(), nullptr);
        _exit(127);
    }
    const bool shown = read_terminal(terminal, start, 10000, [](const std::string& seen) {
        return seen.find(FRAME_MARKER) != std::string::npos;
    });
    const double first_frame_ms = shown ? ms_since(start) : -1;
    kill(pid, SIGTERM);
    const auto ending = Clock::now();
    read_terminal(terminal, ending, 5000, [](const std::string&) { return false; });  // until it lets go
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(terminal);
    return first_frame_ms;
}

}  // namespace

int main() {
    if (!test::use_show_archive()) return 1;
    release_resource_archive();  // use_show_archive has read it: read it again, timed
    TextFrame& frame = text_frame();
    auto start = Clock::now();
    if (load_resource_archive()) return 1;
    const double archive_ms = ms_since(start);
    start = Clock::now();
    if (build_headless_show()) return 1;  // the archive is read already
    const MusicPlayer& player = music_player();
    const double show_ms = ms_since(start);
    start = Clock::now();
    const ScreenLayout native = choose_layout(ConsoleLayout::Native, FRAME_HEIGHT, FRAME_WIDTH);
    static ScreenState first_screen;
    static SteadyPicture steady;  // unused by the native layout
    std::vector<ScreenCell> first_cells;
    std::string first_bytes;
    draw_song_frame(0);
    picture_cells(native, PictureStyle{}, steady, frame.pixels, first_cells);
    write_frame_changes(first_screen, first_cells.data(), first_bytes);
    const double first_frame_ms = ms_since(start);

    const auto& effects = effect_list().effects;
    const std::uint32_t frames = player.length / FRAME_PERIOD_MS + 1;
    std::vector<double> frame_ms(frames, 1e9);
    for (int pass = 0; pass < PASSES; ++pass)
        for (std::uint32_t f = 0; f < frames; ++f) {
            start = Clock::now();
            draw_song_frame(f * FRAME_PERIOD_MS);
            convert_frame(frame);
            frame_ms[f] = std::min(frame_ms[f], ms_since(start));
        }

    std::vector<std::vector<double>> slot_times(effects.size());
    std::vector<double> bytes;
    static ScreenState screen;
    std::vector<ScreenCell> cells;
    std::string out;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::uint32_t position = f * FRAME_PERIOD_MS;
        for (std::size_t slot = effects.size(); slot-- > 0;)
            if (effects[slot]->start_ms <= position && position <= effects[slot]->end_ms) {
                slot_times[slot].push_back(frame_ms[f]);
                break;
            }
        draw_song_frame(position);
        picture_cells(native, PictureStyle{}, steady, frame.pixels, cells);
        out.clear();
        write_frame_changes(screen, cells.data(), out);
        bytes.push_back(static_cast<double>(out.size()));
    }

    std::vector<double> program_ms;
    for (int run = 0; run < PROGRAM_STARTS; ++run) program_ms.push_back(program_start_ms(test::show_archive_path()));
    std::sort(program_ms.begin(), program_ms.end());

    std::printf("| %-40s |     time |   16 ms frames |\n|---|---:|---:|\n", "start-up step");
    print_share("archive read and decoded", archive_ms);
    print_share("music scanned, sine tables and effects", show_ms);
    print_share("first frame drawn and written", first_frame_ms);
    print_share("to the first frame, in this process", archive_ms + show_ms + first_frame_ms);
    if (program_ms.front() < 0) {
        std::printf("| %-40s | no frame within 10 s |\n", "textdemo-console in a terminal");
    } else {
        print_share("textdemo-console in a terminal, median", median(program_ms));
        print_share("textdemo-console in a terminal, best", program_ms.front());
    }
    std::printf("\n| slot | effect | frames | median ms | worst ms | worst / 16 ms |\n|---|---|---:|---:|---:|---:|\n");
    for (std::size_t slot = 0; slot < effects.size(); ++slot) {
        const auto& times = slot_times[slot];
        const double worst = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
        std::printf("| %zu | %s | %zu | %.3f | %.3f | %.1f%% |\n", slot + 1, effects[slot]->name, times.size(), median(times),
                    worst, 100 * worst / FRAME_PERIOD_MS);
    }
    double total_bytes = 0;
    for (double b : bytes) total_bytes += b;
    std::printf("\nconsole bytes per frame over %zu frames: median %.0f, mean %.0f, worst %.0f\n", bytes.size(), median(bytes),
                bytes.empty() ? 0 : total_bytes / static_cast<double>(bytes.size()),
                bytes.empty() ? 0 : *std::max_element(bytes.begin(), bytes.end()));
    if (end_headless_show()) return 1;
    return 0;
}
