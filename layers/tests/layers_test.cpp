#include "layers/layers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "layers/rtl_errors.h"

namespace quennet {
namespace {

// Runs f and returns the ELayerException's text, or "" when nothing was raised.
std::string LayerError(const std::function<void()>& f) {
  try {
    f();
  } catch (const ELayerException& e) {
    return e.what();
  }
  return "";
}

// Runs f and returns the assertion's bare message and unit, or "-" when none.
std::string AssertionOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.unit(), "RT_PCB");
    EXPECT_EQ(std::string(e.what()), EAssertionFailed::Format(e.message(), "RT_PCB", e.line()));
    return e.message();
  }
  return "-";
}

TEST(LayerConstructors, ValuesAndMessages) {
  struct Case {
    TV7_Layer (*make)(int64_t);
    int64_t n;
    TV7_Layer want;
    const char* error;
  };
  const Case cases[] = {
      {SignalLayer, 1, 1, nullptr},
      {SignalLayer, 65535, 32, nullptr},
      {SignalLayer, 2, 2, nullptr},
      {SignalLayer, 31, 31, nullptr},
      {SignalLayer, 32, 0x01010020u, nullptr},
      {SignalLayer, 65534, 0x0101FFFEu, nullptr},
      {SignalLayer, 65536, 0, "Creating SignalLayer(65536)"},
      {SignalLayer, -1, 0, "Creating SignalLayer(-1)"},
      {SignalLayer, 1LL << 40, 0, "Creating SignalLayer(1099511627776)"},
      {InternalPlaneLayer, 1, 39, nullptr},
      {InternalPlaneLayer, 16, 54, nullptr},
      {InternalPlaneLayer, 17, 0x01040011u, nullptr},
      {InternalPlaneLayer, 65535, 0x0104FFFFu, nullptr},
      {InternalPlaneLayer, 0, 0, "Creating InternalPlaneLayer(0)"},
      {InternalPlaneLayer, -3, 0, "Creating InternalPlaneLayer(-3)"},
      {InternalPlaneLayer, 65536, 0, "Creating InternalPlaneLayer(65536)"},
      {MechanicalLayer, 1, 57, nullptr},
      {MechanicalLayer, 16, 72, nullptr},
      {MechanicalLayer, 17, 0x04000011u, nullptr},
      {MechanicalLayer, 0, 0, "Creating MechanicalLayer(0)"},
      {MechanicalLayer, 65536, 0, "Creating MechanicalLayer(65536)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    if (c.error) {
      EXPECT_EQ(LayerError([&] { c.make(c.n); }), c.error);
    } else {
      EXPECT_EQ(c.make(c.n), c.want);
    }
  }
}

TEST(LayerConstructors, TablesOfPartitionsOrdinalsAndClasses) {
  EXPECT_EQ(LayerFromPartition(0), 0u);
  EXPECT_EQ(LayerFromPartition(2), kMidLayers);
  EXPECT_EQ(LayerFromPartition(4), kInternalPlaneLayers);
  EXPECT_EQ(LayerFromPartition(5), kMechanicalLayers);
  EXPECT_EQ(LayerFromPartition(6), 33u);
  EXPECT_EQ(LayerFromPartition(13), 56u);
  EXPECT_EQ(LayerFromPartition(14), 73u);
  EXPECT_EQ(LayerFromPartition(23), 82u);
  EXPECT_EQ(LayerFromPartition(26), 0x0001001Au);
  EXPECT_EQ(AssertionOf([] { LayerFromPartition(27); }), "");

  const std::vector<std::pair<int, TV7_Layer>> ordinals = {{0, 0},
                                                           {1, 0},
                                                           {2, 1},
                                                           {3, 2},
                                                           {32, 31},
                                                           {33, 32},
                                                           {34, 33},
                                                           {39, 38},
                                                           {40, 39},
                                                           {55, 54},
                                                           {56, 55},
                                                           {57, 56},
                                                           {58, 57},
                                                           {73, 72},
                                                           {74, 73},
                                                           {78, 77},
                                                           {79, 0x0001001A},
                                                           {80, 78},
                                                           {84, 82},
                                                           {85, 0x00010018},
                                                           {86, 0x00010019},
                                                           {87, kMidLayers},
                                                           {88, kAllLayers},
                                                           {89, kSignalLayers},
                                                           {90, kInternalPlaneLayers},
                                                           {91, kElectricalLayers},
                                                           {92, kMechanicalLayers}};
  for (const auto& [o, v] : ordinals) {
    EXPECT_EQ(LayerFromOrdinal(static_cast<uint8_t>(o)), v) << o;
    EXPECT_TRUE(LayerEqualsOrdinal(v, static_cast<uint8_t>(o)));
  }
  EXPECT_EQ(AssertionOf([] { LayerFromOrdinal(93); }), "");

  const TV7_Layer byIndex[] = {0,
                               kElectricalLayers,
                               kMechanicalLayers,
                               kInternalPlaneLayers,
                               kSignalLayers,
                               kAllLayers,
                               kMidLayers,
                               0};
  for (int i = 0; i <= 7; ++i) EXPECT_EQ(LayerClassFromIndex(i), byIndex[i]) << i;
  EXPECT_EQ(LayerClassFromIndex(-1), 0u);
}

