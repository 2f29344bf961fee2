#include "quennet/driver/export_run.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "quennet/driver/state.h"
#include "quennet/driver/traversal.h"
#include "quennet/pcbmodel/board.h"
#include "tests/support/editor.h"

namespace quennet {
namespace {

using test_support::EditorBoard;
using test_support::RecordingEditor;

std::vector<std::string> Arguments(const std::string& call) {
  std::vector<std::string> out;
  std::istringstream in(call.substr(call.find('(') + 1, call.size() - call.find('(') - 2));
  for (std::string a; std::getline(in, a, ',');) out.push_back(a);
  return out;
}

class TraversalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ExportLayerSet() = NewEmptySet();  // converters skip everything
  }
  void TearDown() override {
    host_.reset();
    editor_.reset();
    CurrentBoardHandle() = 0;
  }
  void Open(const char* document) {
    host_.reset();
    editor_.reset();
    editor_.emplace(document);
    host_.emplace(*editor_);
    CurrentBoardHandle() = editor_->Handle();
  }
  // "kind/method" of every iterator made, in order.
  std::vector<std::string> Iterators() const {
    std::vector<std::string> out;
    for (const std::string& call : host_->CallsOf("CreateIterator")) {
      const auto args = Arguments(call);
      out.push_back(args[1] + "/" + args[2]);
    }
    return out;
  }
  std::optional<EditorBoard> editor_;
  std::optional<RecordingEditor> host_;
};

TEST_F(TraversalTest, EmptyBoardOneIteratorPerKindAndPassAndNoConverter) {
  Open("{}");
  ExportFreePrimitives();
  ExportComponents();
  const std::vector<std::string> expected = {"4/1", "1/1", "6/1", "3/1", "2/1",  "5/1", "11/1",
                                             "4/0", "1/0", "6/0", "5/0", "11/0", "9/0"};
  EXPECT_EQ(Iterators(), expected);
  for (const std::string& call : host_->CallsOf("CreateIterator")) {
    const auto args = Arguments(call);
    EXPECT_EQ(args[0], std::to_string(editor_->Handle())) << call;
    EXPECT_EQ(args[3], "0") << call;  // every layer
  }
  EXPECT_EQ(host_->Count("DestroyIterator"), 13);
  EXPECT_EQ(host_->Count("Percent_Update"), 0);
}

TEST_F(TraversalTest, FreeTracksOnceGroupedTracksInTheGroupedPass) {
  Open(R"({"objects": [
    {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]},
    {"kind": "polygon", "layer": "TopLayer", "outline": [[0, 0], [10, 0], [10, 10]], "primitives": [
      {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [10, 0]}]},
    {"kind": "dimension", "layer": "Mechanical1", "primitives": [
      {"kind": "track", "layer": "Mechanical1", "from": [0, 0], "to": [10, 0]}]}]})");
  const std::string b = std::to_string(editor_->Handle());
  const std::string free = std::to_string(editor_->Object(pokTrack, 0));
  const std::string inPolygon = std::to_string(editor_->Object(pokTrack, 1));
  const std::string inDimension = std::to_string(editor_->Object(pokTrack, 2));
  host_->Clear();
  ExportFreePrimitives();
  std::vector<std::string> tracks;
  for (const auto& call : host_->Log)
    if (call == "Percent_Update()" || call.rfind("QueryTrack(", 0) == 0 ||
        call.rfind("CreateIterator(" + b + ",4,", 0) == 0)
      tracks.push_back(call);
  const std::vector<std::string> expected = {
      "CreateIterator(" + b + ",4,1,0)",
      "Percent_Update()",
      "QueryTrack(1," + free + ")",  // free pass: the converter
      "CreateIterator(" + b + ",4,0,0)",
      "Percent_Update()",
      "QueryTrack(1," + free + ")",  // grouped pass: tested, skipped
      "Percent_Update()",
      "QueryTrack(1," + inPolygon + ")",
      "Percent_Update()",
      "QueryTrack(1," + inPolygon + ")",  // tested, converted
      "Percent_Update()",
      "QueryTrack(1," + inDimension + ")",
      "Percent_Update()",
      "QueryTrack(1," + inDimension + ")",
  };
  EXPECT_EQ(tracks, expected);
}

