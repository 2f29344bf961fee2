#include "quennet/pcbmodel/board.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "layers/layerset.h"
#include "quennet/pcbmodel/tests/fake_host.h"

namespace quennet {
namespace {

using test_support::FakeHost;

abi::TLegacyLayerSet LegacySet(std::initializer_list<int> layers) {
  abi::TLegacyLayerSet s{};
  for (int l : layers) LegacySetInclude(s, static_cast<TLayer>(l));
  return s;
}

// Links the given TLayers into the host's stack, in order.
void SetStack(FakeHost& host, std::initializer_list<uint8_t> stack) {
  uint8_t previous = 0;
  for (uint8_t l : stack) {
    host.Layers[l].Previous = previous;
    if (previous) host.Layers[previous].Next = l;
    previous = l;
  }
}

TEST(Board, NewBoardHasTheDefaultLayerTable) {
  TPcbApiTable empty;
  SetPcbApiOverride(&empty);
  TPcbBoard board(5);
  EXPECT_EQ(board.LayerObject(0), nullptr);
  EXPECT_EQ(board.LayerObject(1)->Name(), "TopLayer");
  EXPECT_EQ(board.LayerObject(31)->Name(), "MidLayer30");
  EXPECT_EQ(board.LayerObject(82)->Name(), "ViaHoleLayer");
  for (int l = 1; l <= 82; ++l) {
    auto* plane = dynamic_cast<TInternalPlane*>(board.LayerObject(static_cast<TLayer>(l)));
    EXPECT_EQ(plane != nullptr, l >= 39 && l <= 54) << l;
    if (plane) {
      EXPECT_EQ(plane->NetName(), "(No Net)");
    }
  }
  EXPECT_EQ(board.LayerObject(1)->FCopperThickness, 14000);
  EXPECT_EQ(board.FTopDielectric.Material.Str(), "FR-4");
  EXPECT_EQ(board.FBottomDielectric.Height, 126000);
  EXPECT_EQ(board.FSplitPlaneMode, 1);
  EXPECT_EQ(board.LayerPairCount(), 0);
  // Without a host the board keeps all of that and has no pairs.
  EXPECT_EQ(board.Transfer(1), 0);
  EXPECT_EQ(board.LayerObject(1)->Name(), "TopLayer");
  EXPECT_EQ(board.LayerPairCount(), 0);
  SetPcbApiOverride(nullptr);
}

TEST(Board, TransferAsksTheHostInItsOrder) {
  FakeHost host;
  host.LayerPairs = {{eTopLayer, eBottomLayer}};
  TPcbBoard board(host.BoardHandle);
  ASSERT_EQ(board.Transfer(1), 0);

  std::vector<std::string> expected = {"QueryBoard"};
  for (int i = 1; i <= 82; ++i) expected.push_back("QueryBoardLayerInfo");
  for (int i = 1; i <= 82; ++i) {
    const bool plane = i >= 39 && i <= 54;
    expected.push_back((plane ? "QueryInternalPlane(" : "QueryLayer(") + std::to_string(i) + ")");
    expected.push_back("QueryLayerDielectric");
  }
  expected.insert(expected.end(),
                  {"QueryBoardSplitPlaneMode", "QueryBoardGridsEx", "QueryBoardOutputOptions"});
  for (int i = 1; i <= 109; ++i) {
    expected.push_back("QueryBoardOutputOptionsPlotLayers");
    expected.push_back("QueryBoardOutputOptionsFlipLayers");
  }
  expected.insert(expected.end(), {"QueryBoardGerberOptions", "QueryBoardPrinterOptions"});
  for (int i = 1; i <= 8; ++i) expected.push_back("QueryBoardPrinterOptionsPlotterPen");
  for (int i = 1; i <= 82; ++i) expected.push_back("QueryBoardPrinterOptionsCompositeLayer");
  expected.insert(expected.end(), {"QueryBoardAdvancedPlacerOptions", "QueryBoardECOOptions",
                                   "QueryBoardLayerPairsCount(1)", "QueryBoardLayerPairAt(0)",
                                   "QueryBoardExternalDielectrics"});
  EXPECT_EQ(host.Log, expected);

  // Writing back sends the pair count first, then every pair.
  host.ClearLog();
  board.Transfer(0);
  EXPECT_EQ(host.CountOf("QueryBoardLayerPairsCount(0)"), 1);
  EXPECT_EQ(host.CountOf("QueryBoardLayerPairAt(0)"), 1);
}

TEST(Board, CurrentLayerIsKeptInTheOlderScheme) {
  FakeHost host;
  const std::pair<TV7_Layer, TLayer> cases[] = {
      {eTopLayer, eTopLayer},
      {eViaHoleLayer, eViaHoleLayer},
      {SignalLayer(64), eMidLayer30},        // clamped to the last fixed mid layer
      {MechanicalLayer(20), eMechanical16},  // and to the last fixed mechanical layer
      {kV7_TopPadMaster, eNoLayer},          // no TLayer at all: no layer, not a failure
      {kV7_DRCDetailLayer, eNoLayer},
  };
  for (const auto& [reported, kept] : cases) {
    host.BoardLayer = reported;
    TPcbBoard board(host.BoardHandle);
    EXPECT_EQ(board.Transfer(1), 0) << reported;
    EXPECT_EQ(board.BoardLayer(), kept) << reported;
  }
}

TEST(Board, LayerStackAndStackPosition) {
  FakeHost host;
  host.Layers[1].Name = "Top";
  TPcbBoard board(host.BoardHandle);
  board.Transfer(1);
  // Layer 1 has no predecessor and NextLayer 0: a stack one layer deep.
  EXPECT_EQ(board.FirstStackLayer(), board.LayerObject(1));
  EXPECT_EQ(board.NextStackLayer(board.FirstStackLayer()), nullptr);
  EXPECT_EQ(board.LayerObject(1)->Name(), "Top");

  SetStack(host, {1, 2, 39, 32});
  board.Transfer(1);
  const auto electrical = ElectricalLegacyLayers();
  const auto signal = LegacySet({1, 2, 32});
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(1)), 1);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(39)), 3);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(32)), 4);
  EXPECT_EQ(board.StackPosition(signal, board.LayerObject(32)), 3);  // plane not counted
  EXPECT_EQ(board.StackPosition(signal, board.LayerObject(39)), 0);  // in the stack, not the set
  EXPECT_EQ(board.StackPosition(electrical, nullptr), 0);

  // Links that loop back cannot hang the walk.
  host.Layers[32].Next = 2;
  board.Transfer(1);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(5)), 4);
}

