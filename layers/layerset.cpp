#include "layers/layerset.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "layers/layerset_internal.h"
#include "layers/rtl_errors.h"

namespace quennet {

using namespace layerset_internal;

namespace {
void CopyKeys(const TLayerHash* from, void (TSetPartition::*op)(TV7_Layer), TSetPartition& to) {
  if (!from) return;
  for (const TBucket& b : from->Buckets())
    for (int32_t i = 0; i < b.Count; ++i) (to.*op)(b.Items[static_cast<size_t>(i)].Key);
}

bool HashHolds(const TLayerHash* hash, TV7_Layer layer) {
  return hash && hash->Contains(layer);
}

std::unique_ptr<TLayerHash> CopyHash(const std::unique_ptr<TLayerHash>& from) {
  if (!from) return nullptr;
  std::unique_ptr<TLayerHash> to = NewSetHash();
  to->Resize(from->Count());
  ForEachKey(from.get(), [&](TV7_Layer key) {
    THashValue v = 0;
    from->TryGetValue(key, v);
    to->SetValue(key, v);
  });
  return to;
}

}  // namespace

int SetPartitionOf(TV7_Layer layer) {
  if (const int kind = PartitionOrNone(layer); kind >= 0) return kind;
  AssertionFailure(
      "Layer has no layer set partition ID=" + std::to_string(static_cast<int32_t>(layer)),
      kLayerSetUnit, kLineSetPartition);
}

std::unique_ptr<TLayerHash> NewSetHash() {
  return std::make_unique<TLayerHash>(false, 0, 8);
}

// --- TSetPartition -------------------------------------------------------------------

TSetPartition::TSetPartition(const TSetPartition& other)
    : IncludeAll(other.IncludeAll),
      Included(CopyHash(other.Included)),
      Exceptions(CopyHash(other.Exceptions)) {}

TSetPartition& TSetPartition::operator=(const TSetPartition& other) {
  if (this != &other) {
    TSetPartition copy(other);
    *this = std::move(copy);
  }
  return *this;
}

bool TSetPartition::Contains(TV7_Layer layer) const {
  if (Included && Included->Contains(layer)) return true;
  if (Exceptions && Exceptions->Contains(layer)) return false;
  return IncludeAll;
}

void TSetPartition::Include(TV7_Layer layer) {
  if (!IncludeAll) {
    if (!Included) Included = NewSetHash();
    Included->SetValue(layer, 1);
  }
  if (Exceptions) Exceptions->Remove(layer);
}

void TSetPartition::Exclude(TV7_Layer layer) {
  if (IncludeAll) {
    if (!Exceptions) Exceptions = NewSetHash();
    Exceptions->SetValue(layer, 1);
  }
  if (Included) Included->Remove(layer);
}

void TSetPartition::Clear() {
  IncludeAll = false;
  Included.reset();
  Exceptions.reset();
}

void TSetPartition::SetAll() {
  IncludeAll = true;
  Included.reset();
  Exceptions.reset();
}

// --- Errors across the interface ------------------------------------------------------

void CaptureLayerSetError(abi::TLayerSetError& error) noexcept {
  error = abi::TLayerSetError{};
  try {
    throw;
  } catch (const EAssertionFailed& e) {
    error.Kind = abi::lseAssertion;
    error.Line = e.line();
    abi::SetShortString(error.Unit, e.unit());
    abi::SetShortString(error.Message, e.message());
  } catch (const ELayerException& e) {
    error.Kind = abi::lseLayer;
    abi::SetShortString(error.Message, e.what());
  } catch (const EPCB_LayerSetException& e) {
    error.Kind = abi::lseLayerSet;
    abi::SetShortString(error.Message, e.what());
  } catch (const EListError& e) {
    error.Kind = abi::lseList;
    abi::SetShortString(error.Message, e.what());
  } catch (const EEOFException& e) {
    error.Kind = abi::lseEOF;
    abi::SetShortString(error.Message, e.what());
  } catch (const std::exception& e) {
    error.Kind = abi::lseOther;
    abi::SetShortString(error.Message, e.what());
  } catch (...) {
    error.Kind = abi::lseOther;
    abi::SetShortString(error.Message, "Unknown error");
  }
}

void RaiseLayerSetError(const abi::TLayerSetError& error, const char* operation) {
  const std::string message = abi::FromShortString(error.Message);
  switch (error.Kind) {
    case abi::lseAssertion: {
      const std::string unit = abi::FromShortString(error.Unit);
      throw EAssertionFailed(message, unit.c_str(), error.Line);
    }
    case abi::lseLayer:
      throw ELayerException(message);
    case abi::lseLayerSet:
      throw EPCB_LayerSetException(message);
    case abi::lseList:
      throw EListError(message);
    case abi::lseEOF:
      throw EEOFException(message);
    case abi::lseOther:
      throw std::runtime_error(message);
    default:
      throw EPCB_LayerSetException(std::string("Layer set operation ") + operation + " failed");
  }
}

// --- TPCB_LayerSetBase ------------------------------------------------------------------

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::New() {
  auto* set = new TPCB_LayerSetBase();
  set->AddRef();
  return abi::Ref<TPCB_LayerSetBase>(set);
}

abi::TStatus TPCB_LayerSetBase::QueryInterface(const abi::TGUID& iid, void** out) {
  if (!out) return abi::E_INVALIDARG;
  if (SameGuid(iid, abi::IID_IPCB_LayerSet) || SameGuid(iid, abi::IID_IUnknownRoot)) {
    *out = static_cast<IPCB_LayerSet*>(this);
  } else if (SameGuid(iid, IID_PCB_LayerSetPrivate)) {
    *out = static_cast<IPCB_LayerSetPrivate*>(this);
  } else {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  AddRef();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::Chain(IPCB_LayerSet** result) {
  if (result) {
    AddRef();
    *result = this;
  }
  return abi::S_OK;
}

void TPCB_LayerSetBase::Assign(const TPCB_LayerSetBase& other) {
  if (this == &other) return;
  for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = other.partitions_[k];
}

TPCB_LayerSetBase* AsLayerSetBase(IPCB_LayerSet* set, int line) {
  void* p = nullptr;
  if (abi::Failed(set->QueryInterface(IID_PCB_LayerSetPrivate, &p)) || !p)
    AssertionFailure("", kLayerSetUnit, line);
  auto* priv = static_cast<IPCB_LayerSetPrivate*>(p);
  TPCB_LayerSetBase* self = priv->Self();
  priv->Release();  // the caller holds its own reference to set
  return self;
}

bool TPCB_LayerSetBase::DoContains(TV7_Layer layer) const {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kElectricalLayers:
        return partitions_[spSignal].IsFull() && partitions_[spInternal].IsFull();
      case kSignalLayers:
        return partitions_[spSignal].IsFull();
      case kInternalPlaneLayers:
        return partitions_[spInternal].IsFull();
      case kMechanicalLayers:
        return partitions_[spMechanical].IsFull();
      case kMidLayers: {
        const TSetPartition& s = partitions_[spSignal];
        if (!s.IncludeAll) return false;
        bool onlyOuter = true;
        ForEachKey(s.Exceptions.get(), [&](TV7_Layer key) {
          if (key != eTopLayer && key != eBottomLayer) onlyOuter = false;
        });
        return onlyOuter;
      }
      case kAllLayers:
        return false;
      default:
        break;  // no class: fails as a layer of no partition
    }
  }
  return partitions_[SetPartitionOf(layer)].Contains(layer);
}

void TPCB_LayerSetBase::DoInclude(TV7_Layer layer) {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kAllLayers:
        for (int k : {spStandard, spInternal, spMechanical, spSignal}) partitions_[k].SetAll();
        return;
      case kElectricalLayers:
        partitions_[spSignal].SetAll();
        partitions_[spInternal].SetAll();
        return;
      case kSignalLayers:
        partitions_[spSignal].SetAll();
        return;
      case kInternalPlaneLayers:
        partitions_[spInternal].SetAll();
        return;
      case kMechanicalLayers:
        partitions_[spMechanical].SetAll();
        return;
      case kMidLayers: {
        const bool top = DoContains(eTopLayer);
        const bool bottom = DoContains(eBottomLayer);
        partitions_[spSignal].SetAll();
        if (!top) DoExclude(eTopLayer);
        if (!bottom) DoExclude(eBottomLayer);
        return;
      }
      default:
        break;
    }
  }
  partitions_[SetPartitionOf(layer)].Include(layer);
}

