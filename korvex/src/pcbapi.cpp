// The editor's flat function interface. Every query exchanges the fields of
// one object with the caller: mode 1 reads them out of the board, any other
// mode writes the caller's values into it. Values the board does not keep
// read as 0 and are ignored on a write.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"
#include "korvex/src/session.h"

using namespace korvex;

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kBadHandle = abi::E_INVALIDARG;

template <class F, class P>
void X(uint8_t mode, F& field, P* p) {
  if (!p) return;
  if (mode == 1)
    *p = static_cast<P>(field);
  else
    field = static_cast<F>(*p);
}

// A value the board does not keep.
template <class P>
void Zero(uint8_t mode, P* p) {
  if (p && mode == 1) std::memset(static_cast<void*>(p), 0, sizeof(P));
}

void Str(uint8_t mode, std::string& field, unsigned char* p, size_t max) {
  if (!p) return;
  if (mode == 1) {
    abi::SetShortString(*reinterpret_cast<abi::ShortString*>(p),
                        std::string_view(field).substr(0, max));
  } else {
    field = abi::FromShortString(p).substr(0, max);
  }
}

void ZeroStr(uint8_t mode, unsigned char* p) {
  if (p && mode == 1) p[0] = 0;
}

Session& S() {
  return Session::Get();
}
Board& B() {
  return *S().board();
}

// The object behind a handle when it is of the kind asked for.
Object* Of(uint32_t handle, Kind kind) {
  Object* o = S().Find(handle);
  return o && o->kind == kind ? o : nullptr;
}

// Handles kept inside the board are "index + 1"; callers see real handles.
void Ref(uint8_t mode, uint32_t& ref, void* p) {
  if (!p) return;
  auto* out = static_cast<uint32_t*>(p);
  if (mode == 1) {
    *out = S().HandleOfRef(ref);
  } else {
    Object* o = S().Find(*out);
    ref = o ? S().IndexOf(o) + 1 : 0;
  }
}

void Common(uint8_t mode, Object& o, uint16_t* flags, uint16_t* auxWord, uint32_t* layer,
            uint32_t* auxRef, uint8_t* auxByte, uint32_t* component) {
  X(mode, o.flags, flags);
  X(mode, o.auxWord, auxWord);
  X(mode, o.layer, layer);
  X(mode, o.auxRef, auxRef);
  X(mode, o.auxByte, auxByte);
  Ref(mode, o.component, component);
}

// The legacy layer byte of vias and components: layers beyond the 83 fixed
// ones read as the nearest fixed layer of their kind.
void LegacyLayer(uint8_t mode, Object& o, uint8_t* layer);

}  // namespace

// --- editor state, iterators, progress -----------------------------------

uint32_t PcbApi_GetCurrentBoardHandle() {
  return S().BoardHandle();
}

uint8_t PcbApi_GetObjectIdFromObjectHandle(uint32_t object) {
  const Object* o = S().Find(object);
  return o ? uint8_t(o->kind & 0x7F) : 0;
}

uint32_t PcbApi_CreateIterator(uint32_t owner, uint8_t kind, uint8_t method, uint32_t layer) {
  return S().CreateIterator(owner, kind, method, layer);
}
uint32_t PcbApi_GetFirstObject(uint32_t iterator) {
  return S().First(iterator);
}
uint32_t PcbApi_GetNextObject(uint32_t iterator) {
  return S().Next(iterator);
}
int32_t PcbApi_DestroyIterator(uint32_t iterator) {
  return S().Destroy(iterator) ? kOk : kBadHandle;
}

// --- common object data -----------------------------------------------------

int32_t PcbApi_GetObjectBitField2(uint8_t mode, uint32_t object, uint8_t* bits) {
  Object* o = S().Find(object);
  if (!o) return kBadHandle;
  X(mode, o->bitField2, bits);
  return kOk;
}

int32_t PcbApi_GetObjectBitField3(uint8_t mode, uint32_t object, uint8_t* bits) {
  Object* o = S().Find(object);
  if (!o) return kBadHandle;
  X(mode, o->bitField3, bits);
  return kOk;
}

