#include "quennet/driver/export_run.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "quennet/driver/state.h"
#include "quennet/driver/tests/fake_host.h"
#include "quennet/driver/traversal.h"
#include "quennet/pcbmodel/board.h"

namespace quennet {
namespace {

using test_support::FakeBoard;
using test_support::FakeObject;

constexpr uint32_t kBoard = 77;

std::vector<std::string> Iterators(const FakeBoard& host) {
  std::vector<std::string> out;
  for (const auto& line : host.log)
    if (line.rfind("iterate", 0) == 0) out.push_back(line.substr(8, line.find(' ', 8) - 8));
  return out;
}

class TraversalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CurrentBoardHandle() = kBoard;
    ExportLayerSet() = NewEmptySet();  // converters skip everything
  }
  void TearDown() override { CurrentBoardHandle() = 0; }
  FakeBoard host_;
};

TEST_F(TraversalTest, EmptyBoardOneIteratorPerKindAndPassAndNoConverter) {
  ExportFreePrimitives();
  ExportComponents();
  const std::vector<std::string> expected = {"4/1", "1/1", "6/1", "3/1", "2/1",  "5/1", "11/1",
                                             "4/0", "1/0", "6/0", "5/0", "11/0", "9/0"};
  EXPECT_EQ(Iterators(host_), expected);
  int destroyed = 0;
  for (const auto& line : host_.log) {
    destroyed += line == "destroy";
    if (line.rfind("iterate", 0) == 0) {
      EXPECT_NE(line.find("layer 0 of 77"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(destroyed, 13);
  EXPECT_EQ(host_.updates, 0);
}

TEST_F(TraversalTest, FreeTracksOnceGroupedTracksInTheGroupedPass) {
  host_.objects = {
      {101, 4, true, 1, {0, 0, 0}, {}},   // free
      {102, 4, false, 1, {0, 5, 0}, {}},  // member of a polygon
      {103, 4, false, 1, {0, 0, 9}, {}},  // member of a dimension
  };
  ExportFreePrimitives();
  std::vector<std::string> tracks;
  for (const auto& line : host_.log)
    if (line == "update" || line.rfind("track", 0) == 0 || line.rfind("iterate 4/", 0) == 0)
      tracks.push_back(line);
  const std::vector<std::string> expected = {
      "iterate 4/1 layer 0 of 77",
      "update",
      "track 101",  // free pass: the converter
      "iterate 4/0 layer 0 of 77",
      "update",
      "track 101",  // grouped pass: tested, skipped
      "update",
      "track 102",
      "update",
      "track 102",  // tested, converted
      "update",
      "track 103",
      "update",
      "track 103",
  };
  EXPECT_EQ(tracks, expected);
}

TEST_F(TraversalTest, ScanFoldsEveryObjectAndCountsIt) {
  // The first object's edges lie on 0; later objects lie further out on
  // the positive side, and one reports its corners the wrong way round.
  host_.objects = {
      {1, 4, true, 1, {}, {0, 0, 100, 100}},
      {2, 6, true, 32, {}, {500, 600, 400, 300}},
      {3, 9, true, 1, {}, {-900, -900, -800, -800}},  // components are not scanned
      {4, 12, false, 57, {}, {50, 10, 2000, 20}},
  };
  ScanBoard();
  EXPECT_EQ(ObjectCount(), 3);
  const TExtents& e = Extents();
  EXPECT_EQ(e.MinX, 0);
  EXPECT_EQ(e.MinY, 0);
  EXPECT_EQ(e.MaxX, 2000);
  EXPECT_EQ(e.MaxY, 600);
  EXPECT_TRUE(UsedLayerSet().Contains(1));
  EXPECT_TRUE(UsedLayerSet().Contains(32));
  EXPECT_TRUE(UsedLayerSet().Contains(57));
  EXPECT_EQ(Iterators(host_), (std::vector<std::string>{"1/0", "2/0", "3/0", "4/0", "5/0", "6/0",
                                                        "11/0", "12/0", "21/0"}));
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
    host_.objects.clear();
    if (pad) host_.objects.push_back({1, 2, true, 74, {}, {0, 0, 10, 10}});
    ScanBoard();
    TPcbBoard board(kBoard);
    CompleteLayerSet(board);
    const TLayerSetRef& set = UsedLayerSet();
    for (TV7_Layer l : {1u, 35u, 36u, 37u, 38u}) EXPECT_TRUE(set.Contains(l)) << l;
    EXPECT_EQ(set.Contains(32), pad);
    EXPECT_EQ(set.Contains(74), pad);
  }
}

}  // namespace
}  // namespace quennet