void TPCB_LayerSetBase::DoExclude(TV7_Layer layer) {
  if (IsLayerClass(layer)) {
    switch (layer) {
      case kElectricalLayers:
        partitions_[spSignal].Clear();
        partitions_[spInternal].Clear();
        return;
      case kSignalLayers:
        partitions_[spSignal].Clear();
        return;
      case kInternalPlaneLayers:
        partitions_[spInternal].Clear();
        return;
      case kMechanicalLayers:
        partitions_[spMechanical].Clear();
        return;
      case kAllLayers:
      case kMidLayers:
        return;
      default:
        break;
    }
  }
  partitions_[SetPartitionOf(layer)].Exclude(layer);
}

bool TPCB_LayerSetBase::DoIsFinite() const {
  for (const TSetPartition& p : partitions_)
    if (p.IsFull()) return false;
  return true;
}

bool TPCB_LayerSetBase::DoIsAll() const {
  for (const TSetPartition& p : partitions_)
    if (!p.IsFull()) return false;
  return true;
}

bool TPCB_LayerSetBase::DoIsEmpty() const {
  for (const TSetPartition& p : partitions_)
    if (p.IncludeAll || p.HasIncluded()) return false;
  return true;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoClone() const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  r->Assign(*this);
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoComplement() const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& a = partitions_[k];
    TSetPartition& c = r->partitions_[k];
    c.IncludeAll = !a.IncludeAll;
    if (a.IncludeAll)
      CopyKeys(a.Exceptions.get(), &TSetPartition::Include, c);
    else
      CopyKeys(a.Included.get(), &TSetPartition::Exclude, c);
  }
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoIntersection(IPCB_LayerSet* other) const {
  if (!other) return DoClone();
  const TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineIntersectionForeign);
  if (!b) AssertionFailure("", kLayerSetUnit, kLineIntersectionSelf);
  abi::Ref<TPCB_LayerSetBase> r = New();
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& pa = partitions_[k];
    const TSetPartition& pb = b->partitions_[k];
    TSetPartition& pr = r->partitions_[k];
    pr.IncludeAll = pa.IncludeAll && pb.IncludeAll;
    if (!pr.IncludeAll) {
      if (pa.IncludeAll) {
        CopyKeys(pb.Included.get(), &TSetPartition::Include, pr);
      } else if (pb.IncludeAll) {
        CopyKeys(pa.Included.get(), &TSetPartition::Include, pr);
      } else {
        ForEachKey(pa.Included.get(), [&](TV7_Layer key) {
          if (HashHolds(pb.Included.get(), key)) pr.Include(key);
        });
      }
    }
    CopyKeys(pa.Exceptions.get(), &TSetPartition::Exclude, pr);
    CopyKeys(pb.Exceptions.get(), &TSetPartition::Exclude, pr);
  }
  return r;
}

