// The editor module as the plug-in sees it: every query through the exported
// functions and interfaces, with the document's values.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "abi/korvex_host.h"
#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"
#include "korvex/src/board.h"
#include "korvex/src/session.h"

namespace {

// A small board with one object of each kind that matters, in mils.
const char* kBoard = R"({
  "units": "mil",
  "board": {"title": "T", "unit": "metric", "origin": [10, 20], "currentLayer": "BottomLayer",
    "stack": ["TopLayer", {"layer": "InternalPlane1", "net": "GND"}, "BottomLayer"],
    "layers": [{"layer": "TopLayer", "name": "Top", "copperThickness": 2}],
    "visibleLayers": ["TopLayer", "TopOverlay", "PadHoleLayer"],
    "layerPairs": [["BottomLayer", "TopLayer"]],
    "parameters": {"Revision": "C"}},
  "rules": [{"kind": "planeConnect", "id": "r", "expansion": 20, "conductorWidth": 10,
             "entries": 2, "airGap": 8}],
  "objects": [
    {"kind": "track", "id": "t", "layer": "TopLayer", "from": [0, 0], "to": [100, 0], "width": 10,
     "selected": true},
    {"kind": "arc", "layer": "BottomLayer", "center": [50, 50], "radius": 20, "startAngle": 0,
     "endAngle": 90, "width": 4},
    {"kind": "fill", "layer": "TopLayer", "corner1": [0, 0], "corner2": [100, 50], "rotation": 90},
    {"kind": "via", "x": 300, "y": 300, "size": 40, "hole": 20, "net": "GND"},
    {"kind": "text", "layer": "TopOverlay", "x": 5, "y": 6, "height": 60, "width": 8,
     "rotation": 45, "mirrored": true, "text": "HELLO"},
    {"kind": "region", "layer": "TopLayer", "outline": [[0, 0], [10, 0], [10, 10], [0, 10]],
     "holes": [[[2, 2], [4, 2], [3, 4]]]},
    {"kind": "component", "id": "U1", "pattern": "DIP8", "x": 1000, "y": 2000, "rotation": 90,
     "layer": "BottomLayer",
     "designator": {"text": "U1", "height": 50},
     "comment": {"text": "NE555", "visible": false},
     "primitives": [
       {"kind": "pad", "name": "1", "x": 1000, "y": 2000, "hole": 30, "rotation": 90,
        "top": {"size": [60, 40], "shape": "rectangle"}, "mid": {"size": 50},
        "bottom": {"size": 55, "shape": "octagonal"}, "net": "GND"},
       {"kind": "pad", "name": "2", "x": 1100, "y": 2000, "layer": "BottomLayer",
        "shape": "roundedRectangle", "size": [40, 20], "cornerRadius": 25},
       {"kind": "track", "layer": "BottomOverlay", "from": [900, 1900], "to": [1200, 1900]},
       {"kind": "text", "layer": "BottomOverlay", "x": 1000, "y": 1950, "text": ".Designator"},
       {"kind": "componentBody", "layer": "Mechanical1", "outline": [[900, 1900], [1200, 2100]]}
     ]},
    {"kind": "polygon", "id": "p", "layer": "BottomLayer", "outline": [[0, 0], [10, 0], [10, 10]],
     "primitives": [
       {"kind": "track", "layer": "BottomLayer", "from": [0, 0], "to": [10, 0]},
       {"kind": "region", "layer": "BottomLayer", "outline": [[0, 0], [1, 0], [1, 1]]}
     ]},
    {"kind": "dimension", "id": "d", "layer": "Mechanical1",
     "primitives": [{"kind": "text", "layer": "Mechanical1", "x": 0, "y": 0, "text": "100mil"}]},
    {"kind": "arc", "layer": "BottomLayer", "center": [0, 0], "radius": 5, "owner": "p"},
    {"kind": "embeddedBoard", "document": "panel.json", "x": 1, "y": 2, "rows": 2, "columns": 3}
  ]
})";

constexpr int32_t kMil = 10000;

class Editor : public testing::Test {
 protected:
  void SetUp() override {
    korvex::Session::Get().Open(korvex::LoadBoardFromText(kBoard, "/boards/demo.json"));
    board_ = PcbApi_GetCurrentBoardHandle();
    ASSERT_NE(board_, 0u);
  }
  void TearDown() override { KorvexCloseBoard(); }

