// The editor's flat function interface. Every query exchanges the fields of
// one object with the caller: mode 1 reads them out of the board, any other
// mode writes the caller's values into it. Values the board does not keep
// read as 0 and are ignored on a write. This file: editor state, iterators
// and the data every object has; the other pcbapi_*.cpp files one family of
// objects each.
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
