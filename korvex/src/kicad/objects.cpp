// KiCad boards: editor objects made from KiCad's geometry.
#include <algorithm>

#include "korvex/src/kicad/reader.h"

namespace korvex::kicad {

uint32_t Reader::NewObject(Kind kind, uint32_t data, TV7_Layer layer, uint32_t component) {
  Object o;
  o.kind = kind;
  o.data = data;
  o.layer = layer;
  if (component) {
    o.component = component;
    o.bitField2 |= kBitField2InComponent;
  }
  board_->objects.push_back(o);
  const uint32_t index = uint32_t(board_->objects.size() - 1);
  board_->byKind[kind].push_back(index);
  if (component)
    board_->components[board_->objects[component - 1].data].children.push_back(index + 1);
  return index + 1;
}

void Reader::AddTrack(PointD a, PointD b, double width, TV7_Layer layer, uint32_t comp,
                      const Token& at) {
  const uint32_t ref = NewObject(kTrack, uint32_t(board_->tracks.size()), layer, comp);
  Track t;
  t.x2 = ToUnits(b.x, at), t.y2 = ToUnits(b.y, at);
  t.width = ToUnits(width, at);
  board_->tracks.push_back(t);
  Obj(ref).x = ToUnits(a.x, at), Obj(ref).y = ToUnits(a.y, at);
}

void Reader::AddCircle(PointD c, double r, double width, TV7_Layer layer, uint32_t comp,
                       const Token& at) {
  AddArcObject(c, r, 0, 360, width, layer, comp, at);
}

void Reader::AddArcObject(PointD c, double r, double a0, double a1, double width, TV7_Layer layer,
                          uint32_t comp, const Token& at) {
  const uint32_t ref = NewObject(kArc, uint32_t(board_->arcs.size()), layer, comp);
  Arc a;
  a.radius = ToUnits(r, at);
  a.startAngle = a0, a.endAngle = a1;
  a.width = ToUnits(width, at);
  board_->arcs.push_back(a);
  Obj(ref).x = ToUnits(c.x, at), Obj(ref).y = ToUnits(c.y, at);
}

// An arc through three points (board coordinates): counter-clockwise from
// the one end to the other through the middle point; a straight track when
// the three points lie on a line.
void Reader::AddArc3(PointD s, PointD m, PointD e, double width, TV7_Layer layer, uint32_t comp,
                     const Token& at) {
  const double ax = m.x - s.x, ay = m.y - s.y, bx = e.x - s.x, by = e.y - s.y;
  const double d = 2 * (ax * by - ay * bx);
  if (std::fabs(d) < 1e-9 * (ax * ax + ay * ay + bx * bx + by * by) || d == 0) {
    AddTrack(s, e, width, layer, comp, at);
    return;
  }
  const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
  const PointD c{s.x + (by * a2 - ay * b2) / d, s.y + (ax * b2 - bx * a2) / d};
  const double r = std::hypot(s.x - c.x, s.y - c.y);
  auto deg = [&](PointD p) {
    double a = std::atan2(p.y - c.y, p.x - c.x) / kDeg;
    return a < 0 ? a + 360 : a;
  };
  // d > 0: the middle point lies to the left of start -> end: counter-clockwise.
  if (d > 0)
    AddArcObject(c, r, deg(s), deg(e), width, layer, comp, at);
  else
    AddArcObject(c, r, deg(e), deg(s), width, layer, comp, at);
}

void Reader::AddRegion(std::vector<Point> points, TV7_Layer layer, uint32_t comp) {
  if (points.size() < 3) return;
  const Point first = points.front();
  NewObject(kRegion, uint32_t(board_->regions.size()), layer, comp);
  Region r;
  r.contours.push_back(Contour{std::move(points)});
  board_->regions.push_back(std::move(r));
  board_->objects.back().x = first.x;
  board_->objects.back().y = first.y;
}

// (pts (xy x y) ... (arc (start) (mid) (end)) ...) in frame f.
std::vector<Point> Reader::Points(const Frame* f, const Token& here) {
  std::vector<Point> out;
  auto put = [&](PointD p) {
    if (f) f->Apply(p.x, p.y, p.x, p.y);
    out.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
  };
  Items([&](std::string_view h, const Token&) {
    if (h == "xy") {
      put(XYList());
    } else if (h == "arc") {
      PointD s, m, e;
      Items([&](std::string_view ah, const Token&) {
        if (ah == "start")
          s = XYList();
        else if (ah == "mid")
          m = XYList();
        else if (ah == "end")
          e = XYList();
        else
          Skip();
      });
      for (const PointD& q : ArcPoints(s, m, e)) put(q);
      approx_.Add("arcs in outlines drawn as short straight sides");
    } else {
      Skip();
    }
  });
  return out;
}

// Points along an arc through three points, at most 5 degrees apart.
std::vector<PointD> Reader::ArcPoints(PointD s, PointD m, PointD e) {
  const double ax = m.x - s.x, ay = m.y - s.y, bx = e.x - s.x, by = e.y - s.y;
  const double d = 2 * (ax * by - ay * bx);
  if (d == 0) return {s, e};
  const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
  const PointD c{s.x + (by * a2 - ay * b2) / d, s.y + (ax * b2 - bx * a2) / d};
  const double r = std::hypot(s.x - c.x, s.y - c.y);
  const double a0 = std::atan2(s.y - c.y, s.x - c.x);
  double sweep = std::atan2(e.y - c.y, e.x - c.x) - a0;
  if (d > 0 && sweep < 0) sweep += 2 * std::numbers::pi;
  if (d < 0 && sweep > 0) sweep -= 2 * std::numbers::pi;
  const int n = std::max(1, int(std::ceil(std::fabs(sweep) / (5 * kDeg))));
  std::vector<PointD> pts;
  for (int i = 0; i <= n; ++i) {
    const double a = a0 + sweep * i / n;
    pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
  }
  pts.back() = e;
  pts.front() = s;
  return pts;
}

}  // namespace korvex::kicad
