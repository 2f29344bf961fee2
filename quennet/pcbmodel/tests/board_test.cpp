#include "quennet/pcbmodel/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "layers/layerset.h"
#include "tests/support/editor.h"

namespace quennet {
namespace {

using test_support::EditorBoard;
using test_support::RecordingEditor;

abi::TLegacyLayerSet LegacySet(std::initializer_list<int> layers) {
  abi::TLegacyLayerSet s{};
  for (int l : layers) LegacySetInclude(s, static_cast<TLayer>(l));
  return s;
}

constexpr const char* kStackedBoard = R"({"board": {
  "stack": ["TopLayer", "MidLayer1", "InternalPlane1", "BottomLayer"],
  "layers": [{"layer": "TopLayer", "name": "Top"}],
  "layerPairs": [["TopLayer", "BottomLayer"]]}})";

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
  EditorBoard editor(kStackedBoard);
  RecordingEditor host(editor);
  const std::string h = std::to_string(editor.Handle());
  TPcbBoard board(editor.Handle());
  ASSERT_EQ(board.Transfer(1), 0);

  std::vector<std::string> expected = {"QueryBoard"};
  std::vector<std::string> layers;
  for (int i = 1; i <= 82; ++i) expected.push_back("QueryBoardLayerInfo");
  for (int i = 1; i <= 82; ++i) {
    const bool plane = i >= 39 && i <= 54;
    expected.push_back(plane ? "QueryInternalPlane" : "QueryLayer");
    expected.push_back("QueryLayerDielectric");
    layers.push_back(expected[expected.size() - 2] + "(1," + std::to_string(i) + "," + h + ")");
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
                                   "QueryBoardLayerPairsCount", "QueryBoardLayerPairAt",
                                   "QueryBoardExternalDielectrics"});
  EXPECT_EQ(host.Names(), expected);
  std::vector<std::string> layerCalls = host.CallsOf("QueryLayer");
  for (const std::string& c : host.CallsOf("QueryInternalPlane")) layerCalls.push_back(c);
  std::sort(layerCalls.begin(), layerCalls.end());
  std::sort(layers.begin(), layers.end());
  EXPECT_EQ(layerCalls, layers);
  EXPECT_EQ(host.CallsOf("QueryBoardLayerPairsCount"),
            std::vector<std::string>{"QueryBoardLayerPairsCount(" + h + ",1)"});
  EXPECT_EQ(host.CallsOf("QueryBoardLayerPairAt"),
            std::vector<std::string>{"QueryBoardLayerPairAt(1," + h + ",0)"});

  // Writing back sends the pair count first, then every pair.
  host.Clear();
  board.Transfer(0);
  EXPECT_EQ(host.CallsOf("QueryBoardLayerPairsCount"),
            std::vector<std::string>{"QueryBoardLayerPairsCount(" + h + ",0)"});
  EXPECT_EQ(host.CallsOf("QueryBoardLayerPairAt"),
            std::vector<std::string>{"QueryBoardLayerPairAt(0," + h + ",0)"});
}

TEST(Board, CurrentLayerIsKeptInTheOlderScheme) {
  EditorBoard editor("{}");
  const std::pair<TV7_Layer, TLayer> cases[] = {
      {eTopLayer, eTopLayer},
      {eViaHoleLayer, eViaHoleLayer},
      {SignalLayer(64), eMidLayer30},        // clamped to the last fixed mid layer
      {MechanicalLayer(20), eMechanical16},  // and to the last fixed mechanical layer
      {kV7_TopPadMaster, eNoLayer},          // no TLayer at all: no layer, not a failure
      {kV7_DRCDetailLayer, eNoLayer},
  };
  for (auto [reported, kept] : cases) {
    // The editor takes any current layer it is given and reports it back.
    ASSERT_EQ(editor.Table().QueryBoard(0, editor.Handle(), nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, &reported, nullptr),
              0);
    TPcbBoard board(editor.Handle());
    EXPECT_EQ(board.Transfer(1), 0) << reported;
    EXPECT_EQ(board.BoardLayer(), kept) << reported;
  }
}