int32_t PcbApi_QueryObjectBoundingRectangle(uint32_t object, int32_t* x1, int32_t* y1, int32_t* x2,
                                            int32_t* y2) {
  Object* o = S().Find(object);
  Rect r;
  if (o) {
    r = BoundingRect(B(), *o);
  } else if (S().IsBoard(object)) {
    // The board: everything on it.
    bool any = false;
    for (const Object& each : B().objects) {
      if (each.kind == kRule) continue;
      Rect e = BoundingRect(B(), each);
      if (!any) {
        r = e;
        any = true;
      } else {
        r.x1 = std::min(r.x1, e.x1), r.y1 = std::min(r.y1, e.y1);
        r.x2 = std::max(r.x2, e.x2), r.y2 = std::max(r.y2, e.y2);
      }
    }
  } else {
    return kBadHandle;
  }
  if (x1) *x1 = r.x1;
  if (y1) *y1 = r.y1;
  if (x2) *x2 = r.x2;
  if (y2) *y2 = r.y2;
  return kOk;
}

// Everything on the board came from its document, none of it from a user
// import.
int32_t PcbApi_QueryObjectImport_FromUser(uint32_t object) {
  return 1;
}
int32_t PcbApi_QueryObjectGraphicallyInvalidate(uint32_t object) {
  return S().Find(object) ? kOk : kBadHandle;
}

int32_t PcbApi_QueryPrimitive(uint8_t mode, uint32_t object, uint16_t* flags, uint16_t* auxWord,
                              uint32_t* layerV7, uint32_t* auxRef, uint32_t* componentHandle,
                              uint8_t* auxByte) {
  Object* o = S().Find(object);
  if (!o) return kBadHandle;
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  return kOk;
}

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

namespace {

uint8_t ClampToLegacy(TV7_Layer v);

void LegacyLayer(uint8_t mode, Object& o, uint8_t* layer) {
  if (!layer) return;
  if (mode == 1)
    *layer = ClampToLegacy(o.layer);
  else
    o.layer = *layer <= 82 ? *layer : 0;
}

// Fixed layers stand for themselves; extended ones for the last fixed layer
// of their kind (mid layer 30, plane 16, mechanical 16).
uint8_t ClampToLegacy(TV7_Layer v) {
  if (v <= 82) return uint8_t(v);
  switch (v >> 16) {
    case 0x0101:
      return 31;
    case 0x0104:
      return 54;
    case 0x0400:
      return 72;
    default:
      return 0;
  }
}

}  // namespace

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

// --- components -----------------------------------------------------------

int32_t PcbApi_QueryComponentChannelOffset(uint8_t mode, uint32_t component,
                                           int32_t* channelOffset) {
  Object* o = Of(component, kComponent);
  if (!o) return kBadHandle;
  X(mode, B().components[o->data].channelOffset, channelOffset);
  return kOk;
}

int32_t PcbApi_QueryComponentKind(uint8_t mode, uint32_t component, int32_t* componentKind) {
  Object* o = Of(component, kComponent);
  if (!o) return kBadHandle;
  X(mode, B().components[o->data].componentKind, componentKind);
  return kOk;
}

int32_t PcbApi_QueryComponent(uint8_t mode, uint32_t component, uint16_t* flags, uint16_t* auxWord,
                              uint8_t* layer, uint8_t* auxByte, uint32_t* designatorHandle,
                              uint32_t* commentHandle, unsigned char* pattern,
                              uint8_t* designatorVisible, uint8_t* commentVisible, int32_t* x,
                              int32_t* y, int32_t* value, double* rotation, uint8_t* byte1) {
  Object* o = Of(component, kComponent);
  if (!o) return kBadHandle;
  Component& c = B().components[o->data];
  X(mode, o->flags, flags);
  X(mode, o->auxWord, auxWord);
  LegacyLayer(mode, *o, layer);
  X(mode, o->auxByte, auxByte);
  Ref(mode, c.designator, designatorHandle);
  Ref(mode, c.comment, commentHandle);
  Str(mode, c.pattern, pattern, 250);
  if (designatorVisible) {
    if (mode == 1)
      *designatorVisible = c.designatorVisible;
    else
      c.designatorVisible = *designatorVisible != 0;
  }
  if (commentVisible) {
    if (mode == 1)
      *commentVisible = c.commentVisible;
    else
      c.commentVisible = *commentVisible != 0;
  }
  X(mode, o->x, x);
  X(mode, o->y, y);
  Zero(mode, value);
  X(mode, c.rotation, rotation);
  Zero(mode, byte1);
  return kOk;
}

int32_t PcbApi_QueryComponentEx(uint8_t mode, uint32_t component, int32_t* value1, uint8_t* byte1,
                                uint8_t* byte2, int32_t* value2) {
  if (!Of(component, kComponent)) return kBadHandle;
  Zero(mode, value1);
  Zero(mode, byte1);
  Zero(mode, byte2);
  Zero(mode, value2);
  return kOk;
}

