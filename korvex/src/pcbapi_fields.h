// What the parts of the editor's flat function interface share: moving one
// field between the board and the caller's variable in either direction,
// and finding the object behind a handle. Private to the pcbapi*.cpp files,
// which define PCBAPI_DECLARE_EXPORTS before including abi/pcbapi.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "abi/pcbapi.h"
#include "korvex/src/session.h"

namespace korvex::pcbapi {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kBadHandle = abi::E_INVALIDARG;

template <class F, class P>
inline void X(uint8_t mode, F& field, P* p) {
  if (!p) return;
  if (mode == 1)
    *p = static_cast<P>(field);
  else
    field = static_cast<F>(*p);
}

// A value the board does not keep.
template <class P>
inline void Zero(uint8_t mode, P* p) {
  if (p && mode == 1) std::memset(static_cast<void*>(p), 0, sizeof(P));
}

inline void Str(uint8_t mode, std::string& field, unsigned char* p, size_t max) {
  if (!p) return;
  if (mode == 1) {
    abi::SetShortString(*reinterpret_cast<abi::ShortString*>(p),
                        std::string_view(field).substr(0, max));
  } else {
    field = abi::FromShortString(p).substr(0, max);
  }
}

inline void ZeroStr(uint8_t mode, unsigned char* p) {
  if (p && mode == 1) p[0] = 0;
}

inline Session& S() {
  return Session::Get();
}
inline Board& B() {
  return *S().board();
}

// The object behind a handle when it is of the kind asked for.
inline Object* Of(uint32_t handle, Kind kind) {
  Object* o = S().Find(handle);
  return o && o->kind == kind ? o : nullptr;
}

// Handles kept inside the board are "index + 1"; callers see real handles.
inline void Ref(uint8_t mode, uint32_t& ref, void* p) {
  if (!p) return;
  auto* out = static_cast<uint32_t*>(p);
  if (mode == 1) {
    *out = S().HandleOfRef(ref);
  } else {
    Object* o = S().Find(*out);
    ref = o ? S().IndexOf(o) + 1 : 0;
  }
}

inline void Common(uint8_t mode, Object& o, uint16_t* flags, uint16_t* auxWord, uint32_t* layer,
                   uint32_t* auxRef, uint8_t* auxByte, uint32_t* component) {
  X(mode, o.flags, flags);
  X(mode, o.auxWord, auxWord);
  X(mode, o.layer, layer);
  X(mode, o.auxRef, auxRef);
  X(mode, o.auxByte, auxByte);
  Ref(mode, o.component, component);
}

// Fixed layers stand for themselves; extended ones for the last fixed layer
// of their kind (mid layer 30, plane 16, mechanical 16).
inline uint8_t ClampToLegacy(TV7_Layer v) {
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

// The legacy layer byte of vias and components: layers beyond the 83 fixed
// ones read as the nearest fixed layer of their kind.
inline void LegacyLayer(uint8_t mode, Object& o, uint8_t* layer) {
  if (!layer) return;
  if (mode == 1)
    *layer = ClampToLegacy(o.layer);
  else
    o.layer = *layer <= 82 ? *layer : 0;
}

}  // namespace korvex::pcbapi
