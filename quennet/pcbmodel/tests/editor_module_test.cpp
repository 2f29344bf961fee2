// The PCB model against the real editor module: a small board document is
// opened in libkorvex.so and read back through the bound PcbApi_* functions,
// the way an export reads it.
#include <gtest/gtest.h>

#include <string>

#include "layers/layerset.h"
#include "quennet/pcbmodel/board.h"
#include "quennet/pcbmodel/hostapi.h"
#include "quennet/pcbmodel/pad.h"
#include "tests/support/editor.h"

namespace quennet {
namespace {

constexpr const char* kBoard = R"({
  "units": "mil",
  "board": {
    "unit": "imperial",
    "stack": ["TopLayer", "MidLayer1", {"layer": "InternalPlane1", "net": "GND"}, "BottomLayer"],
    "layers": [{"layer": "TopLayer", "name": "Top"}],
    "layerPairs": [["BottomLayer", "TopLayer"]]
  },
  "objects": [
    {"kind": "track", "id": "t1", "layer": "TopLayer", "from": [100, 200], "to": [300, 200], "width": 10},
    {"kind": "track", "layer": "MidLayer40", "from": [0, 0], "to": [10, 0], "width": 5},
    {"kind": "pad", "name": "1", "x": 1000, "y": 1000, "hole": 35, "size": [100, 40], "net": "GND"},
    {"kind": "via", "x": 700, "y": 1000, "size": 40, "hole": 20},
    {"kind": "text", "layer": "TopOverlay", "x": 50, "y": 60, "text": "HELLO"}
  ]
})";

class EditorModule : public ::testing::Test {
 protected:
  static std::vector<uint32_t> Handles(const TPcbBoard& board, uint8_t kind) {
    std::vector<uint32_t> out;
    abi::TLegacyLayerSet layers{};
    LegacySetInclude(layers, 0);
    board.IterateObjects(
        [](void* ctx, uint32_t h) { static_cast<std::vector<uint32_t>*>(ctx)->push_back(h); }, &out,
        KindBit(kind), layers, 0);
    return out;
  }

  test_support::EditorBoard editor_{kBoard};
};

TEST_F(EditorModule, BoardStackAndPairs) {
  const uint32_t handle = PcbApi_GetCurrentBoardHandle();
  ASSERT_NE(handle, 0u);
  TPcbBoard board(handle);
  ASSERT_EQ(board.Transfer(1), 0);
  EXPECT_EQ(board.BoardUnit(), 1);
  std::vector<int> stack;
  for (auto* l = board.FirstStackLayer(); l && stack.size() < 90; l = board.NextStackLayer(l))
    stack.push_back(l->LayerId());
  EXPECT_EQ(stack, (std::vector<int>{1, 2, 39, 32}));
  EXPECT_EQ(board.LayerObject(1)->Name(), "Top");
  EXPECT_EQ(static_cast<TInternalPlane*>(board.LayerObject(39))->NetName(), "GND");
  EXPECT_EQ(board.StackPosition(ElectricalLegacyLayers(), board.LayerObject(32)), 4);
  ASSERT_EQ(board.LayerPairCount(), 1);
  EXPECT_EQ(board.LayerPair(0).Name(), "Top - BottomLayer");
}

TEST_F(EditorModule, ObjectsReadThroughTheirWrappers) {
  TPcbBoard board(PcbApi_GetCurrentBoardHandle());
  board.Transfer(1);

  const auto tracks = Handles(board, pokTrack);
  ASSERT_EQ(tracks.size(), 2u);
  auto track = CreateWrapperForHandle(tracks[0]);
  ASSERT_NE(dynamic_cast<TPcbTrack*>(track.get()), nullptr);
  EXPECT_EQ(track->Layer(), TV7_Layer{eTopLayer});
  EXPECT_EQ(track->X(), 1000000);
  EXPECT_EQ(track->Y2(), 2000000);
  EXPECT_EQ(track->Width(), 100000);
  auto extended = CreateWrapperForHandle(tracks[1]);
  EXPECT_EQ(extended->Layer(), SignalLayer(41));  // mid layer k is signal layer k + 1
  EXPECT_EQ(extended->LegacyLayer(), 31);

  const auto pads = Handles(board, pokPad);
  ASSERT_EQ(pads.size(), 1u);
  auto padObject = CreateWrapperForHandle(pads[0]);
  auto* pad = dynamic_cast<TPcbPad*>(padObject.get());
  ASSERT_NE(pad, nullptr);
  EXPECT_EQ(pad->Name(), "1");
  EXPECT_EQ(pad->Layer(), TV7_Layer{eMultiLayer});
  EXPECT_EQ(pad->HoleSize(), 350000);
  EXPECT_EQ(pad->XSizeOnLayer(eTopLayer), 1000000);
  EXPECT_EQ(pad->YSizeOnLayer(eBottomLayer), 400000);
  EXPECT_EQ(pad->WidthOnLayer(eTopLayer), 400000);
  EXPECT_EQ(pad->XSizeOnLayer(eTopOverlay), 0);
  EXPECT_EQ(pad->ShapeOnLayer(eInternalPlane1), psPlaneRelief);
  EXPECT_EQ(pad->XOnLayer(eTopLayer), 10000000 - 300000);
  EXPECT_EQ(pad->X2OnLayer(eTopLayer), 10000000 + 300000);
  // The document's default rule: relief 20/10 mil, 4 entries, 10 mil gap.
  EXPECT_EQ(pad->ReliefExpansion(), 200000);
  EXPECT_EQ(pad->ReliefConductorWidth(), 100000);
  EXPECT_EQ(pad->ReliefEntries(), 4);
  EXPECT_EQ(pad->ReliefAirGap(), 100000);

  const auto vias = Handles(board, pokVia);
  ASSERT_EQ(vias.size(), 1u);
  auto via = CreateWrapperForHandle(vias[0]);
  EXPECT_EQ(via->Size(), 400000);
  EXPECT_EQ(via->HoleSize(), 200000);
  EXPECT_EQ(via->SizeOnLayer(eTopLayer), 400000);

  const auto texts = Handles(board, pokText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(TextOfHandle(texts[0]), "HELLO");
}

}  // namespace
}  // namespace quennet