  // Handles of one kind as an iterator yields them.
  std::vector<uint32_t> Iterate(uint32_t owner, uint8_t kind, uint8_t method, uint32_t layer = 0) {
    std::vector<uint32_t> out;
    const uint32_t it = PcbApi_CreateIterator(owner, kind, method, layer);
    for (uint32_t h = PcbApi_GetFirstObject(it); h; h = PcbApi_GetNextObject(it)) out.push_back(h);
    EXPECT_EQ(PcbApi_DestroyIterator(it), 0);
    return out;
  }
  uint32_t Only(uint8_t kind, uint8_t method = 1) {
    auto all = Iterate(board_, kind, method);
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? 0 : all[0];
  }
  uint32_t Component() { return Only(9); }

  template <class T>
  abi::Ref<T> Object(uint32_t handle, const abi::TGUID& iid) {
    abi::Ref<T> out;
    EXPECT_EQ(Server()->GetObjectFromHandle(handle, iid, reinterpret_cast<void**>(out.put())),
              abi::S_OK);
    return out;
  }
  abi::IPCB_ServerInterface* Server() {
    abi::IHostUnknown* server = nullptr;
    EXPECT_EQ(KorvexGetServerModule(&server), abi::S_OK);
    return static_cast<abi::IPCB_ServerInterface*>(server);
  }

  uint32_t board_ = 0;
};

