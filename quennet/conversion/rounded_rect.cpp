// Rounded-rectangle pads: the default surface-mount pad of most PCB tools.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "quennet/conversion/emit.h"
#include "quennet/conversion/numerics.h"
#include "quennet/conversion/shapes.h"
#include "quennet/drawing/points.h"
#include "quennet/options/options.h"

namespace quennet {

namespace {

// A corner of a pad near the edge of the board's range may lie beyond it:
// an error naming it, not a point wrapped round to the far side.
int32_t At(int32_t p, int64_t d) {
  return NearestCoord(static_cast<long double>(int64_t{p} + d), "a pad corner");
}

}  // namespace

void DrawRoundedRectPad(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t r, int32_t hole,
                        double prot, uint32_t layer, bool zero) {
  const int32_t mode = ExportOptions().HoleMode;
  if (mode < 0 || mode > 2) return;  // as for rectangles: no such hole mode draws them
  const int32_t hx = sx / 2, hy = sy / 2;
  r = std::clamp(r, 0, std::min(hx, hy));
  if (r == 0) {
    DrawRectPad(px, py, sx, sy, prot, layer, zero);
  } else {
    // Counter-clockwise from the bottom edge's right end; every even vertex
    // begins a quarter circle, every odd one a straight side.
    const int32_t cx[4] = {hx - r, hx - r, -hx + r, -hx + r};
    const int32_t cy[4] = {-hy + r, hy - r, hy - r, -hy + r};
    TPoints v(8);
    double bulges[8];
    const double quarter = std::tan(std::numbers::pi / 8);
    for (int corner = 0; corner < 4; ++corner) {
      // Start and end of the corner's arc, a quarter turn apart.
      const double a = (corner - 1) * std::numbers::pi / 2;
      const int32_t ax = cx[corner] + static_cast<int32_t>(std::lround(std::cos(a))) * r;
      const int32_t ay = cy[corner] + static_cast<int32_t>(std::lround(std::sin(a))) * r;
      const int32_t bx = cx[corner] + static_cast<int32_t>(std::lround(-std::sin(a))) * r;
      const int32_t by = cy[corner] + static_cast<int32_t>(std::lround(std::cos(a))) * r;
      // A side of length 0 (r half the smaller side) leaves one vertex that
      // both ends and begins an arc.
      if (v.Count > 0 && v.GetX(v.Count - 1) == At(px, ax) && v.GetY(v.Count - 1) == At(py, ay)) {
        bulges[v.Count - 1] = quarter;
      } else {
        v.Add(At(px, ax), At(py, ay));
        bulges[v.Count - 1] = quarter;
      }
      v.Add(At(px, bx), At(py, by));
      bulges[v.Count - 1] = 0;
    }
    if (v.Count > 1 && v.GetX(v.Count - 1) == v.GetX(0) && v.GetY(v.Count - 1) == v.GetY(0))
      --v.Count;  // the closing side has length 0 too
    v.Rotate(px, py, prot);
    if (!zero) {
      Emit().AddBulgePolyline(v, bulges, layer, true);
    } else {
      const double t = DegToRad(prot);
      TPoints c(4);
      for (int corner = 0; corner < 4; ++corner) c.Add(At(px, cx[corner]), At(py, cy[corner]));
      c.Rotate(px, py, prot);
      int32_t corner = 0;
      for (int32_t i = 0; i < v.Count; ++i) {
        const int32_t j = (i + 1) % v.Count;
        if (bulges[i] != 0) {
          const double a = t + (corner - 1) * std::numbers::pi / 2;
          Emit().AddArc(layer, c.GetX(corner), c.GetY(corner), r, a, a + std::numbers::pi / 2, 0);
          ++corner;
        } else {
          Emit().AddLine(layer, v.GetX(i), v.GetY(i), v.GetX(j), v.GetY(j), 0);
        }
      }
    }
  }
  if (mode == 2 && hole > 0) Emit().AddCircle(layer, px, py, hole / 2.0, 0);
}

}  // namespace quennet
