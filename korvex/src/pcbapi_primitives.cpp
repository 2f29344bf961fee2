// The flat function interface: the per-kind queries of the primitives (arcs,
// tracks, vias, texts, fills and the like).
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

// --- per-kind queries -------------------------------------------------------

int32_t PcbApi_QueryTrack(uint8_t mode, uint32_t track, uint16_t* flags, uint16_t* auxWord,
                          uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                          uint32_t* componentHandle, int32_t* x1, int32_t* y1, int32_t* x2,
                          int32_t* y2, int32_t* width, int32_t* ownerHandle1, int32_t* ownerHandle2,
                          int32_t* ownerHandle3) {
  Object* o = Of(track, kTrack);
  if (!o) return kBadHandle;
  Track& t = B().tracks[o->data];
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, o->x, x1);
  X(mode, o->y, y1);
  X(mode, t.x2, x2);
  X(mode, t.y2, y2);
  X(mode, t.width, width);
  Ref(mode, o->owners[0], ownerHandle1);
  Ref(mode, o->owners[1], ownerHandle2);
  Ref(mode, o->owners[2], ownerHandle3);
  return kOk;
}

int32_t PcbApi_QueryArc(uint8_t mode, uint32_t arc, uint16_t* flags, uint16_t* auxWord,
                        uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                        uint32_t* componentHandle, int32_t* xCenter, int32_t* yCenter,
                        int32_t* radius, double* startAngle, double* endAngle, int32_t* lineWidth,
                        int32_t* ownerHandle1) {
  Object* o = Of(arc, kArc);
  if (!o) return kBadHandle;
  Arc& a = B().arcs[o->data];
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, o->x, xCenter);
  X(mode, o->y, yCenter);
  X(mode, a.radius, radius);
  X(mode, a.startAngle, startAngle);
  X(mode, a.endAngle, endAngle);
  X(mode, a.width, lineWidth);
  Ref(mode, o->owners[0], ownerHandle1);
  return kOk;
}

int32_t PcbApi_QueryFill(uint8_t mode, uint32_t fill, uint16_t* flags, uint16_t* auxWord,
                         uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                         uint32_t* componentHandle, int32_t* x1, int32_t* y1, int32_t* x2,
                         int32_t* y2, int32_t* ownerHandle1, double* rotation) {
  Object* o = Of(fill, kFill);
  if (!o) return kBadHandle;
  Fill& f = B().fills[o->data];
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, o->x, x1);
  X(mode, o->y, y1);
  X(mode, f.x2, x2);
  X(mode, f.y2, y2);
  Ref(mode, o->owners[0], ownerHandle1);
  X(mode, f.rotation, rotation);
  return kOk;
}

int32_t PcbApi_QueryVia(uint8_t mode, uint32_t via, uint16_t* flags, uint16_t* auxWord,
                        uint8_t* layer, uint32_t* auxRef, uint8_t* auxByte,
                        uint32_t* componentHandle, int32_t* x, int32_t* y, int32_t* size,
                        int32_t* holeSize, uint8_t* viaByte1, uint8_t* viaByte2,
                        uint8_t* padViaFlag1, uint8_t* padViaFlag2) {
  Object* o = Of(via, kVia);
  if (!o) return kBadHandle;
  Via& v = B().vias[o->data];
  X(mode, o->flags, flags);
  X(mode, o->auxWord, auxWord);
  LegacyLayer(mode, *o, layer);
  X(mode, o->auxRef, auxRef);
  X(mode, o->auxByte, auxByte);
  Ref(mode, o->component, componentHandle);
  X(mode, o->x, x);
  X(mode, o->y, y);
  X(mode, v.size, size);
  X(mode, v.hole, holeSize);
  Zero(mode, viaByte1);
  Zero(mode, viaByte2);
  Zero(mode, padViaFlag1);
  Zero(mode, padViaFlag2);
  return kOk;
}

int32_t PcbApi_QueryRegion(uint8_t mode, uint32_t region, uint8_t* kindByte, uint16_t* flags,
                           uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                           uint32_t* componentHandle, int32_t* pairSecond, int32_t* pairFirst,
                           int32_t* value1, int32_t* value2, int32_t* value3, int32_t* value4) {
  Object* o = Of(region, kRegion);
  if (!o) return kBadHandle;
  Region& r = B().regions[o->data];
  X(mode, r.kind, kindByte);
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, r.pair[1], pairSecond);
  X(mode, r.pair[0], pairFirst);
  X(mode, r.values[0], value1);
  X(mode, r.values[1], value2);
  X(mode, r.values[2], value3);
  X(mode, r.values[3], value4);
  return kOk;
}

int32_t PcbApi_QueryText(uint8_t mode, uint32_t text, uint16_t* flags, uint16_t* auxWord,
                         uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                         uint32_t* componentHandle, int32_t* x, int32_t* y, int32_t* size,
                         int32_t* textAttr, double* rotation, uint8_t* mirrored,
                         unsigned char* textStr, int32_t* width, int32_t* ownerHandle2,
                         int32_t* ownerHandle3) {
  Object* o = Of(text, kText);
  if (!o) return kBadHandle;
  Text& t = B().texts[o->data];
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, o->x, x);
  X(mode, o->y, y);
  X(mode, t.height, size);
  X(mode, t.textAttr, textAttr);
  X(mode, t.rotation, rotation);
  if (mirrored) {
    if (mode == 1)
      *mirrored = t.mirrored;
    else
      t.mirrored = *mirrored != 0;
  }
  Str(mode, t.text, textStr, 254);
  X(mode, t.width, width);
  // A text's group owners: the innermost first.
  Ref(mode, o->owners[0], ownerHandle2);
  Ref(mode, o->owners[1], ownerHandle3);
  return kOk;
}

int32_t PcbApi_QueryTrueTypeTextInfo(uint8_t mode, uint32_t text, uint8_t* fontKind,
                                     unsigned char* fontName, uint8_t* bold, uint8_t* italic,
                                     uint8_t* inverted, int32_t* invertedBorder) {
  Object* o = Of(text, kText);
  if (!o) return kBadHandle;
  Text& t = B().texts[o->data];
  X(mode, t.fontKind, fontKind);
  Str(mode, t.fontName, fontName, 255);
  X(mode, t.bold, bold);
  X(mode, t.italic, italic);
  X(mode, t.inverted, inverted);
  X(mode, t.invertedBorder, invertedBorder);
  return kOk;
}

int32_t PcbApi_QueryBarCodeTextInfo(uint8_t mode, uint32_t text, uint8_t* barCodeKind,
                                    uint8_t* byte1, uint8_t* byte2, uint8_t* byte3) {
  Object* o = Of(text, kText);
  if (!o) return kBadHandle;
  X(mode, B().texts[o->data].barCode, barCodeKind);
  Zero(mode, byte1);
  Zero(mode, byte2);
  Zero(mode, byte3);
  return kOk;
}

int32_t PcbApi_GetDesignatorDisplayString(uint32_t text, unsigned char* display) {
  Object* o = Of(text, kText);
  if (!o || !display) return kBadHandle;
  const std::string& raw = B().texts[o->data].text;
  std::string shown;
  if (!ResolveSpecialString(B(), o, raw, shown)) shown = raw;
  abi::SetShortString(*reinterpret_cast<abi::ShortString*>(display), shown);
  return kOk;
}
