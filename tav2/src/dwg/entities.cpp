// Blocks and their entities.
#include <cstdio>

#include "tav2/src/dwg/writer.h"

namespace tav2::dwg {

using schema::Kind;

namespace {

std::string Hex(Handle h) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace

Handle Writer::EntityHandle(const EntityRef& ref) const {
  switch (ref.kind) {
    case EntityKind::Line:
      return ref.index < d_.lines.size() ? d_.lines[ref.index].c.handle : 0;
    case EntityKind::Circle:
      return ref.index < d_.circles.size() ? d_.circles[ref.index].c.handle : 0;
    case EntityKind::Arc:
      return ref.index < d_.arcs.size() ? d_.arcs[ref.index].c.handle : 0;
    case EntityKind::Solid:
      return ref.index < d_.solids.size() ? d_.solids[ref.index].c.handle : 0;
    case EntityKind::Text:
      return ref.index < d_.texts.size() ? d_.texts[ref.index].c.handle : 0;
    case EntityKind::Polyline:
      return ref.index < d_.polylines.size() ? d_.polylines[ref.index].c.handle : 0;
    case EntityKind::Insert:
      return ref.index < d_.inserts.size() ? d_.inserts[ref.index].c.handle : 0;
  }
  return 0;
}

bool Writer::CheckCommon(const EntityCommon& c, const char* what) {
  if (c.handle == 0) return Fail(std::string(what) + " without a handle");
  if (c.layer >= layers_.size())
    return Fail(std::string(what) + " " + Hex(c.handle) + ": layer index " +
                std::to_string(c.layer) + " is not in the drawing");
  if (c.linetype != kNoIndex && c.linetype >= linetypes_.size())
    return Fail(std::string(what) + " " + Hex(c.handle) + ": line type index " +
                std::to_string(c.linetype) + " is not in the drawing");
  return true;
}

bool Writer::CheckText(std::string_view s, const char* what, Handle h) {
  if (s.size() > 0xFFFF)
    return Fail(std::string(what) + " " + Hex(h) + ": text of " + std::to_string(s.size()) +
                " bytes is longer than the format's 65535");
  return true;
}

// Model and paper space keep their entities without an owner link, their own
// BLOCK and ENDBLK too: the entity mode says which space they belong to, as
// in AutoCAD's files. Readers that look for model space by that mode then
// find it. Other blocks own their entities by handle.
bool Writer::WriteBlock(std::size_t b) {
  const BlockInfo& blk = blocks_[b];
  const EntMode mode = b == 0 ? kModelSpace : b == 1 ? kPaperSpace : kOwned;

  const Kind kinds[2] = {Kind::Block, Kind::Endblk};
  const Handle handles[2] = {blk.begin, blk.end};
  const std::uint32_t layersOf[2] = {blk.beginLayer, blk.endLayer};
  for (int end = 0; end < 2; ++end) {
    BeginEntity(schema::Layout(kinds[end]).dwgType, handles[end], mode, blk.handle, layersOf[end],
                kNoIndex, 256, 0, 0);
    Record r;
    r.name = values_.BlockName(static_cast<std::uint32_t>(b));
    Fields(kinds[end], r);
    EndObject();
    if (end == 1) break;
    const auto& list = *blk.entities;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const Handle prev = i > 0 ? EntityHandle(list[i - 1]) : 0;
      const Handle next = i + 1 < list.size() ? EntityHandle(list[i + 1]) : 0;
      if (!WriteEntity(list[i], mode, blk.handle, prev, next)) return false;
    }
  }
  return error_.empty();
}

bool Writer::WriteEntity(const EntityRef& ref, EntMode mode, Handle owner, Handle prev,
                         Handle next) {
  Record r;
  auto begin = [&](Kind kind, const EntityCommon& c, bool array = false) {
    BeginEntity(array ? std::uint16_t{schema::kDwgMinsert} : schema::Layout(kind).dwgType, c.handle,
                mode, owner, c.layer, c.linetype, c.color, prev, next);
    Fields(kind, r, array);
    EndObject();
    return true;
  };
  auto missing = [&](const char* what, std::size_t size) {
    return Fail(std::string(what) + " index " + std::to_string(ref.index) +
                " is out of range (the drawing has " + std::to_string(size) + ")");
  };

  switch (ref.kind) {
    case EntityKind::Line: {
      if (ref.index >= d_.lines.size()) return missing("LINE", d_.lines.size());
      const Line& e = d_.lines[ref.index];
      if (!CheckCommon(e.c, "LINE")) return false;
      r.p[0] = &e.p1;
      r.p[1] = &e.p2;
      r.thickness = e.thickness;
      return begin(Kind::Line, e.c);
    }
    case EntityKind::Circle: {
      if (ref.index >= d_.circles.size()) return missing("CIRCLE", d_.circles.size());
      const Circle& e = d_.circles[ref.index];
      if (!CheckCommon(e.c, "CIRCLE")) return false;
      r.p[0] = &e.center;
      r.radius = e.radius;
      r.thickness = e.thickness;
      return begin(Kind::Circle, e.c);
    }
    case EntityKind::Arc: {
      if (ref.index >= d_.arcs.size()) return missing("ARC", d_.arcs.size());
      const Arc& e = d_.arcs[ref.index];
      if (!CheckCommon(e.c, "ARC")) return false;
      r.p[0] = &e.center;
      r.radius = e.radius;
      r.thickness = e.thickness;
      r.start = e.startAngle;
      r.end = e.endAngle;
      return begin(Kind::Arc, e.c);
    }
    case EntityKind::Solid: {
      if (ref.index >= d_.solids.size()) return missing("SOLID", d_.solids.size());
      const Solid& e = d_.solids[ref.index];
      if (!CheckCommon(e.c, "SOLID")) return false;
      for (int i = 0; i < 4; ++i) r.p[i] = &e.corner[i];
      return begin(Kind::Solid, e.c);
    }
    case EntityKind::Text: {
      if (ref.index >= d_.texts.size()) return missing("TEXT", d_.texts.size());
      const Text& e = d_.texts[ref.index];
      if (!CheckCommon(e.c, "TEXT")) return false;
      if (e.style >= styles_.size())
        return Fail("TEXT " + Hex(e.c.handle) + ": style index " + std::to_string(e.style) +
                    " is not in the drawing");
      if (static_cast<std::size_t>(e.textOffset) + e.textLength > d_.strings.size())
        return Fail("TEXT " + Hex(e.c.handle) + ": its value lies outside the text store");
      r.text = d_.TextValue(e);
      if (!CheckText(r.text, "TEXT", e.c.handle)) return false;
      SetTextFields(r, e);
      return begin(Kind::Text, e.c);
    }
    case EntityKind::Polyline: {
      if (ref.index >= d_.polylines.size()) return missing("POLYLINE", d_.polylines.size());
      return WritePolyline(d_.polylines[ref.index], mode, owner, prev, next);
    }
    case EntityKind::Insert: {
      if (ref.index >= d_.inserts.size()) return missing("INSERT", d_.inserts.size());
      const Insert& e = d_.inserts[ref.index];
      if (!CheckCommon(e.c, "INSERT")) return false;
      if (e.block < 2 || e.block >= blocks_.size())
        return Fail("INSERT " + Hex(e.c.handle) + ": block index " + std::to_string(e.block) +
                    " is not a block definition of the drawing");
      SetInsertFields(r, e);
      r.columns = std::max<int>(e.columns, 1);
      r.rows = std::max<int>(e.rows, 1);
      return begin(Kind::Insert, e.c, e.columns > 1 || e.rows > 1);
    }
  }
  return true;
}

// A 2D polyline owns its vertices and its SEQEND; they are not part of the
// block's entity chain.
bool Writer::WritePolyline(const Polyline& p, EntMode mode, Handle owner, Handle prev,
                           Handle next) {
  if (!CheckCommon(p.c, "POLYLINE")) return false;
  if (static_cast<std::size_t>(p.firstVertex) + p.vertexCount > d_.vertices.size())
    return Fail("POLYLINE " + Hex(p.c.handle) + ": its vertices lie outside the vertex store");
  const Handle seqend = p.seqendHandle ? p.seqendHandle : spareSeqend_++;
  const Vertex* v = d_.vertices.data() + p.firstVertex;
  for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
    if (v[i].handle == 0)
      return Fail("VERTEX of POLYLINE " + Hex(p.c.handle) + " without a handle");
    if (v[i].layer >= layers_.size())
      return Fail("VERTEX " + Hex(v[i].handle) + ": layer index " + std::to_string(v[i].layer) +
                  " is not in the drawing");
    if (v[i].startWidth < 0 || v[i].endWidth < 0)
      return Fail("VERTEX " + Hex(v[i].handle) + ": negative width");
  }
  if (p.seqendLayer >= layers_.size())
    return Fail("SEQEND of POLYLINE " + Hex(p.c.handle) + ": layer index is not in the drawing");