TEST(LayerConversions, PartitionIndexAndLegacyNumber) {
  struct Case {
    TV7_Layer v;
    int partition;
    int32_t index;
    int legacy;  // -1: V7ToLayer fails
    bool exact;
  };
  const Case cases[] = {
      {0, 0, 0, 0, true},
      {1, 1, 1, 1, true},
      {2, 2, 2, 2, true},
      {31, 2, 31, 31, true},
      {32, 3, 65535, 32, true},
      {33, 6, 6, 33, true},
      {38, 11, 11, 38, true},
      {39, 4, 1, 39, true},
      {54, 4, 16, 54, true},
      {55, 12, 12, 55, true},
      {56, 13, 13, 56, true},
      {57, 5, 1, 57, true},
      {72, 5, 16, 72, true},
      {73, 14, 14, 73, true},
      {74, 15, 15, 74, true},
      {82, 23, 23, 82, true},
      {83, 0, 0, 0, true},
      {255, 0, 0, 0, true},
      {0x01010020, 2, 32, 31, false},
      {0x01010040, 2, 64, 31, false},
      {0x01040011, 4, 17, 54, false},
      {0x04000011, 5, 17, 72, false},
      {0x0400FFFF, 5, 65535, 72, false},
      {0x00010018, 24, 24, -1, false},
      {0x00010019, 25, 25, -1, false},
      {0x0001001A, 26, 26, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(LayerPartitionOf(c.v), c.partition);
    EXPECT_EQ(LayerIndexOf(c.v), c.index);
    if (c.legacy < 0) {
      EXPECT_EQ(AssertionOf([&] { V7ToLayer(c.v); }), "");
    } else {
      EXPECT_EQ(V7ToLayer(c.v), c.legacy);
    }
    if (c.exact) {
      EXPECT_EQ(V7ToLayerExact(c.v), c.legacy);
    } else {
      EXPECT_EQ(AssertionOf([&] { V7ToLayerExact(c.v); }),
                "TV7_Layer.Implicit(" + LayerDisplayName(c.v) + ")");
    }
  }
  EXPECT_EQ(AssertionOf([] { V7ToLayerExact(0x01010040); }), "TV7_Layer.Implicit(Mid Layer 63)");
  EXPECT_EQ(AssertionOf([] { V7ToLayerExact(0x04000011); }),
            "TV7_Layer.Implicit(Mechanical Layer 17)");
  // Classes and values of no defined form have no partition; integers in
  // messages are signed.
  EXPECT_EQ(AssertionOf([] { LayerPartitionOf(kAllLayers); }),
            "Could not find layer partition ID=-65536");
  EXPECT_EQ(AssertionOf([] { LayerPartitionOf(kElectricalLayers); }),
            "Could not find layer partition ID=16777216");
  EXPECT_EQ(AssertionOf([] { LayerPartitionOf(0x02000005); }),
            "Could not find layer partition ID=33554437");

  EXPECT_EQ(LayerToV7(0), 0u);
  EXPECT_EQ(LayerToV7(1), 1u);
  EXPECT_EQ(LayerToV7(82), 82u);
  EXPECT_EQ(LayerToV7(83), 0u);
  EXPECT_EQ(LayerToV7(255), 0u);
}

TEST(LayerTests, KindsOfLayer) {
  struct Case {
    TV7_Layer v;
    bool isClass, signal, plane, mech, mid;
  };
  const Case cases[] = {
      {0, false, false, false, false, false},
      {1, false, true, false, false, false},
      {2, false, true, false, false, true},
      {32, false, true, false, false, false},
      {33, false, false, false, false, false},
      {39, false, false, true, false, false},
      {57, false, false, false, true, false},
      {0x01010021, false, true, false, false, true},
      {0x01040011, false, false, true, false, false},
      {0x04000011, false, false, false, true, false},
      {kSignalLayers, true, false, false, false, false},
      {kAllLayers, true, false, false, false, false},
      // The low byte decides only while the high word is 0.
      {0x00020001, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(IsLayerClass(c.v), c.isClass);
    EXPECT_EQ(IsSignalLayer(c.v), c.signal);
    EXPECT_EQ(IsInternalPlane(c.v), c.plane);
    EXPECT_EQ(IsMechanicalLayer(c.v), c.mech);
    EXPECT_EQ(IsMidLayer(c.v), c.mid);
  }
}

TEST(LayerNames, EveryFixedLayer) {
  std::vector<std::string> shortNames = {"NoLayer", "TopLayer"};
  std::vector<std::string> displayNames = {"No Layer", "Top Layer"};
  for (int k = 1; k <= 30; ++k) {
    shortNames.push_back("MidLayer" + std::to_string(k));
    displayNames.push_back("Mid Layer " + std::to_string(k));
  }
  for (const char* s : {"BottomLayer", "TopOverlay", "BottomOverlay", "TopPaste", "BottomPaste",
                        "TopSolder", "BottomSolder"})
    shortNames.push_back(s);
  for (const char* s : {"Bottom Layer", "Top Overlay", "Bottom Overlay", "Top Paste",
                        "Bottom Paste", "Top Solder Mask", "Bottom Solder Mask"})
    displayNames.push_back(s);
  for (int k = 1; k <= 16; ++k) {
    shortNames.push_back("InternalPlane" + std::to_string(k));
    displayNames.push_back("Internal Plane " + std::to_string(k));
  }
  shortNames.insert(shortNames.end(), {"DrillGuide", "KeepOutLayer"});
  displayNames.insert(displayNames.end(), {"Drill Guide", "Keep Out Layer"});
  for (int k = 1; k <= 16; ++k) {
    shortNames.push_back("Mechanical" + std::to_string(k));
    displayNames.push_back("Mechanical Layer " + std::to_string(k));
  }
  shortNames.insert(
      shortNames.end(),
      {"DrillDrawing", "MultiLayer", "ConnectLayer", "BackGroundLayer", "DRCErrorLayer",
       "HighlightLayer", "GridColor1", "GridColor10", "PadHoleLayer", "ViaHoleLayer"});
  displayNames.insert(
      displayNames.end(),
      {"Drill Drawing", "Multi Layer", "Connect Layer", "BackGround", "DRC Errors",
       "Highlight Layer", "Grid Color 1", "Grid Color 10", "Pad Hole Layer", "Via Hole Layer"});
  ASSERT_EQ(shortNames.size(), 83u);
  ASSERT_EQ(displayNames.size(), 83u);
  for (int t = 0; t <= 82; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(LayerShortName(static_cast<TV7_Layer>(t)), shortNames[t]);
    EXPECT_EQ(LegacyLayerShortName(static_cast<TLayer>(t)), shortNames[t]);
    EXPECT_EQ(LayerDisplayName(static_cast<TV7_Layer>(t)), displayNames[t]);
    EXPECT_LE(shortNames[t].size(), 20u);
  }
  EXPECT_EQ(LegacyLayerShortName(83), nullptr);
}

TEST(LayerNames, ExtendedLayersClassesAndSpecials) {
  struct Case {
    TV7_Layer v;
    const char* shortName;
    const char* displayName;
  };
  const Case cases[] = {
      {0x01010021, "MidLayer32", "Mid Layer 32"},
      {0x04000014, "Mechanical20", "Mechanical Layer 20"},
      {0x01040011, "InternalPlane17", "Internal Plane 17"},
      {0x00010018, "TopPadMaster", "Top Pad Master"},
      {0x0001001A, "DRCDetailLayer", "DRC Details"},
      {83, "NoLayer", "No Layer"},
      {kAllLayers, "", "All Layers"},
      {kElectricalLayers, "", "Electrical Layers"},
      {kSignalLayers, "", "Signal Layers"},
      {kMidLayers, "", "Mid Layers"},
      {kInternalPlaneLayers, "", "Internal Plane Layers"},
      {kMechanicalLayers, "", "Mechanical Layers"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LayerShortName(c.v), c.shortName) << c.v;
    EXPECT_EQ(LayerDisplayName(c.v), c.displayName) << c.v;
  }
  // A class value that is none of the six has no display name, and a value
  // whose partition is out of range has no name at all.
  EXPECT_EQ(AssertionOf([] { LayerDisplayName(0x02000000); }), "");
  EXPECT_EQ(LayerShortName(0x02000000), "");
  EXPECT_EQ(AssertionOf([] { LayerShortName(0x000100FF); }), "");
}

TEST(LayerNames, FromDisplayName) {
  struct Case {
    const char* name;
    TV7_Layer want;
  };
  const Case cases[] = {
      {"mid layer 3", 4},
      {"MID LAYER 30", 31},
      {"Mid Layer 31", 0x01010020},
      {"top overlay", 33},
      {"Top Layer", 1},
      {"bottom layer", 32},
      {"Mid Layer", 0},
      {"Mid Layer ", 0},
      {"Mid Layer x", 0},
      {"Mid Layer 3x", 0},
      {"all layers", kAllLayers},
      {"Mid Layers", kMidLayers},
      {"MECHANICAL LAYER 20", 0x04000014},
      {"Internal Plane 17", 0x01040011},
      {"internal plane 2", 40},
      {"drc details", 0x0001001A},
      {"BackGround", 76},
      {"No Layer", 0},
      {"nonsense", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(LayerFromDisplayName(c.name), c.want) << c.name;
  EXPECT_EQ(LayerError([] { LayerFromDisplayName("Mechanical Layer 0"); }),
            "Creating MechanicalLayer(0)");
  EXPECT_EQ(LayerError([] { LayerFromDisplayName("Mid Layer 65535"); }),
            "Creating SignalLayer(65536)");
}

// Every layer, class and special layer, in both directions.
std::vector<TV7_Layer> AllKindsOfLayer() {
  std::vector<TV7_Layer> v;
  for (TV7_Layer t = 0; t <= 82; ++t) v.push_back(t);
  for (TV7_Layer x :
       {0x01010020u, 0x01010021u, 0x0101FFFEu, 0x01040011u, 0x0104FFFFu, 0x04000011u, 0x0400FFFFu,
        0x00010018u, 0x00010019u, 0x0001001Au, kElectricalLayers, kSignalLayers, kMidLayers,
        kInternalPlaneLayers, kMechanicalLayers, kAllLayers})
    v.push_back(x);
  return v;
}

TEST(LayerPersistentForm, RoundTripsEveryLayerAndClass) {
  for (TV7_Layer v : AllKindsOfLayer()) {
    SCOPED_TRACE(v);
    const int32_t saved = LayerToSaveInteger(v);
    EXPECT_NE(saved & 0x01000000, 0);
    EXPECT_EQ(CreateFromInteger_ForSave(saved), v);
    EXPECT_EQ(LayerFromDisplayName(LayerDisplayName(v)), v);
  }
  EXPECT_EQ(LayerToSaveInteger(32), 0x0100FFFF);
  EXPECT_EQ(LayerToSaveInteger(1), 0x01000001);
  EXPECT_EQ(LayerToSaveInteger(33), 0x01030006);
  EXPECT_EQ(LayerToSaveInteger(39), 0x01010001);
  EXPECT_EQ(LayerToSaveInteger(57), 0x01020001);
  EXPECT_EQ(LayerToSaveInteger(kAllLayers), 0x01800005);
  EXPECT_EQ(CreateFromInteger_ForSave(0x0100FFFF), 32u);
  EXPECT_EQ(CreateFromInteger_ForSave(0x01050000), 0u);  // unknown kind
  EXPECT_EQ(LayerError([] { CreateFromInteger_ForSave(5); }), "CreateFromInteger_ForSave(5)");
  EXPECT_EQ(LayerError([] { CreateFromInteger_ForSave(0x00FFFFFF); }),
            "CreateFromInteger_ForSave(16777215)");
  EXPECT_EQ(LayerError([] { CreateFromInteger_ForSave(INT32_MIN); }),
            "CreateFromInteger_ForSave(-2147483648)");
  EXPECT_EQ(AssertionOf([] { LayerToSaveInteger(0x02000001); }), "ID = 33554433");
  EXPECT_EQ(AssertionOf([] { LayerToSaveInteger(0x02000000); }), "ID = 33554432");
}

TEST(LayerHierarchy, Parents) {
  const std::vector<std::pair<TV7_Layer, TV7_Layer>> cases = {
      {0, kAllLayers},
      {33, kAllLayers},
      {56, kAllLayers},
      {82, kAllLayers},
      {1, kSignalLayers},
      {32, kSignalLayers},
      {2, kMidLayers},
      {31, kMidLayers},
      {39, kInternalPlaneLayers},
      {57, kMechanicalLayers},
      {0x01010021, kMidLayers},
      {0x01040011, kInternalPlaneLayers},
      {0x04000011, kMechanicalLayers},
      {0x00010018, kAllLayers},
      {83, kAllLayers},
      {kMidLayers, kSignalLayers},
      {kSignalLayers, kElectricalLayers},
      {kInternalPlaneLayers, kElectricalLayers},
      {kElectricalLayers, kAllLayers},
      {kMechanicalLayers, kAllLayers},
      {kAllLayers, 0},
      {0x02000001, 0},
  };
  for (const auto& [v, parent] : cases) EXPECT_EQ(LayerParent(v), parent) << v;
}

}  // namespace
}  // namespace quennet
