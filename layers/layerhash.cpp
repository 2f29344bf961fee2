#include "layers/layerhash.h"

#include <utility>

#include "layers/layerset.h"
#include "layers/rtl_errors.h"

namespace quennet {
namespace {

// Lines of the bucket list's consistency checks, as reported with unit
// RT_HashTable.
constexpr int kLineBucketRange = 212;
constexpr int kLineResizeCount = 281;
constexpr int kLineResizeBuckets = 283;

[[noreturn]] void RaiseLocked() {
  throw EListError("List is locked during an active ForEach");
}

}  // namespace

int32_t BucketCountFor(int32_t wanted) {
  if (wanted < 1) wanted = 1;
  int32_t b = 1;
  while (b <= wanted / 2) b *= 2;
  if (static_cast<double>(b) / wanted < 0.7) b *= 2;
  return b > kMaxBucketCount ? kMaxBucketCount : b;
}

TCustomPointerBucketList::TCustomPointerBucketList(int32_t capacity) {
  Resize(capacity);
}

TCustomPointerBucketList::~TCustomPointerBucketList() = default;

void TCustomPointerBucketList::CheckUnlocked() const {
  if (locked_) RaiseLocked();
}

void TCustomPointerBucketList::Resize(int32_t capacity) {
  const int32_t target = capacity > count_ ? capacity : count_;
  int32_t wanted = target / 128 + 1;
  if (wanted < kMinBucketCount) wanted = kMinBucketCount;
  if (wanted > kMaxBucketCount) wanted = kMaxBucketCount;
  const int32_t buckets = BucketCountFor(wanted);
  if (bucketCount_ >= buckets) return;

  std::vector<TBucket> old = std::move(buckets_);
  const int32_t oldCount = count_;
  const int32_t oldBucketCount = bucketCount_;
  buckets_.assign(static_cast<size_t>(buckets), TBucket{});
  bucketCount_ = buckets;
  count_ = 0;
  for (TBucket& b : old)
    for (int32_t i = 0; i < b.Count; ++i)
      AddItem(BucketOf(b.Items[i].Key), b.Items[i].Key, b.Items[i].Value);
  if (count_ != oldCount) AssertionFailure("", kHashTableUnit, kLineResizeCount);
  if (bucketCount_ == oldBucketCount) AssertionFailure("", kHashTableUnit, kLineResizeBuckets);
}

void TCustomPointerBucketList::CheckGrowth() {
  if (bucketCount_<kMaxBucketCount&& static_cast<double>(count_) / bucketCount_> kMaxBucketLoad)
    Resize(-1);
}

int32_t TCustomPointerBucketList::BucketOf(THashKey key) const {
  const int32_t b = HashOf(key);
  if (b < 0 || b >= bucketCount_) AssertionFailure("", kHashTableUnit, kLineBucketRange);
  return b;
}

bool TCustomPointerBucketList::FindKey(THashKey key, int32_t& bucket, int32_t& index) const {
  bucket = BucketOf(key);
  const TBucket& b = buckets_[static_cast<size_t>(bucket)];
  const TBucketItem* items = b.Items.data();
  for (int32_t i = 0; i < b.Count; ++i) {
    if (KeysEqual(items[i].Key, key)) {
      index = i;
      return true;
    }
  }
  index = -1;
  return false;
}

bool TCustomPointerBucketList::Contains(THashKey key) const {
  int32_t bucket, index;
  return FindKey(key, bucket, index);
}

void TCustomPointerBucketList::AddItem(int32_t bucket, THashKey key, THashValue value) {
  TBucket& b = buckets_[static_cast<size_t>(bucket)];
  const size_t length = b.Items.size();
  if (static_cast<size_t>(b.Count) == length) {
    const size_t delta = length > 64 ? length / 4 : length < 9 ? 4 : 16;
    b.Items.resize(length + delta);
  }
  b.Items[static_cast<size_t>(b.Count)] = TBucketItem{key, value};
  ++b.Count;
  ++count_;
  CheckGrowth();
}

THashValue TCustomPointerBucketList::DeleteItem(int32_t bucket, int32_t index) {
  TBucket& b = buckets_[static_cast<size_t>(bucket)];
  const TBucketItem item = b.Items[static_cast<size_t>(index)];
  KeyReleased(item.Key);
  if (!clearing_) {
    --b.Count;
    if (b.Count == 0) {
      std::vector<TBucketItem>().swap(b.Items);
    } else {
      for (int32_t i = index; i < b.Count; ++i) b.Items[i] = b.Items[i + 1];
    }
  }
  --count_;
  CheckGrowth();
  return item.Value;
}

THashValue TCustomPointerBucketList::GetValue(THashKey key) {
  int32_t bucket, index;
  if (FindKey(key, bucket, index)) return buckets_[bucket].Items[index].Value;
  if (defaultMode_) return DefaultValue(key);
  throw EListError("GetValue for missing Key");
}

bool TCustomPointerBucketList::TryGetValue(THashKey key, THashValue& value) {
  int32_t bucket, index;
  if (!FindKey(key, bucket, index)) return false;
  value = buckets_[bucket].Items[index].Value;
  return true;
}

void TCustomPointerBucketList::SetValue(THashKey key, THashValue value) {
  CheckUnlocked();
  int32_t bucket, index;
  const bool found = FindKey(key, bucket, index);
  if (defaultMode_ && DropDefaults() && value == DefaultValue(key)) {
    // The default is what a missing key answers, so it is not stored; an
    // owned value it replaces is released like any replaced value.
    if (found) ValueReleased(DeleteItem(bucket, index));
    return;
  }
  if (found) {
    THashValue& slot = buckets_[bucket].Items[index].Value;
    // Storing what the item already holds changes nothing: releasing it would
    // leave an owning table pointing at a freed value.
    if (slot == value) return;
    const THashValue old = slot;
    slot = value;
    ValueReleased(old);
  } else {
    AddItem(BucketOf(key), key, value);
  }
}

bool TCustomPointerBucketList::Add(THashKey key, THashValue value) {
  CheckUnlocked();
  int32_t bucket, index;
  if (FindKey(key, bucket, index)) return false;
  AddItem(bucket, key, value);
  return true;
}

THashValue TCustomPointerBucketList::Remove(THashKey key) {
  CheckUnlocked();
  int32_t bucket, index;
  if (!FindKey(key, bucket, index)) return 0;
  return DeleteItem(bucket, index);
}

void TCustomPointerBucketList::Clear() {
  CheckUnlocked();
  clearing_ = true;
  try {
    for (int32_t bucket = 0; bucket < bucketCount_; ++bucket) {
      TBucket& b = buckets_[static_cast<size_t>(bucket)];
      for (int32_t i = b.Count - 1; i >= 0; --i) DeleteItem(bucket, i);
      b.Count = 0;
      std::vector<TBucketItem>().swap(b.Items);
    }
  } catch (...) {
    clearing_ = false;
    throw;
  }
  clearing_ = false;
}

std::unique_ptr<TBucketListIterator> TCustomPointerBucketList::CreateIterator() {
  return std::make_unique<TBucketListIterator>(this);
}

bool TCustomPointerBucketList::ForEach(TBucketListProc proc, void* data) {
  TBucketListIterator it(this);
  bool cont = true;
  while (cont && it.Next()) {
    THashValue value = it.CurrentValue();
    proc(data, it.CurrentKey(), value, cont);
    if (value != it.CurrentValue()) it.SetCurrentValue(value);
  }
  return cont;
}

// --- TBucketListIterator ---------------------------------------------------------

THashValue TBucketListIterator::CurrentValue() const {
  return current_ ? current_->Value : 0;
}

void TBucketListIterator::SetCurrentValue(THashValue value) {
  if (!current_) throw EEOFException("No current item");
  current_->Value = value;
}

THashKey TBucketListIterator::CurrentKey() const {
  return current_ ? current_->Key : 0;
}

void TBucketListIterator::Restart() {
  restart_ = true;
  current_ = nullptr;
}

bool TBucketListIterator::Next() {
  if (restart_) {
    restart_ = false;
    bucket_ = 0;
    index_ = 0;
    passed_ = 0;
  } else if (current_) {
    ++index_;
  } else {
    return false;  // already past the end
  }
  std::vector<TBucket>& buckets = list_->buckets_;
  const int32_t bucketCount = list_->BucketCount();
  while (bucket_ < bucketCount && index_ >= buckets[static_cast<size_t>(bucket_)].Count) {
    ++bucket_;
    index_ = 0;
  }
  if (bucket_ >= bucketCount) {
    current_ = nullptr;
    return false;
  }
  current_ = &buckets[static_cast<size_t>(bucket_)].Items[static_cast<size_t>(index_)];
  ++passed_;
  return true;
}

// --- TCustomLayerHash --------------------------------------------------------------

TCustomLayerHash::TCustomLayerHash(bool hierarchicalLookup, THashValue defaultValue,
                                   int32_t capacity)
    : TCustomPointerBucketList(capacity), hierarchicalLookup_(hierarchicalLookup) {
  SetDefaultValue(defaultValue);
}

THashValue TCustomLayerHash::LookupLayer(TV7_Layer layer) {
  if (!hierarchicalLookup_) return GetValue(layer);
  for (TV7_Layer l = layer;;) {
    int32_t bucket, index;
    if (FindKey(l, bucket, index)) return Buckets()[bucket].Items[index].Value;
    l = LayerParent(l);
    if (l == 0) break;
  }
  if (DefaultMode()) return DefaultValue(layer);
  throw EListError("Could not find value for Layer=" + LayerDisplayName(layer));
}

namespace {

bool FilterContains(abi::IPCB_LayerSet* filter, TV7_Layer layer) {
  if (!filter) return true;
  bool member = false;
  if (abi::Failed(filter->Contains(layer, &member))) {
    abi::TLayerSetError error{};
    if (abi::Failed(filter->GetLastError(&error))) error.Kind = abi::lseNone;
    RaiseLayerSetError(error, "Contains");
  }
  return member;
}

}  // namespace

void TCustomLayerHash::CopyTo(TCustomLayerHash& target, abi::IPCB_LayerSet* filter) {
  target.Resize(Count());
  TBucketListIterator it(this);
  while (it.Next()) {
    if (!FilterContains(filter, it.CurrentKey())) continue;
    target.SetValue(it.CurrentKey(), it.CurrentValue());
  }
}

abi::Ref<TLayerValueIterator> TCustomLayerHash::CreateValueIterator() {
  auto* it = new TLayerValueIterator(this);
  it->AddRef();
  return abi::Ref<TLayerValueIterator>(it);
}

// --- TCustomBoxedLayerHash ------------------------------------------------------------

TCustomBoxedLayerHash::~TCustomBoxedLayerHash() {
  ReleaseAllValues();
}

void TCustomBoxedLayerHash::ReleaseAllValues() {
  TBucketListIterator it(this);
  while (it.Next()) {
    const THashValue v = it.CurrentValue();
    it.SetCurrentValue(0);
    ValueReleased(v);
  }
}

void TCustomBoxedLayerHash::Clear() {
  CheckUnlocked();
  ReleaseAllValues();
  TCustomLayerHash::Clear();
}

void TCustomBoxedLayerHash::CopyTo(TCustomLayerHash& target, abi::IPCB_LayerSet* filter) {
  auto* boxed = dynamic_cast<TCustomBoxedLayerHash*>(&target);
  if (!boxed) {
    TCustomLayerHash::CopyTo(target, filter);
    return;
  }
  target.Resize(Count());
  TBucketListIterator it(this);
  while (it.Next()) {
    if (!FilterContains(filter, it.CurrentKey())) continue;
    target.SetValue(it.CurrentKey(), CloneValue(it.CurrentValue()));
  }
}

}  // namespace quennet