abi::Ref<TPCB_LayerSetBase> TPCB_LayerSetBase::DoUnion(IPCB_LayerSet* other) const {
  abi::Ref<TPCB_LayerSetBase> r = New();
  if (!other) {
    for (TSetPartition& p : r->partitions_) p.SetAll();
    return r;
  }
  const TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineUnionForeign);
  if (!b) AssertionFailure("", kLayerSetUnit, kLineUnionSelf);
  for (int k = 0; k < kSetPartitionCount; ++k) {
    const TSetPartition& pa = partitions_[k];
    const TSetPartition& pb = b->partitions_[k];
    TSetPartition& pr = r->partitions_[k];
    pr.IncludeAll = pa.IncludeAll || pb.IncludeAll;
    if (!pr.IncludeAll) {
      CopyKeys(pa.Included.get(), &TSetPartition::Include, pr);
      CopyKeys(pb.Included.get(), &TSetPartition::Include, pr);
    } else if (pa.IncludeAll && pb.IncludeAll) {
      ForEachKey(pa.Exceptions.get(), [&](TV7_Layer key) {
        if (HashHolds(pb.Exceptions.get(), key)) pr.Exclude(key);
      });
    } else {
      // An exception of the include-all side stays out only when the other
      // side does not hold it: a union keeps every member of both operands.
      const TSetPartition& all = pa.IncludeAll ? pa : pb;
      const TSetPartition& finite = pa.IncludeAll ? pb : pa;
      ForEachKey(all.Exceptions.get(), [&](TV7_Layer key) {
        if (!HashHolds(finite.Included.get(), key)) pr.Exclude(key);
      });
    }
  }
  return r;
}