  BeginEntity(schema::Layout(Kind::Polyline).dwgType, p.c.handle, mode, owner, p.c.layer,
              p.c.linetype, p.c.color, prev, next);
  Record r;
  r.flags = p.flags;
  r.startWidth = p.startWidth;
  r.endWidth = p.endWidth;
  r.elevation = p.elevation;
  Fields(Kind::Polyline, r);
  handles_.H(kSoftPointer, p.vertexCount ? v[0].handle : 0);
  handles_.H(kSoftPointer, p.vertexCount ? v[p.vertexCount - 1].handle : 0);
  handles_.H(kHardOwner, seqend);
  EndObject();

  for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
    const Vertex& vx = v[i];
    // The vertices are chained; the last one links on to the polyline's own
    // successor, so a reader that follows links past the polyline stays on
    // the block's chain.
    BeginEntity(schema::Layout(Kind::Vertex).dwgType, vx.handle, kOwned, p.c.handle, vx.layer,
                kNoIndex, 256, i > 0 ? v[i - 1].handle : 0,
                i + 1 < p.vertexCount ? v[i + 1].handle : next);
    const Vec3 at{vx.x, vx.y, vx.z};
    Record w;
    w.flags = vx.flags;
    w.p[0] = &at;
    w.startWidth = vx.startWidth;
    w.endWidth = vx.endWidth;
    w.bulge = vx.bulge;
    Fields(Kind::Vertex, w);
    EndObject();
  }

  BeginEntity(schema::Layout(Kind::Seqend).dwgType, seqend, kOwned, p.c.handle, p.seqendLayer,
              kNoIndex, 256, 0, 0);
  EndObject();
  return true;
}

}  // namespace tav2::dwg
