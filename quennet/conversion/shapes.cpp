#include "quennet/conversion/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "abi/pcbapi.h"
#include "layers/rtl_errors.h"
#include "quennet/conversion/converters.h"
#include "quennet/conversion/emit.h"
#include "quennet/conversion/numerics.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/drawing/points.h"
#include "quennet/driver/state.h"
#include "quennet/options/options.h"
#include "quennet/pcbmodel/objects.h"

namespace quennet {

namespace {

// Every point list of a converter is created with room for this many points,
// so that no outline the converters build ever grows.
constexpr int32_t kListCapacity = 64;

int32_t HoleMode() {
  return ExportOptions().HoleMode;
}
bool HolesAreOnOwnLayers() {
  return HoleMode() == 0 || HoleMode() == 1;
}

void Line(uint32_t layer, const TPoints& l, int32_t a, int32_t b) {
  Emit().AddLine(layer, l.GetX(a), l.GetY(a), l.GetX(b), l.GetY(b), 0);
}

}  // namespace

// --- Shared routines ---------------------------------------------------------

// Moves the points by minus the placement offset, in 64 bits: a point that
// leaves the drawing's range is an error, not a wrap-around to the far side.
void SubtractOffset(TPoints& list, const TPlacement& p) {
  if (p.OffsetX == 0 && p.OffsetY == 0) return;
  for (int32_t i = 0; i < list.Count; ++i) {
    list.SetX(i, CheckedCoord(int64_t{list.GetX(i)} - p.OffsetX));
    list.SetY(i, CheckedCoord(int64_t{list.GetY(i)} - p.OffsetY));
  }
}

void ApplyPlacement(TPoints& list) {
  const TPlacement& p = Placement();
  SubtractOffset(list, p);
  list.Rotate(0, 0, p.Rotation);
}

void DrawOutlineLines(const TPoints& points, uint32_t layer) {
  const int32_t n = points.Count;
  if (n == 0) return;
  Line(layer, points, n - 1, 0);
  for (int32_t i = 1; i < n; ++i) Line(layer, points, i - 1, i);
}

void DrawRotatedRect(const TPoints& corners, uint32_t layer, bool outline, double angle) {
  const int32_t x1 = corners.GetX(0), y1 = corners.GetY(0);
  const int32_t x2 = corners.GetX(1), y2 = corners.GetY(1);
  const double cx = x1 + (static_cast<double>(x2) - x1) / 2;
  const double cy = y1 + (static_cast<double>(y2) - y1) / 2;
  TPoints q(kListCapacity);
  q.Add(x1, y1);
  q.Add(x2, y1);
  q.Add(x2, y2);
  q.Add(x1, y2);
  q.Rotate(cx, cy, angle);
  if (outline)
    DrawOutlineLines(q, layer);
  else
    Emit().AddSolid(q, layer);
}

void ArcEndPoints(double X, double Y, double R, double A, double B, TPoints& list, double& bulge,
                  bool& full) {
  const TArcEnds e = ArcEndPoints(X, Y, R, A, B);
  list.Clear();
  list.Add(e.x0, e.y0);
  list.Add(e.x1, e.y1);
  bulge = e.bulge;
  full = e.full;
}

void DrawArc(const TPoints& centre, int32_t R, int32_t W, double A, double B, uint32_t layer,
             bool zero) {
  if (R == 0) return;
  const double a = DegToRad(A), b = DegToRad(B);
  const double x = centre.GetX(0), y = centre.GetY(0);
  if (zero) {
    if (IsFullCircle(a, b))
      Emit().AddCircle(layer, x, y, R, 0);
    else
      Emit().AddArc(layer, x, y, R, a, b, 0);
    return;
  }
  TPoints ends(kListCapacity);
  double bulge = 0;
  bool full = false;
  ArcEndPoints(x, y, R, a, b, ends, bulge, full);
  Emit().AddWidePolyArc(ends, W, layer, bulge, full);
  // Round caps: a wide arc ends where a track may join it.
  Emit().AddDonut(ends.GetX(0), ends.GetY(0), W, 0, layer);
  Emit().AddDonut(ends.GetX(1), ends.GetY(1), W, 0, layer);
}

// --- Tracks -------------------------------------------------------------------

void DrawTrackShape(const TPoints& ends, int32_t width, uint32_t layer, bool zero) {
  if (zero) {
    Line(layer, ends, 0, 1);
    return;
  }
  Emit().AddPolyline(ends, layer, false, width, 0);
  if (ExportOptions().RoundedTracks) {
    Emit().AddDonut(ends.GetX(0), ends.GetY(0), width, 0, layer);
    Emit().AddDonut(ends.GetX(1), ends.GetY(1), width, 0, layer);
  }
}

void DrawArcShape(int32_t x, int32_t y, int32_t radius, int32_t width, double startAngle,
                  double endAngle, uint32_t layer, bool zero) {
  TPoints centre(kListCapacity);
  centre.Add(x, y);
  ApplyPlacement(centre);
  const double rotation = Placement().Rotation;
  DrawArc(centre, radius, width, startAngle + rotation, endAngle + rotation, layer, zero);
}

// --- Pads and vias --------------------------------------------------------------

void DrawPadShape(int32_t px, int32_t py, uint8_t shape, int32_t sx, int32_t sy, int32_t hole,
                  double prot, uint32_t layer, bool zero, int32_t cornerRadius) {
  switch (shape) {
    case psRound:
      DrawRoundPad(px, py, sx, sy, hole, prot, layer, zero);
      break;
    case psRectangle:
      if (HolesAreOnOwnLayers())
        DrawRectPad(px, py, sx, sy, prot, layer, zero);
      else if (HoleMode() == 2)
        DrawRectPadWithHole(px, py, sx, sy, hole, prot, layer, zero);
      break;
    case psOctagonal:
      // Filled octagons have no entity of their own: drawn like a round pad.
      if (!zero)
        DrawRoundPad(px, py, sx, sy, hole, prot, layer, zero);
      else if (HolesAreOnOwnLayers())
        DrawOctagonPad(px, py, sx, sy, prot, layer, zero);
      else if (HoleMode() == 2)
        DrawOctagonPadWithHole(px, py, sx, sy, hole, prot, layer, zero);
      break;
    case psRoundedRectangle:
      DrawRoundedRectPad(px, py, sx, sy, cornerRadius, hole, prot, layer, zero);
      break;
    case psPlaneRelief:
      break;  // reliefs need the host's rule values (DrawRelief)
    default:
      CountUndrawnShape(false, shape, layer);
      break;
  }
}

void DrawRoundPad(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole, double prot,
                  uint32_t layer, bool zero) {
  if (sx == sy && sx > 0)
    DrawCirclePad(px, py, sx, hole, layer, zero);
  else if (HolesAreOnOwnLayers())
    DrawObroundPad(px, py, sx, sy, prot, layer, zero);
  else if (HoleMode() == 2)
    DrawObroundPadWithHole(px, py, sx, sy, hole, prot, layer, zero);
}

void DrawCirclePad(int32_t px, int32_t py, int32_t d, int32_t hole, uint32_t layer, bool zero) {
  if (HolesAreOnOwnLayers()) hole = 0;
  if (zero) {
    if (hole != 0) Emit().AddCircle(layer, px, py, hole / 2.0, 0);
    Emit().AddCircle(layer, px, py, d / 2.0, 0);
  } else {
    Emit().AddDonut(px, py, d, hole, layer);
  }
}

void DrawObroundPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                    bool zero) {
  const int32_t mn = std::min(sx, sy), mx = std::max(sx, sy);
  if (mn <= 0 || mx <= 0) return;
  const int32_t g = (mx - mn) / 2, h = mn / 2;
  TPoints c(kListCapacity), e(kListCapacity);
  long double offset;
  if (sx > sy) {
    c.Add(CheckedCoord(int64_t{px} + g), py);
    c.Add(CheckedCoord(int64_t{px} - g), py);
    e.Add(CheckedCoord(int64_t{px} + g), CheckedCoord(int64_t{py} + h));
    e.Add(CheckedCoord(int64_t{px} - g), CheckedCoord(int64_t{py} + h));
    e.Add(CheckedCoord(int64_t{px} + g), CheckedCoord(int64_t{py} - h));
    e.Add(CheckedCoord(int64_t{px} - g), CheckedCoord(int64_t{py} - h));
    offset = -kPiExt / 2;
  } else {
    c.Add(px, CheckedCoord(int64_t{py} + g));
    c.Add(px, CheckedCoord(int64_t{py} - g));
    e.Add(CheckedCoord(int64_t{px} + h), CheckedCoord(int64_t{py} + g));
    e.Add(CheckedCoord(int64_t{px} + h), CheckedCoord(int64_t{py} - g));
    e.Add(CheckedCoord(int64_t{px} - h), CheckedCoord(int64_t{py} + g));
    e.Add(CheckedCoord(int64_t{px} - h), CheckedCoord(int64_t{py} - g));
    offset = 0;
  }
  c.Rotate(px, py, prot);
  e.Rotate(px, py, prot);
  if (zero) {
    const double t = DegToRad(prot);
    const double r = mn / 2.0;
    const double a0 = static_cast<double>(t + offset);
    const double a1 = static_cast<double>(t + offset + kPiExt);
    Emit().AddArc(layer, c.GetX(0), c.GetY(0), r, a0, a1, 0);
    Line(layer, e, 0, 1);
    Line(layer, e, 2, 3);
    Emit().AddArc(layer, c.GetX(1), c.GetY(1), r, a1, a0, 0);
  } else {
    Emit().AddPolyline(c, layer, false, mn, 0);
    Emit().AddDonut(c.GetX(0), c.GetY(0), mn, 0, layer);
    Emit().AddDonut(c.GetX(1), c.GetY(1), mn, 0, layer);
  }
}

void DrawRectPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                 bool zero) {
  TPoints corners(kListCapacity);
  corners.Add(CheckedCoord(int64_t{px} - sx / 2), CheckedCoord(int64_t{py} - sy / 2));
  corners.Add(CheckedCoord(int64_t{px} + sx / 2), CheckedCoord(int64_t{py} + sy / 2));
  DrawRotatedRect(corners, layer, zero, prot);
}

void DrawOctagonPad(int32_t px, int32_t py, int32_t sx, int32_t sy, double prot, uint32_t layer,
                    bool zero) {
  if (!zero) return;
  const int32_t hx = sx / 2, hy = sy / 2, c = std::min(hx, hy) / 2;
  TPoints p(kListCapacity);
  p.Add(CheckedCoord(int64_t{px} + hx - c), CheckedCoord(int64_t{py} + hy));
  p.Add(CheckedCoord(int64_t{px} - hx + c), CheckedCoord(int64_t{py} + hy));
  p.Add(CheckedCoord(int64_t{px} - hx), CheckedCoord(int64_t{py} + hy - c));
  p.Add(CheckedCoord(int64_t{px} - hx), CheckedCoord(int64_t{py} - hy + c));
  p.Add(CheckedCoord(int64_t{px} - hx + c), CheckedCoord(int64_t{py} - hy));
  p.Add(CheckedCoord(int64_t{px} + hx - c), CheckedCoord(int64_t{py} - hy));
  p.Add(CheckedCoord(int64_t{px} + hx), CheckedCoord(int64_t{py} - hy + c));
  p.Add(CheckedCoord(int64_t{px} + hx), CheckedCoord(int64_t{py} + hy - c));
  p.Rotate(px, py, prot);
  DrawOutlineLines(p, layer);
}

