// Cost of one render() of the Table, Glow and Twister effects, per 16 ms frame.
//
// Uses the real content archive from the build directory when it exists, else synthetic
// images of the right shapes. Each iteration draws the next frame of the effect's own slot
// (16 ms further, wrapping inside its order positions), so the figures cover its whole time on screen.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "effects/effect_glow.hpp"
#include "effects/effect_table.hpp"
#include "effects/effect_twister.hpp"
#include "frame/fixed_math.hpp"
#include "resources/archive.hpp"
#include "runtime/pattern_data.hpp"
#include "tests/support/test_content.hpp"

namespace {

using namespace textdemo;

const char* const REAL_ARCHIVE = TEXTDEMO_BUILD_DIR "/ruk.salad";

// Scattered grey levels; a mask covers about a fifth of its pixels, as lettering would.
void put_synthetic_image(const char* name, int width, int height, bool mask = false) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::uint32_t v = static_cast<std::uint32_t>(i) * 2654435761u >> 24;
        if (mask && v < 205) v = 0;
        words[i] = v << 16 | v << 8 | v;
    }
    test::put_png(name, width, height, words);
}

// Loads the real archive, or fills an empty one with stand-ins, once per process.
bool prepare_content() {
    static const bool real = [] {
        const bool exists = std::filesystem::exists(REAL_ARCHIVE);
        set_archive_path(exists ? REAL_ARCHIVE : "/nonexistent/bench.salad");
        if (!exists) {
            test::put_pattern_dump({0}, {});
            put_synthetic_image("table.png", 256, 256);
            for (const char* name : {"splat3.png", "splat4.png", "splat8.png", "quorvila.png", "zentrobe.png"})
                put_synthetic_image(name, 80, 50);
            for (const char* name : {"quorvila_opacity.png", "zentrobe_opacity.png"}) put_synthetic_image(name, 80, 50, true);
            put_synthetic_image("twist.png", 80, 46);
            put_synthetic_image("twistalpha.png", 80, 46, true);
            put_synthetic_image("greets.png", 960, 50);
            put_synthetic_image("greets_opacity.png", 960, 50, true);
        }
        build_sine_tables();
        return exists;
    }();
    return real;
}

// Song milliseconds at which order position `order` starts.
std::uint32_t order_start_ms(const PatternData& song, int order) {
    return order == 0 ? 0 : static_cast<std::uint32_t>(rows_through(song, order - 1) * MS_PER_ROW);
}

// Renders the frames of order positions first..last, 16 ms apart, round and round.
template <class EffectClass>
void render_orders(benchmark::State& state, int first, int last) {
    const bool real = prepare_content();
    PatternData& song = pattern_data();
    const std::uint32_t start = order_start_ms(song, first), end = order_start_ms(song, last + 1);
    EffectClass effect(start, end);
    const std::uint32_t length = end - start + 1;
    std::uint32_t offset = 0;
    for (auto _ : state) {
        update_song_position(start + offset, song);
        effect.render();
        benchmark::ClobberMemory();
        offset = (offset + 16) % length;
    }
    state.SetLabel(real ? "real content" : "synthetic content");
}

void BM_TableRender(benchmark::State& state) { render_orders<EffectTable>(state, 24, 27); }
void BM_GlowRender(benchmark::State& state) { render_orders<EffectGlow>(state, 28, 29); }
void BM_TwisterRender(benchmark::State& state) { render_orders<EffectTwister>(state, 34, 37); }

// Against the 16 ms frame budget: microseconds per frame.
BENCHMARK(BM_TableRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlowRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwisterRender)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