int32_t PcbApi_QueryComponentSourceLinks(uint8_t mode, uint32_t component, unsigned char* link1,
                                         unsigned char* link2, unsigned char* link3,
                                         unsigned char* link4, unsigned char* link5,
                                         unsigned char* link6, unsigned char* link7,
                                         unsigned char* link8) {
  Object* o = Of(component, kComponent);
  if (!o) return kBadHandle;
  auto& links = B().components[o->data].sourceLinks;
  unsigned char* out[8] = {link1, link2, link3, link4, link5, link6, link7, link8};
  for (int i = 0; i < 8; ++i) Str(mode, links[i], out[i], 255);
  return kOk;
}

int32_t PcbApi_QueryDefaultPCB3DModel(uint8_t mode, uint32_t component, unsigned char* model) {
  Object* o = Of(component, kComponent);
  if (!o) return kBadHandle;
  Str(mode, B().components[o->data].model3D, model, 255);
  return kOk;
}

// --- pads -------------------------------------------------------------------

namespace {

// After a write of the three-level sizes, the layers they govern follow.
void SpreadLevels(Pad& p, TV7_Layer layer) {
  if (p.stackMode == 2) return;
  auto put = [&](int l, int32_t x, int32_t y, uint8_t shape) {
    p.copper.xSize[l] = x;
    p.copper.ySize[l] = y;
    p.copper.shape[l] = shape;
  };
  if (layer == 74) {
    put(1, p.topX, p.topY, p.topShape);
    for (int l = 2; l <= 31; ++l) put(l, p.midX, p.midY, p.midShape);
    put(32, p.botX, p.botY, p.botShape);
    put(74, p.topX, p.topY, p.topShape);
  } else if (layer == 1) {
    put(1, p.topX, p.topY, p.topShape);
  } else if (layer == 32) {
    put(32, p.botX, p.botY, p.botShape);
  } else if (layer >= 2 && layer <= 31) {
    put(int(layer), p.midX, p.midY, p.midShape);
  }
}

}  // namespace

int32_t PcbApi_QueryPad(uint8_t mode, uint32_t pad, uint16_t* flags, uint16_t* auxWord,
                        uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                        uint32_t* componentHandle, int32_t* x, int32_t* y, int32_t* topXSize,
                        int32_t* topYSize, int32_t* midXSize, int32_t* midYSize, int32_t* botXSize,
                        int32_t* botYSize, int32_t* holeSize, uint8_t* topShape, uint8_t* midShape,
                        uint8_t* botShape, unsigned char* name, uint8_t* byte1, uint8_t* byte2,
                        double* rotation, unsigned char* string1, unsigned char* string2,
                        uint32_t* value1, unsigned char* string3, uint8_t* byte3, uint8_t* byte4,
                        uint32_t* tail1, int64_t* tail8, uint32_t* tail2, uint32_t* tail3,
                        uint32_t* tailLast, uint8_t* padViaFlag1, uint8_t* padViaFlag2) {
  Object* o = Of(pad, kPad);
  if (!o) return kBadHandle;
  Pad& p = B().pads[o->data];
  Common(mode, *o, flags, auxWord, layerV7, auxRef, auxByte, componentHandle);
  X(mode, o->x, x);
  X(mode, o->y, y);
  X(mode, p.topX, topXSize);
  X(mode, p.topY, topYSize);
  X(mode, p.midX, midXSize);
  X(mode, p.midY, midYSize);
  X(mode, p.botX, botXSize);
  X(mode, p.botY, botYSize);
  X(mode, p.hole, holeSize);
  X(mode, p.topShape, topShape);
  X(mode, p.midShape, midShape);
  X(mode, p.botShape, botShape);
  Str(mode, p.name, name, 20);
  Zero(mode, byte1);
  Zero(mode, byte2);
  X(mode, p.rotation, rotation);
  ZeroStr(mode, string1);
  ZeroStr(mode, string2);
  Zero(mode, value1);
  ZeroStr(mode, string3);
  Zero(mode, byte3);
  Zero(mode, byte4);
  Zero(mode, tail1);
  Zero(mode, tail8);
  Zero(mode, tail2);
  Zero(mode, tail3);
  Zero(mode, tailLast);
  Zero(mode, padViaFlag1);
  Zero(mode, padViaFlag2);
  if (mode != 1) SpreadLevels(p, o->layer);
  return kOk;
}