int32_t ReliefRadius(int32_t r0, int32_t w) {
  const int32_t r = w / 2 + r0;
  // A relief without rule and hole still gets a visible ring.
  return r == 0 ? 10000 : r;
}

int32_t ReliefGapDegrees(int32_t r, int32_t w, int32_t g) {
  const int32_t halfSpoke = static_cast<int32_t>((int64_t{g} + w) / 2);
  const double a = std::atan(static_cast<double>(halfSpoke) / r);
  return static_cast<int32_t>(NearestExt(static_cast<long double>(a) * 57.2957L + 0.5L));
}

void DrawRelief(int32_t cx, int32_t cy, int32_t r0, int32_t w, int32_t g, int32_t n,
                uint32_t layer) {
  const int32_t r = ReliefRadius(r0, w);
  const int32_t d = ReliefGapDegrees(r, w, g);
  TPoints centre(kListCapacity);
  centre.Add(cx, cy);
  if (n == 4) {
    for (int32_t spoke : {45, 135, 225, 315})
      DrawArc(centre, r, w, spoke + d, spoke + 90 - d, layer, false);
  } else {
    DrawArc(centre, r, w, 45 + d, 225 - d, layer, false);
    DrawArc(centre, r, w, 225 + d, 45 - d, layer, false);
  }
}

