#include "quennet/conversion/numerics.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <string>

#include "layers/rtl_errors.h"

namespace quennet {

namespace {

std::string FormatValue(long double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Lg", v);
  return buf;
}

}  // namespace

long double NearestExt(long double v) {
  // rintl follows the current rounding mode; the export never changes it, so
  // this is round-half-even. Spelled out for a caller that might have.
  if (std::fegetround() == FE_TONEAREST) return std::rintl(v);
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const long double r = std::rintl(v);
  std::fesetround(saved);
  return r;
}

int32_t NearestCoord(long double v, const char* what) {
  const long double r = NearestExt(v);
  if (!(r >= -2147483648.0L && r <= 2147483647.0L))
    throw EExportError(std::string(what) + " out of the coordinate range: " + FormatValue(v));
  return static_cast<int32_t>(r);
}

double DegToRad(double degrees) {
  return static_cast<double>(static_cast<long double>(degrees) * kPiExt / 180.0L);
}

TReal48 ToReal48(long double v, const char* what) {
  TReal48 r{};
  if (std::isnan(v) || std::isinf(v))
    throw EExportError(std::string(what) + " is not a number: " + FormatValue(v));
  if (v == 0.0L) return r;
  const bool negative = std::signbit(v);
  int e = 0;
  const long double m = std::frexp(std::fabs(v), &e);  // m in [0.5, 1)
  // 40 significant bits: the implicit leading 1 and the 39-bit fraction.
  long double sig = NearestExt(std::ldexp(m, 40));
  if (sig >= 0x1p40L) {  // rounding carried into a new leading bit
    sig = 0x1p39L;
    ++e;
  }
  // value = 1.f * 2^(exp - 129) and 1.f = m * 2, so exp = e + 128.
  const int exponent = e + 128;
  if (exponent <= 0) return r;  // below the smallest 6-byte real: zero
  if (exponent > 255)
    throw EExportError(std::string(what) + " out of the 6-byte real range: " + FormatValue(v));
  const uint64_t fraction = static_cast<uint64_t>(sig) & ((uint64_t{1} << 39) - 1);
  r[0] = static_cast<uint8_t>(exponent);
  for (int i = 0; i < 5; ++i) r[1 + i] = static_cast<uint8_t>(fraction >> (8 * i));
  if (negative) r[5] |= 0x80;
  return r;
}

long double FromReal48(const TReal48& r) {
  if (r[0] == 0) return 0.0L;
  uint64_t fraction = 0;
  for (int i = 0; i < 5; ++i) fraction |= uint64_t{r[1 + i]} << (8 * i);
  fraction &= (uint64_t{1} << 39) - 1;
  const long double sig = static_cast<long double>(fraction | (uint64_t{1} << 39));
  const long double v = std::ldexp(sig, r[0] - 129 - 39);
  return (r[5] & 0x80) ? -v : v;
}

}  // namespace quennet
