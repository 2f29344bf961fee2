// Drawings for the DWG writer's tests, built the way the engine builds them:
// standard tables with their handles, model and paper space, then entities.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tav2/src/drawing.h"

namespace test_support {

using namespace tav2;

// An empty drawing with the tables every R13+ drawing has.
inline Drawing EmptyDrawing() {
  Drawing d;
  d.version = 6;
  StructuralHandles& h = d.handles;
  h.blockRecordControl = d.NewHandle();
  h.layerControl = d.NewHandle();
  h.styleControl = d.NewHandle();
  h.linetypeControl = d.NewHandle();
  h.viewControl = d.NewHandle();
  h.ucsControl = d.NewHandle();
  h.vportControl = d.NewHandle();
  h.appidControl = d.NewHandle();
  h.dimstyleControl = d.NewHandle();
  h.vxControl = d.NewHandle();
  h.variableDictionary = d.NewHandle();
  h.activeVport = d.NewHandle();
  h.rootDictionary = d.NewHandle();
  h.groupDictionary = d.NewHandle();
  h.mlinestyleDictionary = d.NewHandle();
  h.standardMlinestyle = d.NewHandle();
  h.linetypeByBlock = d.NewHandle();
  h.linetypeByLayer = d.NewHandle();

  Linetype cont;
  cont.handle = d.NewHandle();
  cont.name = "CONTINUOUS";
  cont.description = "Solid line";
  d.AddLinetype(cont);
  Linetype dashed;
  dashed.handle = d.NewHandle();
  dashed.name = "DASHED";
  dashed.description = "__ __ __";
  dashed.patternLength = 0.75;
  dashed.dashes = {0.5, -0.25};
  d.AddLinetype(dashed);

  Layer zero;
  zero.handle = d.NewHandle();
  zero.name = "0";
  d.AddLayer(zero);

  TextStyle standard;
  standard.handle = d.NewHandle();
  standard.name = "STANDARD";
  standard.font = "txt";
  d.AddStyle(standard);
  d.appids.push_back(Appid{d.NewHandle(), "ACAD"});
  d.dimstyles.push_back(Dimstyle{d.NewHandle(), "STANDARD"});

  for (const char* name : {"*MODEL_SPACE", "*PAPER_SPACE"}) {
    Block b;
    b.handle = d.NewHandle();
    b.name = name;
    b.beginHandle = d.NewHandle();
    b.endHandle = d.NewHandle();
    d.AddBlock(b);
  }
  d.header.extMin = Vec3{0, 0, 0};
  d.header.extMax = Vec3{100, 80, 0};
  return d;
}

inline uint32_t AddLayer(Drawing& d, std::string name, int16_t color) {
  Layer l;
  l.handle = d.NewHandle();
  l.name = std::move(name);
  l.color = color;
  return d.AddLayer(l);
}

inline EntityCommon Common(Drawing& d, uint32_t layer) {
  EntityCommon c;
  c.handle = d.NewHandle();
  c.layer = layer;
  return c;
}

inline void AddLine(Drawing& d, uint32_t block, uint32_t layer, Vec3 a, Vec3 b) {
  d.lines.push_back(Line{Common(d, layer), a, b});
  d.blocks[block].entities.push_back({static_cast<uint32_t>(d.lines.size() - 1), EntityKind::Line});
}

inline void AddCircle(Drawing& d, uint32_t block, uint32_t layer, Vec3 c, double r) {
  d.circles.push_back(Circle{Common(d, layer), c, r});
  d.blocks[block].entities.push_back(
      {static_cast<uint32_t>(d.circles.size() - 1), EntityKind::Circle});
}

inline void AddArc(Drawing& d, uint32_t block, uint32_t layer, Vec3 c, double r, double a0,
                   double a1) {
  Arc a;
  a.c = Common(d, layer);
  a.center = c;
  a.radius = r;
  a.startAngle = a0;
  a.endAngle = a1;
  d.arcs.push_back(a);
  d.blocks[block].entities.push_back({static_cast<uint32_t>(d.arcs.size() - 1), EntityKind::Arc});
}

inline void AddSolid(Drawing& d, uint32_t block, uint32_t layer, Vec3 p0, Vec3 p1, Vec3 p2,
                     Vec3 p3) {
  Solid s;
  s.c = Common(d, layer);
  s.corner[0] = p0;
  s.corner[1] = p1;
  s.corner[2] = p2;
  s.corner[3] = p3;
  d.solids.push_back(s);
  d.blocks[block].entities.push_back(
      {static_cast<uint32_t>(d.solids.size() - 1), EntityKind::Solid});
}

inline void AddText(Drawing& d, uint32_t block, uint32_t layer, Vec3 at, double height,
                    double rotation, double widthFactor, bool mirrored, std::string_view value) {
  Text t;
  t.c = Common(d, layer);
  t.insert = at;
  t.height = height;
  t.rotation = rotation;
  t.widthFactor = widthFactor;
  t.generation = mirrored ? 2 : 0;
  t.textOffset = static_cast<uint32_t>(d.strings.size());
  t.textLength = static_cast<uint32_t>(value.size());
  d.strings.append(value);
  d.texts.push_back(t);
  d.blocks[block].entities.push_back({static_cast<uint32_t>(d.texts.size() - 1), EntityKind::Text});
}

struct PolyVertex {
  double x, y, width, bulge;
};

inline void AddPolyline(Drawing& d, uint32_t block, uint32_t layer, bool closed, double width,
                        const std::vector<PolyVertex>& vs) {
  Polyline p;
  p.c = Common(d, layer);
  p.startWidth = p.endWidth = width;
  p.flags = closed ? 1 : 0;
  p.firstVertex = static_cast<uint32_t>(d.vertices.size());
  p.vertexCount = static_cast<uint32_t>(vs.size());
  for (const auto& v : vs) {
    Vertex vx;
    vx.handle = d.NewHandle();
    vx.layer = layer;
    vx.x = v.x;
    vx.y = v.y;
    vx.startWidth = vx.endWidth = v.width;
    vx.bulge = v.bulge;
    d.vertices.push_back(vx);
  }
  p.seqendHandle = d.NewHandle();
  p.seqendLayer = layer;
  d.polylines.push_back(p);
  d.blocks[block].entities.push_back(
      {static_cast<uint32_t>(d.polylines.size() - 1), EntityKind::Polyline});
}

inline uint32_t AddBlock(Drawing& d, std::string name) {
  Block b;
  b.handle = d.NewHandle();
  b.name = std::move(name);
  b.beginHandle = d.NewHandle();
  b.endHandle = d.NewHandle();
  return d.AddBlock(b);
}

inline void AddInsert(Drawing& d, uint32_t block, uint32_t target, Vec3 at, double rotation) {
  Insert i;
  i.c = Common(d, 0);
  i.block = target;
  i.point = at;
  i.rotation = rotation;
  d.inserts.push_back(i);
  d.blocks[block].entities.push_back(
      {static_cast<uint32_t>(d.inserts.size() - 1), EntityKind::Insert});
}

// Every entity kind the exporter writes, in model space and in one block
// definition that model space inserts twice.
inline Drawing SampleDrawing() {
  Drawing d = EmptyDrawing();
  const uint32_t top = AddLayer(d, "TopLayer", 1);
  const uint32_t bottom = AddLayer(d, "BottomLayer", 4);
  const uint32_t overlay = AddLayer(d, "TopOverlay", 2);

  AddLine(d, 0, top, {1.5, 2.25, 0}, {10.125, -3.5, 0});
  AddCircle(d, 0, bottom, {20, 20, 0}, 2.5);
  AddArc(d, 0, top, {30, 10, 0}, 4, 0.25, std::acos(-1.0) * 1.5);
  AddSolid(d, 0, bottom, {0, 0, 0}, {10, 0, 0}, {0, 5, 0}, {10, 5, 0});
  AddText(d, 0, overlay, {5, 60, 0}, 2.5, std::acos(-1.0) / 2, 0.8, false, "R1 100k");
  AddText(d, 0, overlay, {50, 60, 0}, 1.25, 0, 1, true, "MIRRORED");
  AddPolyline(d, 0, top, false, 0.254,
              {{0, 30, 0.254, 0}, {15, 30, 0.254, 0.5}, {20, 35, 0.254, 0}});
  AddPolyline(d, 0, bottom, true, 1.5, {{40, 40, 1.5, 1}, {44, 40, 1.5, 1}});
  AddPolyline(d, 0, top, false, 0, {});

  const uint32_t u1 = AddBlock(d, "U1");
  AddLine(d, u1, overlay, {-2, -1, 0}, {2, -1, 0});
  AddCircle(d, u1, top, {0, 0, 0}, 0.75);
  AddPolyline(d, u1, top, true, 0.5, {{-1, 0, 0.5, 1}, {1, 0, 0.5, 1}});
  AddInsert(d, 0, u1, {60, 20, 0}, 0);
  AddInsert(d, 0, u1, {70, 25, 0}, std::acos(-1.0) / 2);
  return d;
}

}  // namespace test_support