void DrawViaOnLayer(int32_t px, int32_t py, int32_t d, int32_t hole, uint32_t layer, bool zero) {
  if (HolesAreOnOwnLayers()) hole = 0;
  if (zero) {
    Emit().AddCircle(layer, px, py, d / 2.0, 0);
    if (hole > 0) Emit().AddCircle(layer, px, py, hole / 2.0, 0);
  } else {
    Emit().AddDonut(px, py, d, hole, layer);
  }
}

// --- Holes ------------------------------------------------------------------------

void DrawHole(int32_t x, int32_t y, int32_t hole, double angle, uint32_t layer, bool zero) {
  if (hole <= 0) return;
  TPoints h(kListCapacity);
  h.Add(x, y);
  h.Rotate(0, 0, angle);
  if (HoleMode() != 1) return;
  if (zero)
    Emit().AddCircle(layer, h.GetX(0), h.GetY(0), hole / 2.0, 0);
  else
    Emit().AddDonut(h.GetX(0), h.GetY(0), hole, 0, layer);
}

void DrawObroundPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole,
                            double prot, uint32_t layer, bool zero) {
  if (zero) {
    DrawObroundPad(px, py, sx, sy, prot, layer, zero);
    Emit().AddCircle(layer, px, py, hole / 2.0, 0);
    return;
  }
  const bool alongX = sx >= sy;
  const int32_t L = alongX ? sx : sy, S = alongX ? sy : sx;
  const double angle = prot + (alongX ? 0.0 : 90.0);
  if (S <= 0 || L <= 0) return;
  if (hole > S) {
    // Nothing of the copper is left around a hole wider than the pad.
    Emit().AddDonut(px, py, hole, 0, layer);
    return;
  }
  Emit().AddDonut(px, py, S, hole, layer);
  const int32_t w = (S - hole) / 2, g = (L - S) / 2, r = (hole + w) / 2;
  TPoints l(kListCapacity);
  const int64_t x = px, y = py;
  auto segment = [&](int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
    l.Clear();
    l.Add(CheckedCoord(xa), CheckedCoord(ya));
    l.Add(CheckedCoord(xb), CheckedCoord(yb));
    l.Rotate(px, py, angle);
  };
  segment(x - g, y + r, x + g, y + r);
  Emit().AddPolyline(l, layer, false, w, 0);
  segment(x - g, y - r, x + g, y - r);
  Emit().AddPolyline(l, layer, false, w, 0);
  segment(x - g, y - r, x - g, y + r);
  Emit().AddWidePolyArc(l, w, layer, 1.0, false);
  segment(x + g, y + r, x + g, y - r);
  Emit().AddWidePolyArc(l, w, layer, 1.0, false);
}

void DrawRectPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole, double prot,
                         uint32_t layer, bool zero) {
  if (zero) {
    DrawRectPad(px, py, sx, sy, prot, layer, zero);
    Emit().AddCircle(layer, px, py, hole / 2.0, 0);
    return;
  }
  const int32_t mn = std::min(sx, sy);
  if (hole > mn) hole = mn / 2;
  const int32_t f = (sy - hole) / 2, h = (sx - hole) / 2;
  TPoints l(kListCapacity);
  const int64_t x = px, y = py;
  auto band = [&](int64_t xa, int64_t ya, int64_t xb, int64_t yb, int32_t width) {
    l.Clear();
    l.Add(CheckedCoord(xa), CheckedCoord(ya));
    l.Add(CheckedCoord(xb), CheckedCoord(yb));
    l.Rotate(px, py, prot);
    Emit().AddPolyline(l, layer, false, width, 0);
  };
  if (f > 0) {
    const int32_t dy = (f + hole) / 2;
    band(x - sx / 2, y + dy, x + sx / 2, y + dy, f);
    band(x - sx / 2, y - dy, x + sx / 2, y - dy, f);
  }
  if (h > 0) {
    const int32_t dx = (h + hole) / 2;
    band(x - dx, y + sy / 2, x - dx, y - sy / 2, h);
    band(x + dx, y + sy / 2, x + dx, y - sy / 2, h);
  }
  Emit().AddDonut(px, py, mn, hole, layer);
}

