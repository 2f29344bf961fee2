// Hash tables keyed by 32-bit values, and their specialisation to tables keyed
// by TV7_Layer.
//
// The table favours few, small tables: the hash uses the bits above the low
// byte, so all 83 fixed layers share one bucket and keep their insertion order,
// which is also the order in which layer sets are iterated. Buckets hold about
// 128 entries on average before the table grows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "abi/hostbase.h"
#include "layers/layers.h"

namespace abi {
struct IPCB_LayerSet;
}

namespace quennet {

using THashKey = uint32_t;
// An integer or an object reference; wide enough for a pointer.
using THashValue = intptr_t;

inline constexpr const char* kHashTableUnit = "RT_HashTable";
inline constexpr int32_t kMinBucketCount = 8;
inline constexpr int32_t kMaxBucketCount = 4096;
// The table re-sizes once count / buckets exceeds this load.
inline constexpr double kMaxBucketLoad = 230.4;

struct TBucketItem {
  THashKey Key;
  THashValue Value;
};

struct TBucket {
  int32_t Count = 0;
  std::vector<TBucketItem> Items;  // size() is the array's length, >= Count
};

class TBucketListIterator;
class TCustomPointerBucketList;

// The largest power of two not above n, doubled when it covers less than 70 %
// of n, and at most 4096.
int32_t BucketCountFor(int32_t wanted);

class THashTableBase {
 public:
  virtual ~THashTableBase() = default;
};

// Procedure called by ForEach for every item; clearing cont stops the walk.
using TBucketListProc = void (*)(void* data, THashKey key, THashValue& value, bool& cont);

class TCustomPointerBucketList : public THashTableBase {
 public:
  explicit TCustomPointerBucketList(int32_t capacity = 0);
  ~TCustomPointerBucketList() override;
  TCustomPointerBucketList(const TCustomPointerBucketList&) = delete;
  TCustomPointerBucketList& operator=(const TCustomPointerBucketList&) = delete;

  // Virtual operations, in slot order.
  virtual bool KeysEqual(THashKey a, THashKey b) const { return a == b; }
  virtual void KeyReleased(THashKey key) {}
  virtual THashValue GetValue(THashKey key);
  virtual void SetValue(THashKey key, THashValue value);
  virtual void Clear();
  virtual bool Add(THashKey key, THashValue value);
  virtual THashValue Remove(THashKey key);
  virtual bool TryGetValue(THashKey key, THashValue& value);
  virtual std::unique_ptr<TBucketListIterator> CreateIterator();
  virtual THashValue DefaultValue(THashKey key) const { return defaultValue_; }
  virtual int32_t HashOf(THashKey key) const {
    return static_cast<int32_t>((key >> 8) & static_cast<uint32_t>(bucketCount_ - 1));
  }
  virtual void ValueReleased(THashValue value) {}
  virtual int32_t BucketOf(THashKey key) const;
  virtual bool FindKey(THashKey key, int32_t& bucket, int32_t& index) const;
  virtual void AddItem(int32_t bucket, THashKey key, THashValue value);
  virtual THashValue DeleteItem(int32_t bucket, int32_t index);
  virtual bool DropDefaults() const { return true; }

  bool Contains(THashKey key) const;
  // Walks every item; returns false when proc stopped the walk.
  bool ForEach(TBucketListProc proc, void* data);
  // Grows the table for max(capacity, Count) entries (-1: for Count); never
  // shrinks it.
  void Resize(int32_t capacity);

  int32_t Count() const { return count_; }
  int32_t BucketCount() const { return bucketCount_; }
  const std::vector<TBucket>& Buckets() const { return buckets_; }
  void SetLocked(bool locked) { locked_ = locked; }
  void SetDefaultValue(THashValue v) { defaultValue_ = v; }
  bool DefaultMode() const { return defaultMode_; }
  void SetDefaultMode(bool on) { defaultMode_ = on; }

 protected:
  friend class TBucketListIterator;
  void CheckUnlocked() const;
  void CheckGrowth();

 private:
  int32_t count_ = 0;
  std::vector<TBucket> buckets_;
  int32_t bucketCount_ = 0;
  bool locked_ = false;
  bool clearing_ = false;
  THashValue defaultValue_ = 0;
  bool defaultMode_ = true;
};

// Walks a bucket list bucket by bucket, and within a bucket in insertion order.
class TBucketListIterator {
 public:
  explicit TBucketListIterator(TCustomPointerBucketList* list) : list_(list) {}
  virtual ~TBucketListIterator() = default;

  // Virtual operations, in slot order.
  virtual THashValue CurrentValue() const;
  virtual void SetCurrentValue(THashValue value);  // EEOFException without a current item
  virtual THashKey CurrentKey() const;
  virtual bool Next();

  void Restart();
  TCustomPointerBucketList* List() const { return list_; }

 private:
  TCustomPointerBucketList* list_;
  int32_t bucket_ = -1;
  int32_t index_ = -1;
  TBucketItem* current_ = nullptr;
  int32_t passed_ = 0;
  bool restart_ = true;
};

class TLayerValueIterator;

// A table keyed by TV7_Layer. With hierarchical lookup, a layer that has no
// entry takes the value of its nearest enclosing layer class.
class TCustomLayerHash : public TCustomPointerBucketList {
 public:
  TCustomLayerHash(bool hierarchicalLookup, THashValue defaultValue, int32_t capacity);

  bool DropDefaults() const override { return !hierarchicalLookup_; }
  // Virtual operations added after those of the bucket list, in slot order.
  // filter may be null (every entry).
  virtual void CopyTo(TCustomLayerHash& target, abi::IPCB_LayerSet* filter);

  THashValue LookupLayer(TV7_Layer layer);
  abi::Ref<TLayerValueIterator> CreateValueIterator();
  void SetLayer(TV7_Layer layer, THashValue value) { SetValue(layer, value); }

  bool HierarchicalLookup() const { return hierarchicalLookup_; }

 private:
  bool hierarchicalLookup_;
};

class TLayerHash final : public TCustomLayerHash {
 public:
  using TCustomLayerHash::TCustomLayerHash;
};

// A layer table that owns its values: a replaced value, and every value when
// the table is cleared or destroyed, goes to ValueReleased; copying into
// another boxed table clones each value. Remove hands the value to the caller.
class TCustomBoxedLayerHash : public TCustomLayerHash {
 public:
  using TCustomLayerHash::TCustomLayerHash;
  ~TCustomBoxedLayerHash() override;

  void Clear() override;
  void CopyTo(TCustomLayerHash& target, abi::IPCB_LayerSet* filter) override;
  virtual THashValue CloneValue(THashValue value) = 0;

 protected:
  // Passes every value to ValueReleased and sets it to 0. A class that
  // replaces ValueReleased must call this from its own destructor: by the time
  // this class's destructor runs, only the inherited ValueReleased is left.
  void ReleaseAllValues();
};

}  // namespace quennet
