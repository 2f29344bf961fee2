// Layer sets: finite sets of layers as well as "all layers of a kind except
// some", kept as four partitions (signal, mechanical, internal, standard), with
// their iterators and the module-level set constructors.
//
// TPCB_LayerSetBase implements the host interface IPCB_LayerSet; callers in C++
// normally hold a TLayerSetRef, which turns every failed status back into the
// exception that caused it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "abi/layerset.h"
#include "layers/layerhash.h"
#include "layers/layers.h"

namespace quennet {

using abi::IPCB_LayerIterator;
using abi::IPCB_LayerSet;
using abi::TLegacyLayerSet;

inline constexpr const char* kLayerSetUnit = "RT_PCBProcs";

// Recognises an IPCB_LayerSet as one of these objects.
inline constexpr abi::TGUID IID_PCB_LayerSetPrivate = {
    0x763032D7, 0x4AA3, 0x461B, {0xB4, 0x84, 0xA5, 0x0E, 0x9D, 0x6B, 0x44, 0xC8}};

// Set partitions, in the order in which sets keep, iterate and describe them.
enum TSetPartitionKind : int { spSignal = 0, spMechanical = 1, spInternal = 2, spStandard = 3 };
inline constexpr int kSetPartitionCount = 4;
// The set partition of a layer; an assertion failure for a class or a value
// of no partition.
int SetPartitionOf(TV7_Layer layer);

// Members: with IncludeAll false, the keys of Included; with IncludeAll true,
// every layer of the partition except the keys of Exceptions. The hashes are
// created when first needed.
struct TSetPartition {
  bool IncludeAll = false;
  std::unique_ptr<TLayerHash> Included;
  std::unique_ptr<TLayerHash> Exceptions;

  TSetPartition() = default;
  TSetPartition(const TSetPartition& other);
  TSetPartition& operator=(const TSetPartition& other);
  TSetPartition(TSetPartition&&) noexcept = default;
  TSetPartition& operator=(TSetPartition&&) noexcept = default;

  bool IsFull() const { return IncludeAll && (!Exceptions || Exceptions->Count() == 0); }
  bool HasIncluded() const { return Included && Included->Count() > 0; }
  bool Contains(TV7_Layer layer) const;
  void Include(TV7_Layer layer);
  void Exclude(TV7_Layer layer);
  void Clear();   // IncludeAll false, both hashes dropped
  void SetAll();  // IncludeAll true, both hashes dropped
};

// Every hash a layer set creates: no hierarchy, default 0, capacity 8; each
// member stored with the value 1.
std::unique_ptr<TLayerHash> NewSetHash();

class TPCB_LayerSetBase;

// The private interface through which a set recognises another as its own kind.
struct IPCB_LayerSetPrivate : abi::IHostUnknown {
  virtual TPCB_LayerSetBase* Self() = 0;

