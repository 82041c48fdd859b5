// portable_math: double-double evaluation of sine, cosine and arctangent (see the header).
//
// A double-double is the unevaluated sum hi + lo of two doubles, |lo| <= half an ulp of hi:
// about 106 bits. Its products rest on Dekker's exact split, which is why nothing here may
// be contracted into fused multiply-adds. The constants are the exact values rounded to
// double-double (hi the nearest double, lo the nearest double to the rest).
#include "frame/portable_math.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

namespace textdemo {

namespace {

struct DD {
    double hi, lo;
};

constexpr DD HALF_PI = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr DD PI = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
constexpr DD QUARTER_PI = {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55};
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;

// pi/2 in pieces of 33 significant bits: k * piece is exact for every k < 2^20.
constexpr double HALF_PI_PIECES[5] = {0x1.921fb544p+0, 0x1.0b4611a6p-34, 0x1.3198a2ep-69, 0x1.b839a252p-104,
                                      0x1.27044533p-142};

// Below this, arguments are reduced with the pieces above; from it on, with the bits of 2/pi.
constexpr double PIECEWISE_REDUCTION_LIMIT = 0x1p20;

// The bits of 2/pi after the binary point, 32 a word, most significant first: enough for
// every finite double (the largest uses words 30..37).
constexpr std::uint32_t TWO_OVER_PI_BITS[40] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D,
};

// (-1)^n / (2n + 1)!: sin r = r * sum of SINE_TAYLOR[n] * r^2n; the last term is below
// 2^-110 of the sum for |r| <= pi/4.
constexpr int SINE_TERMS = 15;
constexpr DD SINE_TAYLOR[SINE_TERMS] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
    {-0x1.d1ab1c2dccea3p-94, -0x1.054d0c78aea14p-149},
    {0x1.259f98b4358adp-103, 0x1.eaf8c39dd9bc5p-157},
};

// (-1)^n / (2n)!: cos r = sum of COSINE_TAYLOR[n] * r^2n.
constexpr int COSINE_TERMS = 15;
constexpr DD COSINE_TAYLOR[COSINE_TERMS] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {-0x1.0000000000000p-1, 0x0.0p+0},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {-0x1.6827863b97d97p-53, -0x1.eec01221a8b0bp-107},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {-0x1.0ce396db7f853p-70, 0x1.aebcdbd20331cp-124},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {-0x1.88e85fc6a4e5ap-89, 0x1.71c37ebd16540p-143},
    {0x1.0a18a2635085dp-98, 0x1.b9e2e28e1aa54p-153},
};

