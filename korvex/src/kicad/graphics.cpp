// KiCad boards: graphic items and texts, on the board and in footprints.
#include "korvex/src/kicad/reader.h"

namespace korvex::kicad {

// gr_* and fp_* graphics: lines, arcs, circles, rectangles, polygons, curves.
void Reader::ReadGraphic(std::string_view kind, const Frame* f, uint32_t comp) {
  const Token here = tok_.Peek();
  PointD s, m, e, c;
  bool haveMid = false;
  double w = 0;
  bool filled = false, haveAngle = false;
  TV7_Layer layer = 0;
  std::vector<Point> pts;
  std::vector<PointD> bezier;
  Items([&](std::string_view h, const Token&) {
    if (h == "start") {
      s = XYList();
    } else if (h == "mid") {
      m = XYList(), haveMid = true;
    } else if (h == "end") {
      e = XYList();
    } else if (h == "center") {
      c = XYList();
    } else if (h == "angle") {
      Number(), haveAngle = true, Close();
    } else if (h == "layer") {
      layer = LayerList();
    } else if (h == "pts") {
      if (kind.ends_with("curve")) {
        Items([&](std::string_view ph, const Token&) {
          if (ph == "xy")
            bezier.push_back(XYList());
          else
            Skip();
        });
      } else {
        pts = Points(f, here);
      }
    } else if (!Width(h, w) && !Fill(h, filled)) {
      Skip();
    }
  });
  if (!layer)
    Fail(tok_.Offset(here.at), std::string("a ") + std::string(kind) + " without (layer ...)");
  auto apply = [&](PointD& p) {
    if (f) f->Apply(p.x, p.y, p.x, p.y);
  };
  const std::string_view k = kind.substr(3);  // after gr_ or fp_
  if (k == "line") {
    apply(s), apply(e);
    AddTrack(s, e, w, layer, comp, here);
  } else if (k == "arc") {
    if (!haveMid && haveAngle)
      Fail(tok_.Offset(here.at), "an arc by centre and angle: a file older than KiCad 6");
    apply(s), apply(m), apply(e);
    AddArc3(s, m, e, w, layer, comp, here);
  } else if (k == "circle") {
    apply(c), apply(e);
    const double r = std::hypot(e.x - c.x, e.y - c.y);
    if (filled) {
      // A disc: a ring whose centre line is half way out and as wide as
      // the whole radius (plus the outline's width).
      const double outer = r + w / 2;
      AddCircle(c, outer / 2, outer, layer, comp, here);
    } else {
      AddCircle(c, r, w, layer, comp, here);
    }
  } else if (k == "rect") {
    PointD q[4] = {s, {e.x, s.y}, e, {s.x, e.y}};
    for (PointD& p : q) apply(p);
    if (w > 0 || !filled)
      for (int i = 0; i < 4; ++i) AddTrack(q[i], q[(i + 1) % 4], w, layer, comp, here);
    if (filled) {
      std::vector<Point> r;
      for (const PointD& p : q) r.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
      AddRegion(std::move(r), layer, comp);
    }
  } else if (k == "poly") {
    if (w > 0 || !filled)
      for (size_t i = 0; i < pts.size() && pts.size() > 1; ++i) {
        const Point a = pts[i], b = pts[(i + 1) % pts.size()];
        AddTrack({double(a.x), double(a.y)}, {double(b.x), double(b.y)}, w, layer, comp, here);
      }
    if (filled) AddRegion(std::move(pts), layer, comp);
  } else if (k == "curve") {
    if (bezier.size() != 4) Fail(tok_.Offset(here.at), "a curve needs four points");
    for (PointD& p : bezier) apply(p);
    PointD prev = bezier[0];
    constexpr int kSteps = 16;
    for (int i = 1; i <= kSteps; ++i) {
      const double t = double(i) / kSteps, u = 1 - t;
      const PointD p{u * u * u * bezier[0].x + 3 * u * u * t * bezier[1].x +
                         3 * u * t * t * bezier[2].x + t * t * t * bezier[3].x,
                     u * u * u * bezier[0].y + 3 * u * u * t * bezier[1].y +
                         3 * u * t * t * bezier[2].y + t * t * t * bezier[3].y};
      AddTrack(prev, p, w, layer, comp, here);
      prev = p;
    }
    approx_.Add("curves drawn as 16 straight tracks each");
  }
}

// gr_text, fp_text, or a footprint's reference and value property.
// Returns the text's object (index + 1).
uint32_t Reader::ReadText(const Frame* f, uint32_t comp, bool* hidden, bool property) {
  const Token here = tok_.Peek();
  std::string_view raw;
  if (!property) {
    Token t = tok_.Next();
    while (t.kind == Tok::kAtom &&
           (t.text == "reference" || t.text == "value" || t.text == "user" || t.text == "locked"))
      t = tok_.Next();
    if (t.kind != Tok::kString && t.kind != Tok::kAtom) Unexpected(t, "the text");
    raw = t.text;
  } else {
    raw = Text();
  }
  PointD p;
  double angle = 0, height = 1.27 * kPcbPerMm, stroke = 0.15 * kPcbPerMm;
  bool mirrored = false, hide = false;
  TV7_Layer layer = 0;
  Items(
      [&](std::string_view h, const Token&) {
        if (h == "at") {
          At(p, angle);
        } else if (h == "layer") {
          layer = LayerList();
        } else if (h == "hide") {
          hide = Text() != "no", Close();
        } else if (h == "effects") {
          Items(
              [&](std::string_view eh, const Token&) {
                if (eh == "font") {
                  Items([&](std::string_view fh, const Token&) {
                    if (fh == "size") {
                      height = Number() * kPcbPerMm;
                      Number();
                      Close();
                    } else if (fh == "thickness") {
                      stroke = LengthList();
                    } else {
                      Skip();
                    }
                  });
                } else if (eh == "justify") {
                  while (!AtClose())
                    if (tok_.Next().text == "mirror") mirrored = true;
                  Close();
                } else if (eh == "hide") {
                  hide = Text() != "no", Close();
                } else {
                  Skip();
                }
              },
              [&](const Token& t) {
                if (t.text == "hide") hide = true;
              });
        } else {
          Skip();
        }
      },
      [&](const Token& t) {
        if (t.text == "hide") hide = true;
      });
  // A footprint's reference or value without a layer of its own sits on
  // the silkscreen of the footprint's side.
  if (!layer && property && comp) layer = Obj(comp).layer == 32 ? 34 : 33;
  if (!layer) Fail(tok_.Offset(here.at), "a text without (layer ...)");
  if (f) {
    double x = p.x, y = p.y;
    // Footprint texts keep their own angle: KiCad stores it whole.
    f->Apply(x, y, p.x, p.y);
  }
  if (hidden) *hidden = hide;
  const uint32_t ref = NewObject(kText, uint32_t(board_->texts.size()), layer, 0);
  korvex::Text t;
  t.text = Latin(kicad::Unescape(raw), 254);
  t.height = ToUnits(height, here);
  t.width = ToUnits(stroke, here);
  t.rotation = angle;
  t.mirrored = mirrored;
  board_->texts.push_back(std::move(t));
  Obj(ref).x = ToUnits(p.x, here), Obj(ref).y = ToUnits(p.y, here);
  if (comp) {
    Obj(ref).component = comp;
    Obj(ref).bitField2 |= kBitField2InComponent;
  }
  return ref;
}

}  // namespace korvex::kicad
