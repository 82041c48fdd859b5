// Cost of one render() of the Kelvaron logo, Tunnel, Demo logo and Wobbly effects, in
// milliseconds, to set against the 16 ms frame of the show.
//
// Uses the real content archive from the build directory when it exists, with synthetic
// stand-ins for any entry it lacks. Each iteration draws the next frame of the effect's own slot
// (16 ms further, wrapping inside the slot), so the figures cover its whole time on screen.
#include <benchmark/benchmark.h>

#include <memory>

#include "effects/effect_demo_logo.hpp"
#include "effects/effect_kelvaron_logo.hpp"
#include "effects/effect_tunnel.hpp"
#include "effects/effect_wobbly.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "show/timeline.hpp"
#include "tests/support/show_resources.hpp"

namespace {

using namespace textdemo;

// Spans of the nine slots. Entries the archive lacks (all of them without ruk.salad) get
// stand-ins: 64-row patterns and grey images of the right shapes.
const std::array<EffectSpan, TIMELINE_SLOTS>& slot_spans() {
    static const auto spans = [] {
        test::use_show_content();
        return timeline_spans(pattern_data(), 0xFFFFFFFF);
    }();
    return spans;
}

template <class EffectClass>
std::unique_ptr<Effect> make_effect(std::uint32_t start, std::uint32_t end) {
    return std::make_unique<EffectClass>(start, end);
}

// Renders the effect of `slot` frame after frame through its span.
void BM_Render(benchmark::State& state, std::unique_ptr<Effect> (*make)(std::uint32_t, std::uint32_t), int slot) {
    const EffectSpan span = slot_spans()[slot];
    const auto effect = make(span.start_ms, span.end_ms);
    PatternData& song = pattern_data();
    std::uint32_t offset = 0;
    for (auto _ : state) {
        update_song_position(span.start_ms + offset, song);
        effect->render();
        benchmark::DoNotOptimize(text_frame().pixels);
        offset = (offset + 16) % (span.end_ms - span.start_ms + 1);
    }
}

BENCHMARK_CAPTURE(BM_Render, kelvaron_logo, make_effect<EffectKelvaronLogo>, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, tunnel, make_effect<EffectTunnel>, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, demo_logo, make_effect<EffectDemoLogo>, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, wobbly_first, make_effect<EffectWobbly>, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, wobbly_second, make_effect<EffectWobbly>, 6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
