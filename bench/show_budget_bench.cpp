// Frame budget of the whole show: start-up (archive, music scan, tables and effects) as a
// share of the 16 ms frame; per timeline slot the time of drawing plus converting one frame
// (median and worst over every 16 ms frame of its span); and the console presentation's
// bytes per frame over the whole show. Prints one table.
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
#include <vector>

#include <unistd.h>

#include "display/console/screen_writer.hpp"
#include "frame/convert.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "runtime/frame_loop.hpp"
#include "runtime/music_player.hpp"
#include "runtime/sound_layer.hpp"
#include "runtime/timeline.hpp"

namespace {

using namespace textdemo;
using Clock = std::chrono::steady_clock;
constexpr int PASSES = 3;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print_share(const char* what, double ms) {
    std::printf("| %-28s | %8.2f ms | %6.1f frames |\n", what, ms, ms / FRAME_PERIOD_MS);
}

}  // namespace

int main() {
    const char* env = std::getenv("TEXTDEMO_SHOW_ARCHIVE");
    const std::string path = env ? env : TEXTDEMO_BUILD_DIR "/ruk.salad";
    if (access(path.c_str(), R_OK) != 0) {
        std::printf("no show archive at %s\n", path.c_str());
        return 1;
    }
    set_archive_path(path);
    TextFrame& frame = text_frame();
    auto start = Clock::now();
    resource_archive();
    const double archive_ms = ms_since(start);
    start = Clock::now();
    force_silent_sound_output(true);
    MusicPlayer& player = music_player();
    load_music(player);
    const double music_ms = ms_since(start);
    start = Clock::now();
    build_timeline();
    const double timeline_ms = ms_since(start);

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
    static ConsoleCell console[FRAME_CELLS];
    std::string out;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::uint32_t position = f * FRAME_PERIOD_MS;
        for (std::size_t slot = effects.size(); slot-- > 0;)
            if (effects[slot]->start_ms <= position && position <= effects[slot]->end_ms) {
                slot_times[slot].push_back(frame_ms[f]);
                break;
            }
        draw_song_frame(position);
        convert_frame_console(frame.pixels, console);
        out.clear();
        write_frame_changes(screen, console, out);
        bytes.push_back(static_cast<double>(out.size()));
    }

    std::printf("| start-up step                |     time |   16 ms frames |\n|---|---:|---:|\n");
    print_share("archive read and decoded", archive_ms);
    print_share("music loaded and scanned", music_ms);
    print_share("sine tables and effects", timeline_ms);
    print_share("total", archive_ms + music_ms + timeline_ms);
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
    teardown_show();
    return 0;
}
