#include "quennet/pcbmodel/pad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "tests/support/editor.h"

namespace quennet {
namespace {

using test_support::EditorBoard;
using test_support::RecordingEditor;

// A through-hole pad with a full stack: its own values on four copper layers.
constexpr const char* kFullStackPad = R"({"objects": [
  {"kind": "pad", "x": 1000, "y": 2000, "hole": 300, "size": 100, "layers": [
    {"layer": "TopLayer", "size": [600000, 400000], "shape": "roundedRectangle", "cornerRadius": 10},
    {"layer": "MidLayer1", "size": 100, "shape": "roundedRectangle", "cornerRadius": 20},
    {"layer": "MidLayer4", "size": 77, "shape": "round"},
    {"layer": "MidLayer30", "size": 100, "shape": "roundedRectangle", "cornerRadius": 30},
    {"layer": "BottomLayer", "size": 100, "shape": "roundedRectangle", "cornerRadius": 40}]}
]})";

TEST(Pad, ReadsPerLayerTablesAndTheThreeCornerPercentages) {
  EditorBoard editor(kFullStackPad);
  RecordingEditor host(editor);
  TPcbPad pad(editor.Object(pokPad));
  ASSERT_EQ(pad.Transfer(1), 0);
  EXPECT_EQ(pad.FTopCRPercent, 10);
  EXPECT_EQ(pad.FMidCRPercent, 30);  // the last mid layer's value remains
  EXPECT_EQ(pad.FBotCRPercent, 40);
  EXPECT_EQ(pad.XSizeOnLayer(1), 600000);
  EXPECT_EQ(pad.ShapeOnLayer(1), psRoundedRectangle);
  EXPECT_EQ(pad.CornerRadiusOnLayer(1), 20000);
  EXPECT_EQ(pad.WidthOnLayer(1), 400000);
  EXPECT_EQ(pad.XSizeOnLayer(5), 77);
  EXPECT_EQ(pad.HoleSize(), 300);
  EXPECT_EQ(pad.StackMode(), 2);
  EXPECT_EQ(host.Count("QueryPadOrViaSizeOnLayer"), 83);
  const auto names = host.Names();
  ASSERT_GE(names.size(), 8u);
  EXPECT_EQ(names[2], "QueryPad");
  EXPECT_EQ(names[3], "QueryPadStackMode");
  EXPECT_EQ(names[4], "QueryPadOrViaShapeOnLayer");
  EXPECT_EQ(names[7], "QueryPadCRPercentageOnLayer");
  // A layer number past the table has nothing, rather than memory beyond it.
  EXPECT_EQ(pad.XSizeOnLayer(200), 0);
}

TEST(Pad, FailedPadQueryEndsTransferAndKeepsTheTables) {
  EditorBoard editor(kFullStackPad);
  RecordingEditor host(editor);
  const uint32_t h = editor.Object(pokPad);
  TPcbPad pad(h);
  pad.Transfer(1);
  editor.Table().SetPadSizeOnLayer(h, 5, 88, 88);
  host.Fail("QueryPad", 5);
  host.Clear();
  EXPECT_EQ(pad.Transfer(1), 5);
  EXPECT_EQ(pad.XSizeOnLayer(5), 77);
  EXPECT_EQ(host.Names().back(), "QueryPad");
}

TEST(Pad, LongHostNameIsCutToTwentyCharacters) {
  // The editor keeps 20 characters; a host that answers more is cut.
  EditorBoard editor(R"({"objects": [{"kind": "pad", "name": "P", "size": 10}]})");
  RecordingEditor host(editor);
  host.Answer.QueryPad = [](auto... a) -> int32_t {
    const int32_t status = RecordingEditor::Editor().QueryPad(a...);
    unsigned char* name = std::get<20>(std::tuple(a...));
    name[0] = 255;
    std::memset(name + 1, 'P', 255);
    return status;
  };
  TPcbPad pad(editor.Object(pokPad));
  pad.Transfer(1);
  EXPECT_EQ(pad.Name(), std::string(20, 'P'));
}

TEST(Pad, WritingBackPerStackMode) {
  EditorBoard editor(R"({"objects": [{"kind": "pad", "size": 10}]})");
  RecordingEditor host(editor);
  const std::string h = std::to_string(editor.Object(pokPad));
  TPcbPad pad(editor.Object(pokPad));
  pad.FTopCRPercent = 11, pad.FMidCRPercent = 22, pad.FBotCRPercent = 33;
  pad.FShapeOnLayer[1] = psRoundedRectangle;
  pad.FShapeOnLayer[40] = psRoundedRectangle;
  pad.FShapeOnLayer[2] = psRound;
  // Not a full stack: the three percentages once for each rounded-rectangle layer.
  pad.FStackMode = 0;
  pad.Transfer(0);
  const std::vector<std::string> once = {"SetCRPctOnLayer(" + h + ",1,11)",
                                         "SetCRPctOnLayer(" + h + ",32,33)",
                                         "SetCRPctOnLayer(" + h + ",2,22)"};
  std::vector<std::string> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(host.CallsOf("SetCRPctOnLayer"), twice);
  EXPECT_EQ(host.Count("SetPadSizeOnLayer"), 0);

  // A full stack writes every layer's shape, size and percentage.
  host.Clear();
  pad.FStackMode = 2;
  pad.Transfer(0);
  EXPECT_EQ(host.Count("SetPadShapeOnLayer"), 83);
  EXPECT_EQ(host.Count("SetPadSizeOnLayer"), 83);
  EXPECT_EQ(host.Count("SetCRPctOnLayer"), 83);
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
  EditorBoard editor(R"({"rules": [{"kind": "planeConnect", "id": "r", "scope": "named",
      "expansion": 200000, "conductorWidth": 100000, "entries": 4, "airGap": 50000}],
    "objects": [{"kind": "pad", "size": 10, "rule": "r"}, {"kind": "pad", "size": 10}]})");
  RecordingEditor host(editor);
  TPcbPad pad(editor.Object(pokPad, 0)), bare(editor.Object(pokPad, 1));
  EXPECT_EQ(pad.ReliefExpansion(), 200000);
  EXPECT_EQ(pad.ReliefConductorWidth(), 100000);
  EXPECT_EQ(pad.ReliefEntries(), 4);
  EXPECT_EQ(pad.ReliefAirGap(), 50000);
  EXPECT_EQ(host.Count("FindDominantRuleForObject"), 4) << "asked anew each time";
  for (const std::string& call : host.CallsOf("FindDominantRuleForObject"))
    EXPECT_EQ(call.substr(call.size() - 3), ",6)") << "the power-plane connect rule";
  EXPECT_EQ(bare.ReliefExpansion(), 0);
  EXPECT_EQ(bare.ReliefEntries(), 0);
}

}  // namespace
}  // namespace quennet