int32_t PcbApi_QueryPadStackMode(uint8_t mode, uint32_t pad, uint8_t* stackMode) {
  Object* o = Of(pad, kPad);
  if (!o) return kBadHandle;
  X(mode, B().pads[o->data].stackMode, stackMode);
  return kOk;
}

namespace {

LayerCopper* CopperOf(uint32_t object) {
  Object* o = S().Find(object);
  if (!o) return nullptr;
  if (o->kind == kPad) return &B().pads[o->data].copper;
  if (o->kind == kVia) return &B().vias[o->data].copper;
  return nullptr;
}

}  // namespace

int32_t PcbApi_QueryPadOrViaShapeOnLayer(uint32_t object, uint8_t layer, uint8_t* shape) {
  LayerCopper* c = CopperOf(object);
  if (!c || layer >= kLegacyLayers) return kBadHandle;
  if (shape) *shape = c->shape[layer];
  return kOk;
}

int32_t PcbApi_QueryPadOrViaSizeOnLayer(uint32_t object, uint8_t layer, int32_t* xSize,
                                        int32_t* ySize) {
  LayerCopper* c = CopperOf(object);
  if (!c || layer >= kLegacyLayers) return kBadHandle;
  if (xSize) *xSize = c->xSize[layer];
  if (ySize) *ySize = c->ySize[layer];
  return kOk;
}

int32_t PcbApi_QueryPadCornerRadiusOnLayer(uint32_t pad, uint8_t layer, int32_t* cornerRadius) {
  Object* o = Of(pad, kPad);
  if (!o || layer >= kLegacyLayers) return kBadHandle;
  const LayerCopper& c = B().pads[o->data].copper;
  // The percentage is of half the smaller side.
  const int64_t side = std::min(c.xSize[layer], c.ySize[layer]);
  if (cornerRadius) *cornerRadius = int32_t(side * c.crPercent[layer] / 200);
  return kOk;
}

int32_t PcbApi_QueryPadCRPercentageOnLayer(uint32_t pad, uint8_t layer, uint8_t* percent) {
  Object* o = Of(pad, kPad);
  if (!o || layer >= kLegacyLayers) return kBadHandle;
  if (percent) *percent = B().pads[o->data].copper.crPercent[layer];
  return kOk;
}

int32_t PcbApi_SetPadShapeOnLayer(uint32_t pad, uint8_t layer, uint8_t shape) {
  Object* o = Of(pad, kPad);
  if (!o || layer >= kLegacyLayers) return kBadHandle;
  B().pads[o->data].copper.shape[layer] = shape;
  return kOk;
}

int32_t PcbApi_SetPadSizeOnLayer(uint32_t pad, uint8_t layer, int32_t xSize, int32_t ySize) {
  Object* o = Of(pad, kPad);
  if (!o || layer >= kLegacyLayers || xSize < 0 || ySize < 0) return kBadHandle;
  B().pads[o->data].copper.xSize[layer] = xSize;
  B().pads[o->data].copper.ySize[layer] = ySize;
  return kOk;
}

int32_t PcbApi_SetCRPctOnLayer(uint32_t pad, uint8_t layer, uint8_t percent) {
  Object* o = Of(pad, kPad);
  if (!o || layer >= kLegacyLayers || percent > 100) return kBadHandle;
  B().pads[o->data].copper.crPercent[layer] = percent;
  return kOk;
}

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

// --- board ------------------------------------------------------------------

namespace {

bool IsBoard(uint32_t board) {
  return S().IsBoard(board);
}

}  // namespace

int32_t PcbApi_QueryBoard(uint8_t mode, uint32_t board, uint32_t* value4, unsigned char* fileName,
                          uint8_t* byte1, int32_t* originX, int32_t* originY, int32_t* width,
                          int32_t* height, uint8_t* boardUnit, uint32_t* boardLayer,
                          int32_t* lastValue) {
  if (!IsBoard(board)) return kBadHandle;
  Board& b = B();
  Zero(mode, value4);
  Str(mode, b.fileName, fileName, 255);
  Zero(mode, byte1);
  X(mode, b.originX, originX);
  X(mode, b.originY, originY);
  if (mode == 1 && (width || height)) {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    PcbApi_QueryObjectBoundingRectangle(board, &x1, &y1, &x2, &y2);
    if (width) *width = int32_t(std::min<int64_t>(int64_t(x2) - x1, INT32_MAX));
    if (height) *height = int32_t(std::min<int64_t>(int64_t(y2) - y1, INT32_MAX));
  }
  X(mode, b.unit, boardUnit);
  X(mode, b.currentLayer, boardLayer);
  Zero(mode, lastValue);
  return kOk;
}

