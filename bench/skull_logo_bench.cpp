// Cost of one render() of the Skull logo, per 16 ms frame: noise background, transform,
// shadow and textured mesh.
//
// Uses the real content archive from the build directory when it exists, else synthetic
// textures and a sphere of 800 faces. One benchmark walks the effect's whole slot, one
// only the stretch in which the object crosses the view (the mesh passes draw most there).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

#include "effects/effect_skull_logo.hpp"
#include "frame/fixed_math.hpp"
#include "resources/archive.hpp"
#include "song/pattern_data.hpp"
#include "tests/support/show_resources.hpp"
#include "tests/support/test_content.hpp"

namespace {

using namespace textdemo;

// A sphere of radius 2.5 units, 20 bands of 20 segments: half the faces environment-mapped.
test::MeshContent sphere() {
    constexpr int BANDS = 20, SEGMENTS = 20;
    test::MeshContent c;
    for (int b = 0; b <= BANDS; ++b) {
        for (int s = 0; s < SEGMENTS; ++s) {
            const double theta = M_PI * b / BANDS, phi = 2 * M_PI * s / SEGMENTS;
            const double n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            const auto fixed = [](double v) { return static_cast<Fixed>(std::lround(v * 65536)); };
            c.vertices.push_back({fixed(2.5 * n[0]), fixed(2.5 * n[1]), fixed(2.5 * n[2]), fixed(n[0]), fixed(n[1]),
                                  fixed(n[2]), 0, 0, 0});
            c.tex_coords.push_back({fixed(255.0 * s / SEGMENTS), fixed(255.0 * b / BANDS)});
        }
    }
    for (int b = 0; b < BANDS; ++b) {
        for (int s = 0; s < SEGMENTS; ++s) {
            const int i = b * SEGMENTS + s, right = b * SEGMENTS + (s + 1) % SEGMENTS;
            const int material = s % 2 == 0 ? MATERIAL_ENVIRONMENT : 0;
            const std::array<int, 3> triangles[2] = {{i, right, i + SEGMENTS}, {right, right + SEGMENTS, i + SEGMENTS}};
            for (const auto& t : triangles) {
                c.faces.push_back({t[0], t[1], t[2], {0, 0, 0}, material});
                c.tex_faces.push_back({t[0], t[1], t[2], {0, 0, 0, 0}});
            }
        }
    }
    return c;
}

bool prepare_content() {
    static const bool real = [] {
        const bool all_real = test::use_show_content();
        if (!lookup_resource(resource_archive(), MESH_RESOURCE_NAME)) test::put_mesh(sphere());
        build_sine_tables();
        return all_real;
    }();
    return real;
}

// Renders frames from first to last song millisecond, 16 ms apart, round and round.
void render_span(benchmark::State& state, std::uint32_t first, std::uint32_t last) {
    const bool real = prepare_content();
    PatternData& song = pattern_data();
    EffectSkullLogo effect(first, last);
    const std::uint32_t length = last - first + 1;
    std::uint32_t offset = 0;
    for (auto _ : state) {
        song.position = first + offset;
        update_song_position(first + offset, song);
        effect.render();
        benchmark::ClobberMemory();
        offset = (offset + 16) % length;
    }
    state.SetLabel(real ? "real content" : "synthetic content");
}

void BM_SkullLogoWholeSlot(benchmark::State& state) {
    prepare_content();
    const PatternData& song = pattern_data();
    const auto start = static_cast<std::uint32_t>(rows_through(song, 37) * MS_PER_ROW);
    const auto end = static_cast<std::uint32_t>(rows_through(song, 45) * MS_PER_ROW);
    render_span(state, start, std::max(end, 230000u));
}
BENCHMARK(BM_SkullLogoWholeSlot);

void BM_SkullLogoObjectInView(benchmark::State& state) { render_span(state, 195000, 215000); }
BENCHMARK(BM_SkullLogoObjectInView);

}  // namespace

BENCHMARK_MAIN();