uint32_t gReportedBackwards = 0;

TEST_F(TraversalTest, ScanFoldsEveryObjectAndCountsIt) {
  // The first object's edges lie on 0; later objects lie further out on
  // the positive side, and a host reports one's corners the wrong way round.
  Open(R"({"objects": [
    {"kind": "track", "layer": "TopLayer", "from": [0, 0], "to": [100, 100]},
    {"kind": "fill", "layer": "BottomLayer", "corner1": [400, 300], "corner2": [500, 600]},
    {"kind": "component", "pattern": "P", "x": -900, "y": -900,
     "designator": {"text": "U1", "x": 1000, "y": 100, "height": 10},
     "comment": {"text": "C", "x": 1000, "y": 200, "height": 10}},
    {"kind": "componentBody", "layer": "Mechanical1",
     "outline": [[50, 10], [2000, 10], [2000, 20], [50, 20]]}]})");
  gReportedBackwards = editor_->Object(pokFill);
  host_->Answer.QueryObjectBoundingRectangle = [](uint32_t h, int32_t* x1, int32_t* y1, int32_t* x2,
                                                  int32_t* y2) {
    const auto& editor = RecordingEditor::Editor();
    return h == gReportedBackwards ? editor.QueryObjectBoundingRectangle(h, x2, y2, x1, y1)
                                   : editor.QueryObjectBoundingRectangle(h, x1, y1, x2, y2);
  };
  host_->Clear();
  ScanBoard();
  // Components are not scanned, their texts are: three objects and two texts.
  EXPECT_EQ(ObjectCount(), 5);
  const TExtents& e = Extents();
  EXPECT_EQ(e.MinX, 0);
  EXPECT_EQ(e.MinY, 0);
  EXPECT_EQ(e.MaxX, 2000);
  EXPECT_EQ(e.MaxY, 600);
  EXPECT_TRUE(UsedLayerSet().Contains(1));
  EXPECT_TRUE(UsedLayerSet().Contains(32));
  EXPECT_TRUE(UsedLayerSet().Contains(57));
  EXPECT_EQ(Iterators(), (std::vector<std::string>{"1/0", "2/0", "3/0", "4/0", "5/0", "6/0", "11/0",
                                                   "12/0", "21/0"}));
}

TEST(Extents, FoldTable) {
  struct Case {
    std::vector<std::array<int32_t, 4>> rects;
    std::array<int32_t, 4> expected;
  };
  const Case cases[] = {
      {{}, {0, 0, 0, 0}},
      {{{0, 0, 10, 10}, {20, 30, 40, 50}}, {0, 0, 40, 50}},        // 0 holds its place
      {{{-5, -5, 0, 0}, {-20, -30, -10, -10}}, {-20, -30, 0, 0}},  // and so on the maximum side
      {{{5, 6, 7, 8}}, {5, 6, 7, 8}},
  };
  for (const auto& c : cases) {
    TExtents e;
    for (const auto& r : c.rects) e.Fold(r[0], r[1], r[2], r[3]);
    EXPECT_EQ((std::array<int32_t, 4>{e.MinX, e.MinY, e.MaxX, e.MaxY}), c.expected);
  }
}

TEST_F(TraversalTest, MultiLayerBringsTopAndBottomPasteAndSolderAlwaysThere) {
  // Without the host's layer data the stack is the top layer alone.
  for (bool pad : {false, true}) {
    Open(pad ? R"({"objects": [{"kind": "pad", "size": 10, "hole": 5}]})" : "{}");
    ScanBoard();
    TPcbBoard board(editor_->Handle());
    CompleteLayerSet(board);
    const TLayerSetRef& set = UsedLayerSet();
    for (TV7_Layer l : {1u, 35u, 36u, 37u, 38u}) EXPECT_TRUE(set.Contains(l)) << l;
    EXPECT_EQ(set.Contains(32), pad);
    EXPECT_EQ(set.Contains(74), pad);
  }
}

}  // namespace
}  // namespace quennet
