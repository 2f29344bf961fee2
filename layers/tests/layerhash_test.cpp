#include "layers/layerhash.h"

#include <gtest/gtest.h>

#include <vector>

#include "layers/layerset.h"
#include "layers/rtl_errors.h"

namespace quennet {
namespace {

std::vector<THashKey> KeysInOrder(TCustomPointerBucketList& list) {
  std::vector<THashKey> keys;
  auto it = list.CreateIterator();
  while (it->Next()) keys.push_back(it->CurrentKey());
  return keys;
}

TEST(BucketList, BucketCountForWantedBuckets) {
  const std::pair<int32_t, int32_t> cases[] = {{1, 1},       {8, 8},        {11, 8},  {12, 16},
                                               {15, 16},     {16, 16},      {23, 32}, {3000, 4096},
                                               {4096, 4096}, {100000, 4096}};
  for (const auto& [wanted, buckets] : cases) EXPECT_EQ(BucketCountFor(wanted), buckets) << wanted;
}

TEST(BucketList, SizingAtConstruction) {
  const std::pair<int32_t, int32_t> cases[] = {{0, 8},     {8, 8},     {1023, 8},      {1535, 16},
                                               {2000, 16}, {4095, 32}, {1 << 20, 4096}};
  for (const auto& [capacity, buckets] : cases)
    EXPECT_EQ(TLayerHash(false, 0, capacity).BucketCount(), buckets) << capacity;
}

TEST(BucketList, GrowsOnlyPastTheLoadLimit) {
  TLayerHash hash(false, 0, 8);
  // Keys that differ above bit 8 spread over the buckets. 8 buckets hold up
  // to 1843 entries (230.375 per bucket); the next one passes 230.4.
  for (THashKey i = 1; i <= 1843; ++i) hash.SetValue(i << 8, static_cast<THashValue>(i));
  EXPECT_EQ(hash.BucketCount(), 8);
  hash.SetValue(1844u << 8, 1844);
  EXPECT_EQ(hash.BucketCount(), 16);
  EXPECT_EQ(hash.Count(), 1844);
  for (THashKey i = 1; i <= 1844; ++i) ASSERT_EQ(hash.GetValue(i << 8), static_cast<THashValue>(i));
  // Removing never shrinks the table.
  for (THashKey i = 1; i <= 1800; ++i) hash.Remove(i << 8);
  EXPECT_EQ(hash.BucketCount(), 16);

  TLayerHash few(false, 0, 8);
  for (THashKey i = 1; i <= 300; ++i) few.SetValue(i << 8, 1);
  EXPECT_EQ(few.BucketCount(), 8);
}

TEST(BucketList, FixedLayersShareBucketZeroInInsertionOrder) {
  TLayerHash hash(false, 0, 8);
  std::vector<THashKey> order;
  for (THashKey k = 82;; k = (k + 37) % 83) {  // a scrambled walk over 0..82
    hash.SetValue(k, 1);
    order.push_back(k);
    if (order.size() == 83) break;
  }
  EXPECT_EQ(hash.Buckets()[0].Count, 83);
  EXPECT_EQ(KeysInOrder(hash), order);
  // Deleting moves the later items forward and keeps their order.
  hash.Remove(order[10]);
  order.erase(order.begin() + 10);
  EXPECT_EQ(KeysInOrder(hash), order);
}

TEST(BucketList, ItemArrayGrowth) {
  TLayerHash hash(false, 0, 8);
  std::vector<size_t> lengths;
  for (THashKey k = 0; k < 200; ++k) {
    hash.SetValue(k & 0xFF, 1);  // all in bucket 0
    const size_t n = hash.Buckets()[0].Items.size();
    if (lengths.empty() || lengths.back() != n) lengths.push_back(n);
  }
  // +4 below 9, +16 up to 64, then a quarter.
  EXPECT_EQ(lengths, (std::vector<size_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228}));
  // The array is freed when its bucket empties.
  hash.Clear();
  EXPECT_EQ(hash.Count(), 0);
  EXPECT_TRUE(hash.Buckets()[0].Items.empty());
}

TEST(BucketList, ValuesDefaultsAndErrors) {
  TLayerHash hash(false, 0, 8);
  hash.SetValue(5, 7);
  EXPECT_EQ(hash.GetValue(5), 7);
  EXPECT_EQ(hash.GetValue(6), 0);  // default mode: the default value
  // Storing the default removes the key; a missing key stays missing.
  hash.SetValue(5, 0);
  EXPECT_FALSE(hash.Contains(5));
  hash.SetValue(9, 0);
  EXPECT_FALSE(hash.Contains(9));
  EXPECT_EQ(hash.Count(), 0);

  EXPECT_TRUE(hash.Add(3, 30));
  EXPECT_FALSE(hash.Add(3, 31));
  THashValue v = 0;
  EXPECT_TRUE(hash.TryGetValue(3, v));
  EXPECT_EQ(v, 30);
  EXPECT_EQ(hash.Remove(3), 30);
  EXPECT_EQ(hash.Remove(3), 0);

  hash.SetDefaultMode(false);
  try {
    hash.GetValue(6);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "GetValue for missing Key");
  }
  hash.SetValue(6, 0);  // without default mode 0 is an ordinary value
  EXPECT_TRUE(hash.Contains(6));