int32_t PcbApi_QueryBoardLayerInfo(uint8_t mode, uint32_t board, uint8_t layer, uint32_t* info,
                                   int32_t* extra1, int32_t* extra2) {
  if (!IsBoard(board) || layer >= kLegacyLayers) return kBadHandle;
  // Bit 0: something lies on the layer.
  if (mode == 1 && info) *info = B().layers[layer].used ? 1u : 0u;
  Zero(mode, extra1);
  Zero(mode, extra2);
  return kOk;
}

int32_t PcbApi_QueryLayer(uint8_t mode, uint8_t layer, uint32_t board, unsigned char* name,
                          int32_t* copperThickness, uint8_t* byte1, uint8_t* byte2,
                          uint8_t* previousLayer, uint8_t* nextLayer, uint8_t* lastValue) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  LayerInfo& l = B().layers[layer];
  Str(mode, l.name, name, 255);
  X(mode, l.copperThickness, copperThickness);
  Zero(mode, byte1);
  Zero(mode, byte2);
  // The stack is the document's; it is read, never rewritten.
  if (mode == 1) {
    if (previousLayer) *previousLayer = l.previous;
    if (nextLayer) *nextLayer = l.next;
  }
  Zero(mode, lastValue);
  return kOk;
}

int32_t PcbApi_QueryInternalPlane(uint8_t mode, uint8_t layer, uint32_t board, unsigned char* name,
                                  int32_t* copperThickness, uint8_t* byte1, uint8_t* byte2,
                                  uint8_t* previousLayer, uint8_t* nextLayer,
                                  unsigned char* netName) {
  if (layer < 39 || layer > 54) return kBadHandle;
  int32_t status = PcbApi_QueryLayer(mode, layer, board, name, copperThickness, byte1, byte2,
                                     previousLayer, nextLayer, nullptr);
  if (status != kOk) return status;
  Str(mode, B().layers[layer].net, netName, 255);
  return kOk;
}

int32_t PcbApi_QueryLayerDielectric(uint8_t mode, uint8_t layer, uint32_t board,
                                    unsigned char* material, uint8_t* type, double* constant,
                                    int32_t* height) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  LayerInfo& l = B().layers[layer];
  Str(mode, l.dielectricMaterial, material, 255);
  X(mode, l.dielectricType, type);
  X(mode, l.dielectricConstant, constant);
  X(mode, l.dielectricHeight, height);
  return kOk;
}

int32_t PcbApi_QueryBoardSplitPlaneMode(uint8_t mode, uint32_t board, uint8_t* splitPlaneMode) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode == 1 && splitPlaneMode) *splitPlaneMode = 1;
  return kOk;
}

// The editor's option blocks: a board document does not describe them, so
// they read as zero and a write is accepted and dropped.
#define KORVEX_OPAQUE_BOARD_BLOCK(name, type)                             \
  int32_t PcbApi_##name(uint8_t mode, uint32_t board, abi::type* block) { \
    if (!IsBoard(board)) return kBadHandle;                               \
    Zero(mode, block);                                                    \
    return kOk;                                                           \
  }
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardGridsEx, TPcbApiGridOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardOutputOptions, TPcbApiOutputOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardGerberOptions, TPcbApiGerberOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardPrinterOptions, TPcbApiPrinterOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardAdvancedPlacerOptions, TPcbApiPlacerOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardECOOptions, TPcbApiECOOptions)
#undef KORVEX_OPAQUE_BOARD_BLOCK

int32_t PcbApi_QueryBoardOutputOptionsPlotLayers(uint8_t mode, uint32_t board, int32_t index,
                                                 uint8_t* plot) {
  if (!IsBoard(board) || index < 1 || index > 109) return kBadHandle;
  Zero(mode, plot);
  return kOk;
}

int32_t PcbApi_QueryBoardOutputOptionsFlipLayers(uint8_t mode, uint32_t board, int32_t index,
                                                 uint8_t* flip) {
  if (!IsBoard(board) || index < 1 || index > 109) return kBadHandle;
  Zero(mode, flip);
  return kOk;
}

