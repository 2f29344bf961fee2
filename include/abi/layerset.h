// The host's layer-set interfaces. A layer set holds finite sets of layers as
// well as sets of the form "all layers of a kind except some"; the editor
// module hands out the visible layers as one, and the plug-in builds its export
// layer set with the same code.
//
// Host convention: every method returns a TStatus and hands its result back
// through the last argument. Operations that change a set hand back the set
// itself (a new reference, so that calls can be chained); operations that build
// a set hand back the new set. An out argument of a changing operation may be
// null when the caller does not want the reference.
//
// A failing method leaves its error on the object that failed; GetLastError
// reads it, so that the caller can raise the same error on its side.
#pragma once

#include <cstdint>

#include "abi/hostbase.h"

namespace abi {

using TV7_Layer = uint32_t;
using TLegacyLayer = uint8_t;

// The legacy set of TLayer values 0..87 (bit k of byte k/8 for member k);
// members above 82 mean nothing.
struct TLegacyLayerSet {
  uint8_t Bits[11];
};
static_assert(sizeof(TLegacyLayerSet) == 11);

// What went wrong in the last failing method of an object.
enum TLayerSetErrorKind : int32_t {
  lseNone = 0,
  lseAssertion = 1,  // Unit and Line are set; Message is the bare message
  lseLayer = 2,      // a layer construction failed
  lseLayerSet = 3,   // layer-set iteration failed
  lseList = 4,       // a hash table refused the operation
  lseEOF = 5,
  lseOther = 6,
};

struct TLayerSetError {
  int32_t Kind;  // TLayerSetErrorKind
  int32_t Line;
  ShortString Unit;
  ShortString Message;
};

inline constexpr TGUID IID_IPCB_LayerSet = {
    0x5B0E6F21, 0x8C3A, 0x4D17, {0x9A, 0x62, 0x1E, 0x4F, 0x70, 0xB3, 0xC2, 0x58}};
inline constexpr TGUID IID_IPCB_LayerIterator = {
    0x5B0E6F22, 0x8C3A, 0x4D17, {0x9A, 0x62, 0x1E, 0x4F, 0x70, 0xB3, 0xC2, 0x58}};
inline constexpr TGUID IID_IPCB_LayerSetUtils = {
    0x5B0E6F23, 0x8C3A, 0x4D17, {0x9A, 0x62, 0x1E, 0x4F, 0x70, 0xB3, 0xC2, 0x58}};
// The root interface; every object answers it.
inline constexpr TGUID IID_IUnknownRoot = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IPCB_LayerSet;

struct IPCB_LayerIterator : IHostUnknown {
  virtual TStatus First(bool* result) = 0;  // restart, then Next
  virtual TStatus Reset() = 0;              // restart on the next Next
  virtual TStatus Next(bool* result) = 0;
  virtual TStatus Layer(TV7_Layer* result) = 0;
  // Each adds a fixed group of layers to the filter.
  virtual TStatus AddFilter_SignalLayers() = 0;
  virtual TStatus AddFilter_InternalPlanes() = 0;
  virtual TStatus AddFilter_MechanicalLayers() = 0;
  virtual TStatus AddFilter_OverlayLayers() = 0;
  virtual TStatus AddFilter_MaskLayers() = 0;
  virtual TStatus SetFilter(IPCB_LayerSet* filter) = 0;
  virtual TStatus SetFilterPartitions(uint32_t mask) = 0;
  virtual TStatus GetLastError(TLayerSetError* result) = 0;

