// Cost of one render() of the Kelvaron logo, Tunnel, Demo logo and Wobbly effects, in
// milliseconds, to set against the 16 ms frame of the show.
//
// Uses the real content archive from the build directory when it exists, with synthetic
// stand-ins for any entry it lacks. Each iteration draws the next frame of the effect's own slot
// (16 ms further, wrapping inside the slot), so the figures cover its whole time on screen.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "effects/effect_demo_logo.hpp"
#include "effects/effect_kelvaron_logo.hpp"
#include "effects/effect_tunnel.hpp"
#include "effects/effect_wobbly.hpp"
#include "frame/text_frame.hpp"
#include "resources/archive.hpp"
#include "runtime/pattern_data.hpp"
#include "runtime/timeline.hpp"
#include "tests/support/test_content.hpp"

namespace {

using namespace textdemo;

const char* const REAL_ARCHIVE = TEXTDEMO_BUILD_DIR "/ruk.salad";

// Grey levels (i x step) & 255: masks have a transparent (0) pixel wherever that is 0.
void put_synthetic_image(const char* name, int width, int height, unsigned step) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = ((i * step) & 255) * 0x010101u;
    test::put_png(name, width, height, words);
}

// Spans of the nine slots. Entries the archive lacks (all of them without ruk.salad) get
// stand-ins: 64-row patterns and grey images of the right shapes.
const std::array<EffectSpan, TIMELINE_SLOTS>& slot_spans() {
    static const auto spans = [] {
        const bool exists = std::filesystem::exists(REAL_ARCHIVE);
        if (exists) set_archive_path(REAL_ARCHIVE);
        else use_no_archive_file();
        struct Picture {
            const char* name;
            int width, height;
            unsigned step;
        };
        const Picture pictures[] = {
            {"kelvaron.png", 80, 50, 37}, {"kelvaron_opacity.png", 80, 50, 37}, {"splat2.png", 80, 50, 37},
            {"logo_overlay.png", 80, 50, 37}, {"splat9.png", 80, 50, 37},     {"splat1.png", 80, 50, 37},
            {"splat6.png", 80, 50, 37},       {"splat7.png", 80, 50, 37},     {"tunnel.png", 256, 256, 13},
            {"ruk.png", 400, 50, 7},          {"ruk_opacity.png", 400, 50, 5}};
        int stand_ins = 0;
        for (const Picture& p : pictures) {
            if (lookup_resource(resource_archive(), p.name)) continue;
            put_synthetic_image(p.name, p.width, p.height, p.step);
            ++stand_ins;
        }
        if (!lookup_resource(resource_archive(), "patterndata.bin")) {
            test::put_pattern_dump({0}, {64});
            ++stand_ins;
        }
        std::printf("content: %s, %d stand-in entries\n", exists ? REAL_ARCHIVE : "no archive", stand_ins);
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