 protected:
  ~IPCB_LayerSetPrivate() = default;
};

// The layer-set object behind both interfaces. Reference counted as the
// host's objects are: a new set starts at 0 and the first reference handed
// out takes it to 1; the last Release frees it.
inline constexpr abi::TRefCounting kCountedFromZero{.Initial = 0};
class TPCB_LayerSetBase final
    : public abi::TRefCounted<kCountedFromZero, IPCB_LayerSet, IPCB_LayerSetPrivate> {
 public:
  TPCB_LayerSetBase() = default;

  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override;
  TPCB_LayerSetBase* Self() override { return this; }

  // IPCB_LayerSet
  abi::TStatus Contains(TV7_Layer layer, bool* result) override;
  abi::TStatus IncludeIterated(IPCB_LayerIterator* iterator, IPCB_LayerSet** result) override;
  abi::TStatus Include(TV7_Layer layer, IPCB_LayerSet** result) override;
  abi::TStatus IncludePartitions(uint32_t mask, IPCB_LayerSet** result) override;
  abi::TStatus IncludeArray(const TV7_Layer* layers, int32_t count,
                            IPCB_LayerSet** result) override;
  abi::TStatus IncludeSet(IPCB_LayerSet* other, IPCB_LayerSet** result) override;
  abi::TStatus Exclude(TV7_Layer layer, IPCB_LayerSet** result) override;
  abi::TStatus ExcludeArray(const TV7_Layer* layers, int32_t count,
                            IPCB_LayerSet** result) override;
  abi::TStatus ExcludePartitions(uint32_t mask, IPCB_LayerSet** result) override;
  abi::TStatus ExcludeFixedPartitions(IPCB_LayerSet** result) override;
  abi::TStatus IsFinite(bool* result) override;
  abi::TStatus CreateIterator(IPCB_LayerIterator** result) override;
  abi::TStatus FirstLayer(TV7_Layer* result) override;
  abi::TStatus ClearSignal(IPCB_LayerSet** result) override;
  abi::TStatus ClearMechanical(IPCB_LayerSet** result) override;
  abi::TStatus ClearInternal(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAllSignal(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAllStandardToo(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAllMechanical(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAllInternal(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAllStandard(IPCB_LayerSet** result) override;
  abi::TStatus IncludeAll(IPCB_LayerSet** result) override;
  abi::TStatus HasInternalPlanes(bool* result) override;
  abi::TStatus Complement(IPCB_LayerSet** result) override;
  abi::TStatus Intersection(IPCB_LayerSet* other, IPCB_LayerSet** result) override;
  abi::TStatus Union(IPCB_LayerSet* other, IPCB_LayerSet** result) override;
  abi::TStatus IsAll(bool* result) override;
  abi::TStatus IsEmpty(bool* result) override;
  abi::TStatus Clone(IPCB_LayerSet** result) override;
  abi::TStatus Description(char16_t* buffer, int32_t capacity, int32_t* length) override;
  abi::TStatus EqualsSet(IPCB_LayerSet* other, bool* result) override;
  abi::TStatus EqualsLayer(TV7_Layer layer, bool* result) override;
  abi::TStatus Serialize(char* buffer, int32_t capacity, int32_t* length) override;
  abi::TStatus IncludeLegacySet(const TLegacyLayerSet* set, IPCB_LayerSet** result) override;
  abi::TStatus IncludeLegacyLayer(abi::TLegacyLayer layer, IPCB_LayerSet** result) override;
  abi::TStatus GetLastError(abi::TLayerSetError* result) override;

  // The same operations for C++ callers of this module; they raise errors.
  bool DoContains(TV7_Layer layer) const;
  void DoInclude(TV7_Layer layer);
  void DoExclude(TV7_Layer layer);
  bool DoIsFinite() const;
  bool DoIsAll() const;
  bool DoIsEmpty() const;
  TV7_Layer DoFirstLayer();
  // An absent other set stands for all layers.
  abi::Ref<TPCB_LayerSetBase> DoComplement() const;
  abi::Ref<TPCB_LayerSetBase> DoIntersection(IPCB_LayerSet* other) const;
  abi::Ref<TPCB_LayerSetBase> DoUnion(IPCB_LayerSet* other) const;
  abi::Ref<TPCB_LayerSetBase> DoClone() const;
  static abi::Ref<TPCB_LayerSetBase> New();
  bool DoEqualsSet(IPCB_LayerSet* other) const;
  std::u16string DoDescription() const;
  std::string DoSerialize() const;
  // Replaces the content by the serialised text (the reverse of Serialize).
  void DoDeserialize(std::string_view text);

  TSetPartition& Partition(int kind) { return partitions_[kind]; }
  const TSetPartition& Partition(int kind) const { return partitions_[kind]; }

 private:
  ~TPCB_LayerSetBase() = default;
  // Runs body; turns an exception into a failed status and keeps its error.
  template <class F>
  abi::TStatus Guard(F&& body) noexcept;
  abi::TStatus Chain(IPCB_LayerSet** result);
  void Assign(const TPCB_LayerSetBase& other);

  TSetPartition partitions_[kSetPartitionCount];
  abi::TLayerSetError lastError_{};
};

// The set behind an interface when it is one of ours, else an assertion
// failure at the given line.
TPCB_LayerSetBase* AsLayerSetBase(IPCB_LayerSet* set, int line);

// Common part of the layer iterators: restart, filter, error keeping.
// Counted as the sets are.
class TLayerIteratorBase : public abi::TRefCounted<kCountedFromZero, IPCB_LayerIterator> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override;

  abi::TStatus First(bool* result) override;
  abi::TStatus Reset() override;
  abi::TStatus Next(bool* result) override;
  abi::TStatus Layer(TV7_Layer* result) override;
  abi::TStatus AddFilter_SignalLayers() override;
  abi::TStatus AddFilter_InternalPlanes() override;
  abi::TStatus AddFilter_MechanicalLayers() override;
  abi::TStatus AddFilter_OverlayLayers() override;
  abi::TStatus AddFilter_MaskLayers() override;
  abi::TStatus SetFilter(IPCB_LayerSet* filter) override;
  abi::TStatus SetFilterPartitions(uint32_t mask) override;
  abi::TStatus GetLastError(abi::TLayerSetError* result) override;

  bool DoNext();
  TV7_Layer CurrentLayer() const { return current_; }

 protected:
  TLayerIteratorBase() = default;
  virtual ~TLayerIteratorBase() = default;
  // Moves to the next raw layer (restart first when asked); false at the end.
  virtual bool Step(bool restart, TV7_Layer& layer) = 0;
  template <class F>
  abi::TStatus Guard(F&& body) noexcept;

 private:
  void AddFilter(IPCB_LayerSet* group);

  abi::Ref<IPCB_LayerSet> filter_;
  TV7_Layer current_ = 0;
  bool restart_ = true;
  abi::TLayerSetError lastError_{};
};

// Iterates the keys of one layer hash, bucket by bucket in insertion order.
class TLayerValueIterator final : public TLayerIteratorBase {
 public:
  explicit TLayerValueIterator(TCustomLayerHash* hash) : it_(hash) {}
  THashValue Value() const { return it_.CurrentValue(); }
  void SetCurrentValue(THashValue value) { it_.SetCurrentValue(value); }

 protected:
  bool Step(bool restart, TV7_Layer& layer) override;

 private:
  TBucketListIterator it_;
};

// The module-level set constructors.
class TLayerSetUtils final : public abi::TModuleObject<abi::IPCB_LayerSetUtils> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override;

  abi::TStatus NewEmptySet(IPCB_LayerSet** result) override;
  abi::TStatus AllLayers(IPCB_LayerSet** result) override;
  abi::TStatus SignalLayers(IPCB_LayerSet** result) override;
  abi::TStatus ElectricalLayers(IPCB_LayerSet** result) override;
  abi::TStatus InternalPlanes(IPCB_LayerSet** result) override;
  abi::TStatus MechanicalLayers(IPCB_LayerSet** result) override;
  abi::TStatus OverlayLayers(IPCB_LayerSet** result) override;
  abi::TStatus MaskLayers(IPCB_LayerSet** result) override;
  abi::TStatus FromPartitions(uint32_t mask, IPCB_LayerSet** result) override;
  abi::TStatus FromLayer(TV7_Layer layer, IPCB_LayerSet** result) override;
  abi::TStatus FromLayers(const TV7_Layer* layers, int32_t count, IPCB_LayerSet** result) override;
  abi::TStatus FromLegacySet(const TLegacyLayerSet* set, IPCB_LayerSet** result) override;
  abi::TStatus ComplementOf(IPCB_LayerSet* set, IPCB_LayerSet** result) override;
  abi::TStatus IntersectionOf(IPCB_LayerSet* a, IPCB_LayerSet* b, IPCB_LayerSet** result) override;
  abi::TStatus UnionOf(IPCB_LayerSet* a, IPCB_LayerSet* b, IPCB_LayerSet** result) override;
  abi::TStatus Deserialize(const char* text, int32_t length, IPCB_LayerSet** result) override;
  abi::TStatus GetLastError(abi::TLayerSetError* result) override;

 private:
  template <class F>
  abi::TStatus Build(IPCB_LayerSet** result, F&& fill) noexcept;
  abi::TLayerSetError lastError_{};
};

// The module's set constructors, created on first use.
TLayerSetUtils& LayerSetUtils();

// Raises, on this side of the interface, the error that a failed call left on
// the object (falls back to a generic message when the object kept none).
[[noreturn]] void RaiseLayerSetError(const abi::TLayerSetError& error, const char* operation);
// Fills an error record from the exception being handled.
void CaptureLayerSetError(abi::TLayerSetError& error) noexcept;

// --- C++ convenience ----------------------------------------------------------

class TLayerIteratorRef;

// An owning reference to an IPCB_LayerSet whose operations raise errors.
class TLayerSetRef {
 public:
  TLayerSetRef() = default;
  explicit TLayerSetRef(abi::Ref<IPCB_LayerSet> set) : set_(std::move(set)) {}
  // Takes a new reference to set.
  static TLayerSetRef Share(IPCB_LayerSet* set);

  IPCB_LayerSet* get() const { return set_.get(); }
  explicit operator bool() const { return bool(set_); }
  const TLayerSetRef* operator->() const { return this; }

  bool Contains(TV7_Layer layer) const;
  const TLayerSetRef& Include(TV7_Layer layer) const;
  const TLayerSetRef& IncludeArray(std::initializer_list<TV7_Layer> layers) const;
  const TLayerSetRef& IncludeArray(const TV7_Layer* layers, int32_t count) const;
  const TLayerSetRef& IncludePartitions(uint32_t mask) const;
  const TLayerSetRef& IncludeSet(const TLayerSetRef& other) const;
  const TLayerSetRef& IncludeIterated(const TLayerIteratorRef& it) const;
  const TLayerSetRef& Exclude(TV7_Layer layer) const;
  const TLayerSetRef& ExcludeArray(std::initializer_list<TV7_Layer> layers) const;
  const TLayerSetRef& ExcludePartitions(uint32_t mask) const;
  const TLayerSetRef& ExcludeFixedPartitions() const;
  const TLayerSetRef& ClearSignal() const;
  const TLayerSetRef& ClearMechanical() const;
  const TLayerSetRef& ClearInternal() const;
  const TLayerSetRef& IncludeAllSignal() const;
  const TLayerSetRef& IncludeAllStandardToo() const;
  const TLayerSetRef& IncludeAllMechanical() const;
  const TLayerSetRef& IncludeAllInternal() const;
  const TLayerSetRef& IncludeAllStandard() const;
  const TLayerSetRef& IncludeAll() const;
  const TLayerSetRef& IncludeLegacySet(const TLegacyLayerSet& set) const;
  const TLayerSetRef& IncludeLegacyLayer(TLayer layer) const;
  bool IsFinite() const;
  bool IsAll() const;
  bool IsEmpty() const;
  bool HasInternalPlanes() const;
  TLayerIteratorRef CreateIterator() const;
  TV7_Layer FirstLayer() const;
  TLayerSetRef Complement() const;
  TLayerSetRef Intersection(const TLayerSetRef& other) const;
  TLayerSetRef Union(const TLayerSetRef& other) const;
  TLayerSetRef Clone() const;
  bool EqualsSet(const TLayerSetRef& other) const;
  bool EqualsLayer(TV7_Layer layer) const;
  std::u16string Description() const;
  std::string Serialize() const;

 private:
  void Check(abi::TStatus status, const char* operation) const;
  abi::Ref<IPCB_LayerSet> set_;
};

// An owning reference to an IPCB_LayerIterator whose operations raise errors.
class TLayerIteratorRef {
 public:
  TLayerIteratorRef() = default;
  explicit TLayerIteratorRef(abi::Ref<IPCB_LayerIterator> it) : it_(std::move(it)) {}

  IPCB_LayerIterator* get() const { return it_.get(); }
  explicit operator bool() const { return bool(it_); }
  const TLayerIteratorRef* operator->() const { return this; }

  bool First() const;
  void Reset() const;
  bool Next() const;
  TV7_Layer Layer() const;
  void SetFilter(const TLayerSetRef& filter) const;
  void SetFilterPartitions(uint32_t mask) const;

 private:
  void Check(abi::TStatus status, const char* operation) const;
  abi::Ref<IPCB_LayerIterator> it_;
};

// The module's set constructors, raising errors.
TLayerSetRef NewEmptySet();
TLayerSetRef NewLayerSetFromPartitions(uint32_t mask);
TLayerSetRef NewAllLayersSet();
TLayerSetRef DeserializeLayerSet(std::string_view text);

// Legacy set helpers.
inline void LegacySetInclude(TLegacyLayerSet& set, TLayer layer) {
  if (layer < 88) set.Bits[layer >> 3] |= static_cast<uint8_t>(1u << (layer & 7));
}
inline bool LegacySetContains(const TLegacyLayerSet& set, TLayer layer) {
  return layer < 88 && (set.Bits[layer >> 3] >> (layer & 7)) & 1u;
}

}  // namespace quennet