// (-1)^n / (2n + 1): atan t = t * sum of ATAN_TAYLOR[n] * t^2n, for |t| <= 1/32.
constexpr int ATAN_TERMS = 12;
constexpr DD ATAN_TAYLOR[ATAN_TERMS] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {-0x1.5555555555555p-2, -0x1.5555555555555p-56},
    {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {-0x1.2492492492492p-3, -0x1.2492492492492p-57},
    {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {-0x1.745d1745d1746p-4, 0x1.745d1745d1746p-59},
    {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {-0x1.1111111111111p-4, -0x1.1111111111111p-60},
    {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
    {-0x1.af286bca1af28p-5, -0x1.af286bca1af28p-59},
    {0x1.8618618618618p-5, 0x1.8618618618618p-59},
    {-0x1.642c8590b2164p-5, -0x1.642c8590b2164p-60},
};

// atan(i / 16) for i = 0..16.
constexpr DD ATAN_SIXTEENTHS[17] = {
    {0x0.0p+0, 0x0.0p+0},
    {0x1.ff55bb72cfdeap-5, -0x1.c934d86d23f1dp-60},
    {0x1.fd5ba9aac2f6ep-4, -0x1.cd37686760c17p-59},
    {0x1.7b97b4bce5b02p-3, 0x1.347b0b4f881cap-58},
    {0x1.f5b75f92c80ddp-3, 0x1.8ab6e3cf7afbdp-57},
    {0x1.362773707ebccp-2, -0x1.963a544b672d8p-57},
    {0x1.6f61941e4def1p-2, -0x1.c63aae6f6e918p-56},
    {0x1.a64eec3cc23fdp-2, -0x1.24dec1b50b7ffp-56},
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.0657e94db30d0p-1, -0x1.d5b495f6349e6p-56},
    {0x1.1e00babdefeb4p-1, -0x1.928df287a668fp-58},
    {0x1.345f01cce37bbp-1, 0x1.1021137c71102p-55},
    {0x1.4978fa3269ee1p-1, 0x1.2419a87f2a458p-56},
    {0x1.5d58987169b18p-1, 0x1.0028e4bc5e7cap-57},
    {0x1.700a7c5784634p-1, -0x1.8c34d25aadef6p-56},
    {0x1.819d0b7158a4dp-1, -0x1.bf76229d3b917p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
};

// s + e == a + b exactly.
DD two_sum(double a, double b) {
    const double s = a + b;
    const double b_part = s - a;
    return {s, (a - (s - b_part)) + (b - b_part)};
}

// The same when |a| >= |b|.
DD fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// p + e == a * b exactly (Dekker), for |a|, |b| below 2^995.
DD two_product(double a, double b) {
    constexpr double SPLITTER = 0x1p27 + 1;
    const double p = a * b;
    const double sa = SPLITTER * a, sb = SPLITTER * b;
    const double a_high = sa - (sa - a), a_low = a - a_high;
    const double b_high = sb - (sb - b), b_low = b - b_high;
    return {p, ((a_high * b_high - p) + a_high * b_low + a_low * b_high) + a_low * b_low};
}

DD negate(DD x) { return {-x.hi, -x.lo}; }

DD add(DD x, double b) {
    const DD s = two_sum(x.hi, b);
    return fast_two_sum(s.hi, s.lo + x.lo);
}

DD add(DD x, DD y) {
    const DD s = two_sum(x.hi, y.hi);
    const DD t = two_sum(x.lo, y.lo);
    const DD u = fast_two_sum(s.hi, s.lo + t.hi);
    return fast_two_sum(u.hi, u.lo + t.lo);
}

DD multiply(DD x, double b) {
    const DD p = two_product(x.hi, b);
    return fast_two_sum(p.hi, p.lo + x.lo * b);
}

DD multiply(DD x, DD y) {
    const DD p = two_product(x.hi, y.hi);
    return fast_two_sum(p.hi, p.lo + (x.hi * y.lo + x.lo * y.hi));
}

// Two quotient digits, the second from the remainder the first leaves.
DD divide(DD x, DD y) {
    const double q1 = x.hi / y.hi;
    const DD r = add(x, negate(multiply(y, q1)));
    return fast_two_sum(q1, r.hi / y.hi);
}

DD horner(const DD* coefficients, int count, DD s) {
    DD p = coefficients[count - 1];
    for (int n = count - 2; n >= 0; --n) p = add(multiply(p, s), coefficients[n]);
    return p;
}

double power_of_two(int e) {  // -1022 <= e <= 1023
    const std::uint64_t bits = static_cast<std::uint64_t>(e + 1023) << 52;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// a = quadrant * pi/2 + r modulo 2 pi, |r| <= pi/4 (give or take an ulp).
struct Reduced {
    unsigned quadrant;
    DD r;
};

Reduced reduce_piecewise(double a) {  // 0 <= a < PIECEWISE_REDUCTION_LIMIT
    const auto k = static_cast<std::int32_t>(a * TWO_OVER_PI + 0.5);
    const double kd = k;
    DD r = two_sum(a, -kd * HALF_PI_PIECES[0]);
    for (int i = 1; i < 5; ++i) r = add(r, -kd * HALF_PI_PIECES[i]);
    return {static_cast<unsigned>(k), r};
}

// 64 bits of a little-endian number of 32-bit limbs from bit `low` on (zero past the end);
// a negative `low` shifts in zeros from below.
std::uint64_t bits_from(const std::uint32_t* limbs, int count, int low) {
    if (low < 0) return bits_from(limbs, count, 0) << -low;
    const int first = low >> 5, shift = low & 31;
    auto limb = [&](int i) -> std::uint64_t { return i < count ? limbs[i] : 0; };
    std::uint64_t v = (limb(first + 1) << 32 | limb(first)) >> shift;
    if (shift > 0) v |= limb(first + 2) << (64 - shift);
    return v;
}

// Payne and Hanek: a * 2/pi modulo 4 from the bits of 2/pi that matter, in exact integer
// arithmetic. With a = m * 2^e (m an integer below 2^53), the bits of 2/pi before bit
// e - 1 after the point only add multiples of 4; the 256 bits from there on leave the
// fraction exact to 2^-168, more than 100 bits below the smallest fraction a double has.
Reduced reduce_by_bits(double a) {  // PIECEWISE_REDUCTION_LIMIT <= a < infinity
    constexpr int WINDOW = 8, LIMBS = WINDOW + 2;
    std::uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int e = static_cast<int>(bits >> 52) - 1075;
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1} << 52;
    const int first_word = e >= 2 ? (e - 2) / 32 : 0;

    std::uint32_t q[LIMBS] = {};  // m times the window of 2/pi
    const std::uint64_t m_low = m & 0xFFFFFFFF, m_high = m >> 32;
    for (int j = 0; j < WINDOW; ++j) {
        const std::uint64_t w = TWO_OVER_PI_BITS[first_word + WINDOW - 1 - j];
        std::uint64_t t = q[j] + w * m_low;
        q[j] = static_cast<std::uint32_t>(t);
        t = q[j + 1] + w * m_high + (t >> 32);
        q[j + 1] = static_cast<std::uint32_t>(t);
        for (int i = j + 2; (t >>= 32) != 0 && i < LIMBS; ++i) {
            t += q[i];
            q[i] = static_cast<std::uint32_t>(t);
        }
    }

    // q has `point` bits after the binary point; the two above it are the quadrant.
    const int point = 32 * (first_word + WINDOW) - e;
    unsigned quadrant = static_cast<unsigned>(bits_from(q, LIMBS, point) & 3);
    auto keep_fraction = [&] {
        q[point >> 5] &= (std::uint32_t{1} << (point & 31)) - 1;
        for (int i = (point >> 5) + 1; i < LIMBS; ++i) q[i] = 0;
    };
    keep_fraction();
    const bool upper_half = (bits_from(q, LIMBS, point - 1) & 1) != 0;
    if (upper_half) {  // fraction - 1: the next quadrant, from below
        ++quadrant;
        std::uint64_t carry = 1;
        for (std::uint32_t& limb : q) {
            carry += static_cast<std::uint32_t>(~limb);
            limb = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        keep_fraction();
    }

    int top = -1;  // highest set bit of the fraction
    for (int i = LIMBS - 1; i >= 0 && top < 0; --i)
        if (q[i] != 0) top = 32 * i + 31 - std::countl_zero(q[i]);
    if (top < 0) return {quadrant, {0, 0}};
    constexpr std::uint64_t LOW_53 = (std::uint64_t{1} << 53) - 1;
    const double high = static_cast<double>(bits_from(q, LIMBS, top - 52) & LOW_53) * power_of_two(top - 52 - point);
    const double low = static_cast<double>(bits_from(q, LIMBS, top - 105) & LOW_53) * power_of_two(top - 105 - point);
    const DD r = multiply(HALF_PI, fast_two_sum(high, low));
    return {quadrant, upper_half ? negate(r) : r};
}

Reduced reduce(double a) { return a < PIECEWISE_REDUCTION_LIMIT ? reduce_piecewise(a) : reduce_by_bits(a); }

// sin(r + quadrant * pi/2) for |r| <= pi/4.
DD sine_in_quadrant(unsigned quadrant, DD r) {
    const DD s = multiply(r, r);
    const DD v = (quadrant & 1) ? horner(COSINE_TAYLOR, COSINE_TERMS, s) : multiply(r, horner(SINE_TAYLOR, SINE_TERMS, s));
    return (quadrant & 2) ? negate(v) : v;
}

// Below this, sin x rounds to x and cos x to 1 in double precision.
constexpr double TINY_ANGLE = 0x1p-27;

// atan t / t for |t| <= 1/32, s = t^2: the terms from the seventh on are below 2^-60 of the
// sum, so double precision is enough for them.
DD atan_series(DD s) {
    constexpr int EXACT_TERMS = 6;
    double tail = ATAN_TAYLOR[ATAN_TERMS - 1].hi;
    for (int n = ATAN_TERMS - 2; n >= EXACT_TERMS; --n) tail = tail * s.hi + ATAN_TAYLOR[n].hi;
    DD p = {tail, 0};
    for (int n = EXACT_TERMS - 1; n >= 0; --n) p = add(multiply(p, s), ATAN_TAYLOR[n]);
    return p;
}

// atan u for 0 <= u <= 1: atan(c) + atan((u - c) / (1 + u c)) with c the nearest sixteenth.
DD atan_unit(DD u) {
    const int i = static_cast<int>(u.hi * 16 + 0.5);
    const double c = i * 0.0625;
    const DD t = divide(add(u, -c), add(multiply(u, c), 1.0));
    return add(ATAN_SIXTEENTHS[i], multiply(t, atan_series(multiply(t, t))));
}

// a / b as a double-double, 0 < a < b finite: the quotient and the rest of the remainder.
DD quotient(double a, double b) {
    // Keep the exact products inside the range Dekker's split handles.
    if (b > 0x1p500) {
        a *= 0x1p-600;
        b *= 0x1p-600;
    } else if (b < 0x1p-500) {
        a *= 0x1p600;
        b *= 0x1p600;
    }
    const double q = a / b;
    const DD p = two_product(q, b);
    return fast_two_sum(q, ((a - p.hi) - p.lo) / b);
}

// Rounds a double-double to the nearest float, ties to even: only a hi exactly halfway
// between two floats needs lo to decide.
float round_to_float(DD v) {
    const float f = static_cast<float>(v.hi);
    if (static_cast<double>(f) == v.hi || v.lo == 0) return f;
    std::uint32_t bits;  // becomes the float beyond v.hi
    std::memcpy(&bits, &f, sizeof bits);
    const bool upward = v.hi > f;
    if (f == 0)
        bits = upward ? 1u : 0x80000001u;
    else
        bits = upward == (f > 0) ? bits + 1 : bits - 1;
    float g;
    std::memcpy(&g, &bits, sizeof g);
    if (v.hi != (static_cast<double>(f) + static_cast<double>(g)) * 0.5) return f;
    return (v.lo > 0) == upward ? g : f;
}

bool sign_bit(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits >> 63) != 0;
}

// The double evaluation behind portable_sinf: |error| < 2^-50 |result| for |r| <= pi/4 + 1 ulp
// (Taylor terms to r^19 and r^20 in Horner form; the reduction's error is smaller still).
double sine_in_quadrant_fast(unsigned quadrant, double r) {
    const double s = r * r;
    double v;
    if (quadrant & 1) {
        double p = COSINE_TAYLOR[10].hi;
        for (int n = 9; n >= 1; --n) p = p * s + COSINE_TAYLOR[n].hi;
        v = 1 + s * p;
    } else {
        double p = SINE_TAYLOR[9].hi;
        for (int n = 8; n >= 1; --n) p = p * s + SINE_TAYLOR[n].hi;
        v = r + (r * s) * p;
    }
    return (quadrant & 2) ? -v : v;
}

}  // namespace

double portable_sin(double x) {
    if (x - x != 0) return x - x;  // NaN or an infinity: NaN
    const double a = x < 0 ? -x : x;
    if (a < TINY_ANGLE) return x;
    const Reduced reduced = reduce(a);
    const double s = sine_in_quadrant(reduced.quadrant, reduced.r).hi;
    return x < 0 ? -s : s;
}

double portable_cos(double x) {
    if (x - x != 0) return x - x;
    const double a = x < 0 ? -x : x;
    if (a < TINY_ANGLE) return 1;
    const Reduced reduced = reduce(a);
    return sine_in_quadrant(reduced.quadrant + 1, reduced.r).hi;
}

double portable_atan2(double y, double x) {
    if (y != y || x != x) return x + y;
    const double a = y < 0 ? -y : y, b = x < 0 ? -x : x;
    DD angle;  // of (b, a), in the first quadrant
    if (a == b)
        angle = a == 0 ? DD{0, 0} : QUARTER_PI;
    else if (a < b)
        angle = b - b != 0 || a == 0 ? DD{0, 0} : atan_unit(quotient(a, b));
    else
        angle = a - a != 0 || b == 0 ? HALF_PI : add(HALF_PI, negate(atan_unit(quotient(b, a))));
    if (sign_bit(x)) angle = add(PI, negate(angle));
    return sign_bit(y) ? -angle.hi : angle.hi;
}

double portable_atan(double x) { return portable_atan2(x, 1.0); }

float portable_sinf(float x) {
    if (x == 0) return x;  // keeps the sign of zero
    const double a = x < 0 ? -static_cast<double>(x) : x;
    if (a < PIECEWISE_REDUCTION_LIMIT) {
        // Round the double evaluation when its error bound leaves no doubt about the float.
        const auto k = static_cast<std::int32_t>(a * TWO_OVER_PI + 0.5);
        const double kd = k;
        const double r = ((a - kd * HALF_PI_PIECES[0]) - kd * HALF_PI_PIECES[1]) - kd * HALF_PI_PIECES[2];
        const double y = sine_in_quadrant_fast(static_cast<unsigned>(k), r);
        const double bound = (y < 0 ? -y : y) * 0x1p-45;
        if (static_cast<float>(y - bound) == static_cast<float>(y + bound)) {
            const float s = static_cast<float>(y);
            return x < 0 ? -s : s;
        }
    }
    if (x - x != 0) return x - x;
    if (a < TINY_ANGLE) return x;
    const Reduced reduced = reduce(a);
    const float s = round_to_float(sine_in_quadrant(reduced.quadrant, reduced.r));
    return x < 0 ? -s : s;
}

}  // namespace textdemo