bool TPCB_LayerSetBase::DoEqualsSet(IPCB_LayerSet* other) const {
  if (!other) return DoIsAll();
  TPCB_LayerSetBase* b = AsLayerSetBase(other, kLineEqualsForeign);
  abi::Ref<TPCB_LayerSetBase> notB = b->DoComplement();
  abi::Ref<TPCB_LayerSetBase> notA = DoComplement();
  return DoIntersection(static_cast<IPCB_LayerSet*>(notB.get()))->DoIsEmpty() &&
         b->DoIntersection(static_cast<IPCB_LayerSet*>(notA.get()))->DoIsEmpty();
}

TV7_Layer TPCB_LayerSetBase::DoFirstLayer() {
  if (DoIsEmpty()) return eNoLayer;
  if (DoIsFinite()) {
    IPCB_LayerIterator* raw = nullptr;
    if (abi::Failed(CreateIterator(&raw))) RaiseLayerSetError(lastError_, "CreateIterator");
    abi::Ref<IPCB_LayerIterator> it(raw);
    auto* base = static_cast<TLayerIteratorBase*>(raw);
    return base->DoNext() ? base->CurrentLayer() : eNoLayer;
  }
  for (TV7_Layer layer :
       {TV7_Layer{eInternalPlane1}, TV7_Layer{eMechanical1}, TV7_Layer{eTopOverlay}})
    if (DoContains(layer)) return layer;
  return eTopLayer;
}

// Interface methods.

abi::TStatus TPCB_LayerSetBase::Contains(TV7_Layer layer, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoContains(layer); });
}

