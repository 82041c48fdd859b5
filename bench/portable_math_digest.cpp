// portable_math_digest: a hash of portable_math's results over fixed sets of arguments, for
// comparing builds (native against WebAssembly): equal lines, equal bits.
//
// Float sine over every STRIDE-th float bit pattern; the double functions over COUNT
// arguments from a fixed pseudo-random sequence, half of them bit patterns of any exponent,
// half in -1000..1000 (atan2 over pairs of them). Each line: function, count, FNV-1a hash
// of the result bits.
//
//   portable_math_digest [STRIDE [COUNT]]    defaults 1 (all 2^32 floats) and 4000000
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/portable_math.hpp"

namespace {

// NaN results count as one value: WebAssembly leaves the sign and payload of a NaN open.
struct Digest {
    std::uint64_t hash = 0xcbf29ce484222325;
    std::uint64_t count = 0;
    void add(float f) {
        std::uint32_t bits = 0x7FC00000;
        if (f == f) std::memcpy(&bits, &f, sizeof bits);
        add_bits(bits);
    }
    void add(double d) {
        std::uint64_t bits = 0x7FF8000000000000;
        if (d == d) std::memcpy(&bits, &d, sizeof bits);
        add_bits(bits);
    }
    void add_bits(std::uint64_t bits) {
        for (int i = 0; i < 8; ++i) hash = (hash ^ ((bits >> (8 * i)) & 0xFF)) * 0x100000001b3;
        ++count;
    }
    void print(const char* name) const {
        std::printf("%-6s %12llu %016llx\n", name, static_cast<unsigned long long>(count), static_cast<unsigned long long>(hash));
    }
};

struct Sequence {  // xorshift64*
    std::uint64_t state = 0x9E3779B97F4A7C15;
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1D;
    }
    double argument(std::uint64_t i) {
        const std::uint64_t r = next();
        if (i % 2 == 0) {
            double d;
            std::memcpy(&d, &r, sizeof d);
            return d;
        }
        return (static_cast<double>(r >> 11) * 0x1p-53 - 0.5) * 2000;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t stride = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    const std::uint64_t count = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 4000000;
    if (stride == 0) {
        std::fprintf(stderr, "usage: portable_math_digest [STRIDE [COUNT]]\n");
        return 2;
    }
    Digest sinf_digest;
    for (std::uint64_t b = 0; b <= 0xFFFFFFFF; b += stride) {
        const auto bits = static_cast<std::uint32_t>(b);
        float x;
        std::memcpy(&x, &bits, sizeof x);
        const float s = textdemo::portable_sinf(x);
        sinf_digest.add(s);
    }
    sinf_digest.print("sinf");

    Digest sin_digest, cos_digest, atan_digest, atan2_digest;
    Sequence sequence;
    for (std::uint64_t i = 0; i < count; ++i) {
        const double x = sequence.argument(i), y = sequence.argument(i + 1);
        sin_digest.add(textdemo::portable_sin(x));
        cos_digest.add(textdemo::portable_cos(x));
        atan_digest.add(textdemo::portable_atan(x));
        atan2_digest.add(textdemo::portable_atan2(y, x));
    }
    sin_digest.print("sin");
    cos_digest.print("cos");
    atan_digest.print("atan");
    atan2_digest.print("atan2");
    return 0;
}
