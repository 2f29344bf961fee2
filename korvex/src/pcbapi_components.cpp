// The flat function interface: components, and pads with their per-layer
// shapes and sizes.
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
