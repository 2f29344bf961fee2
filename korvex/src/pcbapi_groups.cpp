// The flat function interface: design rules and the group objects
// (polygons, dimensions, coordinates, split planes, nets and classes).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"
#include "korvex/src/pcbapi_fields.h"

using namespace korvex;
using namespace korvex::pcbapi;

// --- rules ------------------------------------------------------------------

uint32_t PcbApi_FindDominantRuleForObject(uint32_t object, uint8_t ruleKind) {
  Object* o = S().Find(object);
  if (!o || ruleKind != 6) return 0;
  return S().HandleOfRef(DominantPlaneRule(B(), *o));
}

int32_t PcbApi_QueryRulePowerPlaneConnectStyleRule(uint8_t mode, uint32_t rule, uint8_t* style,
                                                   int32_t* expansion, int32_t* conductorWidth,
                                                   int32_t* entries, int32_t* airGap) {
  Object* o = Of(rule, kRule);
  if (!o) return kBadHandle;
  PlaneRule& r = B().rules[o->data];
  X(mode, r.style, style);
  X(mode, r.expansion, expansion);
  X(mode, r.conductorWidth, conductorWidth);
  X(mode, r.entries, entries);
  X(mode, r.airGap, airGap);
  return kOk;
}

int32_t PcbApi_QueryRule(uint8_t mode, uint32_t rule, uint16_t* auxWord, abi::TPcbApiRule* block) {
  Object* o = Of(rule, kRule);
  if (!o) return kBadHandle;
  PlaneRule& r = B().rules[o->data];
  X(mode, o->auxWord, auxWord);
  if (block && mode == 1) {
    std::memset(block, 0, sizeof *block);
    block->RuleKind = 6;
    abi::SetShortString(block->Name, r.name);
    static const char* const scopes[] = {"All", "IsPad", "IsVia", "Named"};
    abi::SetShortString(block->Scope1, scopes[r.scope & 3]);
    abi::SetShortString(block->Scope2, "All");
    block->Values[0] = r.style;
    block->Values[1] = r.expansion;
    block->Values[2] = r.conductorWidth;
    block->Values[3] = r.entries;
    block->Values[4] = r.airGap;
  } else if (block) {
    r.name = abi::FromShortString(block->Name);
  }
  return kOk;
}

// The board holds no violations, nets, classes, from-tos or embedded objects;
// their queries answer as for a handle of another kind.
int32_t PcbApi_QueryViolation(uint8_t, uint32_t, uint16_t*, abi::TPcbApiViolation*) {
  return kBadHandle;
}

// --- group objects ----------------------------------------------------------

namespace {

void Segments(uint8_t mode, korvex::Group& g, int32_t* count, abi::TPcbApiPolySegment* segments) {
  if (mode != 1) return;  // outlines are the document's
  const int32_t n = int32_t(std::min<size_t>(g.outline.size(), abi::kPcbApiMaxPolySegments));
  if (count) *count = n;
  if (!segments) return;
  for (int32_t i = 0; i < n; ++i) {
    abi::TPcbApiPolySegment s{};
    s.Kind = 0;
    s.VX = g.outline[i].x;
    s.VY = g.outline[i].y;
    std::memcpy(&segments[i], &s, sizeof s);
  }
}

}  // namespace

int32_t PcbApi_QueryPolygon(uint8_t mode, uint32_t polygon, uint16_t* flags, uint16_t* auxWord,
                            uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte, uint8_t* byte1,
                            uint8_t* byte2, uint8_t* byte3, int32_t* value1, int32_t* value2,
                            uint8_t* byte4, uint8_t* byte5, int32_t* value3, uint8_t* byte6,
                            int32_t* segmentCount, abi::TPcbApiPolySegment* segments) {
  Object* o = Of(polygon, kPolygon);
  if (!o) return kBadHandle;
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, nullptr);
  for (uint8_t* b : {byte1, byte2, byte3, byte4, byte5, byte6}) Zero(mode, b);
  for (int32_t* v : {value1, value2, value3}) Zero(mode, v);
  Segments(mode, B().groups[o->data], segmentCount, segments);
  return kOk;
}

int32_t PcbApi_QuerySplitPlane(uint8_t mode, uint32_t splitPlane, uint16_t* flags,
                               uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                               uint8_t* auxByte, uint8_t* byte1, int32_t* segmentCount,
                               abi::TPcbApiPolySegment* segments) {
  Object* o = Of(splitPlane, kSplitPlane);
  if (!o) return kBadHandle;
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, nullptr);
  Zero(mode, byte1);
  Segments(mode, B().groups[o->data], segmentCount, segments);
  return kOk;
}