  // With hierarchical lookup the default is kept as a value.
  TLayerHash hier(true, 0, 8);
  hier.SetValue(5, 0);
  EXPECT_TRUE(hier.Contains(5));

  hash.SetLocked(true);
  for (auto op : {+[](TLayerHash& h) { h.Add(1, 1); }, +[](TLayerHash& h) { h.SetValue(1, 1); },
                  +[](TLayerHash& h) { h.Remove(1); }, +[](TLayerHash& h) { h.Clear(); }}) {
    try {
      op(hash);
      ADD_FAILURE();
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), "List is locked during an active ForEach");
    }
  }
}

TEST(BucketList, IteratorAndForEach) {
  TLayerHash hash(false, 0, 8);
  TBucketListIterator empty(&hash);
  EXPECT_FALSE(empty.Next());
  EXPECT_EQ(empty.CurrentKey(), 0u);
  EXPECT_EQ(empty.CurrentValue(), 0);
  EXPECT_THROW(empty.SetCurrentValue(1), EEOFException);

  // Buckets in order, insertion order within each.
  for (THashKey k : {0x300u, 2u, 0x101u, 1u}) hash.SetValue(k, 1);
  EXPECT_EQ(KeysInOrder(hash), (std::vector<THashKey>{2, 1, 0x101, 0x300}));

  int visited = 0;
  const bool finished = hash.ForEach(
      [](void* data, THashKey key, THashValue& value, bool& cont) {
        ++*static_cast<int*>(data);
        value = static_cast<THashValue>(key) * 2;
        cont = key != 0x101;
      },
      &visited);
  EXPECT_FALSE(finished);
  EXPECT_EQ(visited, 3);
  EXPECT_EQ(hash.GetValue(1), 2);
  EXPECT_EQ(hash.GetValue(0x300), 1);  // not reached
}

TEST(LayerHash, HierarchicalLookup) {
  TLayerHash hash(true, -1, 8);
  hash.SetValue(kSignalLayers, 10);
  hash.SetValue(2, 20);
  EXPECT_EQ(hash.LookupLayer(2), 20);
  EXPECT_EQ(hash.LookupLayer(3), 10);           // Mid Layers, then Signal Layers
  EXPECT_EQ(hash.LookupLayer(0x01010021), 10);  // an extended mid layer too
  EXPECT_EQ(hash.LookupLayer(33), -1);          // nothing up to All Layers: default
  hash.SetDefaultMode(false);
  try {
    hash.LookupLayer(57);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "Could not find value for Layer=Mechanical Layer 1");
  }
  hash.SetValue(kAllLayers, 99);
  EXPECT_EQ(hash.LookupLayer(57), 99);

  TLayerHash flat(false, 0, 8);
  flat.SetValue(kSignalLayers, 10);
  EXPECT_EQ(flat.LookupLayer(3), 0);  // no fall-back to the class
}

