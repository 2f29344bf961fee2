// What the parts of the layer set implementation share: set operations
// (layerset.cpp), text forms (layerset_text.cpp), iterators
// (layerset_iterators.cpp) and the module's set constructors
// (layerset_utils.cpp). Private to the layer library.
#pragma once

#include <string>
#include <utility>

#include "layers/layerset.h"

namespace quennet::layerset_internal {

// Lines of the layer sets' consistency checks, as reported with unit
// RT_PCBProcs.
inline constexpr int kLineSetPartition = 2235;
inline constexpr int kLineIntersectionForeign = 2977;
inline constexpr int kLineIntersectionSelf = 2983;
inline constexpr int kLineUnionForeign = 3070;
inline constexpr int kLineUnionSelf = 3076;
inline constexpr int kLineEqualsForeign = 3121;

inline constexpr const char* kSetPartitionNames[kSetPartitionCount] = {"Signal", "Mechanical",
                                                                       "Internal", "Standard"};
inline constexpr const char* kSetPartitionLongNames[kSetPartitionCount] = {
    "Signal Layers", "Mechanical Layers", "Internal Plane Layers", "Standard Layers"};

inline constexpr uint32_t kFixedPartitionsMask = 0x0001FFFEu;

inline bool SameGuid(const abi::TGUID& a, const abi::TGUID& b) {
  return a == b;
}

template <class F>
void ForEachKey(const TLayerHash* hash, F&& f) {
  if (!hash) return;
  for (const TBucket& b : hash->Buckets())
    for (int32_t i = 0; i < b.Count; ++i) f(b.Items[static_cast<size_t>(i)].Key);
}

// The set partition of a layer, or -1 for a class or a value of no partition.
inline int PartitionOrNone(TV7_Layer layer) {
  if (IsMechanicalLayer(layer)) return spMechanical;
  if (IsSignalLayer(layer)) return spSignal;
  if (IsInternalPlane(layer)) return spInternal;
  if ((layer >> 24) == 0 && !IsLayerClass(layer)) return spStandard;
  return -1;
}

// Runs body; an exception becomes a failed status with its error kept.
template <class F>
abi::TStatus Guarded(abi::TLayerSetError& error, F&& body) noexcept {
  try {
    body();
    return abi::S_OK;
  } catch (...) {
    CaptureLayerSetError(error);
    return abi::E_FAIL;
  }
}

template <class F>
abi::TStatus Handing(abi::TLayerSetError& error, IPCB_LayerSet** result, F&& make) noexcept {
  if (!result) return abi::E_INVALIDARG;
  *result = nullptr;
  try {
    abi::Ref<TPCB_LayerSetBase> set = make();
    *result = static_cast<IPCB_LayerSet*>(set.detach());
    return abi::S_OK;
  } catch (...) {
    CaptureLayerSetError(error);
    return abi::E_FAIL;
  }
}

}  // namespace quennet::layerset_internal

namespace quennet {

template <class F>
abi::TStatus TPCB_LayerSetBase::Guard(F&& body) noexcept {
  return layerset_internal::Guarded(lastError_, std::forward<F>(body));
}

}  // namespace quennet
