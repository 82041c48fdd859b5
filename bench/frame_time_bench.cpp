// frame_time_bench: the time of a frame as the web page makes it (draw, convert to cells,
// lay out the 640 x 400 picture from the cell looks), every 16 ms over the whole show; the
// same source built natively and by em++ (run by Node), so the two times are of one code.
//
//   frame_time_bench [ARCHIVE [PASSES]]
//
// Reads the show from ARCHIVE (default: the build's). The show runs PASSES times (default 3)
// and each frame keeps its fastest time, so that a frame the scheduler of a busy machine
// interrupted does not pass for a slow one. Prints one line: the medians, the time 99% of
// the frames stay within, and the worst frame.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "resources/cell_looks.hpp"
#include "resources/image.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"

#ifndef TEXTDEMO_BENCH_ARCHIVE
#error "TEXTDEMO_BENCH_ARCHIVE is set by the build"
#endif

namespace {

using namespace textdemo;
using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The value below which the share `rank` (0 to 1) of the values lie.
double percentile(std::vector<double> values, double rank) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[static_cast<std::size_t>(rank * static_cast<double>(values.size() - 1))];
}

double median(const std::vector<double>& values) { return percentile(values, 0.5); }

struct FrameTimes {
    std::vector<double> draw, convert, picture, total;
};

}  // namespace

int main(int argc, char** argv) {
    const char* archive = argc > 1 ? argv[1] : TEXTDEMO_BENCH_ARCHIVE;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 3;
    if (passes < 1 || argc > 3) {
        std::fprintf(stderr, "usage: frame_time_bench [ARCHIVE [PASSES]]\n");
        return 2;
    }
    set_archive_path(archive);
    Failure failure = build_headless_show();
    Image font;
    if (!failure) failure = load_image(font, "textmodechars.png");
    if (failure) {
        std::fprintf(stderr, "frame_time_bench: %s\n", failure.message.c_str());
        return 1;
    }
    const CellLooks looks = draw_every_look(font_texture(font));
    TextFrame& frame = text_frame();
    std::vector<std::uint8_t> rgba;

    const std::uint32_t frames = music_player().length / FRAME_PERIOD_MS + 1;
    FrameTimes best{std::vector<double>(frames, 1e9), std::vector<double>(frames, 1e9),
                    std::vector<double>(frames, 1e9), std::vector<double>(frames, 1e9)};
    for (int pass = 0; pass < passes; ++pass)
        for (std::uint32_t f = 0; f < frames; ++f) {
            const Clock::time_point start = Clock::now();
            draw_song_frame(f * FRAME_PERIOD_MS);
            const Clock::time_point drawn = Clock::now();
            convert_frame(frame);
            const Clock::time_point converted = Clock::now();
            lay_out_cell_picture(frame.cells, looks, rgba);
            const Clock::time_point laid_out = Clock::now();
            best.draw[f] = std::min(best.draw[f], ms_between(start, drawn));
            best.convert[f] = std::min(best.convert[f], ms_between(drawn, converted));
            best.picture[f] = std::min(best.picture[f], ms_between(converted, laid_out));
            best.total[f] = std::min(best.total[f], ms_between(start, laid_out));
        }
    const auto worst = std::max_element(best.total.begin(), best.total.end());
    const auto worst_frame = static_cast<std::uint32_t>(worst - best.total.begin());
    std::printf("%u frames, fastest of %d passes: median %.3f ms (draw %.3f, convert %.3f, picture %.3f), "
                "99%% within %.3f ms, worst %.3f ms at %u ms (%.1f%% of 16 ms)\n",
                frames, passes, median(best.total), median(best.draw), median(best.convert), median(best.picture),
                percentile(best.total, 0.99), *worst, worst_frame * FRAME_PERIOD_MS, 100 * *worst / FRAME_PERIOD_MS);
    return end_headless_show() ? 1 : 0;
}
