// portable_math_audit: portable_math against glibc over the arguments the show really uses.
//
// Builds the show and draws it every 16 ms from 0 to the music's end, as textdemo-capture
// does, with the five functions replaced by wrappers that pass every call to the real one
// and compare its result with glibc's (sin, cos, atan, atan2, sinf). Prints per function the
// calls, the calls whose results differ and the distinct arguments among them, the largest
// difference in ulps, and on how many of the differing calls libquadmath (113 bits, rounded
// to the result's precision) sides with glibc rather than with portable_math.
//
// The real functions are this file's own copy of frame/portable_math.cpp under other names;
// the wrappers carry the library's names, so the linker never takes the library's copy.
//
//   portable_math_audit ARCHIVE
#define portable_sin real_portable_sin
#define portable_cos real_portable_cos
#define portable_atan real_portable_atan
#define portable_atan2 real_portable_atan2
#define portable_sinf real_portable_sinf
#include "frame/portable_math.cpp"
#undef portable_sin
#undef portable_cos
#undef portable_atan
#undef portable_atan2
#undef portable_sinf

#include <algorithm>
#include <bit>
#include <cmath>
#include <quadmath.h>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

#include "resources/archive.hpp"
#include "show/frame_loop.hpp"
#include "show/headless_show.hpp"
#include "song/music_player.hpp"

namespace {

std::int64_t ordered(std::uint64_t bits) {  // bit patterns in the order of their values
    return (bits >> 63) ? -static_cast<std::int64_t>(bits & 0x7FFFFFFFFFFFFFFF) : static_cast<std::int64_t>(bits);
}

std::uint64_t bits_of(double d) { return std::bit_cast<std::uint64_t>(d); }

// A float's sign in the top bit, as a double's, so that `ordered` serves both.
std::uint64_t bits_of(float f) {
    const auto b = std::bit_cast<std::uint32_t>(f);
    return static_cast<std::uint64_t>(b >> 31) << 63 | (b & 0x7FFFFFFF);
}

struct Tally {
    explicit Tally(const char* n) : name(n) {}
    const char* name;
    std::uint64_t calls = 0, differing = 0, glibc_right = 0;
    long long worst_ulps = 0;
    std::set<std::pair<std::uint64_t, std::uint64_t>> differing_arguments;

    template <class T>
    void count(T ours, T glibc, __float128 exact, std::uint64_t argument, std::uint64_t second_argument = 0) {
        ++calls;
        if (bits_of(ours) == bits_of(glibc) || (ours != ours && glibc != glibc)) return;
        ++differing;
        if (bits_of(static_cast<T>(exact)) != bits_of(ours)) ++glibc_right;
        differing_arguments.insert({argument, second_argument});
        worst_ulps = std::max(worst_ulps, std::llabs(ordered(bits_of(ours)) - ordered(bits_of(glibc))));
    }

    void print() const {
        std::printf("%-6s %11llu calls, %9llu differ from glibc (%zu distinct arguments), by at most %lld ulp;"
                    " libquadmath agrees with glibc on %llu of them\n",
                    name, static_cast<unsigned long long>(calls), static_cast<unsigned long long>(differing),
                    differing_arguments.size(), worst_ulps, static_cast<unsigned long long>(glibc_right));
    }
};

Tally sin_tally("sin"), cos_tally("cos"), atan_tally("atan"), atan2_tally("atan2"), sinf_tally("sinf");

}  // namespace

namespace textdemo {

double portable_sin(double x) {
    const double r = real_portable_sin(x);
    sin_tally.count(r, std::sin(x), sinq(x), bits_of(x));
    return r;
}

double portable_cos(double x) {
    const double r = real_portable_cos(x);
    cos_tally.count(r, std::cos(x), cosq(x), bits_of(x));
    return r;
}

double portable_atan(double x) {
    const double r = real_portable_atan(x);
    atan_tally.count(r, std::atan(x), atanq(x), bits_of(x));
    return r;
}

double portable_atan2(double y, double x) {
    const double r = real_portable_atan2(y, x);
    atan2_tally.count(r, std::atan2(y, x), atan2q(y, x), bits_of(y), bits_of(x));
    return r;
}

float portable_sinf(float x) {
    const float r = real_portable_sinf(x);
    sinf_tally.count(r, std::sin(x), sinq(x), bits_of(x));
    return r;
}

}  // namespace textdemo

int main(int argc, char** argv) {
    using namespace textdemo;
    if (argc != 2) {
        std::fprintf(stderr, "usage: portable_math_audit ARCHIVE\n");
        return 2;
    }
    set_archive_path(argv[1]);
    if (Failure failure = build_headless_show()) {
        std::fprintf(stderr, "%s\n", failure.message.c_str());
        return 1;
    }
    const std::uint32_t end_ms = music_player().length;
    std::uint32_t frames = 0;
    for (std::uint32_t ms = 0; ms <= end_ms; ms += 16, ++frames) draw_song_frame(ms);
    if (Failure failure = end_headless_show()) {
        std::fprintf(stderr, "%s\n", failure.message.c_str());
        return 1;
    }
    std::printf("%u frames, every 16 ms from 0 to %u ms, set-up included:\n", frames, end_ms);
    for (const Tally* t : {&sin_tally, &cos_tally, &atan_tally, &atan2_tally, &sinf_tally}) t->print();
    return 0;
}