TEST(Board, LayerStackAndStackPosition) {
  EditorBoard editor(kStackedBoard);
  TPcbBoard board(editor.Handle());
  board.Transfer(1);
  EXPECT_EQ(board.LayerObject(1)->Name(), "Top");
  std::vector<int> stack;
  for (auto* l = board.FirstStackLayer(); l; l = board.NextStackLayer(l))
    stack.push_back(l->LayerId());
  EXPECT_EQ(stack, (std::vector<int>{1, 2, 39, 32}));  // and a next layer of 0 ends it

  const auto electrical = ElectricalLegacyLayers();
  const auto signal = LegacySet({1, 2, 32});
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(1)), 1);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(39)), 3);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(32)), 4);
  EXPECT_EQ(board.StackPosition(signal, board.LayerObject(32)), 3);  // plane not counted
  EXPECT_EQ(board.StackPosition(signal, board.LayerObject(39)), 0);  // in the stack, not the set
  EXPECT_EQ(board.StackPosition(electrical, nullptr), 0);

  // Links that loop back cannot hang the walk: a host whose bottom layer
  // names a next layer again.
  RecordingEditor host(editor);
  host.Answer.QueryLayer = [](auto... a) -> int32_t {
    const int32_t status = RecordingEditor::Editor().QueryLayer(a...);
    const auto args = std::tuple(a...);
    if (std::get<1>(args) == eBottomLayer) *std::get<8>(args) = 2;
    return status;
  };
  board.Transfer(1);
  EXPECT_EQ(board.StackPosition(electrical, board.LayerObject(5)), 4);
}

TEST(Board, DrillPairsAreNamedHigherLayerFirst) {
  EditorBoard editor(R"({"board": {
    "stack": ["TopLayer", "MidLayer1", "MidLayer2", "BottomLayer"],
    "layerPairs": [["BottomLayer", "TopLayer"], ["TopLayer", "BottomLayer"],
                   ["MidLayer2", "MidLayer1"], ["MidLayer1", "MidLayer1"],
                   ["MidLayer9", "TopLayer"], ["TopLayer", "TopLayer"]]}})");
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
  // A document cannot name no layer; the editor takes it as a write.
  uint32_t none = 0, top = eTopLayer;
  ASSERT_EQ(
      editor.Table().QueryBoardLayerPairAt(0, editor.Handle(), 5, &top, &none, nullptr, nullptr),
      0);
  TPcbBoard board(editor.Handle());
  board.Transfer(1);
  ASSERT_EQ(board.LayerPairCount(), int32_t(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(board.LayerPair(int32_t(i)).Name(), cases[i].name) << i;
    EXPECT_EQ(board.LayerPair(int32_t(i)).FirstLayer(), V7ToLayer(cases[i].first)) << i;
  }
  // A second read replaces the list; a failed count yields none.
  board.Transfer(1);
  EXPECT_EQ(board.LayerPairCount(), int32_t(std::size(cases)));
  RecordingEditor host(editor);
  host.Fail("QueryBoardLayerPairsCount", 1);
  board.Transfer(1);
  EXPECT_EQ(board.LayerPairCount(), 0);
}

struct Visit {
  std::vector<uint32_t> Handles;
  static void Add(void* self, uint32_t h) { static_cast<Visit*>(self)->Handles.push_back(h); }
};