int32_t PcbApi_QueryCoordinate(uint8_t mode, uint32_t coordinate, uint16_t* flags,
                               uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                               uint8_t* auxByte, int32_t* x, int32_t* y, int32_t* size,
                               int32_t* lineWidth, int32_t* textHeight, int32_t* textWidth) {
  Object* o = Of(coordinate, kCoordinate);
  if (!o) return kBadHandle;
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, nullptr);
  X(mode, o->x, x);
  X(mode, o->y, y);
  for (int32_t* v : {size, lineWidth, textHeight, textWidth}) Zero(mode, v);
  return kOk;
}

int32_t PcbApi_QueryDimension(uint8_t mode, uint32_t dimension, uint16_t* flags, uint16_t* auxWord,
                              uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                              abi::TPcbApiDimension* block) {
  Object* o = Of(dimension, kDimension);
  if (!o) return kBadHandle;
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, nullptr);
  Zero(mode, block);
  return kOk;
}

int32_t PcbApi_References_Count(uint8_t mode, uint32_t dimension, int32_t* count) {
  if (!Of(dimension, kDimension)) return kBadHandle;
  Zero(mode, count);
  return kOk;
}

int32_t PcbApi_References_At(uint8_t mode, uint32_t dimension, int32_t index, int32_t* objectHandle,
                             int32_t* x, int32_t* y, int32_t* anchor) {
  return kBadHandle;  // dimensions of a board document keep no references
}

int32_t PcbApi_QueryExtDimension(uint8_t mode, uint32_t dimension,
                                 abi::TPcbApiExtDimension* block) {
  if (!Of(dimension, kDimension)) return kBadHandle;
  Zero(mode, block);
  return kOk;
}

int32_t PcbApi_QueryNet(uint8_t, uint32_t, uint16_t*, unsigned char*, uint8_t*, int32_t*) {
  return kBadHandle;
}
int32_t PcbApi_QueryClass(uint8_t, uint32_t, uint16_t*, unsigned char*, uint8_t*, uint8_t*) {
  return kBadHandle;
}
int32_t PcbApi_GetMemberFromClassAt(uint32_t, int32_t, unsigned char*) {
  return 1;
}
int32_t PcbApi_AddMemberToClass(uint32_t, const unsigned char*) {
  return 1;
}
int32_t PcbApi_RemoveAllMembersFromClass(uint32_t) {
  return 1;
}
int32_t PcbApi_QueryFromTo(uint8_t, uint32_t, uint16_t*, int32_t*, int32_t*, uint8_t*, int32_t*,
                           int32_t*, uint8_t*, uint32_t*) {
  return kBadHandle;
}
int32_t PcbApi_QueryManualFromTo(uint8_t, uint32_t, uint16_t*, unsigned char*, unsigned char*,
                                 unsigned char*, uint32_t*) {
  return 1;
}
int32_t PcbApi_QueryEmbedded(uint8_t, uint32_t, uint16_t*, unsigned char*, uint8_t*) {
  return kBadHandle;
}

int32_t PcbApi_QueryEmbeddedBoard(uint8_t mode, uint32_t embeddedBoard, uint16_t* flags,
                                  uint16_t* auxWord, uint8_t* auxByte, int32_t* x, int32_t* y,
                                  unsigned char* documentPath, int32_t* rowCount,
                                  int32_t* columnCount, int32_t* rowSpacing, int32_t* columnSpacing,
                                  double* rotation, uint8_t* mirrored, uint8_t* byte2) {
  Object* o = Of(embeddedBoard, kEmbeddedBoard);
  if (!o) return kBadHandle;
  EmbeddedBoard& e = B().embedded[o->data];
  X(mode, o->flags, flags);
  X(mode, o->auxWord, auxWord);
  X(mode, o->auxByte, auxByte);
  X(mode, o->x, x);
  X(mode, o->y, y);
  Str(mode, e.document, documentPath, 255);
  X(mode, e.rows, rowCount);
  X(mode, e.columns, columnCount);
  X(mode, e.rowSpacing, rowSpacing);
  X(mode, e.columnSpacing, columnSpacing);
  X(mode, e.rotation, rotation);
  if (mirrored) {
    if (mode == 1)
      *mirrored = e.mirrored;
    else
      e.mirrored = *mirrored != 0;
  }
  Zero(mode, byte2);
  return kOk;
}