abi::TStatus TPCB_LayerSetBase::IncludeIterated(IPCB_LayerIterator* iterator,
                                                IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    if (!iterator) return;
    bool more = false;
    abi::TLayerSetError error{};
    auto check = [&](abi::TStatus st, const char* op) {
      if (abi::Failed(st)) {
        if (abi::Failed(iterator->GetLastError(&error))) error.Kind = abi::lseNone;
        RaiseLayerSetError(error, op);
      }
    };
    check(iterator->First(&more), "First");
    while (more) {
      TV7_Layer layer = 0;
      check(iterator->Layer(&layer), "Layer");
      DoInclude(layer);
      check(iterator->Next(&more), "Next");
    }
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::Include(TV7_Layer layer, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoInclude(layer); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludePartitions(uint32_t mask, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    for (int k = 0; k < 32; ++k)
      if (mask & (1u << k)) DoInclude(LayerFromPartition(static_cast<uint8_t>(k)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeArray(const TV7_Layer* layers, int32_t count,
                                             IPCB_LayerSet** result) {
  if (count > 0 && !layers) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int32_t i = 0; i < count; ++i) DoInclude(layers[i]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeSet(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    abi::Ref<TPCB_LayerSetBase> u = DoUnion(other);
    for (int k = 0; k < kSetPartitionCount; ++k) partitions_[k] = std::move(u->partitions_[k]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::Exclude(TV7_Layer layer, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoExclude(layer); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludeArray(const TV7_Layer* layers, int32_t count,
                                             IPCB_LayerSet** result) {
  if (count > 0 && !layers) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int32_t i = 0; i < count; ++i) DoExclude(layers[i]);
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludePartitions(uint32_t mask, IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] {
    for (int k = 0; k < 32; ++k)
      if (mask & (1u << k)) DoExclude(LayerFromPartition(static_cast<uint8_t>(k)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::ExcludeFixedPartitions(IPCB_LayerSet** result) {
  return ExcludePartitions(kFixedPartitionsMask, result);
}

abi::TStatus TPCB_LayerSetBase::IsFinite(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsFinite();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::FirstLayer(TV7_Layer* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoFirstLayer(); });
}

#define QUENNET_PARTITION_OP(Name, kind, op)                     \
  abi::TStatus TPCB_LayerSetBase::Name(IPCB_LayerSet** result) { \
    partitions_[kind].op();                                      \
    return Chain(result);                                        \
  }
QUENNET_PARTITION_OP(ClearSignal, spSignal, Clear)
QUENNET_PARTITION_OP(ClearMechanical, spMechanical, Clear)
QUENNET_PARTITION_OP(ClearInternal, spInternal, Clear)
QUENNET_PARTITION_OP(IncludeAllSignal, spSignal, SetAll)
QUENNET_PARTITION_OP(IncludeAllStandardToo, spStandard, SetAll)
QUENNET_PARTITION_OP(IncludeAllMechanical, spMechanical, SetAll)
QUENNET_PARTITION_OP(IncludeAllInternal, spInternal, SetAll)
QUENNET_PARTITION_OP(IncludeAllStandard, spStandard, SetAll)
#undef QUENNET_PARTITION_OP

abi::TStatus TPCB_LayerSetBase::IncludeAll(IPCB_LayerSet** result) {
  IncludeAllStandard(nullptr);
  IncludeAllInternal(nullptr);
  IncludeAllMechanical(nullptr);
  IncludeAllSignal(nullptr);
  return Chain(result);
}

abi::TStatus TPCB_LayerSetBase::HasInternalPlanes(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  const TSetPartition& p = partitions_[spInternal];
  *result = p.IncludeAll || p.HasIncluded();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::Complement(IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoComplement(); });
}

abi::TStatus TPCB_LayerSetBase::Intersection(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoIntersection(other); });
}

abi::TStatus TPCB_LayerSetBase::Union(IPCB_LayerSet* other, IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoUnion(other); });
}

abi::TStatus TPCB_LayerSetBase::IsAll(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsAll();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::IsEmpty(bool* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = DoIsEmpty();
  return abi::S_OK;
}

abi::TStatus TPCB_LayerSetBase::Clone(IPCB_LayerSet** result) {
  return Handing(lastError_, result, [&] { return DoClone(); });
}

abi::TStatus TPCB_LayerSetBase::EqualsSet(IPCB_LayerSet* other, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] { *result = DoEqualsSet(other); });
}

abi::TStatus TPCB_LayerSetBase::EqualsLayer(TV7_Layer layer, bool* result) {
  if (!result) return abi::E_INVALIDARG;
  return Guard([&] {
    abi::Ref<TPCB_LayerSetBase> one = New();
    one->DoInclude(layer);
    *result = DoEqualsSet(static_cast<IPCB_LayerSet*>(one.get()));
  });
}

abi::TStatus TPCB_LayerSetBase::IncludeLegacySet(const TLegacyLayerSet* set,
                                                 IPCB_LayerSet** result) {
  if (!set) return abi::E_INVALIDARG;
  const abi::TStatus s = Guard([&] {
    for (int layer = 0; layer <= kMaxLayer; ++layer)
      if (LegacySetContains(*set, static_cast<TLayer>(layer)))
        DoInclude(LayerToV7(static_cast<TLayer>(layer)));
  });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::IncludeLegacyLayer(abi::TLegacyLayer layer,
                                                   IPCB_LayerSet** result) {
  const abi::TStatus s = Guard([&] { DoInclude(LayerToV7(layer)); });
  return abi::Failed(s) ? s : Chain(result);
}

abi::TStatus TPCB_LayerSetBase::GetLastError(abi::TLayerSetError* result) {
  if (!result) return abi::E_INVALIDARG;
  *result = lastError_;
  return abi::S_OK;
}

}  // namespace quennet
