// Bytes the pixel layout sends to the terminal over the whole show, every 16 ms frame, for
// the kitty graphics protocol and sixel at the sizes of real terminals. Prints one table:
// median and worst bytes per frame, what 62.5 frames a second of the median make per
// second, and the median and worst time to build a frame (thread CPU time: the picture
// drawn, enlarged, compressed or coded; other work on the machine slows it, the load
// average is printed with it).
//
// Reads the show's archive (TEXTDEMO_SHOW_ARCHIVE, else ruk.salad in the build folder).
// `--step N` takes every Nth frame only (sixel then codes the changes over N frames);
// `--only kitty` or `--only sixel` runs one protocol's rows.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_measures.hpp"
#include "display/console/pixel_layout.hpp"
#include "resources/font_texture.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"
#include "tests/support/show_resources.hpp"

namespace {

using namespace textdemo;
using bench::load_average;
using bench::median;
using bench::thread_us;

struct Setup {
    const char* name;
    bool kitty;
    int rows, columns;
    CellSize cell;
};

constexpr Setup SETUPS[] = {
    {"kitty, 80 x 24 of 9 x 18 (x1)", true, 24, 80, {9, 18}},
    {"kitty, 200 x 60 of 9 x 18 (x2)", true, 60, 200, {9, 18}},
    {"sixel, 110 x 33 of 6 x 13 (x1)", false, 33, 110, {6, 13}},
    {"sixel, 220 x 64 of 6 x 13 (x2)", false, 64, 220, {6, 13}},
};

struct Run {
    PixelLayout layout;
    std::unique_ptr<PixelScreen> screen = std::make_unique<PixelScreen>();
    std::unique_ptr<ScreenState> text = std::make_unique<ScreenState>();
    std::vector<std::size_t> bytes;
    std::vector<double> us;
};

}  // namespace

int main(int argc, char** argv) {
    int step = 1;
    const char* only = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--step") == 0) step = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
    }
    if (!test::use_show_archive()) return 1;
    Image font_image;
    if (build_headless_show() || load_image(font_image, "textmodechars.png")) return 1;
    const FontTexture font = font_texture(font_image);
    std::vector<Setup> setups;
    for (const Setup& s : SETUPS)
        if (!only || std::strcmp(only, s.kitty ? "kitty" : "sixel") == 0) setups.push_back(s);
    std::vector<Run> runs(setups.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Setup& s = setups[i];
        runs[i].layout = choose_pixel_layout(ConsoleLayout::Pixels, s.kitty, !s.kitty, s.rows, s.columns, s.cell);
        resize_screen(*runs[i].text, s.rows, s.columns);
    }
    const std::uint32_t frames = music_player().length / FRAME_PERIOD_MS + 1;
    const double load_before = load_average();
    std::string out;
    for (std::uint32_t f = 0; f < frames; f += static_cast<std::uint32_t>(step)) {
        draw_song_frame(f * FRAME_PERIOD_MS);
        for (Run& run : runs) {
            out.clear();
            const double start = thread_us();
            write_pixel_frame(*run.screen, run.layout, text_frame().pixels, font, *run.text, out);
            run.us.push_back(thread_us() - start);
            // The first frame clears the screen and draws everything; the others are the show.
            if (f > 0) run.bytes.push_back(out.size());
        }
    }
    std::printf("pixel layout bytes over %u frames of the show (every %d x 16 ms), load average %.1f to %.1f\n\n",
                (frames + step - 1) / step, step, load_before, load_average());
    std::printf("| protocol, terminal (scale) | median bytes | worst bytes | median KB/s at 62.5 fps | median ms | "
                "worst ms |\n|---|---:|---:|---:|---:|---:|\n");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        const std::size_t m = median(run.bytes);
        std::printf("| %s | %zu | %zu | %.0f | %.2f | %.2f |\n", setups[i].name, m,
                    *std::max_element(run.bytes.begin(), run.bytes.end()), static_cast<double>(m) * 62.5 / 1000.0,
                    median(run.us) / 1000.0, *std::max_element(run.us.begin(), run.us.end()) / 1000.0);
    }
    return end_headless_show() ? 1 : 0;
}
