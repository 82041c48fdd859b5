// portable_math: the trigonometry the show's arithmetic depends on, from one source for
// every build, so that every compiler and C library (glibc natively, musl in WebAssembly)
// gives the same bits.
//
// Offers: portable_sin, portable_cos, portable_atan, portable_atan2 (double precision) and
// portable_sinf (single precision).
// Depends on: nothing. Pure functions of plain IEEE-754 double arithmetic: no C library
// call, no table built at run time, no state. The source is compiled with
// -ffp-contract=off (a fused multiply-add would change the error-free products it is
// built on) and assumes double is evaluated in double precision (SSE2, WebAssembly).
//
// Contract:
// - portable_sinf(x) is the correctly rounded sine of every float x (bench/
//   sinf_exhaustive_check checks all 2^32 of them): a double evaluation whose error bound
//   decides the rounding, else the double-double one below, rounded once.
// - The double functions evaluate in double-double arithmetic (about 100 correct bits, with
//   argument reduction by pi/2 exact to well beyond that for every double) and round once:
//   the correctly rounded value except where the true value lies within about 2^-100 of a
//   rounding boundary.
// - Special values as C99 has them: sin and atan keep the sign of zero, sin and cos of an
//   infinity are NaN, atan(+-inf) = +-pi/2, atan2 follows the signs of zeros and infinities
//   (atan2(+-0, -0) = +-pi, atan2(+-inf, -inf) = +-3pi/4, ...). NaN in, NaN out.
#pragma once

namespace textdemo {

double portable_sin(double x);
double portable_cos(double x);
double portable_atan(double x);
double portable_atan2(double y, double x);

float portable_sinf(float x);

}  // namespace textdemo