 protected:
  ~IPCB_LayerIterator() = default;
};

struct IPCB_LayerSet : IHostUnknown {
  virtual TStatus Contains(TV7_Layer layer, bool* result) = 0;
  virtual TStatus IncludeIterated(IPCB_LayerIterator* iterator, IPCB_LayerSet** result) = 0;
  virtual TStatus Include(TV7_Layer layer, IPCB_LayerSet** result) = 0;
  virtual TStatus IncludePartitions(uint32_t mask, IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeArray(const TV7_Layer* layers, int32_t count, IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeSet(IPCB_LayerSet* other, IPCB_LayerSet** result) = 0;
  virtual TStatus Exclude(TV7_Layer layer, IPCB_LayerSet** result) = 0;
  virtual TStatus ExcludeArray(const TV7_Layer* layers, int32_t count, IPCB_LayerSet** result) = 0;
  virtual TStatus ExcludePartitions(uint32_t mask, IPCB_LayerSet** result) = 0;
  virtual TStatus ExcludeFixedPartitions(IPCB_LayerSet** result) = 0;
  virtual TStatus IsFinite(bool* result) = 0;
  virtual TStatus CreateIterator(IPCB_LayerIterator** result) = 0;
  virtual TStatus FirstLayer(TV7_Layer* result) = 0;
  virtual TStatus ClearSignal(IPCB_LayerSet** result) = 0;
  virtual TStatus ClearMechanical(IPCB_LayerSet** result) = 0;
  virtual TStatus ClearInternal(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAllSignal(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAllStandardToo(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAllMechanical(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAllInternal(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAllStandard(IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeAll(IPCB_LayerSet** result) = 0;
  virtual TStatus HasInternalPlanes(bool* result) = 0;
  virtual TStatus Complement(IPCB_LayerSet** result) = 0;
  virtual TStatus Intersection(IPCB_LayerSet* other, IPCB_LayerSet** result) = 0;
  virtual TStatus Union(IPCB_LayerSet* other, IPCB_LayerSet** result) = 0;
  virtual TStatus IsAll(bool* result) = 0;
  virtual TStatus IsEmpty(bool* result) = 0;
  virtual TStatus Clone(IPCB_LayerSet** result) = 0;
  // UTF-16 text. Writes at most capacity units (no terminator) and hands back
  // the full length, so a caller can size its buffer and ask again.
  virtual TStatus Description(char16_t* buffer, int32_t capacity, int32_t* length) = 0;
  virtual TStatus EqualsSet(IPCB_LayerSet* other, bool* result) = 0;
  virtual TStatus EqualsLayer(TV7_Layer layer, bool* result) = 0;
  // 8-bit text, sized as Description.
  virtual TStatus Serialize(char* buffer, int32_t capacity, int32_t* length) = 0;
  virtual TStatus IncludeLegacySet(const TLegacyLayerSet* set, IPCB_LayerSet** result) = 0;
  virtual TStatus IncludeLegacyLayer(TLegacyLayer layer, IPCB_LayerSet** result) = 0;
  virtual TStatus GetLastError(TLayerSetError* result) = 0;

 protected:
  ~IPCB_LayerSet() = default;
};

// The module-level set constructors. Every method hands back a new set.
struct IPCB_LayerSetUtils : IHostUnknown {
  virtual TStatus NewEmptySet(IPCB_LayerSet** result) = 0;
  virtual TStatus AllLayers(IPCB_LayerSet** result) = 0;
  virtual TStatus SignalLayers(IPCB_LayerSet** result) = 0;
  virtual TStatus ElectricalLayers(IPCB_LayerSet** result) = 0;
  virtual TStatus InternalPlanes(IPCB_LayerSet** result) = 0;
  virtual TStatus MechanicalLayers(IPCB_LayerSet** result) = 0;
  virtual TStatus OverlayLayers(IPCB_LayerSet** result) = 0;
  virtual TStatus MaskLayers(IPCB_LayerSet** result) = 0;  // paste and solder mask
  virtual TStatus FromPartitions(uint32_t mask, IPCB_LayerSet** result) = 0;
  virtual TStatus FromLayer(TV7_Layer layer, IPCB_LayerSet** result) = 0;
  virtual TStatus FromLayers(const TV7_Layer* layers, int32_t count, IPCB_LayerSet** result) = 0;
  virtual TStatus FromLegacySet(const TLegacyLayerSet* set, IPCB_LayerSet** result) = 0;
  virtual TStatus ComplementOf(IPCB_LayerSet* set, IPCB_LayerSet** result) = 0;
  virtual TStatus IntersectionOf(IPCB_LayerSet* a, IPCB_LayerSet* b, IPCB_LayerSet** result) = 0;
  virtual TStatus UnionOf(IPCB_LayerSet* a, IPCB_LayerSet* b, IPCB_LayerSet** result) = 0;
  // The reverse of IPCB_LayerSet::Serialize; text of length bytes.
  virtual TStatus Deserialize(const char* text, int32_t length, IPCB_LayerSet** result) = 0;
  virtual TStatus GetLastError(TLayerSetError* result) = 0;

 protected:
  ~IPCB_LayerSetUtils() = default;
};

}  // namespace abi
