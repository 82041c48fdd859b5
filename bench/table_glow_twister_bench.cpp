// Cost of one render() of the Table, Glow and Twister effects, per 16 ms frame.
//
// Uses the real content archive from the build directory when it exists; images or a
// pattern dump it lacks are replaced by synthetic ones of the right shapes. Each iteration draws the next frame of the effect's own slot
// (16 ms further, wrapping inside its order positions), so the figures cover its whole time on screen.
#include <benchmark/benchmark.h>

#include <memory>

#include "effects/effect_glow.hpp"
#include "effects/effect_table.hpp"
#include "effects/effect_twister.hpp"
#include "frame/fixed_math.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/show_resources.hpp"

namespace {

using namespace textdemo;

// Loads the real archive when the build has one; whatever it lacks gets a stand-in.
// Answers whether the effects' images are the real ones.
bool prepare_content() {
    static const bool real = [] {
        const bool all_real = test::use_show_content();
        build_sine_tables();
        return all_real;
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
    state.SetLabel(real ? "real images" : "synthetic images");
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