TEST(Board, DrillPairsAreNamedHigherLayerFirst) {
  FakeHost host;
  SetStack(host, {1, 2, 3, 32});
  struct Case {
    uint32_t first, second;
    const char* name;
  };
  const Case cases[] = {
      {eBottomLayer, eTopLayer, "TopLayer - BottomLayer"},
      {eTopLayer, eBottomLayer, "TopLayer - BottomLayer"},
      {3, 2, "MidLayer1 - MidLayer2"},
      {2, 2, "MidLayer1 - MidLayer1"},
      // An electrical layer outside the stack counts the whole stack: it comes last.
      {10, eTopLayer, "TopLayer - MidLayer9"},
      // A pair end with no layer gets the no-layer name instead of failing.
      {0, eTopLayer, "NoLayer - TopLayer"},
  };
  for (const Case& c : cases) host.LayerPairs.push_back({c.first, c.second});
  TPcbBoard board(host.BoardHandle);
  board.Transfer(1);
  ASSERT_EQ(board.LayerPairCount(), int32_t(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(board.LayerPair(int32_t(i)).Name(), cases[i].name) << i;
    EXPECT_EQ(board.LayerPair(int32_t(i)).FirstLayer(), V7ToLayer(cases[i].first)) << i;
  }
  // A second read replaces the list; a failed count yields none.
  board.Transfer(1);
  EXPECT_EQ(board.LayerPairCount(), int32_t(std::size(cases)));
  host.Table.QueryBoardLayerPairsCount = nullptr;
  board.Transfer(1);
  EXPECT_EQ(board.LayerPairCount(), 0);
}

struct Visit {
  std::vector<uint32_t> Handles;
  static void Add(void* self, uint32_t h) { static_cast<Visit*>(self)->Handles.push_back(h); }
};

TEST(Board, IterateObjectsIsKindMajorLayerMinor) {
  FakeHost host;
  const uint32_t b = host.BoardHandle;
  host.Iterations[{b, pokTrack, 0}] = {10, 11};
  host.Iterations[{b, pokTrack, 1}] = {10};  // the same track again on layer 1
  host.Iterations[{b, pokArc, 1}] = {20};
  TPcbBoard board(b);

  Visit v;
  board.IterateObjects(&Visit::Add, &v, KindBit(pokTrack) | KindBit(pokArc) | (1u << 26),
                       LegacySet({0, 1, 83}), 1);
  EXPECT_EQ(v.Handles, (std::vector<uint32_t>{20, 10, 11, 10}));
  std::vector<std::string> creates;
  for (const auto& e : host.Log)
    if (e.rfind("CreateIterator", 0) == 0) creates.push_back(e);
  EXPECT_EQ(creates,
            (std::vector<std::string>{"CreateIterator(1,1,1,0)", "CreateIterator(1,1,1,1)",
                                      "CreateIterator(1,4,1,0)", "CreateIterator(1,4,1,1)"}));
  EXPECT_EQ(host.CountOf("DestroyIterator"), 4);
  // Each iterator is destroyed before the next one is created.
  EXPECT_EQ(host.Log[0], "CreateIterator(1,1,1,0)");
  EXPECT_EQ(host.Log[1], "GetFirstObject");
  EXPECT_EQ(host.Log[2], "DestroyIterator");

  host.ClearLog();
  board.IterateObjects(&Visit::Add, &v, 0, LegacySet({0}), 0);
  board.IterateObjects(&Visit::Add, &v, KindBit(pokTrack), LegacySet({}), 0);
  board.IterateObjects(&Visit::Add, &v, 1u << 26 | 1u << 31, LegacySet({0}), 0);
  EXPECT_TRUE(host.Log.empty());
}

TEST(Board, IteratorIsReleasedWhenTheCallbackRaises) {
  FakeHost host;
  host.Iterations[{host.BoardHandle, pokPad, 0}] = {1, 2};
  TPcbBoard board(host.BoardHandle);
  EXPECT_THROW(board.IterateObjects([](uint32_t) { throw std::runtime_error("stop"); },
                                    KindBit(pokPad), LegacySet({0}), 0),
               std::runtime_error);
  EXPECT_EQ(host.CountOf("DestroyIterator"), 1);
}

TEST(Board, ComponentTypeMapAndSystemOptions) {
  FakeHost host;
  host.TypeMappings = {{"Resistor", 1}, {"Jumper", 4}};
  TPcbSystemOptions options;
  EXPECT_EQ(options.Transfer(1), 0);
  std::string name = "untouched";
  uint8_t kind = 99;
  options.TypeMap().Get(1, name, kind);
  EXPECT_EQ(name, "Jumper");
  EXPECT_EQ(kind, 4);
  options.TypeMap().Get(2, name, kind);
  EXPECT_EQ(name, "Jumper");  // beyond the list: outputs untouched
  EXPECT_EQ(host.CountOf("QuerySystemOptionsLayerDrawingOrder"), 83);
  EXPECT_EQ(host.Log.front(), "QuerySystemOptions");
  EXPECT_EQ(host.Log.back(), "QuerySystemOptionsProtection");

  // A second read replaces the entries; a write clears the host's and adds ours.
  options.Transfer(1);
  EXPECT_EQ(options.TypeMap().Count(), 2);
  host.ClearLog();
  // Modes 0 and 2 write; 1 reads; any other mode exchanges nothing.
  const std::vector<std::string> write = {"SetState_DeleteAllComponentTypeMappings",
                                          "SetState_AddComponentTypeMapping(Resistor,1)",
                                          "SetState_AddComponentTypeMapping(Jumper,4)"};
  const std::pair<uint8_t, std::vector<std::string>> modes[] = {
      {0, write}, {2, write}, {3, {}}, {255, {}}};
  for (const auto& [mode, calls] : modes) {
    host.ClearLog();
    EXPECT_EQ(options.TypeMap().Transfer(mode), 0);
    EXPECT_EQ(host.Log, calls) << "mode " << int(mode);
    EXPECT_EQ(options.TypeMap().Count(), 2) << "mode " << int(mode);
  }
}

}  // namespace
}  // namespace quennet
