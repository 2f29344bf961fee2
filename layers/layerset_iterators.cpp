// Iterators over the layers of a finite set, and the filters an iterator can
// be narrowed by.
#include <optional>

#include "layers/layerset.h"
#include "layers/layerset_internal.h"
#include "layers/rtl_errors.h"

namespace quennet {

using namespace layerset_internal;

// --- Iterators -----------------------------------------------------------------------------

namespace {

// Walks the Included hashes of the four partitions, in partition order. It
// holds a reference to its set, which must not change during the walk.
class TLayerSetIterator final : public TLayerIteratorBase {
 public:
  explicit TLayerSetIterator(TPCB_LayerSetBase* set) : set_(set) { set_->AddRef(); }
  ~TLayerSetIterator() override { set_->Release(); }

 protected:
  bool Step(bool restart, TV7_Layer& layer) override {
    if (restart) {
      partition_ = -1;
      it_.reset();
    }
    for (;;) {
      if (it_ && it_->Next()) {
        layer = it_->CurrentKey();
        return true;
      }
      if (partition_ + 1 >= kSetPartitionCount) {
        it_.reset();
        return false;
      }
      ++partition_;
      TLayerHash* hash = set_->Partition(partition_).Included.get();
      if (hash)
        it_.emplace(hash);
      else
        it_.reset();
    }
  }

 private:
  TPCB_LayerSetBase* set_;
  int partition_ = -1;
  std::optional<TBucketListIterator> it_;
};

}  // namespace

abi::TStatus TPCB_LayerSetBase::CreateIterator(IPCB_LayerIterator** result) {
  if (!result) return abi::E_INVALIDARG;
  *result = nullptr;
  return Guard([&] {
    for (const TSetPartition& p : partitions_)
      if (p.IncludeAll) throw EPCB_LayerSetException("Iterating an infinite layer set");
    auto* it = new TLayerSetIterator(this);
    it->AddRef();
    *result = it;
  });
}

template <class F>
abi::TStatus TLayerIteratorBase::Guard(F&& body) noexcept {
  return layerset_internal::Guarded(lastError_, std::forward<F>(body));
}

abi::TStatus TLayerIteratorBase::QueryInterface(const abi::TGUID& iid, void** out) {
  if (!out) return abi::E_INVALIDARG;
  if (SameGuid(iid, abi::IID_IPCB_LayerIterator) || SameGuid(iid, abi::IID_IUnknownRoot)) {
    *out = static_cast<IPCB_LayerIterator*>(this);
    AddRef();
    return abi::S_OK;
  }
  *out = nullptr;
  return abi::E_NOINTERFACE;
}

bool TLayerIteratorBase::DoNext() {
  TV7_Layer layer = 0;
  for (;;) {
    const bool restart = restart_;
    restart_ = false;
    if (!Step(restart, layer)) {
      current_ = eNoLayer;
      return false;
    }
    if (!filter_) break;
    bool member = false;
    if (abi::Failed(filter_->Contains(layer, &member))) {
      abi::TLayerSetError error{};
      if (abi::Failed(filter_->GetLastError(&error))) error.Kind = abi::lseNone;
      RaiseLayerSetError(error, "Contains");
    }
    if (member) break;
  }
  current_ = layer;
  return true;
}

abi::TStatus TLayerIteratorBase::First(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  restart_ = true;
  return Guard([&] { *result = DoNext(); });
}

abi::TStatus TLayerIteratorBase::Reset() {
  restart_ = true;
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::Next(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoNext(); });
}

abi::TStatus TLayerIteratorBase::Layer(TV7_Layer* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = current_;
  return abi::S_OK;
}

void TLayerIteratorBase::AddFilter(IPCB_LayerSet* group) {
  // Without a filter every layer passes; the first group added becomes the
  // filter, since growing "every layer" would filter nothing.
  if (!filter_) {
    filter_ = abi::Ref<IPCB_LayerSet>(group);
    return;
  }
  IPCB_LayerSet* grown = nullptr;
  if (abi::Failed(filter_->Union(group, &grown))) {
    abi::TLayerSetError error{};
    filter_->GetLastError(&error);
    group->Release();
    RaiseLayerSetError(error, "Union");
  }
  group->Release();
  filter_ = abi::Ref<IPCB_LayerSet>(grown);
}

#define QUENNET_FILTER_OP(Name, Utils)                                            \
  abi::TStatus TLayerIteratorBase::Name() {                                       \
    return Guard([&] {                                                            \
      IPCB_LayerSet* group = nullptr;                                             \
      if (abi::Failed(LayerSetUtils().Utils(&group)))                             \
        throw EPCB_LayerSetException("Could not build the filter group " #Utils); \
      AddFilter(group);                                                           \
    });                                                                           \
  }
QUENNET_FILTER_OP(AddFilter_SignalLayers, SignalLayers)
QUENNET_FILTER_OP(AddFilter_InternalPlanes, InternalPlanes)
QUENNET_FILTER_OP(AddFilter_MechanicalLayers, MechanicalLayers)
QUENNET_FILTER_OP(AddFilter_OverlayLayers, OverlayLayers)
QUENNET_FILTER_OP(AddFilter_MaskLayers, MaskLayers)
#undef QUENNET_FILTER_OP

abi::TStatus TLayerIteratorBase::SetFilter(IPCB_LayerSet* filter) {
  if (filter) filter->AddRef();
  filter_ = abi::Ref<IPCB_LayerSet>(filter);
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::SetFilterPartitions(uint32_t mask) {
  IPCB_LayerSet* set = nullptr;
  const abi::TStatus s = LayerSetUtils().FromPartitions(mask, &set);
  if (abi::Failed(s)) {
    LayerSetUtils().GetLastError(&lastError_);
    return s;
  }
  filter_ = abi::Ref<IPCB_LayerSet>(set);
  return abi::S_OK;
}

abi::TStatus TLayerIteratorBase::GetLastError(abi::TLayerSetError* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = lastError_;
  return abi::S_OK;
}

bool TLayerValueIterator::Step(bool restart, TV7_Layer& layer) {
  if (restart) it_.Restart();
  if (!it_.Next()) return false;
  layer = it_.CurrentKey();
  return true;
}

}  // namespace quennet