TEST(Board, IterateObjectsIsKindMajorLayerMinor) {
  EditorBoard editor(R"({"objects": [
    {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]},
    {"kind": "track", "layer": "MidLayer1", "from": [0, 0], "to": [10, 0]},
    {"kind": "arc", "layer": "TopLayer", "center": [0, 0], "radius": 10}]})");
  RecordingEditor host(editor);
  const uint32_t t1 = editor.Object(pokTrack, 0), t2 = editor.Object(pokTrack, 1);
  const uint32_t arc = editor.Object(pokArc);
  const std::string b = std::to_string(editor.Handle());
  TPcbBoard board(editor.Handle());

  host.Clear();
  Visit v;
  board.IterateObjects(&Visit::Add, &v, KindBit(pokTrack) | KindBit(pokArc) | (1u << 26),
                       LegacySet({0, 1, 83}), 1);
  // Arcs (kind 1) before tracks (kind 4); per kind every layer, then layer 1.
  EXPECT_EQ(v.Handles, (std::vector<uint32_t>{arc, arc, t1, t2, t1}));
  EXPECT_EQ(host.CallsOf("CreateIterator"),
            (std::vector<std::string>{
                "CreateIterator(" + b + ",1,1,0)", "CreateIterator(" + b + ",1,1,1)",
                "CreateIterator(" + b + ",4,1,0)", "CreateIterator(" + b + ",4,1,1)"}));
  // Each iterator is destroyed before the next one is created.
  std::vector<std::string> lifetimes;
  for (const std::string& name : host.Names())
    if (name == "CreateIterator" || name == "DestroyIterator") lifetimes.push_back(name);
  EXPECT_EQ(lifetimes,
            (std::vector<std::string>{"CreateIterator", "DestroyIterator", "CreateIterator",
                                      "DestroyIterator", "CreateIterator", "DestroyIterator",
                                      "CreateIterator", "DestroyIterator"}));

  host.Clear();
  board.IterateObjects(&Visit::Add, &v, 0, LegacySet({0}), 0);
  board.IterateObjects(&Visit::Add, &v, KindBit(pokTrack), LegacySet({}), 0);
  board.IterateObjects(&Visit::Add, &v, 1u << 26 | 1u << 31, LegacySet({0}), 0);
  EXPECT_TRUE(host.Log.empty());
}

TEST(Board, IteratorIsReleasedWhenTheCallbackRaises) {
  EditorBoard editor(R"({"objects": [{"kind": "pad", "size": 10}, {"kind": "pad", "size": 10}]})");
  RecordingEditor host(editor);
  TPcbBoard board(editor.Handle());
  EXPECT_THROW(board.IterateObjects([](uint32_t) { throw std::runtime_error("stop"); },
                                    KindBit(pokPad), LegacySet({0}), 0),
               std::runtime_error);
  EXPECT_EQ(host.Count("DestroyIterator"), 1);
}

TEST(Board, ComponentTypeMapAndSystemOptions) {
  EditorBoard editor("{}");
  // The mappings are the editor's, kept across boards: start from these two.
  editor.Table().SetState_DeleteAllComponentTypeMappings();
  for (const auto& [text, kind] : {std::pair{"Resistor", 1}, std::pair{"Jumper", 4}}) {
    abi::ShortString name;
    abi::SetShortString(name, text);
    editor.Table().SetState_AddComponentTypeMapping(name, uint8_t(kind));
  }
  RecordingEditor host(editor);
  TPcbSystemOptions options;
  EXPECT_EQ(options.Transfer(1), 0);
  std::string name = "untouched";
  uint8_t kind = 99;
  options.TypeMap().Get(1, name, kind);
  EXPECT_EQ(name, "Jumper");
  EXPECT_EQ(kind, 4);
  options.TypeMap().Get(2, name, kind);
  EXPECT_EQ(name, "Jumper");  // beyond the list: outputs untouched
  EXPECT_EQ(host.Count("QuerySystemOptionsLayerDrawingOrder"), 83);
  EXPECT_EQ(host.Names().front(), "QuerySystemOptions");
  EXPECT_EQ(host.Names().back(), "QuerySystemOptionsProtection");

  // A second read replaces the entries; a write clears the host's and adds ours.
  options.Transfer(1);
  EXPECT_EQ(options.TypeMap().Count(), 2);
  // Modes 0 and 2 write; 1 reads; any other mode exchanges nothing.
  const std::vector<std::string> write = {"SetState_DeleteAllComponentTypeMappings()",
                                          "SetState_AddComponentTypeMapping(Resistor,1)",
                                          "SetState_AddComponentTypeMapping(Jumper,4)"};
  const std::pair<uint8_t, std::vector<std::string>> modes[] = {
      {0, write}, {2, write}, {3, {}}, {255, {}}};
  for (const auto& [mode, calls] : modes) {
    host.Clear();
    EXPECT_EQ(options.TypeMap().Transfer(mode), 0);
    EXPECT_EQ(host.Log, calls) << "mode " << int(mode);
    EXPECT_EQ(options.TypeMap().Count(), 2) << "mode " << int(mode);
  }
}

}  // namespace
}  // namespace quennet