TEST(LayerHash, CopyToWithFilter) {
  TLayerHash from(false, 0, 8);
  for (TV7_Layer l : {33u, 1u, 57u, 2u}) from.SetValue(l, static_cast<THashValue>(l) + 100);
  TLayerHash all(false, 0, 8), some(false, 0, 8);
  from.CopyTo(all, nullptr);
  EXPECT_EQ(KeysInOrder(all), (std::vector<THashKey>{33, 1, 57, 2}));
  TLayerSetRef signal = NewEmptySet();
  signal.IncludeAllSignal();
  from.CopyTo(some, signal.get());
  EXPECT_EQ(KeysInOrder(some), (std::vector<THashKey>{1, 2}));
  EXPECT_EQ(some.GetValue(2), 102);
}

// Owns heap boxes and counts what it frees and clones.
class TBoxes final : public TCustomBoxedLayerHash {
 public:
  explicit TBoxes(int* live) : TCustomBoxedLayerHash(false, 0, 8), live_(live) {}
  ~TBoxes() override { ReleaseAllValues(); }
  THashValue Box(int v) {
    ++*live_;
    return reinterpret_cast<THashValue>(new int(v));
  }
  static int Unbox(THashValue v) { return *reinterpret_cast<int*>(v); }
  void ValueReleased(THashValue value) override {
    if (!value) return;
    --*live_;
    delete reinterpret_cast<int*>(value);
  }
  THashValue CloneValue(THashValue value) override { return Box(Unbox(value)); }

 private:
  int* live_;
};

TEST(BoxedLayerHash, OwnsItsValues) {
  int live = 0;
  {
    TBoxes boxes(&live);
    boxes.SetValue(1, boxes.Box(1));
    boxes.SetValue(2, boxes.Box(2));
    boxes.SetValue(1, boxes.Box(11));  // replaces and frees the old box
    EXPECT_EQ(live, 2);
    boxes.SetValue(1, boxes.GetValue(1));  // the box it holds stays, unfreed
    EXPECT_EQ(live, 2);
    EXPECT_EQ(TBoxes::Unbox(boxes.GetValue(1)), 11);
    boxes.SetValue(2, 0);  // the default removes the key and frees the box
    EXPECT_EQ(live, 1);
    EXPECT_FALSE(boxes.Contains(2));

    TBoxes copy(&live);
    boxes.SetValue(33, boxes.Box(33));
    boxes.CopyTo(copy, nullptr);  // clones every box
    EXPECT_EQ(live, 4);
    EXPECT_EQ(TBoxes::Unbox(copy.GetValue(1)), 11);
    EXPECT_NE(copy.GetValue(1), boxes.GetValue(1));
    copy.Clear();
    EXPECT_EQ(live, 2);
    EXPECT_EQ(copy.Count(), 0);

    // Into a plain table the values are copied as they are.
    TLayerHash plain(false, 0, 8);
    boxes.CopyTo(plain, nullptr);
    EXPECT_EQ(plain.GetValue(33), boxes.GetValue(33));
    EXPECT_EQ(live, 2);
  }
  EXPECT_EQ(live, 0);  // destruction freed the rest
}

TEST(LayerHash, ValueIteratorWalksTheKeys) {
  TLayerHash hash(false, 0, 8);
  for (TV7_Layer l : {37u, 1u, 0x04000011u}) hash.SetValue(l, 5);
  abi::Ref<TLayerValueIterator> it = hash.CreateValueIterator();
  std::vector<TV7_Layer> seen;
  bool more = false;
  ASSERT_EQ(it->First(&more), abi::S_OK);
  while (more) {
    TV7_Layer l = 0;
    it->Layer(&l);
    seen.push_back(l);
    EXPECT_EQ(it->Value(), 5);
    it->SetCurrentValue(6);
    it->Next(&more);
  }
  EXPECT_EQ(seen, (std::vector<TV7_Layer>{37, 1, 0x04000011}));
  EXPECT_EQ(hash.GetValue(37), 6);
}

}  // namespace
}  // namespace quennet
