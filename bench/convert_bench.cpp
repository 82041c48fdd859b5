// Conversion cost per 80 x 50 frame: our window and console forms, and libcaca's
// dithering of the same RGB data onto an 80 x 50 canvas for comparison.
#include <benchmark/benchmark.h>
#include <caca.h>

#include <cstdint>
#include <random>
#include <vector>

#include "frame/convert.hpp"

namespace {

using namespace textdemo;

// A frame of varied colour words: smooth gradients with noise, as effects produce.
std::vector<std::uint32_t> varied_colour_words(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> words(FRAME_CELLS);
    for (int i = 0; i < FRAME_CELLS; ++i) {
        const std::uint32_t r = (i % FRAME_WIDTH) * 3 + rng() % 16;
        const std::uint32_t g = (i / FRAME_WIDTH) * 5 + rng() % 16;
        const std::uint32_t b = rng() % 256;
        words[i] = (r & 255) << 16 | (g & 255) << 8 | b;
    }
    return words;
}

void BM_ConvertFrameWindow(benchmark::State& state) {
    TextFrame& frame = text_frame();
    const auto words = varied_colour_words(1);
    std::copy(words.begin(), words.end(), frame.pixels);
    for (auto _ : state) {
        convert_frame(frame);
        benchmark::DoNotOptimize(frame.cells);
    }
}
BENCHMARK(BM_ConvertFrameWindow);

void BM_ConvertFrameConsole(benchmark::State& state) {
    std::uint32_t pixels[FRAME_CELLS];
    static ConsoleCell out[FRAME_CELLS];
    const auto words = varied_colour_words(1);
    std::copy(words.begin(), words.end(), pixels);
    for (auto _ : state) {
        convert_frame_console(pixels, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ConvertFrameConsole);

void BM_LibcacaDitherBitmap(benchmark::State& state) {
    const auto words = varied_colour_words(1);
    caca_canvas_t* canvas = caca_create_canvas(FRAME_WIDTH, FRAME_HEIGHT);
    caca_dither_t* dither = caca_create_dither(32, FRAME_WIDTH, FRAME_HEIGHT, FRAME_WIDTH * 4, 0x00FF0000,
                                               0x0000FF00, 0x000000FF, 0);
    for (auto _ : state) {
        caca_dither_bitmap(canvas, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, dither, words.data());
        benchmark::ClobberMemory();
    }
    caca_free_dither(dither);
    caca_free_canvas(canvas);
}
BENCHMARK(BM_LibcacaDitherBitmap);

}  // namespace

BENCHMARK_MAIN();
