// KiCad boards: footprints, their pads and the shapes of custom pads.
#include <algorithm>

#include "korvex/src/kicad/reader.h"

namespace korvex::kicad {

// (footprint "lib:name" (layer) (at) (property|fp_text ...) (fp_* ...) (pad ...) ...)
void Reader::ReadFootprint() {
  std::string_view fullName = Text();
  const size_t colon = fullName.find(':');
  const std::string_view pattern =
      colon == std::string_view::npos ? fullName : fullName.substr(colon + 1);
  const uint32_t ref = NewObject(kComponent, uint32_t(board_->components.size()), 1, 0);
  board_->components.emplace_back();
  board_->components.back().pattern = Latin(kicad::Unescape(pattern), 250);
  board_->components.back().sourceLinks[3] =
      Latin(kicad::Unescape(fullName.substr(0, colon == std::string_view::npos ? 0 : colon)), 255);
  Frame f;
  bool placed = false;
  double fpMask = -1, fpPaste = -1;
  auto needPlace = [&](const Token& at) {
    if (!placed) Fail(tok_.Offset(at.at), "a footprint's items come before its (at ...)");
  };
  Items(
      [&](std::string_view h, const Token& at) {
        Component& c = board_->components[Obj(ref).data];
        if (h == "layer") {
          const TV7_Layer l = LayerList();
          Obj(ref).layer = l == 32 ? 32 : 1;
        } else if (h == "at") {
          PointD p;
          double a = 0;
          At(p, a);
          f.Set(p.x, p.y, a);
          Obj(ref).x = ToUnits(p.x, at), Obj(ref).y = ToUnits(p.y, at);
          board_->components[Obj(ref).data].rotation = a;
          placed = true;
        } else if (h == "fp_text" || h == "property") {
          const bool property = h == "property";
          std::string_view role;
          if (!property) {
            role = tok_.Peek().text;
          } else {
            Token key = tok_.Next();
            role = key.text == "Reference" ? "reference" : key.text == "Value" ? "value" : "";
            // Other properties (and KiCad 7's plain key-value ones) draw nothing.
            if (role.empty() || tok_.Peek().kind != Tok::kString) {
              Skip();
              return;
            }
          }
          needPlace(at);
          bool hidden = false;
          const uint32_t t = ReadText(&f, ref, &hidden, property);
          Component& cc = board_->components[Obj(ref).data];
          if (role == "reference" && !cc.designator) {
            cc.designator = t, cc.designatorVisible = !hidden;
          } else if (role == "value" && !cc.comment) {
            cc.comment = t, cc.commentVisible = !hidden;
          } else if (!hidden) {
            cc.children.push_back(t);
          }
        } else if (h == "fp_line" || h == "fp_arc" || h == "fp_circle" || h == "fp_rect" ||
                   h == "fp_poly" || h == "fp_curve") {
          needPlace(at);
          ReadGraphic(h, &f, ref);
        } else if (h == "pad") {
          needPlace(at);
          ReadPad(f, ref, fpMask, fpPaste);
        } else if (h == "zone") {
          ReadZone(ref);
        } else if (h == "solder_mask_margin") {
          fpMask = LengthList();
        } else if (h == "solder_paste_margin") {
          fpPaste = LengthList();
        } else if (h == "descr") {
          c.description = Latin(kicad::Unescape(Text()), 255), Close();
        } else if (h == "model") {
          if (c.model3D.empty()) c.model3D = Latin(kicad::Unescape(Text()), 255);
          Skip();
        } else if (h == "fp_text_box" || h == "dimension" || h == "image" || h == "table") {
          approx_.Add((std::string(h) + " items not drawn").c_str());
          Skip();
        } else {
          Skip();
        }
      },
      [](const Token&) {});
  // Texts left out still exist, hidden, as in the editor.
  for (int i = 0; i < 2; ++i) {
    Component& c = board_->components[Obj(ref).data];
    uint32_t& t = i == 0 ? c.designator : c.comment;
    if (t) continue;
    const uint32_t nt =
        NewObject(kText, uint32_t(board_->texts.size()), Obj(ref).layer == 32 ? 34 : 33, 0);
    board_->texts.emplace_back();
    board_->texts.back().height = 600000;
    Obj(nt).x = Obj(ref).x, Obj(nt).y = Obj(ref).y;
    Obj(nt).component = ref;
    Obj(nt).bitField2 |= kBitField2InComponent;
    Component& c2 = board_->components[Obj(ref).data];
    (i == 0 ? c2.designator : c2.comment) = nt;
    (i == 0 ? c2.designatorVisible : c2.commentVisible) = false;
  }
}

// (pad "name" type shape (at) (size) (drill) (layers) ...)
void Reader::ReadPad(const Frame& f, uint32_t comp, double fpMask, double fpPaste) {
  const Token here = tok_.Peek();
  const std::string name = Latin(kicad::Unescape(Text()), 20);
  const std::string_view type = Symbol();
  const std::string_view shape = Symbol();
  PointD p;
  double angle = 0, sx = 0, sy = 0, drillX = 0, drillY = 0, rratio = 0, chamfer = 0;
  double mask = fpMask, paste = fpPaste;
  bool chamfered = false, drillOffset = false, trapezoid = false;
  std::string_view anchor = "circle";
  PadLayers layers;
  std::vector<PadPrimitive> primitives;  // custom pads: pad frame
  Items(
      [&](std::string_view h, const Token&) {
        if (h == "at") {
          At(p, angle);
        } else if (h == "size") {
          sx = Number() * kPcbPerMm, sy = Number() * kPcbPerMm;
          Close();
        } else if (h == "drill") {
          bool oval = false;
          int n = 0;
          while (!AtClose()) {
            const Token& t = tok_.Peek();
            if (t.kind == Tok::kOpen) {
              tok_.Next();
              if (Symbol() == "offset") {
                const double ox = Number(), oy = Number();
                drillOffset = ox != 0 || oy != 0;
                Close();
              } else {
                Skip();
              }
            } else if (t.text == "oval") {
              tok_.Next(), oval = true;
            } else {
              const double v = Number() * kPcbPerMm;
              (n++ == 0 ? drillX : drillY) = v;
            }
          }
          Close();
          if (!oval || n < 2) drillY = drillX;
        } else if (h == "layers") {
          while (!AtClose()) {
            Token t = tok_.Next();
            const std::string_view l = t.text;
            if (l == "*.Cu") {
              layers.allCopper = true;
            } else if (l == "*.Mask" || l == "F&B.Mask") {
              layers.fMask = layers.bMask = true;
            } else if (l == "*.Paste" || l == "F&B.Paste") {
              layers.fPaste = layers.bPaste = true;
            } else if (l == "F&B.Cu") {
              layers.copper.push_back(1), layers.copper.push_back(32);
            } else if (l == "*.SilkS" || l == "*.Adhes" || l == "*.CrtYd" || l == "*.Fab") {
            } else {
              const TV7_Layer v = LayerOf(l, t);
              if (v <= 32) layers.copper.push_back(TLayer(v));
              if (v == 37) layers.fMask = true;
              if (v == 38) layers.bMask = true;
              if (v == 35) layers.fPaste = true;
              if (v == 36) layers.bPaste = true;
            }
          }
          Close();
        } else if (h == "roundrect_rratio") {
          rratio = Number(), Close();
        } else if (h == "chamfer_ratio") {
          chamfer = Number(), Close();
        } else if (h == "chamfer") {
          while (!AtClose()) tok_.Next(), chamfered = true;
          Close();
        } else if (h == "rect_delta") {
          trapezoid = Number() != 0;
          trapezoid = (Number() != 0) || trapezoid;
          Close();
        } else if (h == "solder_mask_margin") {
          mask = LengthList();
        } else if (h == "solder_paste_margin") {
          paste = LengthList();
        } else if (h == "options") {
          Items([&](std::string_view oh, const Token&) {
            if (oh == "anchor")
              anchor = Symbol(), Close();
            else
              Skip();
          });
        } else if (h == "primitives") {
          ReadPadPrimitives(primitives);
        } else {
          Skip();
        }
      },
      [](const Token&) {});

  // Where the pad is and how it is turned: its position in the footprint,
  // its angle already whole.
  PointD at;
  f.Apply(p.x, p.y, at.x, at.y);
  const bool through = type == "thru_hole" || type == "np_thru_hole";
  if (type != "thru_hole" && type != "np_thru_hole" && type != "smd" && type != "connect")
    Fail(tok_.Offset(here.at), "unknown pad type '" + std::string(type) + "'");

  uint8_t s = psRound;
  if (shape == "circle") {
    sy = sx;
  } else if (shape == "oval") {
  } else if (shape == "rect") {
    s = psRectangle;
  } else if (shape == "roundrect") {
    s = psRoundedRectangle;
  } else if (shape == "trapezoid") {
    s = psRectangle;
    if (trapezoid) approx_.Add("trapezoid pads drawn as rectangles");
  } else if (shape == "custom") {
    s = anchor == "rect" ? psRectangle : psRound;
    if (anchor != "rect") sy = sx;
  } else {
    Fail(tok_.Offset(here.at), "unknown pad shape '" + std::string(shape) + "'");
  }
  if (chamfered && chamfer > 0) approx_.Add("chamfered pads drawn without their chamfers");
  if (drillOffset) approx_.Add("pads with an offset drill drawn with the hole at their centre");
  const double hole = std::min(drillX, drillY);
  if (drillX != drillY && drillX > 0 && drillY > 0)
    approx_.Add("slotted holes drawn as round holes of the slot's width");

  const uint32_t ref = NewObject(kPad, uint32_t(board_->pads.size()), kMultiLayer, comp);
  Pad pad;
  pad.name = name;
  pad.rotation = angle;
  pad.hole = ToUnits(hole, here);
  pad.plated = type != "np_thru_hole";
  const int32_t x = ToUnits(sx, here), y = ToUnits(sy, here);
  pad.topX = pad.midX = pad.botX = x;
  pad.topY = pad.midY = pad.botY = y;
  pad.topShape = pad.midShape = pad.botShape = s;
  pad.stackMode = 2;
  const uint8_t cr = uint8_t(std::clamp(std::lround(rratio * 200.0), 0l, 100l));
  LayerCopper& c = pad.copper;
  auto put = [&](int l, double ex) {
    const int32_t ax = ToUnits(std::max(0.0, sx + 2 * ex), here);
    const int32_t ay = ToUnits(std::max(0.0, sy + 2 * ex), here);
    c.xSize[l] = ax, c.ySize[l] = ay, c.shape[l] = s;
    c.crPercent[l] = s == psRoundedRectangle ? cr : 0;
  };
  // A hole without a plated ring no larger than itself has no copper.
  const bool copper = !(type == "np_thru_hole" && std::max(sx, sy) <= hole);
  std::vector<TLayer> cu;
  if (copper) {
    if (layers.allCopper)
      cu = stack_;
    else
      for (TLayer l : layers.copper)
        if (std::find(stack_.begin(), stack_.end(), l) != stack_.end()) cu.push_back(l);
  }
  for (TLayer l : cu) put(l, 0);
  if (through && !cu.empty()) put(kMultiLayer, 0);
  const double m = mask >= 0 ? mask : maskMargin_, pa = paste >= 0 ? paste : pasteMargin_;
  if (layers.fMask) put(37, m);
  if (layers.bMask) put(38, m);
  if (layers.fPaste) put(35, pa);
  if (layers.bPaste) put(36, pa);
  TV7_Layer objectLayer = kMultiLayer;
  if (!through) {
    objectLayer = !cu.empty() ? cu.front() : (layers.bPaste || layers.bMask) ? 32 : 1;
  } else if (cu.empty()) {
    objectLayer = kMultiLayer;
  }
  Obj(ref).layer = objectLayer;
  Obj(ref).x = ToUnits(at.x, here), Obj(ref).y = ToUnits(at.y, here);
  board_->pads.push_back(std::move(pad));

  // A custom pad's own shapes, turned with the pad, on its copper layers.
  if (!primitives.empty()) {
    Frame pf;
    pf.Set(at.x, at.y, angle);
    for (TLayer l : cu) AddPadPrimitives(primitives, pf, l, comp, here);
  }
}

void Reader::ReadPadPrimitives(std::vector<PadPrimitive>& out) {
  Items([&](std::string_view h, const Token&) {
    PadPrimitive prim;
    prim.kind = h == "gr_poly"     ? 'p'
                : h == "gr_rect"   ? 'r'
                : h == "gr_line"   ? 'l'
                : h == "gr_arc"    ? 'a'
                : h == "gr_circle" ? 'c'
                                   : 0;
    if (!prim.kind) {
      approx_.Add("custom pad shapes of kinds not drawn (curves, texts)");
      Skip();
      return;
    }
    PointD s, m, e, c;
    bool filledGiven = false;
    Items([&](std::string_view ph, const Token&) {
      if (ph == "pts") {
        Items([&](std::string_view xh, const Token&) {
          if (xh == "xy") {
            prim.pts.push_back(XYList());
          } else {
            Skip();
            approx_.Add("arcs in custom pad outlines not drawn");
          }
        });
      } else if (ph == "start") {
        s = XYList();
      } else if (ph == "mid") {
        m = XYList();
      } else if (ph == "end") {
        e = XYList();
      } else if (ph == "center") {
        c = XYList();
      } else if (Fill(ph, prim.filled)) {
        filledGiven = true;
      } else if (!Width(ph, prim.width)) {
        Skip();
      }
    });
    if (prim.kind == 'r') prim.pts = {s, {e.x, s.y}, e, {s.x, e.y}};
    if (prim.kind == 'l') prim.pts = {s, e};
    if (prim.kind == 'a') prim.pts = {s, m, e};
    if (prim.kind == 'c') prim.pts = {c, e};
    // Polygons of custom pads are filled unless the file says otherwise;
    // circles only when it says so.
    if (prim.kind == 'c' && !filledGiven) prim.filled = false;
    out.push_back(std::move(prim));
  });
}

// Draws a custom pad's shapes on one copper layer, turned with the pad.
void Reader::AddPadPrimitives(const std::vector<PadPrimitive>& prims, const Frame& pf,
                              TV7_Layer layer, uint32_t comp, const Token& here) {
  for (const PadPrimitive& prim : prims) {
    std::vector<PointD> q;
    for (const PointD& p : prim.pts) {
      PointD b;
      pf.Apply(p.x, p.y, b.x, b.y);
      q.push_back(b);
    }
    switch (prim.kind) {
      case 'p':
      case 'r': {
        if (prim.filled) {
          std::vector<Point> pts;
          for (const PointD& p : q) pts.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
          AddRegion(std::move(pts), layer, comp);
        }
        if (prim.width > 0)
          for (size_t i = 0; i < q.size() && q.size() > 1; ++i)
            AddTrack(q[i], q[(i + 1) % q.size()], prim.width, layer, comp, here);
        break;
      }
      case 'l':
        AddTrack(q[0], q[1], prim.width, layer, comp, here);
        break;
      case 'a':
        AddArc3(q[0], q[1], q[2], prim.width, layer, comp, here);
        break;
      case 'c': {
        const double r = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
        if (prim.filled) {
          const double outer = r + prim.width / 2;
          AddCircle(q[0], outer / 2, outer, layer, comp, here);
        } else {
          AddCircle(q[0], r, prim.width, layer, comp, here);
        }
        break;
      }
    }
  }
}

}  // namespace korvex::kicad
