// Bytes the console program sends to the terminal over the whole show, every 16 ms frame,
// per layout and colour mode, next to the writer the console had before layouts and colour
// modes (baseline_screen_writer) in the same run. Prints one table: median and worst bytes
// per frame, bytes per changed cell (all bytes over all changed cells: cells of the picture
// that look different from the frame before; for the baseline, cells whose character or
// attribute changed, as it compares them), the median count of changed cells and the
// median and mean time to build and write a frame. Times are the CPU time of the thread, so
// other work on the machine slows them (caches, clock) but its waiting does not count; the
// load average is printed with them.
//
// Reads the show's archive (TEXTDEMO_SHOW_ARCHIVE, else ruk.salad in the build folder).
// Native runs in an 80 x 50 terminal, half in 80 x 25 (and 80 x 24, averaged down).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/baseline_screen_writer.hpp"
#include "bench/bench_measures.hpp"
#include "display/console/console_picture.hpp"
#include "frame/convert.hpp"
#include "resources/archive.hpp"
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

struct Series {
    std::vector<std::size_t> bytes, changed;
    std::vector<double> us;
    double total_bytes = 0, total_changed = 0, total_us = 0;

    void add(std::size_t frame_bytes, std::size_t changed_cells, double frame_us) {
        bytes.push_back(frame_bytes);
        changed.push_back(changed_cells);
        us.push_back(frame_us);
        total_bytes += static_cast<double>(frame_bytes);
        total_changed += static_cast<double>(changed_cells);
        total_us += frame_us;
    }
};

// One layout and colour mode in a terminal of a fixed size.
struct Setup {
    const char* name;
    ConsoleLayout layout;
    ConsoleColours colours;
    int rows, columns;
};

constexpr Setup SETUPS[] = {
    {"native-16", ConsoleLayout::Native, ConsoleColours::Ansi16, 50, 80},
    {"native-256", ConsoleLayout::Native, ConsoleColours::Indexed256, 50, 80},
    {"native-truecolor", ConsoleLayout::Native, ConsoleColours::TrueColour, 50, 80},
    {"half-16", ConsoleLayout::Half, ConsoleColours::Ansi16, 25, 80},
    {"half-256", ConsoleLayout::Half, ConsoleColours::Indexed256, 25, 80},
    {"half-truecolor", ConsoleLayout::Half, ConsoleColours::TrueColour, 25, 80},
    {"half-16", ConsoleLayout::Half, ConsoleColours::Ansi16, 24, 80},
    {"half-256", ConsoleLayout::Half, ConsoleColours::Indexed256, 24, 80},
    {"half-truecolor", ConsoleLayout::Half, ConsoleColours::TrueColour, 24, 80},
};
constexpr int CONFIGURATIONS = static_cast<int>(std::size(SETUPS));

// A setup with its own screen and the cells of its last frame.
struct Configuration {
    Setup setup;
    ScreenState screen{};
    SteadyPicture steady{};
    ScreenCell previous[FRAME_CELLS]{};
    Series series{};
};

void present(Configuration& c, const GlyphInk& glyphs, const std::uint32_t (&pixels)[FRAME_CELLS], std::string& out) {
    static std::vector<ScreenCell> cells;
    const double start = thread_us();
    const ScreenLayout layout = choose_layout(c.setup.layout, c.setup.rows, c.setup.columns);
    picture_cells(layout, {c.setup.colours, true, glyphs}, c.steady, pixels, cells);
    resize_screen(c.screen, c.setup.rows, c.setup.columns);
    place_region(c.screen, layout.region);
    out.clear();
    write_frame_changes(c.screen, cells.data(), out);
    const double us = thread_us() - start;
    const int count = layout.region.rows * layout.region.columns;
    std::size_t changed = 0;
    for (int i = 0; i < count; ++i) changed += c.series.bytes.empty() || !looks_same(cells[i], c.previous[i], true);
    std::copy(cells.begin(), cells.begin() + count, c.previous);
    c.series.add(out.size(), changed, us);
}

void present_baseline(baseline::BaselineScreen& screen, ConsoleCell (&previous)[FRAME_CELLS], Series& series,
                      const std::uint32_t (&pixels)[FRAME_CELLS], std::string& out) {
    static ConsoleCell cells[FRAME_CELLS];
    const double start = thread_us();
    convert_frame_console(pixels, cells);
    out.clear();
    baseline::write_frame_changes(screen, cells, out);
    const double us = thread_us() - start;
    std::size_t changed = 0;
    for (int i = 0; i < FRAME_CELLS; ++i)
        changed += series.bytes.empty() || cells[i].character != previous[i].character ||
                   cells[i].attribute != previous[i].attribute;
    std::copy(std::begin(cells), std::end(cells), previous);
    series.add(out.size(), changed, us);
}

void print_row(const char* name, const char* terminal, const Series& s, std::size_t baseline_median) {
    const std::size_t m = median(s.bytes);
    const double change = 100.0 * (static_cast<double>(m) / static_cast<double>(baseline_median) - 1.0);
    const std::size_t worst = *std::max_element(s.bytes.begin(), s.bytes.end());
    const double per_cell = s.total_changed > 0 ? s.total_bytes / s.total_changed : 0.0;
    std::printf("| %-18s | %-7s | %7zu | %+6.1f%% | %7zu | %6.2f | %7zu | %7.1f | %7.1f |\n", name, terminal, m, change,
                worst, per_cell, median(s.changed), median(s.us), s.total_us / static_cast<double>(s.bytes.size()));
}

}  // namespace

int main() {
    if (!test::use_show_archive()) return 1;
    Image font;
    if (build_headless_show() || load_image(font, "textmodechars.png")) return 1;
    const MusicPlayer& player = music_player();
    const GlyphInk glyphs = glyph_ink(font_texture(font));

    auto configurations = std::make_unique<Configuration[]>(CONFIGURATIONS);
    for (int i = 0; i < CONFIGURATIONS; ++i) configurations[i].setup = SETUPS[i];
    auto baseline_screen = std::make_unique<baseline::BaselineScreen>();
    static ConsoleCell baseline_previous[FRAME_CELLS];
    Series baseline_series;

    const std::uint32_t frames = player.length / FRAME_PERIOD_MS + 1;
    const double load_before = load_average();
    std::string out;
    out.reserve(256 * 1024);
    for (std::uint32_t f = 0; f < frames; ++f) {
        draw_song_frame(f * FRAME_PERIOD_MS);
        present_baseline(*baseline_screen, baseline_previous, baseline_series, text_frame().pixels, out);
        for (int i = 0; i < CONFIGURATIONS; ++i) present(configurations[i], glyphs, text_frame().pixels, out);
    }

    const std::size_t baseline_median = median(baseline_series.bytes);
    std::printf("console bytes over %u frames of the show (every 16 ms), load average %.1f to %.1f\n\n", frames,
                load_before, load_average());
    std::printf("| writer            | terminal | median bytes | vs before | worst bytes | bytes / changed cell | "
                "median changed cells | median us | mean us |\n|---|---|---:|---:|---:|---:|---:|---:|---:|\n");
    print_row("before (native-16)", "80 x 50", baseline_series, baseline_median);
    for (int i = 0; i < CONFIGURATIONS; ++i) {
        const Setup& s = configurations[i].setup;
        const std::string terminal = std::to_string(s.columns) + " x " + std::to_string(s.rows);
        print_row(s.name, terminal.c_str(), configurations[i].series, baseline_median);
    }
    if (end_headless_show()) return 1;
    return 0;
}
