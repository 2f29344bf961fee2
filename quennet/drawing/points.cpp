#include "quennet/drawing/points.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "layers/rtl_errors.h"

namespace quennet {

namespace {
constexpr const char* kUnit = "DXFUtil";

// Round half to even, independent of the current floating-point mode.
int32_t RoundHalfEven(double v) {
  const double f = std::floor(v);
  const double diff = v - f;
  double r;
  if (diff > 0.5) {
    r = f + 1.0;
  } else if (diff < 0.5) {
    r = f;
  } else {
    r = std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
  }
  // A point turned out of the coordinate range would land somewhere else
  // than where it belongs, whether wrapped or held at the edge.
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    throw EExportError(std::string("a point out of the coordinate range: ") + text);
  }
  return static_cast<int32_t>(r);
}
}  // namespace

TPoints::TPoints(int32_t capacity) {
  if (capacity < 0) capacity = 0;
  capacity_ = capacity;
  if (capacity_ > 0) points_ = std::make_unique<TDXFPoint[]>(static_cast<size_t>(capacity_));
}

void TPoints::Grow(int32_t needed) {
  if (capacity_ >= needed) return;
  const int64_t doubled = static_cast<int64_t>(capacity_) * 2;
  const int32_t length = static_cast<int32_t>(doubled > needed ? doubled : needed);
  auto grown = std::make_unique<TDXFPoint[]>(static_cast<size_t>(length));
  if (Count > 0) std::memcpy(grown.get(), points_.get(), sizeof(TDXFPoint) * Count);
  points_ = std::move(grown);
  capacity_ = length;
}

void TPoints::Add(int32_t x, int32_t y) {
  Grow(Count + 1);
  points_[Count] = TDXFPoint{x, y};
  ++Count;
}

int32_t TPoints::GetX(int32_t i) const {
  if (i < 0 || i >= Count) AssertionFailure("", kUnit, 110);
  return points_[i].X;
}

int32_t TPoints::GetY(int32_t i) const {
  if (i < 0 || i >= Count) AssertionFailure("", kUnit, 118);
  return points_[i].Y;
}

void TPoints::SetX(int32_t i, int32_t v) {
  if (i < 0 || i >= Count) AssertionFailure("", kUnit, 94);
  points_[i].X = v;
}

void TPoints::SetY(int32_t i, int32_t v) {
  if (i < 0 || i >= Count) AssertionFailure("", kUnit, 102);
  points_[i].Y = v;
}

void TPoints::Translate(int32_t dx, int32_t dy) {
  // 32-bit wrap-around, as the outlines were always moved; done unsigned so
  // the arithmetic is defined.
  for (int32_t i = 0; i < Count; ++i) {
    points_[i].X =
        static_cast<int32_t>(static_cast<uint32_t>(points_[i].X) + static_cast<uint32_t>(dx));
    points_[i].Y =
        static_cast<int32_t>(static_cast<uint32_t>(points_[i].Y) + static_cast<uint32_t>(dy));
  }
}

void TPoints::Rotate(double cx, double cy, double angle) {
  if (angle == 0.0) return;
  const long double a = static_cast<long double>(angle) * kPointsDegToRad;
  const double s = static_cast<double>(std::sin(a));
  const double c = static_cast<double>(std::cos(a));
  for (int32_t i = 0; i < Count; ++i) {
    const double dx = static_cast<double>(points_[i].X) - cx;
    const double dy = static_cast<double>(points_[i].Y) - cy;
    const double x = static_cast<double>(static_cast<long double>(dx) * c -
                                         static_cast<long double>(dy) * s + cx);
    const double y = static_cast<double>(static_cast<long double>(dy) * c +
                                         static_cast<long double>(dx) * s + cy);
    points_[i].X = RoundHalfEven(x);
    points_[i].Y = RoundHalfEven(y);
  }
}

}  // namespace quennet