void DrawOctagonPadWithHole(int32_t px, int32_t py, int32_t sx, int32_t sy, int32_t hole,
                            double prot, uint32_t layer, bool zero) {
  if (!zero) return;
  DrawOctagonPad(px, py, sx, sy, prot, layer, zero);
  Emit().AddCircle(layer, px, py, hole / 2.0, 0);
}

// --- Fills and regions --------------------------------------------------------------

void DrawFillShape(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double rotation, uint32_t layer,
                   bool zero) {
  const TPlacement& p = Placement();
  // Half the difference of two 32-bit values always fits in 32 bits.
  const auto hx = static_cast<int32_t>((int64_t{x2} - x1) / 2),
             hy = static_cast<int32_t>((int64_t{y2} - y1) / 2);
  TPoints c(kListCapacity);
  c.Add(CheckedCoord(int64_t{x1} + hx - p.OffsetX), CheckedCoord(int64_t{y1} + hy - p.OffsetY));
  c.Rotate(0, 0, p.Rotation);
  const int32_t cx = c.GetX(0), cy = c.GetY(0);
  c.Clear();
  c.Add(CheckedCoord(int64_t{cx} - hx), CheckedCoord(int64_t{cy} - hy));
  c.Add(CheckedCoord(int64_t{cx} + hx), CheckedCoord(int64_t{cy} + hy));
  // Inside a block the fill keeps the part of its rotation that is its own
  // within the component; the insert adds the component's.
  DrawRotatedRect(c, layer, zero, rotation + p.Rotation);
}

void ContourToPoints(const abi::TPcbApiContourPoints* contour, TPoints* list) {
  if (!contour || !list) AssertionFailure("", "save", __LINE__);
  list->Clear();
  if (contour->Count > 0 && !contour->Points) AssertionFailure("", "save", __LINE__);
  for (int32_t k = 0; k < contour->Count; ++k)
    list->Add(NearestCoord(contour->Points[k].X, "region point"),
              NearestCoord(contour->Points[k].Y, "region point"));
}

void DrawRegionContour(TPoints& list, uint32_t layer) {
  const TPlacement& p = Placement();
  list.Rotate(p.OffsetX, p.OffsetY, p.Rotation);
  SubtractOffset(list, p);
  DrawOutlineLines(list, layer);
}

// --- Texts ----------------------------------------------------------------------------

void EmitText(const TPoints& point, int32_t height, int32_t v, double widthFactor, double angle,
              bool mirrored, std::string_view s, uint32_t layer) {
  char text[256];
  const size_t n = std::min<size_t>(s.size(), 255);
  std::memcpy(text, s.data(), n);
  text[n] = 0;
  Emit().AddText(point.GetX(0), point.GetY(0), height, widthFactor, v, angle, mirrored, text,
                 layer);
}

void DrawTextShape(int32_t x, int32_t y, int32_t size, int32_t textAttr, double rotation,
                   bool mirrored, std::string_view s, uint32_t layer) {
  const TPlacement& p = Placement();
  TPoints l(kListCapacity);
  l.Add(CheckedCoord(int64_t{x} - p.OffsetX), CheckedCoord(int64_t{y} - p.OffsetY));
  double a = rotation;
  if (p.Rotation != 0) {
    l.Rotate(0, 0, p.Rotation);
    a += p.Rotation;
  }
  const double angle = static_cast<double>(ThroughReal48(a * kTextDegToRadExt, "text rotation"));
  EmitText(l, size, textAttr, 1.0, angle, mirrored, s, layer);
}

}  // namespace quennet
