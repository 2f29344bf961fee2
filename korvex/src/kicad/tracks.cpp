// KiCad boards: tracks, track arcs, vias and the copper of zones.
#include <algorithm>

#include "korvex/src/kicad/reader.h"

namespace korvex::kicad {

// (segment (start) (end) (width) (layer) (net) ...)
void Reader::ReadSegment(const Frame* f, uint32_t comp) {
  PointD a, b;
  double w = 0;
  TV7_Layer layer = 0;
  const Token& at = tok_.Peek();
  const Token here = at;
  Items([&](std::string_view h, const Token&) {
    if (h == "start")
      a = XYList();
    else if (h == "end")
      b = XYList();
    else if (h == "layer")
      layer = LayerList();
    else if (!Width(h, w))
      Skip();
  });
  if (!layer) Fail(tok_.Offset(here.at), "a track without (layer ...)");
  if (f) f->Apply(a.x, a.y, a.x, a.y), f->Apply(b.x, b.y, b.x, b.y);
  AddTrack(a, b, w, layer, comp, here);
}

void Reader::ReadTrackArc() {
  PointD s, m, e;
  double w = 0;
  TV7_Layer layer = 0;
  const Token here = tok_.Peek();
  Items([&](std::string_view h, const Token&) {
    if (h == "start")
      s = XYList();
    else if (h == "mid")
      m = XYList();
    else if (h == "end")
      e = XYList();
    else if (h == "layer")
      layer = LayerList();
    else if (!Width(h, w))
      Skip();
  });
  if (!layer) Fail(tok_.Offset(here.at), "a track arc without (layer ...)");
  AddArc3(s, m, e, w, layer, 0, here);
}

// (via [blind|micro] (at) (size) (drill) (layers a b) ...)
void Reader::ReadVia() {
  const Token here = tok_.Peek();
  PointD p;
  double angle = 0, size = 0, drill = 0;
  std::vector<TV7_Layer> layers;
  Items(
      [&](std::string_view h, const Token&) {
        if (h == "at") {
          At(p, angle);
        } else if (h == "size") {
          size = LengthList();
        } else if (h == "drill") {
          drill = LengthList();
        } else if (h == "layers") {
          while (!AtClose()) {
            Token t = tok_.Next();
            layers.push_back(LayerOf(t.text, t));
          }
          Close();
        } else {
          Skip();
        }
      },
      [](const Token&) {});
  const uint32_t ref = NewObject(kVia, uint32_t(board_->vias.size()), kMultiLayer, 0);
  Via v;
  v.size = ToUnits(size, here);
  v.hole = ToUnits(drill, here);
  TLayer from = 1, to = 32;
  if (layers.size() == 2 && layers[0] <= 32 && layers[1] <= 32) {
    from = TLayer(std::min(layers[0], layers[1]));
    to = TLayer(std::max(layers[0], layers[1]));
  }
  v.fromLayer = from, v.toLayer = to;
  for (TLayer l : stack_)
    if (l >= from && l <= to) {
      v.copper.xSize[l] = v.copper.ySize[l] = v.size;
      v.copper.shape[l] = psRound;
    }
  v.copper.xSize[kMultiLayer] = v.copper.ySize[kMultiLayer] = v.size;
  v.copper.shape[kMultiLayer] = psRound;
  board_->vias.push_back(v);
  Obj(ref).x = ToUnits(p.x, here), Obj(ref).y = ToUnits(p.y, here);
}

// (zone ... (filled_polygon (layer) (pts ...)) ...): the copper KiCad filled.
void Reader::ReadZone(uint32_t comp) {
  const Token here = tok_.Peek();
  Items([&](std::string_view h, const Token&) {
    if (h != "filled_polygon") {
      Skip();
      return;
    }
    TV7_Layer layer = 0;
    std::vector<Point> pts;
    Items([&](std::string_view ph, const Token&) {
      if (ph == "layer")
        layer = LayerList();
      else if (ph == "pts")
        pts = Points(nullptr, here);
      else
        Skip();
    });
    if (!layer) Fail(tok_.Offset(here.at), "a zone's filled polygon without (layer ...)");
    AddRegion(std::move(pts), layer, comp);
  });
}

}  // namespace korvex::kicad
