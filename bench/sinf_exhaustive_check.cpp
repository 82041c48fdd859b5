// sinf_exhaustive_check: portable_sinf against the correctly rounded sine of every float.
//
// The reference for each float x is glibc's double sin(x) rounded to float where its error
// (well under 2^-50 relative) cannot change that rounding, else libquadmath's sinq(x)
// (113 bits) rounded to float; the inputs that needed sinq are the hard cases, and the
// hardest of them (true value closest to halfway between two floats) are listed. Also
// counts how often glibc's own sinf differs from the reference. Takes minutes.
//
//   sinf_exhaustive_check [STRIDE [FIRST LAST]]
//
// Checks every STRIDE-th bit pattern (default 1) from FIRST to LAST (default 0 and
// 0xFFFFFFFF: all 2^32); a range lets the run be split over processes or over time.
#include <quadmath.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame/portable_math.hpp"

namespace {

float float_of(std::uint32_t bits) { return std::bit_cast<float>(bits); }

std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

bool same(float a, float b) { return bits_of(a) == bits_of(b) || (a != a && b != b); }

// Distance in floats between two finite floats of the same sign.
std::int64_t ulps_apart(float a, float b) {
    return std::llabs(static_cast<std::int64_t>(bits_of(a) & 0x7FFFFFFF) - (bits_of(b) & 0x7FFFFFFF));
}

struct HardCase {
    float x;
    double closeness;  // |sin x - halfway point| / |sin x|
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t stride = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const std::uint64_t first = argc > 3 ? std::strtoull(argv[2], nullptr, 0) : 0;
    const std::uint64_t last = argc > 3 ? std::strtoull(argv[3], nullptr, 0) : 0xFFFFFFFF;
    if (stride == 0 || argc == 3 || argc > 4 || first > last || last > 0xFFFFFFFF) {
        std::fprintf(stderr, "usage: sinf_exhaustive_check [STRIDE [FIRST LAST]]\n");
        return 2;
    }
    std::uint64_t checked = 0, wrong = 0, needed_quad = 0, glibc_sinf_off = 0, glibc_sinf_off_0_100 = 0;
    std::int64_t glibc_sinf_worst = 0;
    std::vector<HardCase> hardest;
    for (std::uint64_t b = first; b <= last; b += stride) {
        const float x = float_of(static_cast<std::uint32_t>(b));
        const double g = std::sin(static_cast<double>(x));
        const double margin = std::fabs(g) * 0x1p-50;
        float reference = static_cast<float>(g);
        if (std::isfinite(g) && static_cast<float>(g - margin) != static_cast<float>(g + margin)) {
            ++needed_quad;
            const __float128 q = sinq(static_cast<__float128>(x));
            reference = static_cast<float>(q);
            // The two floats around q and the point halfway between them.
            const float below = static_cast<float>(q) > q ? std::nextafter(reference, -INFINITY) : reference;
            const __float128 halfway = (static_cast<__float128>(below) + std::nextafter(below, INFINITY)) / 2;
            const double closeness = static_cast<double>(fabsq((q - halfway) / q));
            hardest.push_back({x, closeness});
            std::sort(hardest.begin(), hardest.end(), [](const HardCase& a, const HardCase& c) { return a.closeness < c.closeness; });
            if (hardest.size() > 12) hardest.pop_back();
        }
        const float ours = textdemo::portable_sinf(x);
        ++checked;
        if (!same(ours, reference)) {
            if (++wrong <= 20) std::printf("wrong: sin(%a) = %a, portable_sinf gives %a\n", x, reference, ours);
        }
        const float theirs = std::sin(x);
        if (!same(theirs, reference)) {
            ++glibc_sinf_off;
            if (x >= 0 && x <= 100) ++glibc_sinf_off_0_100;
            if (std::isfinite(x)) glibc_sinf_worst = std::max(glibc_sinf_worst, ulps_apart(theirs, reference));
        }
    }
    std::printf("%llu floats checked (stride %llu, 0x%08llx..0x%08llx): portable_sinf wrong on %llu; %llu needed "
                "sinq to decide\n",
                static_cast<unsigned long long>(checked), static_cast<unsigned long long>(stride),
                static_cast<unsigned long long>(first), static_cast<unsigned long long>(last),
                static_cast<unsigned long long>(wrong), static_cast<unsigned long long>(needed_quad));
    std::printf("glibc sinf off the correctly rounded sine on %llu of them (%llu in [0, 100]), by at most %lld ulp\n",
                static_cast<unsigned long long>(glibc_sinf_off), static_cast<unsigned long long>(glibc_sinf_off_0_100),
                static_cast<long long>(glibc_sinf_worst));
    std::printf("hardest cases (distance of sin x from halfway between two floats, relative):\n");
    for (const HardCase& h : hardest)
        std::printf("  x = %a  sin x = %a  closeness 2^%.1f\n", h.x, textdemo::portable_sinf(h.x), std::log2(h.closeness));
    return wrong == 0 ? 0 : 1;
}