TEST_F(Editor, TracksArcsAndFillsReadBackWithTheirFields) {
  const uint32_t t = Only(4);
  uint16_t flags = 0, aux = 0;
  uint32_t layer = 0, ref = 0, comp = 9;
  uint8_t auxByte = 0;
  int32_t x1, y1, x2, y2, w, o1 = -1, o2 = -1, o3 = -1;
  ASSERT_EQ(PcbApi_QueryTrack(1, t, &flags, &aux, &layer, &ref, &auxByte, &comp, &x1, &y1, &x2, &y2,
                              &w, &o1, &o2, &o3),
            0);
  EXPECT_EQ(layer, 1u);
  EXPECT_EQ(flags & 0x10, 0x10);  // selected
  EXPECT_EQ(comp, 0u);
  EXPECT_EQ(std::vector<int32_t>({x1, y1, x2, y2, w}),
            std::vector<int32_t>({0, 0, 100 * kMil, 0, 10 * kMil}));
  EXPECT_EQ(std::vector<int32_t>({o1, o2, o3}), std::vector<int32_t>({0, 0, 0}));
  EXPECT_EQ(PcbApi_GetObjectIdFromObjectHandle(t), 4);

  const auto arcs = Iterate(board_, 1, 1);
  ASSERT_EQ(arcs.size(), 1u);  // the polygon's arc is not free
  int32_t cx, cy, r, lw, owner = -1;
  double sa, ea;
  ASSERT_EQ(PcbApi_QueryArc(1, arcs[0], nullptr, nullptr, &layer, nullptr, nullptr, nullptr, &cx,
                            &cy, &r, &sa, &ea, &lw, &owner),
            0);
  EXPECT_EQ(layer, 32u);
  EXPECT_EQ(std::vector<int32_t>({cx, cy, r, lw, owner}),
            std::vector<int32_t>({50 * kMil, 50 * kMil, 20 * kMil, 4 * kMil, 0}));
  EXPECT_EQ(sa, 0.0);
  EXPECT_EQ(ea, 90.0);

  double rot = 0;
  ASSERT_EQ(PcbApi_QueryFill(1, Only(6), nullptr, nullptr, &layer, nullptr, nullptr, nullptr, &x1,
                             &y1, &x2, &y2, &owner, &rot),
            0);
  EXPECT_EQ(std::vector<int32_t>({x1, y1, x2, y2}), std::vector<int32_t>({0, 0, 1000000, 500000}));
  EXPECT_EQ(rot, 90.0);

  // A write goes into the board and reads back.
  int32_t nx = 7;
  ASSERT_EQ(PcbApi_QueryTrack(0, t, &flags, &aux, &layer, &ref, &auxByte, &comp, &nx, &y1, &x2, &y2,
                              &w, &o1, &o2, &o3),
            0);
  PcbApi_QueryTrack(1, t, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &x1, nullptr,
                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(x1, 7);
}

TEST_F(Editor, PadsServeEveryLayerOfTheirStack) {
  const auto pads = Iterate(Component(), 2, 0);
  ASSERT_EQ(pads.size(), 2u);
  int32_t tx, ty, mx, my, bx, by, hole, x, y;
  uint8_t ts, ms, bs;
  unsigned char name[256];
  double rot;
  uint32_t layer, comp;
  ASSERT_EQ(PcbApi_QueryPad(1, pads[0], nullptr, nullptr, &layer, nullptr, nullptr, &comp, &x, &y,
                            &tx, &ty, &mx, &my, &bx, &by, &hole, &ts, &ms, &bs, name, nullptr,
                            nullptr, &rot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(layer, 74u);  // through-hole pads lie on MultiLayer
  EXPECT_EQ(comp, Component());
  EXPECT_EQ(abi::FromShortString(name), "1");
  EXPECT_EQ(std::vector<int32_t>({tx, ty, mx, my, bx, by, hole}),
            std::vector<int32_t>({600000, 400000, 500000, 500000, 550000, 550000, 300000}));
  EXPECT_EQ(std::vector<int>({ts, ms, bs}), std::vector<int>({2, 1, 3}));
  EXPECT_EQ(rot, 90.0);
  uint8_t mode = 9;
  PcbApi_QueryPadStackMode(1, pads[0], &mode);
  EXPECT_EQ(mode, 1);  // top-middle-bottom

  // Per layer: the levels, the plane of its net as a relief, the masks.
  struct Expect {
    uint8_t layer;
    int32_t x, y;
    uint8_t shape;
  };
  const Expect perLayer[] = {
      {1, 600000, 400000, 2},  {2, 500000, 500000, 1}, {32, 550000, 550000, 3},
      {39, 500000, 500000, 4}, {40, 0, 0, 0},          {74, 600000, 400000, 2},
      {37, 680000, 480000, 2}, {35, 0, 0, 0},          {33, 0, 0, 0},
  };
  for (const Expect& e : perLayer) {
    int32_t sx = -1, sy = -1;
    uint8_t shape = 99;
    PcbApi_QueryPadOrViaSizeOnLayer(pads[0], e.layer, &sx, &sy);
    PcbApi_QueryPadOrViaShapeOnLayer(pads[0], e.layer, &shape);
    EXPECT_EQ(std::vector<int>({sx, sy, shape}), std::vector<int>({e.x, e.y, e.shape}))
        << "layer " << int(e.layer);
  }

  // A rounded rectangle keeps its corner percentage on its layer.
  uint8_t pct = 0;
  int32_t radius = 0;
  PcbApi_QueryPadCRPercentageOnLayer(pads[1], 32, &pct);
  PcbApi_QueryPadCornerRadiusOnLayer(pads[1], 32, &radius);
  EXPECT_EQ(pct, 25);
  EXPECT_EQ(radius, 200000 * 25 / 200);

  // The same through the pad interface, by TV7_Layer.
  auto pad = Object<abi::IPCB_Pad>(pads[0], abi::IID_IPCB_Pad);
  ASSERT_TRUE(pad);
  int32_t size = 0;
  pad->XSizeOnLayer(39, &size);
  EXPECT_EQ(size, 500000);
  uint8_t shape = 0;
  pad->ShapeOnLayer(39, &shape);
  EXPECT_EQ(shape, 4);

  // Relief values come from the dominant plane-connect rule.
  const uint32_t rule = PcbApi_FindDominantRuleForObject(pads[0], 6);
  ASSERT_NE(rule, 0u);
  uint8_t style = 9;
  int32_t exp, cw, entries, gap;
  ASSERT_EQ(PcbApi_QueryRulePowerPlaneConnectStyleRule(1, rule, &style, &exp, &cw, &entries, &gap),
            0);
  EXPECT_EQ(std::vector<int32_t>({style, exp, cw, entries, gap}),
            std::vector<int32_t>({0, 200000, 100000, 2, 80000}));
  EXPECT_EQ(PcbApi_FindDominantRuleForObject(Only(4), 6), 0u);  // tracks have none
}

TEST_F(Editor, ViasReadBackAndServeTheirInterface) {
  const uint32_t v = Only(3);
  uint8_t layer = 0;
  int32_t x, y, size, hole;
  ASSERT_EQ(PcbApi_QueryVia(1, v, nullptr, nullptr, &layer, nullptr, nullptr, nullptr, &x, &y,
                            &size, &hole, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(std::vector<int32_t>({layer, x, y, size, hole}),
            std::vector<int32_t>({74, 3000000, 3000000, 400000, 200000}));
  auto via = Object<abi::IPCB_Via>(v, abi::IID_IPCB_Via);
  ASSERT_TRUE(via);
  int32_t s1 = 0, s39 = 0, s33 = -1, entries = 0, gap = 0;
  uint8_t shape39 = 0;
  via->SizeOnLayer(1, &s1);
  via->SizeOnLayer(39, &s39);
  via->SizeOnLayer(33, &s33);
  via->ShapeOnLayer(39, &shape39);
  via->ReliefEntries(&entries);
  via->ReliefAirGap(&gap);
  EXPECT_EQ(std::vector<int32_t>({s1, s39, s33, shape39, entries, gap}),
            std::vector<int32_t>({400000, 400000, 0, 4, 2, 80000}));
  // A via is no pad.
  void* wrong = reinterpret_cast<void*>(1);
  EXPECT_EQ(Server()->GetObjectFromHandle(v, abi::IID_IPCB_Pad, &wrong), abi::E_NOINTERFACE);
  EXPECT_EQ(wrong, nullptr);
}

TEST_F(Editor, TextsKeepTheirFontFieldsAndDefaults) {
  const auto texts = Iterate(board_, 5, 1);
  ASSERT_EQ(texts.size(), 1u);  // component and dimension texts are not free
  int32_t x, y, size, attr, width, o2 = -1, o3 = -1;
  double rot;
  uint8_t mirrored = 0;
  unsigned char text[256];
  ASSERT_EQ(PcbApi_QueryText(1, texts[0], nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &x,
                             &y, &size, &attr, &rot, &mirrored, text, &width, &o2, &o3),
            0);
  EXPECT_EQ(abi::FromShortString(text), "HELLO");
  EXPECT_EQ(std::vector<int32_t>({x, y, size, width, mirrored, o2, o3}),
            std::vector<int32_t>({50000, 60000, 600000, 80000, 1, 0, 0}));
  EXPECT_EQ(rot, 45.0);
  uint8_t kind = 9, bold = 9;
  unsigned char font[256];
  int32_t border = 0;
  ASSERT_EQ(
      PcbApi_QueryTrueTypeTextInfo(1, texts[0], &kind, font, &bold, nullptr, nullptr, &border), 0);
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(abi::FromShortString(font), "Arial");
  EXPECT_EQ(border, 200000);

  // A dimension's text names the dimension as its owner.
  const auto all = Iterate(board_, 5, 0);
  const uint32_t dim = Only(13);
  int owned = 0;
  for (uint32_t h : all) {
    PcbApi_QueryText(1, h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr, text, nullptr, &o2, &o3);
    if (abi::FromShortString(text) == "100mil") {
      EXPECT_EQ(uint32_t(o2), dim);
      ++owned;
    }
  }
  EXPECT_EQ(owned, 1);
}

TEST_F(Editor, ComponentsAndTheirTexts) {
  const uint32_t c = Component();
  uint8_t layer = 0, dv = 9, cv = 9;
  uint32_t des = 0, com = 0;
  unsigned char pattern[256];
  int32_t x, y;
  double rot;
  ASSERT_EQ(PcbApi_QueryComponent(1, c, nullptr, nullptr, &layer, nullptr, &des, &com, pattern, &dv,
                                  &cv, &x, &y, nullptr, &rot, nullptr),
            0);
  EXPECT_EQ(abi::FromShortString(pattern), "DIP8");
  EXPECT_EQ(std::vector<int32_t>({layer, dv, cv, x, y}),
            std::vector<int32_t>({32, 1, 0, 10000000, 20000000}));
  EXPECT_EQ(rot, 90.0);

  // Texts of a bottom component default to the bottom overlay at its
  // reference point, mirrored.
  uint32_t tl = 0;
  uint8_t mirrored = 0;
  unsigned char text[256];
  ASSERT_EQ(PcbApi_QueryText(1, des, nullptr, nullptr, &tl, nullptr, nullptr, nullptr, &x, &y,
                             nullptr, nullptr, nullptr, &mirrored, text, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(abi::FromShortString(text), "U1");
  EXPECT_EQ(std::vector<int32_t>({int32_t(tl), x, y, mirrored}),
            std::vector<int32_t>({34, 10000000, 20000000, 1}));
  uint8_t bits = 0;
  PcbApi_GetObjectBitField2(1, des, &bits);
  EXPECT_TRUE(bits & 0x08);  // in a component
  PcbApi_QueryText(1, com, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr, text, nullptr, nullptr, nullptr);
  EXPECT_EQ(abi::FromShortString(text), "NE555");
}

// What the traversal relies on: method 1 gives objects of no group, method 0
// all of them; a component yields its own children; layer 0 is every layer.
TEST_F(Editor, IteratorsFollowMethodOwnerAndLayer) {
  const uint32_t c = Component();
  EXPECT_EQ(Iterate(board_, 4, 1).size(), 1u);  // the free track only
  EXPECT_EQ(Iterate(board_, 4, 0).size(), 3u);  // + component and polygon tracks
  EXPECT_EQ(Iterate(board_, 2, 1).size(), 0u);  // pads all belong to the component
  EXPECT_EQ(Iterate(board_, 2, 0).size(), 2u);
  EXPECT_EQ(Iterate(board_, 11, 1).size(), 1u);
  EXPECT_EQ(Iterate(board_, 11, 0).size(), 2u);
  EXPECT_EQ(Iterate(board_, 9, 1).size(), 1u);
  EXPECT_EQ(Iterate(board_, 12, 0).size(), 1u);
  EXPECT_EQ(Iterate(board_, 21, 1).size(), 1u);

  EXPECT_EQ(Iterate(c, 4, 0).size(), 1u);
  EXPECT_EQ(Iterate(c, 2, 0).size(), 2u);
  EXPECT_EQ(Iterate(c, 5, 0).size(), 1u);  // not its designator or comment
  EXPECT_EQ(Iterate(c, 3, 0).size(), 0u);

  // A layer asks for what lies on it; pads lie on the layers of their copper.
  EXPECT_EQ(Iterate(board_, 4, 0, 32).size(), 1u);
  EXPECT_EQ(Iterate(board_, 2, 0, 32).size(), 2u);
  EXPECT_EQ(Iterate(board_, 2, 0, 1).size(), 1u);
  EXPECT_EQ(Iterate(board_, 4, 0, 2).size(), 0u);

  // Handles are non-zero, distinct and stable across iterations.
  const auto first = Iterate(board_, 4, 0), again = Iterate(board_, 4, 0);
  EXPECT_EQ(first, again);
  EXPECT_EQ(std::set<uint32_t>(first.begin(), first.end()).size(), 3u);

  // Region grouping shows in BitField2 bit 1.
  for (uint32_t h : Iterate(board_, 11, 0)) {
    uint8_t bits = 0;
    PcbApi_GetObjectBitField2(1, h, &bits);
    const bool free = Iterate(board_, 11, 1)[0] == h;
    EXPECT_EQ((bits & 0x02) != 0, !free);
  }

  // No iterator for something that is neither board nor component; one
  // that yields nothing for a kind beyond the table.
  EXPECT_EQ(PcbApi_CreateIterator(Only(4), 4, 0, 0), 0u);
  EXPECT_EQ(Iterate(board_, 30, 0).size(), 0u);
  EXPECT_EQ(PcbApi_GetFirstObject(0), 0u);
  EXPECT_NE(PcbApi_DestroyIterator(12345), 0);
}

TEST_F(Editor, HandlesOfAClosedBoardReachNothing) {
  const uint32_t t = Only(4);
  KorvexCloseBoard();
  EXPECT_EQ(PcbApi_GetCurrentBoardHandle(), 0u);
  EXPECT_EQ(PcbApi_GetObjectIdFromObjectHandle(t), 0);
  int32_t x = 5;
  EXPECT_NE(PcbApi_QueryTrack(1, t, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &x,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(x, 5);
  // Reopened, the old handle does not reach the new board's objects.
  korvex::Session::Get().Open(korvex::LoadBoardFromText(kBoard, "again.json"));
  EXPECT_EQ(PcbApi_GetObjectIdFromObjectHandle(t), 0);
}

TEST_F(Editor, BoardLayersStackAndPairs) {
  unsigned char file[256];
  int32_t ox, oy;
  uint8_t unit = 9;
  uint32_t layer = 0;
  ASSERT_EQ(PcbApi_QueryBoard(1, board_, nullptr, file, nullptr, &ox, &oy, nullptr, nullptr, &unit,
                              &layer, nullptr),
            0);
  EXPECT_EQ(abi::FromShortString(file), "/boards/demo.json");
  EXPECT_EQ(std::vector<int32_t>({ox, oy, unit, int32_t(layer)}),
            std::vector<int32_t>({100000, 200000, 0, 32}));

  // The stack chain: Top -> InternalPlane1 -> Bottom; other layers stand alone.
  struct Link {
    uint8_t layer, previous, next;
    const char* name;
  };
  const Link links[] = {{1, 0, 39, "Top"},
                        {39, 1, 32, "InternalPlane1"},
                        {32, 39, 0, "BottomLayer"},
                        {2, 0, 0, "MidLayer1"},
                        {33, 0, 0, "TopOverlay"}};
  for (const Link& l : links) {
    unsigned char name[256];
    uint8_t prev = 9, next = 9;
    int32_t copper = 0;
    ASSERT_EQ(PcbApi_QueryLayer(1, l.layer, board_, name, &copper, nullptr, nullptr, &prev, &next,
                                nullptr),
              0);
    EXPECT_EQ(abi::FromShortString(name), l.name);
    EXPECT_EQ(std::vector<int>({prev, next}), std::vector<int>({l.previous, l.next}));
    EXPECT_EQ(copper, l.layer == 1 ? 20000 : 14000);
  }
  unsigned char net[256];
  PcbApi_QueryInternalPlane(1, 39, board_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            net);
  EXPECT_EQ(abi::FromShortString(net), "GND");
  PcbApi_QueryInternalPlane(1, 40, board_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            net);
  EXPECT_EQ(abi::FromShortString(net), "(No Net)");
  unsigned char material[256];
  double constant = 0;
  int32_t height = 0;
  PcbApi_QueryLayerDielectric(1, 1, board_, material, nullptr, &constant, &height);
  EXPECT_EQ(abi::FromShortString(material), "FR-4");
  EXPECT_EQ(constant, 4.8);
  EXPECT_EQ(height, 126000);

  int32_t count = 0;
  ASSERT_EQ(PcbApi_QueryBoardLayerPairsCount(board_, &count, 1), 0);
  ASSERT_EQ(count, 1);
  uint32_t second = 0, first = 0;
  PcbApi_QueryBoardLayerPairAt(1, board_, 0, &second, &first, nullptr, nullptr);
  EXPECT_EQ(std::vector<uint32_t>({first, second}), std::vector<uint32_t>({32, 1}));
}

TEST_F(Editor, BoardInterfaceGivesVisibleLayersAndTheLayerOrder) {
  abi::Ref<abi::IPCB_Board> b;
  ASSERT_EQ(Server()->GetBoardFromHandle(board_, b.put()), abi::S_OK);
  abi::Ref<abi::IPCB_LayerSet> visible;
  ASSERT_EQ(b->VisibleLayers(visible.put()), abi::S_OK);
  for (uint32_t l : {1u, 33u, 81u, 32u, 82u}) {
    bool in = false;
    visible->Contains(l, &in);
    EXPECT_EQ(in, l == 1 || l == 33 || l == 81) << l;
  }
  abi::Ref<abi::IPCB_LayerIterator> it;
  ASSERT_EQ(b->LayerIterator(it.put()), abi::S_OK);
  std::vector<uint32_t> layers;
  for (bool more = false; it->Next(&more) == abi::S_OK && more;) {
    uint32_t l = 0;
    it->Layer(&l);
    layers.push_back(l);
  }
  ASSERT_GE(layers.size(), 4u);
  EXPECT_EQ(std::vector<uint32_t>(layers.begin(), layers.begin() + 4),
            std::vector<uint32_t>({1, 39, 32, 33}));
  EXPECT_EQ(layers.back(), 82u);

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(Server()->GetBoardFromHandle(12345, reinterpret_cast<abi::IPCB_Board**>(&none)),
            abi::E_INVALIDARG);
  char why[128];
  Server()->GetLastErrorText(sizeof why, why);
  EXPECT_NE(std::string(why).find("12345"), std::string::npos);
}

TEST_F(Editor, RegionsGiveTheirContoursHolesIncluded) {
  const uint32_t r = Iterate(board_, 11, 1)[0];
  auto region = Object<abi::IPCB_Region>(r, abi::IID_IPCB_Region);
  ASSERT_TRUE(region);
  abi::Ref<abi::IPCB_GeometricPolygon> poly;
  ASSERT_EQ(region->GeometricPolygon(poly.put()), abi::S_OK);
  int32_t n = 0;
  poly->ContourCount(&n);
  ASSERT_EQ(n, 2);
  abi::Ref<abi::IPCB_Contour> hole;
  ASSERT_EQ(poly->Contour(1, hole.put()), abi::S_OK);
  abi::TPcbApiContourPoints pts{};
  hole->GetPoints(&pts);
  ASSERT_EQ(pts.Count, 3);
  EXPECT_EQ(pts.Points[2].X, 30000.0);
  EXPECT_EQ(pts.Points[2].Y, 40000.0);
  uint8_t isHole = 0;
  poly->IsHole(1, &isHole);
  EXPECT_EQ(isHole, 1);
  abi::Ref<abi::IPCB_Contour> none;
  EXPECT_NE(poly->Contour(2, none.put()), abi::S_OK);
}

TEST_F(Editor, BoundingRectanglesCoverTheObject) {
  struct Case {
    uint8_t kind;
    int32_t x1, y1, x2, y2;
  };
  const Case cases[] = {
      {4, -50000, -50000, 1050000, 50000},      // track with half its width at each end
      {1, 480000, 480000, 720000, 720000},      // quarter arc from 0 to 90 degrees
      {6, 250000, -250000, 750000, 750000},     // fill turned 90 degrees about its centre
      {3, 2800000, 2800000, 3200000, 3200000},  // via by its size
      {11, 0, 0, 100000, 100000},               // region by its outer contour
  };
  for (const Case& c : cases) {
    int32_t r[4];
    ASSERT_EQ(PcbApi_QueryObjectBoundingRectangle(Only(c.kind), &r[0], &r[1], &r[2], &r[3]), 0);
    EXPECT_EQ(std::vector<int32_t>(r, r + 4), std::vector<int32_t>({c.x1, c.y1, c.x2, c.y2}))
        << "kind " << int(c.kind);
  }
  // A component covers its children.
  int32_t r[4];
  PcbApi_QueryObjectBoundingRectangle(Component(), &r[0], &r[1], &r[2], &r[3]);
  EXPECT_LE(r[0], 9000000);
  EXPECT_GE(r[2], 12000000);
}

// The converter resolves what a PCB designer types; anything else stays.
TEST_F(Editor, SpecialStrings) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);  // 2023-11-14 22:13:20 UTC
  abi::IPCB_SpecialStringConverter* conv = nullptr;
  ASSERT_EQ(Server()->GetSpecialStringConverter(&conv), abi::S_OK);
  const uint32_t freeText = Iterate(board_, 5, 1)[0];
  const uint32_t childText = Iterate(Component(), 5, 0)[0];
  struct Case {
    uint32_t text;
    const char* in;
    const char* out;  // nullptr: no conversion
  };
  const Case cases[] = {
      {childText, ".Designator", "U1"},
      {childText, ".COMMENT", "NE555"},
      {childText, ".Pattern", "DIP8"},
      {freeText, ".Designator", nullptr},  // a free text has no component
      {freeText, ".Layer_Name", "Top Overlay"},
      {Iterate(board_, 4, 1)[0], ".layer_name", "Top"},  // the board's own name
      {freeText, ".Pcb_File_Name", "/boards/demo.json"},
      {freeText, ".Pcb_File_Name_No_Path", "demo.json"},
      {freeText, ".Print_Date", "2023-11-14"},
      {freeText, ".Print_Time", "22:13:20"},
      {freeText, ".Track_Count", "3"},
      {freeText, ".Hole_Count", "2"},
      {freeText, ".Revision", "C"},
      {freeText, ".Legend", nullptr},
      {freeText, ".Designator ", nullptr},
      {freeText, "Designator", nullptr},
      {freeText, "", nullptr},
  };
  for (const Case& c : cases) {
    abi::Ref<abi::IPCB_Primitive> prim =
        Object<abi::IPCB_Primitive>(c.text, abi::IID_IPCB_Primitive);
    std::u16string in(c.in, c.in + std::strlen(c.in));
    char16_t buffer[64];
    uint32_t length = 999;
    uint8_t ok = 9;
    ASSERT_EQ(conv->Convert(prim.get(), in.data(), uint32_t(in.size()), buffer, 64, &length, &ok),
              abi::S_OK);
    if (!c.out) {
      EXPECT_EQ(ok, 0) << c.in;
      EXPECT_EQ(length, 999u) << c.in;
      continue;
    }
    ASSERT_EQ(ok, 1) << c.in;
    EXPECT_EQ(std::u16string(buffer), std::u16string(c.out, c.out + std::strlen(c.out))) << c.in;
    EXPECT_EQ(length, std::strlen(c.out));
  }
  // A short buffer gets a terminated prefix and the full length.
  auto prim = Object<abi::IPCB_Primitive>(freeText, abi::IID_IPCB_Primitive);
  const std::u16string in = u".Pcb_File_Name";
  char16_t small[5];
  uint32_t length = 0;
  uint8_t ok = 0;
  conv->Convert(prim.get(), in.data(), uint32_t(in.size()), small, 5, &length, &ok);
  EXPECT_EQ(std::u16string(small), u"/boa");
  EXPECT_EQ(length, 17u);
  // The display string of a text is the same resolution.
  unsigned char shown[256];
  ASSERT_EQ(PcbApi_GetDesignatorDisplayString(childText, shown), 0);
  EXPECT_EQ(abi::FromShortString(shown), "U1");
  unsetenv("SOURCE_DATE_EPOCH");
}

TEST(EditorProgress, IsSilentWhenStderrIsNoTerminal) {
  unsigned char caption[256];
  abi::SetShortString(caption, "Saving x.dxf (DXF)");
  testing::internal::CaptureStderr();
  EXPECT_EQ(PcbApi_Percent_Init(caption, 2), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(PcbApi_Percent_Update(), 0);  // past its total
  EXPECT_EQ(PcbApi_Percent_Finish(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace

namespace {

// The plug-in finds the editor's functions by name in the shared module.
TEST(EditorModule, ExportsEveryFunctionOfTheContract) {
  const std::string path = std::string(ORVANTA_BIN_DIR) + "/libkorvex.so";
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  std::vector<std::string> missing;
#define KORVEX_EXPECT_EXPORT(name, status) \
  if (!dlsym(module, "PcbApi_" #name)) missing.push_back("PcbApi_" #name);
  PCBAPI_FUNCTIONS(KORVEX_EXPECT_EXPORT)
#undef KORVEX_EXPECT_EXPORT
  for (const char* name : {"KorvexOpenBoard", "KorvexCloseBoard", "KorvexGetServerModule"})
    if (!dlsym(module, name)) missing.push_back(name);
  EXPECT_EQ(missing, std::vector<std::string>{});
  dlclose(module);
}

// What the plug-in writes back lands in the board: a pad's levels spread to
// the layers they govern unless the pad has a full stack.
TEST_F(Editor, PadWritesReachTheirLayers) {
  const uint32_t pad = Iterate(Component(), 2, 0)[0];
  int32_t top = 900000, mid = 700000, bot = 800000;
  uint8_t shape = 2;
  ASSERT_EQ(PcbApi_QueryPad(0, pad, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, &top, &top, &mid, &mid, &bot, &bot, nullptr, &shape, &shape,
                            &shape, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr),
            0);
  for (auto [layer, size] : {std::pair<uint8_t, int32_t>{1, 900000}, {5, 700000}, {32, 800000}}) {
    int32_t x = 0, y = 0;
    uint8_t s = 0;
    PcbApi_QueryPadOrViaSizeOnLayer(pad, layer, &x, &y);
    PcbApi_QueryPadOrViaShapeOnLayer(pad, layer, &s);
    EXPECT_EQ(std::vector<int32_t>({x, y, s}), std::vector<int32_t>({size, size, 2})) << int(layer);
  }
  ASSERT_EQ(PcbApi_SetPadSizeOnLayer(pad, 39, 10, 20), 0);
  ASSERT_EQ(PcbApi_SetCRPctOnLayer(pad, 39, 40), 0);
  EXPECT_NE(PcbApi_SetCRPctOnLayer(pad, 39, 101), 0);
  int32_t x = 0, y = 0;
  uint8_t pct = 0;
  PcbApi_QueryPadOrViaSizeOnLayer(pad, 39, &x, &y);
  PcbApi_QueryPadCRPercentageOnLayer(pad, 39, &pct);
  EXPECT_EQ(std::vector<int32_t>({x, y, pct}), std::vector<int32_t>({10, 20, 40}));
}

}  // namespace
