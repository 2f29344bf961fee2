#include "layers/layerset.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "layers/rtl_errors.h"

namespace quennet {
namespace {

std::vector<TV7_Layer> Members(const TLayerSetRef& set) {
  std::vector<TV7_Layer> out;
  TLayerIteratorRef it = set.CreateIterator();
  while (it.Next()) out.push_back(it.Layer());
  return out;
}

TLayerSetRef SetOf(std::initializer_list<TV7_Layer> layers) {
  TLayerSetRef s = NewEmptySet();
  s.IncludeArray(layers);
  return s;
}

// "unit:line" of the assertion f raises, or "-".
std::string AssertionAt(const std::function<void()>& f) {
  try {
    f();
  } catch (const EAssertionFailed& e) {
    return e.unit() + ":" + std::to_string(e.line());
  }
  return "-";
}

TEST(LayerSet, IterationOrderIsPartitionThenFirstInclusion) {
  TLayerSetRef s = NewEmptySet();
  s.Include(1).Include(37).Include(2).Include(1);
  EXPECT_EQ(Members(s), (std::vector<TV7_Layer>{1, 2, 37}));

  // Signal, Mechanical, Internal, Standard; the extended layers share
  // bucket 0 with the fixed ones while the table has 8 buckets.
  TLayerSetRef mixed = SetOf({74, 39, 0x04000011, 57, 32, 0, 0x0001001A, 0x01010021, 40, 1});
  EXPECT_EQ(Members(mixed),
            (std::vector<TV7_Layer>{32, 0x01010021, 1, 0x04000011, 57, 39, 40, 74, 0, 0x0001001A}));
}

TEST(LayerSet, LegacyLayersAndSets) {
  TLegacyLayerSet legacy{};
  for (TLayer l : {38, 35, 37, 36, 83, 87}) LegacySetInclude(legacy, l);
  TLayerSetRef s = NewEmptySet();
  s.IncludeLegacySet(legacy);
  EXPECT_TRUE(s.Contains(36));
  EXPECT_FALSE(s.Contains(39));
  EXPECT_EQ(Members(s), (std::vector<TV7_Layer>{35, 36, 37, 38}));  // ascending; 83.. ignored
  s.IncludeLegacyLayer(74).IncludeLegacyLayer(200);                 // 200 is no layer (0)
  EXPECT_EQ(Members(s), (std::vector<TV7_Layer>{35, 36, 37, 38, 74, 0}));
}

TEST(LayerSet, ClassesInContainsIncludeAndExclude) {
  TLayerSetRef s = NewEmptySet();
  s.Include(kSignalLayers).Exclude(1);
  EXPECT_FALSE(s.Contains(1));
  EXPECT_TRUE(s.Contains(2));
  EXPECT_TRUE(s.Contains(0x01010021));
  EXPECT_FALSE(s.Contains(kSignalLayers));
  EXPECT_TRUE(s.Contains(kMidLayers));
  try {
    s.CreateIterator();
    ADD_FAILURE();
  } catch (const EPCB_LayerSetException& e) {
    EXPECT_STREQ(e.what(), "Iterating an infinite layer set");
  }

  struct Case {
    std::initializer_list<TV7_Layer> before;
    TV7_Layer include;
    std::vector<TV7_Layer> in, out;  // after including
    std::vector<TV7_Layer> classesIn, classesOut;
  };
  const Case cases[] = {
      {{}, kMidLayers, {2, 31, 0x01010021}, {1, 32}, {kMidLayers}, {kSignalLayers}},
      {{1}, kMidLayers, {1, 2}, {32}, {kMidLayers}, {kSignalLayers}},
      {{32}, kMidLayers, {32, 2}, {1}, {kMidLayers}, {kSignalLayers}},
      {{1, 32}, kMidLayers, {1, 32, 2}, {}, {kMidLayers, kSignalLayers}, {}},
      {{},
       kElectricalLayers,
       {1, 39, 0x01040011},
       {57, 33},
       {kElectricalLayers, kSignalLayers, kInternalPlaneLayers},
       {kMechanicalLayers}},
      {{},
       kAllLayers,
       {0, 1, 39, 57, 82, 0x0001001A},
       {},
       {kElectricalLayers, kMechanicalLayers, kMidLayers},
       {kAllLayers}},
      {{}, kMechanicalLayers, {57, 0x04000011}, {1}, {kMechanicalLayers}, {kElectricalLayers}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.include);
    TLayerSetRef set = SetOf(c.before);
    set.Include(c.include);
    for (TV7_Layer l : c.in) EXPECT_TRUE(set.Contains(l)) << l;
    for (TV7_Layer l : c.out) EXPECT_FALSE(set.Contains(l)) << l;
    for (TV7_Layer l : c.classesIn) EXPECT_TRUE(set.Contains(l)) << l;
    for (TV7_Layer l : c.classesOut) EXPECT_FALSE(set.Contains(l)) << l;
  }

  TLayerSetRef all = NewAllLayersSet();
  all.Exclude(kAllLayers).Exclude(kMidLayers);  // change nothing
  EXPECT_TRUE(all.IsAll());
  all.Exclude(kElectricalLayers);
  EXPECT_FALSE(all.Contains(1));
  EXPECT_FALSE(all.Contains(39));
  EXPECT_TRUE(all.Contains(57));
}

// Fixture sets for the algebra: finite, include-all, and include-all with
// exceptions, in several partitions.
std::vector<TLayerSetRef> AlgebraSets() {
  std::vector<TLayerSetRef> sets;
  sets.push_back(NewEmptySet());
  sets.push_back(SetOf({1, 32, 74}));
  sets.push_back(SetOf({1, 2, 39, 57, 0x01010021}));
  sets.push_back(NewEmptySet().IncludeAllSignal().Clone());
  sets.push_back(NewEmptySet().IncludeAllSignal().Exclude(1).Exclude(2).Clone());
  sets.push_back(NewAllLayersSet().Exclude(33).Exclude(57).Exclude(32).Clone());
  sets.push_back(SetOf({33, 57, 0, 0x0001001A}).IncludeAllInternal().Exclude(40).Clone());
  return sets;
}

const TV7_Layer kProbeLayers[] = {0,  1,  2,  31, 32,         33,         39,         40,
                                  57, 58, 74, 82, 0x01010021, 0x01040011, 0x04000011, 0x0001001A};

TEST(LayerSet, IntersectionUnionComplementAgreeWithMembership) {
  const std::vector<TLayerSetRef> sets = AlgebraSets();
  for (size_t i = 0; i < sets.size(); ++i) {
    const TLayerSetRef& a = sets[i];
    const TLayerSetRef notA = a.Complement();
    for (size_t j = 0; j < sets.size(); ++j) {
      const TLayerSetRef& b = sets[j];
      const TLayerSetRef both = a.Intersection(b);
      const TLayerSetRef either = a.Union(b);
      for (TV7_Layer l : kProbeLayers) {
        SCOPED_TRACE(testing::Message() << "sets " << i << ", " << j << ", layer " << l);
        EXPECT_EQ(both.Contains(l), a.Contains(l) && b.Contains(l));
        EXPECT_EQ(either.Contains(l), a.Contains(l) || b.Contains(l));
      }
      EXPECT_EQ(a.EqualsSet(b), i == j);
    }
    for (TV7_Layer l : kProbeLayers) EXPECT_NE(notA.Contains(l), a.Contains(l)) << i << " " << l;
    EXPECT_TRUE(notA.Complement().EqualsSet(a));
  }
}

TEST(LayerSet, IntersectionKeepsTheOrderOfItsOperands) {
  TLayerSetRef s = SetOf({32, 74, 1});
  TLayerSetRef signal = NewEmptySet();
  signal.IncludeAllSignal();
  EXPECT_EQ(Members(s.Intersection(signal)), (std::vector<TV7_Layer>{32, 1}));
  EXPECT_EQ(Members(signal.Intersection(s)), (std::vector<TV7_Layer>{32, 1}));
  EXPECT_EQ(Members(SetOf({5, 3, 4}).Intersection(SetOf({4, 5}))), (std::vector<TV7_Layer>{5, 4}));
  // No other set stands for every layer.
  EXPECT_TRUE(s.Intersection(TLayerSetRef()).EqualsSet(s));
  EXPECT_TRUE(s.Union(TLayerSetRef()).IsAll());
}

TEST(LayerSet, UnionKeepsALayerThatOnlyTheFiniteSideHolds) {
  TLayerSetRef allButTop = NewEmptySet();
  allButTop.IncludeAllSignal().Exclude(1);
  TLayerSetRef top = SetOf({1});
  EXPECT_TRUE(allButTop.Union(top).Contains(1));
  EXPECT_TRUE(top.Union(allButTop).Contains(1));
  EXPECT_TRUE(top.Union(allButTop).Contains(kSignalLayers));
  EXPECT_TRUE(NewEmptySet().IncludeSet(allButTop).IncludeSet(top).EqualsLayer(kSignalLayers));
}

TEST(LayerSet, PredicatesAndFirstLayer) {
  struct Case {
    TLayerSetRef set;
    bool empty, all, finite, planes;
    TV7_Layer first;  // 0xFFFFFFFF: FirstLayer raises
  };
  const Case cases[] = {
      {NewEmptySet(), true, false, true, false, 0},
      {SetOf({37, 57, 1}), false, false, true, false, 1},
      {SetOf({37, 40}), false, false, true, true, 40},
      {NewAllLayersSet(), false, true, false, true, 39},
      {NewEmptySet().IncludeAllSignal().Clone(), false, false, false, false, 1},
      {NewEmptySet().IncludeAllMechanical().Clone(), false, false, false, false, 57},
      {NewEmptySet().IncludeAllStandardToo().Clone(), false, false, false, false, 33},
      // Include-all with an exception is not full, yet cannot be iterated.
      {NewEmptySet().IncludeAllStandard().Exclude(33).Clone(), false, false, true, false,
       0xFFFFFFFF},
      {NewEmptySet().IncludeAllSignal().Exclude(5).Clone(), false, false, true, false, 0xFFFFFFFF},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    EXPECT_EQ(c.set.IsEmpty(), c.empty);
    EXPECT_EQ(c.set.IsAll(), c.all);
    EXPECT_EQ(c.set.IsFinite(), c.finite);
    EXPECT_EQ(c.set.HasInternalPlanes(), c.planes);
    if (c.first == 0xFFFFFFFF)
      EXPECT_THROW(c.set.FirstLayer(), EPCB_LayerSetException);
    else
      EXPECT_EQ(c.set.FirstLayer(), c.first);
  }
}

TEST(LayerSet, PartitionMasks) {
  TLayerSetRef s = NewLayerSetFromPartitions((1u << lpTopLayer) | (1u << lpTopOverlay) |
                                             (1u << lpMechanical) | (1u << lpDRCDetailLayer));
  EXPECT_TRUE(s.Contains(1));
  EXPECT_TRUE(s.Contains(33));
  EXPECT_TRUE(s.Contains(0x04000011));
  EXPECT_TRUE(s.Contains(0x0001001A));
  EXPECT_FALSE(s.Contains(2));
  // The fixed partitions are 1..16: top layer .. connect layer, mid layers
  // included (the Mid Layers class excludes nothing).
  TLayerSetRef all = NewAllLayersSet();
  all.ExcludeFixedPartitions();
  EXPECT_FALSE(all.Contains(1));
  EXPECT_FALSE(all.Contains(33));
  EXPECT_FALSE(all.Contains(74));
  EXPECT_FALSE(all.Contains(39));
  EXPECT_FALSE(all.Contains(57));
  EXPECT_TRUE(all.Contains(2));
  EXPECT_TRUE(all.Contains(76));
  EXPECT_EQ(AssertionAt([] { NewLayerSetFromPartitions(1u << 27); }), "RT_PCB:1105");
}

TEST(LayerSet, DescriptionAndSerialisation) {
  TLayerSetRef s = SetOf({1, 0x01010021, 33});
  s.IncludeAllMechanical().Exclude(57);
  EXPECT_EQ(s.Description(),
            u"Signal Layers Exclude All : Exceptions\r\n"
            u" + Top Layer\r\n"
            u" + Mid Layer 32\r\n"
            u"Mechanical Layers Include All : Exceptions\r\n"
            u" - Mechanical Layer 1\r\n"
            u"Internal Plane Layers Exclude All : Exceptions\r\n"
            u"Standard Layers Exclude All : Exceptions\r\n"
            u" + Top Overlay\r\n");
  const std::string text = s.Serialize();
  EXPECT_EQ(
      text,
      "Signal.All~False_"
      "Signal.Include~SerializeLayerHash.Version=2,ClassName=TLayerHash,16777217=1,16777249=1_"
      "Mechanical.All~True_"
      "Mechanical.Exclude~SerializeLayerHash.Version=2,ClassName=TLayerHash,16908289=1_"
      "Internal.All~False_"
      "Standard.All~False_"
      "Standard.Include~SerializeLayerHash.Version=2,ClassName=TLayerHash,16973830=1");
  // A short buffer gets what fits and the full length.
  char small[5] = {};
  int32_t length = 0;
  ASSERT_EQ(s.get()->Serialize(small, 5, &length), abi::S_OK);
  EXPECT_EQ(length, static_cast<int32_t>(text.size()));
  EXPECT_EQ(std::string(small, 5), text.substr(0, 5));

  TLayerSetRef back = DeserializeLayerSet(text);
  EXPECT_TRUE(back.EqualsSet(s));
  EXPECT_EQ(back.Serialize(), text);
  EXPECT_TRUE(DeserializeLayerSet(NewAllLayersSet().Serialize()).IsAll());

  // Layers by display name; unknown names and non-integers are skipped.
  TLayerSetRef named = DeserializeLayerSet(
      "\"Signal.Include~Text=1,Top Layer=1,Bottom Layer=1,Nowhere=1,Mid Layer 2=x\"");
  EXPECT_EQ(Members(named), (std::vector<TV7_Layer>{1, 32}));

  struct Bad {
    const char* text;
    const char* message;
  };
  const Bad bad[] = {
      {"Signal.All~Maybe", "Invalid layer set text at item \"Signal.All~Maybe\": not a boolean"},
      {"Copper.All~True", "Invalid layer set text at item \"Copper.All~True\": unknown partition"},
      {"Signal~True",
       "Invalid layer set text at item \"Signal~True\": expected "
       "<partition>.<field>~<value>"},
      // Mechanical layer 1 among the signal layers; the class "All Layers".
      {"Signal.Include~16908289=1",
       "Invalid layer set text at item \"Signal.Include~16908289=1\": layer ID=57 does not "
       "belong to the Signal partition"},
      {"Standard.Exclude~Text=1,All Layers=1",
       "Invalid layer set text at item \"Standard.Exclude~Text=1,All Layers=1\": layer "
       "ID=-65536 does not belong to the Standard partition"},
  };
  for (const Bad& b : bad) {
    try {
      DeserializeLayerSet(b.text);
      ADD_FAILURE() << b.text;
    } catch (const EPCB_LayerSetException& e) {
      EXPECT_STREQ(e.what(), b.message);
    }
  }
  EXPECT_THROW(DeserializeLayerSet("Signal.Include~5=1"), ELayerException);
}

TEST(LayerIterator, RestartAndFilters) {
  TLayerSetRef s = SetOf({33, 1, 57, 39, 35, 2});
  TLayerIteratorRef it = s.CreateIterator();
  EXPECT_TRUE(it.Next());
  EXPECT_EQ(it.Layer(), 1u);
  EXPECT_TRUE(it.First());  // restarts
  EXPECT_EQ(it.Layer(), 1u);
  it.Reset();
  EXPECT_TRUE(it.Next());
  EXPECT_EQ(it.Layer(), 1u);

  auto walk = [&] {
    std::vector<TV7_Layer> out;
    for (bool more = it.First(); more; more = it.Next()) out.push_back(it.Layer());
    return out;
  };
  it.SetFilter(SetOf({39, 2, 35}));
  EXPECT_EQ(walk(), (std::vector<TV7_Layer>{2, 39, 35}));
  it.SetFilterPartitions((1u << lpTopOverlay) | (1u << lpMechanical));
  EXPECT_EQ(walk(), (std::vector<TV7_Layer>{57, 33}));
  it.SetFilter(TLayerSetRef());
  EXPECT_EQ(walk().size(), 6u);

  // The filter groups grow the filter; the first one starts it.
  ASSERT_EQ(it.get()->AddFilter_OverlayLayers(), abi::S_OK);
  EXPECT_EQ(walk(), (std::vector<TV7_Layer>{33}));
  ASSERT_EQ(it.get()->AddFilter_MaskLayers(), abi::S_OK);
  ASSERT_EQ(it.get()->AddFilter_SignalLayers(), abi::S_OK);
  EXPECT_EQ(walk(), (std::vector<TV7_Layer>{1, 2, 33, 35}));

  // IncludeIterated walks the whole iterator, filter applied.
  TLayerSetRef copy = NewEmptySet();
  copy.IncludeIterated(it);
  EXPECT_EQ(Members(copy), (std::vector<TV7_Layer>{1, 2, 33, 35}));
}

// A layer set of another kind: every operation fails.
class TForeignSet final : public abi::TModuleObject<IPCB_LayerSet> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID&, void** out) override {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
#define FAIL_OP(...)                  \
  abi::TStatus __VA_ARGS__ override { \
    return abi::E_FAIL;               \
  }
  FAIL_OP(Contains(TV7_Layer, bool*))
  FAIL_OP(IncludeIterated(IPCB_LayerIterator*, IPCB_LayerSet**))
  FAIL_OP(Include(TV7_Layer, IPCB_LayerSet**))
  FAIL_OP(IncludePartitions(uint32_t, IPCB_LayerSet**))
  FAIL_OP(IncludeArray(const TV7_Layer*, int32_t, IPCB_LayerSet**))
  FAIL_OP(IncludeSet(IPCB_LayerSet*, IPCB_LayerSet**))
  FAIL_OP(Exclude(TV7_Layer, IPCB_LayerSet**))
  FAIL_OP(ExcludeArray(const TV7_Layer*, int32_t, IPCB_LayerSet**))
  FAIL_OP(ExcludePartitions(uint32_t, IPCB_LayerSet**))
  FAIL_OP(ExcludeFixedPartitions(IPCB_LayerSet**))
  FAIL_OP(IsFinite(bool*))
  FAIL_OP(CreateIterator(IPCB_LayerIterator**))
  FAIL_OP(FirstLayer(TV7_Layer*))
  FAIL_OP(ClearSignal(IPCB_LayerSet**))
  FAIL_OP(ClearMechanical(IPCB_LayerSet**))
  FAIL_OP(ClearInternal(IPCB_LayerSet**))
  FAIL_OP(IncludeAllSignal(IPCB_LayerSet**))
  FAIL_OP(IncludeAllStandardToo(IPCB_LayerSet**))
  FAIL_OP(IncludeAllMechanical(IPCB_LayerSet**))
  FAIL_OP(IncludeAllInternal(IPCB_LayerSet**))
  FAIL_OP(IncludeAllStandard(IPCB_LayerSet**))
  FAIL_OP(IncludeAll(IPCB_LayerSet**))
  FAIL_OP(HasInternalPlanes(bool*))
  FAIL_OP(Complement(IPCB_LayerSet**))
  FAIL_OP(Intersection(IPCB_LayerSet*, IPCB_LayerSet**))
  FAIL_OP(Union(IPCB_LayerSet*, IPCB_LayerSet**))
  FAIL_OP(IsAll(bool*))
  FAIL_OP(IsEmpty(bool*))
  FAIL_OP(Clone(IPCB_LayerSet**))
  FAIL_OP(Description(char16_t*, int32_t, int32_t*))
  FAIL_OP(EqualsSet(IPCB_LayerSet*, bool*))
  FAIL_OP(EqualsLayer(TV7_Layer, bool*))
  FAIL_OP(Serialize(char*, int32_t, int32_t*))
  FAIL_OP(IncludeLegacySet(const TLegacyLayerSet*, IPCB_LayerSet**))
  FAIL_OP(IncludeLegacyLayer(abi::TLegacyLayer, IPCB_LayerSet**))
#undef FAIL_OP
  abi::TStatus GetLastError(abi::TLayerSetError* e) override {
    *e = abi::TLayerSetError{};
    return abi::S_OK;
  }
};

TEST(LayerSet, ErrorsCrossTheInterfaceIntact) {
  TForeignSet foreign;
  TLayerSetRef s = SetOf({1});
  TLayerSetRef other = TLayerSetRef::Share(&foreign);
  EXPECT_EQ(AssertionAt([&] { s.Intersection(other); }), "RT_PCBProcs:2977");
  EXPECT_EQ(AssertionAt([&] { s.Union(other); }), "RT_PCBProcs:3070");
  EXPECT_EQ(AssertionAt([&] { s.Contains(0x02000001); }), "RT_PCBProcs:2235");
  EXPECT_EQ(AssertionAt([&] { s.Include(0x02000000); }), "RT_PCBProcs:2235");
  // A failure that left no error on the object still raises.
  EXPECT_THROW(other.Contains(1), EPCB_LayerSetException);
  EXPECT_THROW(TLayerSetRef().Contains(1), EPCB_LayerSetException);
  try {
    s.Contains(0x02000001);
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Layer has no layer set partition ID=33554433 (RT_PCBProcs, line 2235)");
  }
  EXPECT_TRUE(s.Contains(1));  // the set is still usable
}

TEST(LayerSet, ReferenceCounting) {
  IPCB_LayerSet* raw = nullptr;
  ASSERT_EQ(LayerSetUtils().NewEmptySet(&raw), abi::S_OK);
  EXPECT_EQ(raw->AddRef(), 2u);
  IPCB_LayerSet* chained = nullptr;
  ASSERT_EQ(raw->Include(5, &chained), abi::S_OK);  // hands back the set itself
  EXPECT_EQ(chained, raw);
  void* same = nullptr;
  ASSERT_EQ(raw->QueryInterface(abi::IID_IPCB_LayerSet, &same), abi::S_OK);
  EXPECT_EQ(same, raw);
  EXPECT_EQ(raw->QueryInterface(abi::IID_IPCB_LayerIterator, &same), abi::E_NOINTERFACE);
  IPCB_LayerIterator* it = nullptr;
  ASSERT_EQ(raw->CreateIterator(&it), abi::S_OK);  // the iterator holds the set too
  EXPECT_EQ(raw->Release(), 4u);
  EXPECT_EQ(raw->Release(), 3u);
  EXPECT_EQ(raw->Release(), 2u);
  EXPECT_EQ(raw->Release(), 1u);
  bool more = false;
  ASSERT_EQ(it->Next(&more), abi::S_OK);
  TV7_Layer layer = 0;
  it->Layer(&layer);
  EXPECT_EQ(layer, 5u);
  EXPECT_EQ(it->Release(), 0u);  // frees the iterator and then the set
}

}  // namespace
}  // namespace quennet
