// Presentation cost of the console program on frames of the show: bytes sent to the
// terminal per frame (median, worst) and time per frame (conversion and the bytes built),
// writing only what changed against repainting all 4000 cells every frame, and how many
// cells change from one frame to the next.
//
// The frames come from the show's archive (TEXTDEMO_SHOW_ARCHIVE, else ruk.salad in the
// build folder): several stretches of consecutive 16 ms frames spread over the music.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "display/console/screen_writer.hpp"
#include "frame/convert.hpp"
#include "resources/archive.hpp"
#include "runtime/frame_loop.hpp"
#include "runtime/music_player.hpp"
#include "runtime/sound_layer.hpp"
#include "runtime/timeline.hpp"

namespace {

using namespace textdemo;

constexpr int STRETCHES = 12;
constexpr int FRAMES_PER_STRETCH = 150;

struct Frame {
    std::uint32_t pixels[FRAME_CELLS];
};

std::string show_archive_path() {
    if (const char* path = std::getenv("TEXTDEMO_SHOW_ARCHIVE")) return path;
    return TEXTDEMO_BUILD_DIR "/ruk.salad";
}

// Consecutive frames of the show, as the frame loop draws them.
const std::vector<Frame>& show_frames() {
    static std::vector<Frame> frames;
    if (!frames.empty()) return frames;
    const std::string path = show_archive_path();
    if (access(path.c_str(), R_OK) != 0) return frames;
    set_archive_path(path);
    force_silent_sound_output(true);
    MusicPlayer& player = music_player();
    load_music(player);
    build_timeline();
    const std::uint32_t stride = player.length / STRETCHES;
    frames.resize(STRETCHES * FRAMES_PER_STRETCH);
    for (int s = 0; s < STRETCHES; ++s) {
        for (int f = 0; f < FRAMES_PER_STRETCH; ++f) {
            draw_song_frame(s * stride + f * FRAME_PERIOD_MS);
            std::copy(std::begin(text_frame().pixels), std::end(text_frame().pixels),
                      frames[s * FRAMES_PER_STRETCH + f].pixels);
        }
    }
    return frames;
}

// Bytes of every frame in order; a stretch starts from the last frame of the one before,
// as a cut does in the show.
std::vector<std::size_t> bytes_per_frame(const std::vector<Frame>& frames, bool repaint) {
    static ScreenState screen;
    static ConsoleCell cells[FRAME_CELLS];
    screen = ScreenState{};
    std::vector<std::size_t> sizes;
    std::string out;
    for (const Frame& frame : frames) {
        convert_frame_console(frame.pixels, cells);
        if (repaint) invalidate_screen(screen);
        out.clear();
        write_frame_changes(screen, cells, out);
        sizes.push_back(out.size());
    }
    return sizes;
}

// Cells that differ from the frame before, per frame.
std::vector<std::size_t> changed_cells_per_frame(const std::vector<Frame>& frames) {
    static ConsoleCell cells[FRAME_CELLS], previous[FRAME_CELLS];
    std::vector<std::size_t> counts;
    for (std::size_t f = 0; f < frames.size(); ++f) {
        convert_frame_console(frames[f].pixels, cells);
        std::size_t changed = 0;
        for (int i = 0; i < FRAME_CELLS; ++i) {
            changed += f == 0 || cells[i].character != previous[i].character || cells[i].attribute != previous[i].attribute;
        }
        counts.push_back(changed);
        std::copy(std::begin(cells), std::end(cells), previous);
    }
    std::sort(counts.begin(), counts.end());
    return counts;
}

void present(benchmark::State& state, bool repaint) {
    const std::vector<Frame>& frames = show_frames();
    if (frames.empty()) {
        state.SkipWithError(("no show archive at " + show_archive_path()).c_str());
        return;
    }
    std::vector<std::size_t> sizes = bytes_per_frame(frames, repaint);
    std::sort(sizes.begin(), sizes.end());
    static ScreenState screen;
    static ConsoleCell cells[FRAME_CELLS];
    screen = ScreenState{};
    std::string out;
    out.reserve(128 * 1024);
    std::size_t next = 0;
    for (auto _ : state) {
        convert_frame_console(frames[next].pixels, cells);
        if (repaint) invalidate_screen(screen);
        out.clear();
        write_frame_changes(screen, cells, out);
        benchmark::DoNotOptimize(out.data());
        next = (next + 1) % frames.size();
    }
    state.counters["frames"] = static_cast<double>(frames.size());
    state.counters["median_bytes"] = static_cast<double>(sizes[sizes.size() / 2]);
    state.counters["worst_bytes"] = static_cast<double>(sizes.back());
    const std::vector<std::size_t> changed = changed_cells_per_frame(frames);
    state.counters["median_changed_cells"] = static_cast<double>(changed[changed.size() / 2]);
}

void BM_PresentChangedCells(benchmark::State& state) { present(state, false); }
void BM_PresentFullRepaint(benchmark::State& state) { present(state, true); }
BENCHMARK(BM_PresentChangedCells);
BENCHMARK(BM_PresentFullRepaint);

}  // namespace

BENCHMARK_MAIN();
