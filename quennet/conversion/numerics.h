// Exact numerics of the converters. A drawing that a CAD user measures must
// come out bit for bit the same on every run and every machine, so every
// rounding step below is explicit: angles are formed in extended precision,
// sweeps and text angles pass through the 6-byte real of the drawing records,
// and every rounding to an integer goes to the nearest, ties to even.
#pragma once

#include <array>
#include <cstdint>

namespace quennet {

// pi and its multiples in extended precision.
inline constexpr long double kPiExt = 3.14159265358979323846264338327950288L;
inline constexpr long double kTwoPiExt = 2.0L * kPiExt;
// pi / 180 in extended precision.
inline constexpr long double kDegToRadExt = kPiExt / 180.0L;
// The factor free texts turn their rotation to radians with: pi / 180 to the
// eighteen digits that drawings made before used.
inline constexpr long double kTextDegToRadExt = 0.017453292519943295L;

// Nearest integer, an exact half going to the even neighbour.
long double NearestExt(long double v);
// The same, as a PCB coordinate. A result outside the signed 32-bit range
// cannot be written as a coordinate: it throws EExportError naming `what`
// instead of wrapping into a point somewhere else on the drawing.
int32_t NearestCoord(long double v, const char* what);
// A coordinate worked out in 64 bits (a sum or difference of 32-bit ones):
// the value itself, or EExportError when it leaves the drawing's range.
inline int32_t CheckedCoord(int64_t v) {
  return NearestCoord(static_cast<long double>(v), "a point");
}

// degrees -> radians with pi in extended precision, the result held as a double.
double DegToRad(double degrees);

// The 6-byte real: byte 0 the biased exponent (0 means zero), bytes 1..5 a
// 39-bit fraction with an implicit leading 1, the sign in the top bit of byte 5.
using TReal48 = std::array<uint8_t, 6>;

// Nearest 6-byte real (ties to even); magnitudes below its smallest normal
// value become 0. Throws EExportError for a value beyond its range (about
// 1.7e38) or not a number; `what` names the quantity in the message.
TReal48 ToReal48(long double v, const char* what);
long double FromReal48(const TReal48& r);
// v as it comes back after being held as a 6-byte real.
inline long double ThroughReal48(long double v, const char* what) {
  return FromReal48(ToReal48(v, what));
}

}  // namespace quennet
