#include "quennet/pcbmodel/pad.h"

#include <gtest/gtest.h>

#include <string>

#include "quennet/pcbmodel/tests/fake_host.h"

namespace quennet {
namespace {

using test_support::FakeHost;

TEST(Pad, ReadsPerLayerTablesAndTheThreeCornerPercentages) {
  FakeHost host;
  auto& o = host.Add(9, pokPad);
  o.X = 1000, o.Y = 2000, o.HoleSize = 300;
  o.CRPercent[1] = 10, o.CRPercent[2] = 20, o.CRPercent[31] = 30, o.CRPercent[32] = 40;
  o.XSize[1] = 60, o.YSize[1] = 40, o.Shape[1] = psRectangle, o.CornerRadius[1] = 7;
  o.StackMode = 2;
  TPcbPad pad(9);
  ASSERT_EQ(pad.Transfer(1), 0);
  EXPECT_EQ(pad.FTopCRPercent, 10);
  EXPECT_EQ(pad.FMidCRPercent, 30);  // the last mid layer's value remains
  EXPECT_EQ(pad.FBotCRPercent, 40);
  EXPECT_EQ(pad.XSizeOnLayer(1), 60);
  EXPECT_EQ(pad.ShapeOnLayer(1), psRectangle);
  EXPECT_EQ(pad.CornerRadiusOnLayer(1), 7);
  EXPECT_EQ(pad.WidthOnLayer(1), 40);
  EXPECT_EQ(pad.HoleSize(), 300);
  EXPECT_EQ(pad.StackMode(), 2);
  EXPECT_EQ(host.CountOf("QueryPadOrViaSizeOnLayer"), 83);
  EXPECT_EQ(host.Log[2], "QueryPad");
  EXPECT_EQ(host.Log[3], "QueryPadStackMode");
  EXPECT_EQ(host.Log[4], "QueryPadOrViaShapeOnLayer");
  EXPECT_EQ(host.Log[7], "QueryPadCRPercentageOnLayer");
  // A layer number past the table has nothing, rather than memory beyond it.
  EXPECT_EQ(pad.XSizeOnLayer(200), 0);
}

TEST(Pad, FailedPadQueryEndsTransferAndKeepsTheTables) {
  FakeHost host;
  auto& o = host.Add(9, pokPad);
  o.XSize[5] = 77;
  TPcbPad pad(9);
  pad.Transfer(1);
  o.PadStatus = 5;
  o.XSize[5] = 88;
  host.ClearLog();
  EXPECT_EQ(pad.Transfer(1), 5);
  EXPECT_EQ(pad.XSizeOnLayer(5), 77);
  EXPECT_EQ(host.Log.back(), "QueryPad");
}

TEST(Pad, LongHostNameIsCutToTwentyCharacters) {
  FakeHost host;
  host.Add(9, pokPad).Name = std::string(255, 'P');
  TPcbPad pad(9);
  pad.Transfer(1);
  EXPECT_EQ(pad.Name(), std::string(20, 'P'));
}

TEST(Pad, WritingBackPerStackMode) {
  FakeHost host;
  host.Add(9, pokPad);
  TPcbPad pad(9);
  pad.FTopCRPercent = 11, pad.FMidCRPercent = 22, pad.FBotCRPercent = 33;
  pad.FShapeOnLayer[1] = psRoundedRectangle;
  pad.FShapeOnLayer[40] = psRoundedRectangle;
  pad.FShapeOnLayer[2] = psRound;
  // Not a full stack: the three percentages once for each rounded-rectangle layer.
  pad.FStackMode = 0;
  host.Table.QueryPadStackMode = nullptr;  // keeps the wrapper's stack mode
  pad.Transfer(0);
  std::vector<std::string> writes;
  for (const auto& e : host.Log)
    if (e.rfind("SetCRPctOnLayer", 0) == 0) writes.push_back(e);
  const std::vector<std::string> once = {"SetCRPctOnLayer(1,11)", "SetCRPctOnLayer(32,33)",
                                         "SetCRPctOnLayer(2,22)"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(writes, twice);
  EXPECT_EQ(host.CountOf("SetPadSizeOnLayer"), 0);

  // A full stack writes every layer's shape, size and percentage.
  host.ClearLog();
  pad.FStackMode = 2;
  pad.Transfer(0);
  EXPECT_EQ(host.CountOf("SetPadShapeOnLayer"), 83);
  EXPECT_EQ(host.CountOf("SetPadSizeOnLayer"), 83);
  EXPECT_EQ(host.CountOf("SetCRPctOnLayer"), 83);
}

TEST(Pad, CentreLineEnds) {
  struct Case {
    int32_t sx, sy;
    double rotation;
    int32_t x1, y1, x2, y2;  // relative to the pad's centre
  };
  const Case cases[] = {
      {50, 50, 0, 0, 0, 0, 0},       // round: both ends at the centre
      {50, 51, 0, 0, 0, 0, 0},       // halves truncate: 25 and 25 are equal
      {100, 40, 0, -30, 0, 30, 0},   // wider than high
      {40, 100, 0, 0, 30, 0, -30},   // higher than wide: first end on top
      {100, 40, 90, 0, -30, 0, 30},  // wide pad turned upright
      {40, 100, 90, -30, 0, 30, 0},
  };
  for (const Case& c : cases) {
    TPcbPad pad;
    pad.SetX(1000), pad.SetY(2000), pad.SetRotation(c.rotation);
    pad.FXSizeOnLayer[1] = c.sx, pad.FYSizeOnLayer[1] = c.sy;
    EXPECT_EQ(pad.XOnLayer(1) - 1000, c.x1) << "case " << (&c - cases);
    EXPECT_EQ(pad.YOnLayer(1) - 2000, c.y1) << "case " << (&c - cases);
    EXPECT_EQ(pad.X2OnLayer(1) - 1000, c.x2) << "case " << (&c - cases);
    EXPECT_EQ(pad.Y2OnLayer(1) - 2000, c.y2) << "case " << (&c - cases);
  }
}

TEST(Pad, CornersOnALayer) {
  TPcbPad pad;
  pad.SetX(1000), pad.SetY(2000);
  pad.FXSizeOnLayer[1] = 100, pad.FYSizeOnLayer[1] = 40;
  auto corners = [&](TLayer l, int32_t e) {
    return std::vector<int32_t>{pad.ExtentCorner1XOnLayer(l, e), pad.ExtentCorner1YOnLayer(l, e),
                                pad.ExtentCorner2XOnLayer(l, e), pad.ExtentCorner2YOnLayer(l, e),
                                pad.ExtentCorner3XOnLayer(l, e), pad.ExtentCorner3YOnLayer(l, e),
                                pad.ExtentCorner4XOnLayer(l, e), pad.ExtentCorner4YOnLayer(l, e)};
  };
  EXPECT_EQ(corners(1, 0), (std::vector<int32_t>{950, 1980, 1050, 1980, 950, 2020, 1050, 2020}));
  EXPECT_EQ(corners(1, 10), (std::vector<int32_t>{940, 1970, 1060, 1970, 940, 2030, 1060, 2030}));
  pad.SetRotation(90);
  EXPECT_EQ(corners(1, 0), (std::vector<int32_t>{1020, 1950, 1020, 2050, 980, 1950, 980, 2050}));
  // No height on the layer: the corners lie on the pad's own X axis.
  pad.SetRotation(0);
  pad.FYSizeOnLayer[1] = 0;
  EXPECT_EQ(corners(1, 0), (std::vector<int32_t>{950, 2000, 1050, 2000, 950, 2000, 1050, 2000}));
}

TEST(Pad, ReliefValuesComeFromTheDominantRule) {
  FakeHost host;
  auto& withRule = host.Add(9, pokPad);
  withRule.Rule = 77;
  withRule.Relief[0] = 200000, withRule.Relief[1] = 100000, withRule.Relief[2] = 4,
  withRule.Relief[3] = 50000;
  host.Add(10, pokPad);

  TPcbPad pad(9), bare(10);
  EXPECT_EQ(pad.ReliefExpansion(), 200000);
  EXPECT_EQ(pad.ReliefConductorWidth(), 100000);
  EXPECT_EQ(pad.ReliefEntries(), 4);
  EXPECT_EQ(pad.ReliefAirGap(), 50000);
  EXPECT_EQ(host.CountOf("FindDominantRuleForObject(6)"), 4) << "asked anew each time";
  EXPECT_EQ(bare.ReliefExpansion(), 0);
  EXPECT_EQ(bare.ReliefEntries(), 0);
}

}  // namespace
}  // namespace quennet