int32_t PcbApi_QueryBoardPrinterOptionsPlotterPen(uint8_t mode, uint32_t board, int32_t pen,
                                                  abi::TPcbApiPlotterPen* block) {
  if (!IsBoard(board) || pen < 1 || pen > 8) return kBadHandle;
  Zero(mode, block);
  return kOk;
}

int32_t PcbApi_QueryBoardPrinterOptionsCompositeLayer(uint8_t mode, uint32_t board, uint8_t layer,
                                                      uint8_t* included) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  Zero(mode, included);
  return kOk;
}

int32_t PcbApi_QueryBoardLayerPairsCount(uint32_t board, int32_t* count, uint8_t mode) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode == 1) {
    if (count) *count = int32_t(B().layerPairs.size());
  } else if (count && *count >= 0 && *count <= 1000) {
    B().layerPairs.resize(size_t(*count));
  } else {
    return kBadHandle;
  }
  return kOk;
}

int32_t PcbApi_QueryBoardLayerPairAt(uint8_t mode, uint32_t board, int32_t index,
                                     uint32_t* secondLayer, uint32_t* firstLayer, uint8_t* byte1,
                                     uint8_t* byte2) {
  if (!IsBoard(board) || index < 0 || size_t(index) >= B().layerPairs.size()) return kBadHandle;
  LayerPair& p = B().layerPairs[size_t(index)];
  X(mode, p.high, secondLayer);
  X(mode, p.low, firstLayer);
  Zero(mode, byte1);
  Zero(mode, byte2);
  return kOk;
}

int32_t PcbApi_QueryBoardExternalDielectrics(uint8_t mode, uint32_t board,
                                             unsigned char* topMaterial, uint8_t* topType,
                                             double* topConstant, int32_t* topHeight,
                                             unsigned char* bottomMaterial, uint8_t* bottomType,
                                             double* bottomConstant, int32_t* bottomHeight) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode != 1) return kOk;
  for (unsigned char* m : {topMaterial, bottomMaterial})
    if (m) abi::SetShortString(*reinterpret_cast<abi::ShortString*>(m), "FR-4");
  for (uint8_t* t : {topType, bottomType})
    if (t) *t = 1;
  for (double* c : {topConstant, bottomConstant})
    if (c) *c = 4.8;
  for (int32_t* h : {topHeight, bottomHeight})
    if (h) *h = 126000;
  return kOk;
}

// --- system options ---------------------------------------------------------

#define KORVEX_OPAQUE_SYSTEM_BLOCK(name, type)            \
  int32_t PcbApi_##name(uint8_t mode, abi::type* block) { \
    Zero(mode, block);                                    \
    return kOk;                                           \
  }
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptions, TPcbApiSystemOptions)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPlaceArray, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPorts, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsMiscellaneous, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPolygon, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsMiscellaneousEx, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsProtection, TPcbApiSystemOptionsPart)
#undef KORVEX_OPAQUE_SYSTEM_BLOCK

int32_t PcbApi_QuerySystemOptionsLayerDrawingOrder(uint8_t mode, uint8_t layer, uint8_t* position) {
  if (layer >= kLegacyLayers) return kBadHandle;
  if (mode == 1 && position) *position = layer;
  return kOk;
}

namespace {

// The editor's component type mappings belong to its system options, not to
// a board: they outlive the boards opened in between.
std::vector<std::pair<std::string, uint8_t>>& TypeMappings() {
  static std::vector<std::pair<std::string, uint8_t>> mappings;
  return mappings;
}

}  // namespace

int32_t PcbApi_GetState_ComponentTypeMappingsCount() {
  return int32_t(TypeMappings().size());
}

int32_t PcbApi_GetState_ComponentTypeMappingAt(int32_t index, unsigned char* name, uint8_t* kind) {
  auto& m = TypeMappings();
  if (index < 0 || size_t(index) >= m.size()) return kBadHandle;
  if (name) abi::SetShortString(*reinterpret_cast<abi::ShortString*>(name), m[size_t(index)].first);
  if (kind) *kind = m[size_t(index)].second;
  return kOk;
}

int32_t PcbApi_SetState_DeleteAllComponentTypeMappings() {
  TypeMappings().clear();
  return kOk;
}

int32_t PcbApi_SetState_AddComponentTypeMapping(const unsigned char* name, uint8_t kind) {
  if (!name) return kBadHandle;
  TypeMappings().emplace_back(abi::FromShortString(name), kind);
  return kOk;
}
