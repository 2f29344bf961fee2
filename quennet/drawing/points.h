// Growable list of integer PCB points. Converters build outlines in it, move
// them into the placement frame and rotate them before handing them to the
// emitters. Coordinates are PCB units (10,000,000 per inch).
#pragma once

#include <cstdint>
#include <memory>

namespace quennet {

struct TDXFPoint {
  int32_t X;
  int32_t Y;
};

class TPoints {
 public:
  // An empty list whose array has room for exactly `capacity` points.
  explicit TPoints(int32_t capacity = 64);
  TPoints(const TPoints&) = delete;
  TPoints& operator=(const TPoints&) = delete;
  ~TPoints() = default;

  void Add(int32_t x, int32_t y);
  // Index checks are assertions of the unit DXFUtil: a bad index is a
  // programming fault that must end the export, not a silently wrong outline.
  int32_t GetX(int32_t i) const;
  int32_t GetY(int32_t i) const;
  void SetX(int32_t i, int32_t v);
  void SetY(int32_t i, int32_t v);
  // Count becomes 0; the array keeps its capacity.
  void Clear() { Count = 0; }
  void Translate(int32_t dx, int32_t dy);
  // Counter-clockwise (Y up) about (cx, cy) by `angle` degrees; results are
  // rounded half to even.
  void Rotate(double cx, double cy, double angle);

  int32_t Capacity() const { return capacity_; }

  // Number of valid points; callers read it directly.
  int32_t Count = 0;

 private:
  void Grow(int32_t needed);

  std::unique_ptr<TDXFPoint[]> points_;
  int32_t capacity_ = 0;
};

// Degrees to radians as the point lists use it: pi to ten significant
// digits, kept in extended precision, so rotated outlines land on the same
// integer points as drawings made before.
inline constexpr long double kPointsDegToRad = 3.141592654L / 180.0L;

}  // namespace quennet
