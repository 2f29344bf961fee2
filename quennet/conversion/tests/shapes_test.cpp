// gtest's demangler brings in <cxxabi.h>, whose alias `abi` clashes with the
// namespace of the module interfaces.
#define GTEST_HAS_CXXABI_H_ 0

// Exact emitter streams of the shape constructions.
#include "quennet/conversion/shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

#include "abi/pcbapi.h"
#include "layers/rtl_errors.h"
#include "quennet/conversion/converters.h"
#include "quennet/conversion/tests/recorder.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/drawing/points.h"
#include "quennet/pcbmodel/objects.h"

namespace quennet {
namespace {

using test_support::Num;
using test_support::TExportStateGuard;
using test_support::TRecorder;

constexpr uint32_t L1 = 1;
const std::string kPi = Num(std::numbers::pi);
const std::string kHalfPi = Num(std::numbers::pi / 2);

std::vector<std::string> Tokens(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> t;
  for (std::string w; in >> w;) t.push_back(w);
  return t;
}

// Numbers match to 1e-9 relative (so integer coordinates match exactly);
// everything else verbatim.
bool SameCall(const std::string& got, const std::string& want) {
  const auto g = Tokens(got), w = Tokens(want);
  if (g.size() != w.size()) return false;
  for (size_t i = 0; i < g.size(); ++i) {
    char *eg, *ew;
    const double a = std::strtod(g[i].c_str(), &eg), b = std::strtod(w[i].c_str(), &ew);
    const bool numbers = *eg == 0 && *ew == 0 && !g[i].empty() && !w[i].empty();
    if (w[i] == "*") continue;  // a value the emitter does not use
    if (numbers ? std::fabs(a - b) > 1e-9 * std::max(1.0, std::fabs(b)) : g[i] != w[i])
      return false;
  }
  return true;
}

void ExpectCalls(const std::vector<std::string>& got, const std::vector<std::string>& want) {
  std::string all;
  for (const auto& c : got) all += "\n  " + c;
  ASSERT_EQ(got.size(), want.size()) << "got:" << all;
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_TRUE(SameCall(got[i], want[i]))
        << "call " << i << "\n got:  " << got[i] << "\n want: " << want[i];
}

std::string Kinds(const std::vector<std::string>& calls) {
  std::string k;
  for (const auto& c : calls) k += (k.empty() ? "" : " ") + c.substr(0, c.find(' '));
  return k;
}

class Shapes : public ::testing::Test {
 protected:
  TExportStateGuard state;
  TRecorder rec;
};

TEST_F(Shapes, TrackEndsWidthAndCaps) {
  TPoints ends;
  ends.Add(0, 0);
  ends.Add(1000000, 0);
  DrawTrackShape(ends, 100000, L1, true);
  ExportOptions().RoundedTracks = false;
  DrawTrackShape(ends, 100000, L1, false);
  ExportOptions().RoundedTracks = true;
  DrawTrackShape(ends, 100000, L1, false);
  DrawTrackShape(ends, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "LINE L1 0 0 1000000 0 0",
                             "PLINE L1 0 100000 0 0 0 1000000 0",
                             "PLINE L1 0 100000 0 0 0 1000000 0",
                             "DONUT L1 0 0 100000 0",
                             "DONUT L1 1000000 0 100000 0",
                             "PLINE L1 0 0 0 0 0 1000000 0",
                             "DONUT L1 0 0 0 0",
                             "DONUT L1 1000000 0 0 0",
                         });
}

TEST_F(Shapes, TrackInABlockOfAComponentRotated90) {
  Placement() = {10000000, 0, -90.0};
  TPoints ends;
  ends.Add(10000000, 0);
  ends.Add(10000000, 1000000);
  ApplyPlacement(ends);
  DrawTrackShape(ends, 0, L1, true);
  ExpectCalls(rec.calls, {"LINE L1 0 0 1000000 0 0"});
}

TEST_F(Shapes, WideArcsAndFullCircles) {
  const std::string b5 = Num(std::tan(5.0 * std::numbers::pi / 180));
  const std::string b225 = Num(std::tan(22.5 * std::numbers::pi / 180));
  DrawArcShape(0, 0, 1000000, 20000, 0, 90, L1, false);
  DrawArcShape(0, 0, 1000, 20, 270, 90, L1, false);
  DrawArcShape(0, 0, 1000, 20, 350, 10, L1, false);
  DrawArcShape(0, 0, 1000, 20, 90, 90, L1, false);
  DrawArcShape(0, 0, 1000, 20, 360, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "WARC L1 0 1000000 1000000 0 20000 " + b225 + " 0",
                             "DONUT L1 0 1000000 20000 0",
                             "DONUT L1 1000000 0 20000 0",
                             "WARC L1 0 1000 0 -1000 20 1 0",
                             "DONUT L1 0 1000 20 0",
                             "DONUT L1 0 -1000 20 0",
                             "WARC L1 985 174 985 -174 20 " + b5 + " 0",
                             "DONUT L1 985 174 20 0",
                             "DONUT L1 985 -174 20 0",
                             "WARC L1 1000 0 -1000 0 20 * 1",
                             "DONUT L1 1000 0 20 0",
                             "DONUT L1 -1000 0 20 0",
                             "WARC L1 1000 0 -1000 0 20 * 1",
                             "DONUT L1 1000 0 20 0",
                             "DONUT L1 -1000 0 20 0",
                         });
}

TEST_F(Shapes, HairlineArcs) {
  DrawArcShape(5, 6, 1000, 20, 90, 90, L1, true);
  DrawArcShape(5, 6, 1000, 20, 10, 10.0001, L1, true);
  DrawArcShape(5, 6, 1000, 20, 0, 90, L1, true);
  DrawArcShape(5, 6, 0, 20, 0, 90, L1, true);  // radius 0: nothing, either mode
  DrawArcShape(5, 6, 0, 20, 0, 90, L1, false);
  // In a block of a component rotated 30 degrees.
  Placement() = {0, 0, -30.0};
  DrawArcShape(0, 0, 1000, 20, 30, 120, L1, true);
  ExpectCalls(rec.calls, {
                             "CIRCLE L1 5 6 1000 0",
                             "CIRCLE L1 5 6 1000 0",
                             "ARC L1 5 6 1000 0 " + kHalfPi + " 0",
                             "ARC L1 0 0 1000 0 " + kHalfPi + " 0",
                         });
}

TEST_F(Shapes, RoundPadsAndHoles) {
  struct Case {
    int32_t holeMode;
    bool zero;
    std::vector<std::string> want;
  } cases[] = {
      {0, false, {"DONUT L1 0 0 600000 0"}},
      {1, false, {"DONUT L1 0 0 600000 0"}},
      {2, false, {"DONUT L1 0 0 600000 300000"}},
      {0, true, {"CIRCLE L1 0 0 300000 0"}},
      {2, true, {"CIRCLE L1 0 0 150000 0", "CIRCLE L1 0 0 300000 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "HoleMode " << c.holeMode << " zero " << c.zero);
    rec.calls.clear();
    ExportOptions().HoleMode = c.holeMode;
    DrawPadShape(0, 0, psRound, 600000, 600000, 300000, 0, L1, c.zero);
    ExpectCalls(rec.calls, c.want);
  }
}

TEST_F(Shapes, Obround1000000By600000) {
  DrawPadShape(0, 0, psRound, 1000000, 600000, 0, 0, L1, false);
  DrawPadShape(0, 0, psRound, 1000000, 600000, 0, 0, L1, true);
  DrawPadShape(0, 0, psRound, 600000, 1000000, 0, 0, L1, true);
  ExpectCalls(rec.calls, {
                             "PLINE L1 0 600000 0 200000 0 -200000 0",
                             "DONUT L1 200000 0 600000 0",
                             "DONUT L1 -200000 0 600000 0",
                             "ARC L1 200000 0 300000 -" + kHalfPi + " " + kHalfPi + " 0",
                             "LINE L1 200000 300000 -200000 300000 0",
                             "LINE L1 200000 -300000 -200000 -300000 0",
                             "ARC L1 -200000 0 300000 " + kHalfPi + " -" + kHalfPi + " 0",
                             "ARC L1 0 200000 300000 0 " + kPi + " 0",
                             "LINE L1 300000 200000 300000 -200000 0",
                             "LINE L1 -300000 200000 -300000 -200000 0",
                             "ARC L1 0 -200000 300000 " + kPi + " 0 0",
                         });
}

TEST_F(Shapes, RectanglePadRotated90) {
  DrawPadShape(0, 0, psRectangle, 1000000, 500000, 0, 90, L1, false);
  DrawPadShape(0, 0, psRectangle, 1000000, 500000, 0, 90, L1, true);
  ExpectCalls(rec.calls, {
                             "SOLID L1 250000 -500000 250000 500000 -250000 500000 -250000 -500000",
                             "LINE L1 -250000 -500000 250000 -500000 0",
                             "LINE L1 250000 -500000 250000 500000 0",
                             "LINE L1 250000 500000 -250000 500000 0",
                             "LINE L1 -250000 500000 -250000 -500000 0",
                         });
}

TEST_F(Shapes, OctagonChamferIsAQuarterOfTheSmallerSize) {
  DrawPadShape(0, 0, psOctagonal, 600000, 600000, 0, 0, L1, true);
  DrawPadShape(0, 0, psOctagonal, 600000, 600000, 0, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "LINE L1 300000 150000 150000 300000 0",
                             "LINE L1 150000 300000 -150000 300000 0",
                             "LINE L1 -150000 300000 -300000 150000 0",
                             "LINE L1 -300000 150000 -300000 -150000 0",
                             "LINE L1 -300000 -150000 -150000 -300000 0",
                             "LINE L1 -150000 -300000 150000 -300000 0",
                             "LINE L1 150000 -300000 300000 -150000 0",
                             "LINE L1 300000 -150000 300000 150000 0",
                             "DONUT L1 0 0 600000 0",
                         });
}

TEST_F(Shapes, RoundedRectangles) {
  const std::string b = Num(std::tan(std::numbers::pi / 8));
  // 1,000,000 by 600,000 with corners of radius 100,000: corner centres at (±400,000, ±200,000).
  DrawPadShape(0, 0, psRoundedRectangle, 1000000, 600000, 0, 0, L1, false, 100000);
  DrawPadShape(0, 0, psRoundedRectangle, 1000000, 600000, 0, 0, L1, true, 100000);
  const std::string q = Num(std::numbers::pi / 2);
  ExpectCalls(
      rec.calls,
      {
          "BPLINE L1 1 400000 -300000 " + b + " 500000 -200000 0 500000 200000 " + b +
              " 400000 300000 0 -400000 300000 " + b + " -500000 200000 0 -500000 -200000 " + b +
              " -400000 -300000 0",
          "ARC L1 400000 -200000 100000 -" + q + " 0 0",
          "LINE L1 500000 -200000 500000 200000 0",
          "ARC L1 400000 200000 100000 0 " + q + " 0",
          "LINE L1 400000 300000 -400000 300000 0",
          "ARC L1 -400000 200000 100000 " + q + " " + kPi + " 0",
          "LINE L1 -500000 200000 -500000 -200000 0",
          "ARC L1 -400000 -200000 100000 " + kPi + " " + Num(3 * std::numbers::pi / 2) + " 0",
          "LINE L1 -400000 -300000 400000 -300000 0",
      });
  rec.calls.clear();
  // Turned 90 degrees; a radius beyond half the smaller side is cut to it,
  // and the short sides of length 0 vanish.
  DrawPadShape(0, 0, psRoundedRectangle, 1000000, 600000, 0, 90, L1, false, 400000);
  ExpectCalls(rec.calls,
              {"BPLINE L1 1 300000 200000 " + b + " 0 500000 " + b +
               " -300000 200000 0 -300000 -200000 " + b + " 0 -500000 " + b + " 300000 -200000 0"});
  rec.calls.clear();
  // No radius: the plain rectangle.
  DrawPadShape(0, 0, psRoundedRectangle, 1000000, 600000, 0, 0, L1, false, 0);
  EXPECT_EQ(Kinds(rec.calls), "SOLID");
}

TEST_F(Shapes, UnknownShapesDrawNothingAndAreCounted) {
  ResetUndrawnShapes();
  for (uint8_t shape : {0, 200, 200})
    DrawPadShape(0, 0, shape, 600000, 600000, 300000, 0, L1, false);
  EXPECT_EQ(UndrawnShapeReport(),
            (std::vector<std::string>{"1 pad of shape none on TopLayer was not drawn",
                                      "2 pads of shape 200 on TopLayer were not drawn"}));
  ExportOptions().HoleMode = 3;  // a value no dialog writes
  DrawPadShape(0, 0, psRectangle, 600000, 600000, 300000, 0, L1, false);
  DrawPadShape(0, 0, psRound, 600000, 400000, 300000, 0, L1, false);
  DrawPadShape(0, 0, psOctagonal, 600000, 400000, 300000, 0, L1, true);
  DrawPadShape(0, 0, psRoundedRectangle, 600000, 400000, 300000, 0, L1, true, 50000);
  EXPECT_TRUE(rec.calls.empty()) << Kinds(rec.calls);
}

// What each shape becomes by hole mode and zero width.
TEST_F(Shapes, HoleModeTable) {
  struct Case {
    uint8_t shape;
    int32_t sx, sy;
    const char* kinds[4];  // HoleMode 0/1 zero false, 0/1 true, 2 false, 2 true
  } cases[] = {
      {psRound, 600000, 600000, {"DONUT", "CIRCLE", "DONUT", "CIRCLE CIRCLE"}},
      {psRound,
       1000000,
       600000,
       {"PLINE DONUT DONUT", "ARC LINE LINE ARC", "DONUT PLINE PLINE WARC WARC",
        "ARC LINE LINE ARC CIRCLE"}},
      {psRectangle,
       1000000,
       600000,
       {"SOLID", "LINE LINE LINE LINE", "PLINE PLINE PLINE PLINE DONUT",
        "LINE LINE LINE LINE CIRCLE"}},
      {psOctagonal,
       600000,
       600000,
       {"DONUT", "LINE LINE LINE LINE LINE LINE LINE LINE", "DONUT",
        "LINE LINE LINE LINE LINE LINE LINE LINE CIRCLE"}},
      {psRoundedRectangle,
       1000000,
       600000,
       {"BPLINE", "ARC LINE ARC LINE ARC LINE ARC LINE", "BPLINE CIRCLE",
        "ARC LINE ARC LINE ARC LINE ARC LINE CIRCLE"}},
  };
  for (const auto& c : cases) {
    for (int col = 0; col < 4; ++col) {
      for (int32_t mode : col < 2 ? std::vector<int32_t>{0, 1} : std::vector<int32_t>{2}) {
        rec.calls.clear();
        ExportOptions().HoleMode = mode;
        DrawPadShape(0, 0, c.shape, c.sx, c.sy, 200000, 0, L1, col % 2 == 1, 100000);
        EXPECT_EQ(Kinds(rec.calls), c.kinds[col])
            << "shape " << int(c.shape) << " " << c.sx << "x" << c.sy << " HoleMode " << mode
            << " zero " << (col % 2);
      }
    }
  }
}

TEST_F(Shapes, ObroundWithOpening) {
  ExportOptions().HoleMode = 2;
  DrawPadShape(0, 0, psRound, 1000000, 600000, 200000, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "DONUT L1 0 0 600000 200000",
                             "PLINE L1 0 200000 0 -200000 200000 200000 200000",
                             "PLINE L1 0 200000 0 -200000 -200000 200000 -200000",
                             "WARC L1 -200000 -200000 -200000 200000 200000 1 0",
                             "WARC L1 200000 200000 200000 -200000 200000 1 0",
                         });
  rec.calls.clear();
  // Taller than wide: the bands run along Y.
  DrawPadShape(0, 0, psRound, 600000, 1000000, 200000, 0, L1, false);
  ASSERT_EQ(rec.calls.size(), 5u);
  EXPECT_TRUE(SameCall(rec.calls[1], "PLINE L1 0 200000 0 -200000 -200000 -200000 200000"))
      << rec.calls[1];
  rec.calls.clear();
  // A hole wider than the pad leaves only the hole's disc.
  DrawPadShape(0, 0, psRound, 600000, 400000, 500000, 0, L1, false);
  ExpectCalls(rec.calls, {"DONUT L1 0 0 500000 0"});
}

TEST_F(Shapes, RectangleWithOpening) {
  ExportOptions().HoleMode = 2;
  // A hole wider than the pad is cut to half the smaller size.
  DrawPadShape(0, 0, psRectangle, 1000000, 500000, 600000, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "PLINE L1 0 125000 0 -500000 187500 500000 187500",
                             "PLINE L1 0 125000 0 -500000 -187500 500000 -187500",
                             "PLINE L1 0 375000 0 -312500 250000 -312500 -250000",
                             "PLINE L1 0 375000 0 312500 250000 312500 -250000",
                             "DONUT L1 0 0 500000 250000",
                         });
  rec.calls.clear();
  // Surface-mount with zero width: the outline and a circle of radius 0.
  DrawPadShape(7, 8, psRectangle, 100, 50, 0, 0, L1, true);
  EXPECT_EQ(Kinds(rec.calls), "LINE LINE LINE LINE CIRCLE");
  EXPECT_TRUE(SameCall(rec.calls.back(), "CIRCLE L1 7 8 0 0")) << rec.calls.back();
}

TEST_F(Shapes, HoleLayerOnlyInHoleMode1) {
  constexpr uint32_t kPadHoles = 81;
  for (int32_t mode : {0, 1, 2}) {
    ExportOptions().HoleMode = mode;
    DrawHole(1000000, 2000000, 300000, 0, kPadHoles, false);
    DrawHole(1000000, 2000000, 300000, 0, kPadHoles, true);
    DrawHole(1000000, 2000000, 0, 0, kPadHoles, false);  // surface-mount
  }
  ExpectCalls(rec.calls,
              {"DONUT L81 1000000 2000000 300000 0", "CIRCLE L81 1000000 2000000 150000 0"});
}

TEST_F(Shapes, HoleStaysConcentricWithItsPadInARotatedBlock) {
  ExportOptions().HoleMode = 1;
  Placement() = {1000000, 0, -90.0};
  TPoints p;
  p.Add(1000000, 500000);
  ApplyPlacement(p);
  DrawPadShape(p.GetX(0), p.GetY(0), psRound, 400000, 400000, 200000, 0, L1, false);
  DrawHole(1000000 - 1000000, 500000, 200000, -90.0, 81, false);
  ExpectCalls(rec.calls, {"DONUT L1 500000 0 400000 0", "DONUT L81 500000 0 200000 0"});
}

TEST_F(Shapes, Reliefs) {
  EXPECT_EQ(ReliefRadius(200000 + 150000, 100000), 400000);
  EXPECT_EQ(ReliefGapDegrees(400000, 100000, 100000), 15);
  EXPECT_EQ(ReliefRadius(0, 0), 10000);
  EXPECT_EQ(ReliefGapDegrees(10000, 0, 0), 0);  // 0.5 goes to the even 0

  const std::string t15 = Num(std::tan(15.0 * std::numbers::pi / 180));
  DrawRelief(0, 0, 350000, 100000, 100000, 4, 39);
  ASSERT_EQ(rec.calls.size(), 12u);
  EXPECT_EQ(Kinds(rec.calls),
            "WARC DONUT DONUT WARC DONUT DONUT WARC DONUT DONUT WARC DONUT DONUT");
  // 60 -> 120, written from its end; 330 -> 30 across 0.
  EXPECT_TRUE(SameCall(rec.calls[0], "WARC L39 -200000 346410 200000 346410 100000 " + t15 + " 0"))
      << rec.calls[0];
  EXPECT_TRUE(SameCall(rec.calls[1], "DONUT L39 -200000 346410 100000 0")) << rec.calls[1];
  EXPECT_TRUE(SameCall(rec.calls[9], "WARC L39 346410 200000 346410 -200000 100000 " + t15 + " 0"))
      << rec.calls[9];

  rec.calls.clear();
  DrawRelief(0, 0, 0, 0, 0, 2, 39);
  ExpectCalls(rec.calls, {
                             "WARC L39 -7071 -7071 7071 7071 0 1 0",
                             "DONUT L39 -7071 -7071 0 0",
                             "DONUT L39 7071 7071 0 0",
                             "WARC L39 7071 7071 -7071 -7071 0 1 0",
                             "DONUT L39 7071 7071 0 0",
                             "DONUT L39 -7071 -7071 0 0",
                         });
}

TEST_F(Shapes, Vias) {
  DrawViaOnLayer(0, 0, 500000, 200000, L1, false);
  ExportOptions().HoleMode = 2;
  DrawViaOnLayer(0, 0, 500000, 200000, L1, false);
  DrawViaOnLayer(0, 0, 500000, 200000, L1, true);
  DrawViaOnLayer(0, 0, 500000, 0, L1, true);
  ExpectCalls(rec.calls, {
                             "DONUT L1 0 0 500000 0",
                             "DONUT L1 0 0 500000 200000",
                             "CIRCLE L1 0 0 250000 0",
                             "CIRCLE L1 0 0 100000 0",
                             "CIRCLE L1 0 0 250000 0",
                         });
}

TEST_F(Shapes, Fills) {
  DrawFillShape(0, 0, 1000000, 500000, 0, L1, false);
  DrawFillShape(0, 0, 1000000, 500000, 90, L1, false);
  DrawFillShape(0, 0, 5, 4, 0, L1, false);  // odd sizes lose one unit
  DrawFillShape(0, 0, 1000000, 500000, 0, L1, true);
  ExpectCalls(rec.calls, {
                             "SOLID L1 0 0 1000000 0 1000000 500000 0 500000",
                             "SOLID L1 750000 -250000 750000 750000 250000 750000 250000 -250000",
                             "SOLID L1 0 0 4 0 4 4 0 4",
                             "LINE L1 0 500000 0 0 0",
                             "LINE L1 0 0 1000000 0 0",
                             "LINE L1 1000000 0 1000000 500000 0",
                             "LINE L1 1000000 500000 0 500000 0",
                         });
}

TEST_F(Shapes, FillInABlockOfAComponentRotated90) {
  Placement() = {1000000, 0, -90.0};
  // Turned with its component: upright in the block, the insert turns it back.
  DrawFillShape(1000000, 0, 1200000, 100000, 90, L1, false);
  // A fill that is not turned on the board must be turned against the insert.
  DrawFillShape(1000000, 0, 1200000, 100000, 0, L1, false);
  ExpectCalls(rec.calls, {
                             "SOLID L1 -50000 -150000 150000 -150000 150000 -50000 -50000 -50000",
                             "SOLID L1 0 0 0 -200000 100000 -200000 100000 0",
                         });
}

TEST_F(Shapes, RegionContours) {
  const abi::TPcbApiPointF outer[] = {{0, 0}, {100.5, 0}, {100.5, 101.5}, {0, 101.5}};
  const abi::TPcbApiPointF hole[] = {{10, 10}, {20, 10}, {20, 20}};
  TPoints list;
  for (const auto& c : {abi::TPcbApiContourPoints{4, outer}, abi::TPcbApiContourPoints{3, hole}}) {
    ContourToPoints(&c, &list);
    DrawRegionContour(list, L1);
  }
  ExpectCalls(rec.calls, {
                             "LINE L1 0 102 0 0 0",
                             "LINE L1 0 0 100 0 0",
                             "LINE L1 100 0 100 102 0",
                             "LINE L1 100 102 0 102 0",
                             "LINE L1 20 20 10 10 0",
                             "LINE L1 10 10 20 10 0",
                             "LINE L1 20 10 20 20 0",
                         });
  rec.calls.clear();
  const abi::TPcbApiContourPoints one{1, outer}, none{0, nullptr};
  ContourToPoints(&one, &list);
  DrawRegionContour(list, L1);
  ContourToPoints(&none, &list);
  DrawRegionContour(list, L1);
  ExpectCalls(rec.calls, {"LINE L1 0 0 0 0 0"});
  EXPECT_THROW(ContourToPoints(nullptr, &list), EAssertionFailed);
  EXPECT_THROW(ContourToPoints(&one, nullptr), EAssertionFailed);
}

TEST_F(Shapes, RegionInARotatedBlock) {
  Placement() = {1000, 0, -90.0};
  const abi::TPcbApiPointF pts[] = {{1000, 0}, {1000, 500}};
  const abi::TPcbApiContourPoints c{2, pts};
  TPoints list;
  ContourToPoints(&c, &list);
  DrawRegionContour(list, L1);
  ExpectCalls(rec.calls, {"LINE L1 500 0 0 0 0", "LINE L1 0 0 500 0 0"});
}

TEST_F(Shapes, Texts) {
  DrawTextShape(1000000, 2000000, 600000, 3, 90, false, "R1", 33);
  DrawTextShape(1000000, 2000000, 600000, 3, 90, true, "R1", 33);
  Placement() = {1000000, 0, -45.0};
  DrawTextShape(1000000, 1000000, 600000, 3, 45, false, std::string(300, 'x'), 33);
  ASSERT_EQ(rec.calls.size(), 3u);
  const std::string rot90 = Num(1.5707963267941523);
  EXPECT_EQ(rec.calls[0], "TEXT L33 1000000 2000000 600000 1 3 " + rot90 + " 0 \"R1\"");
  EXPECT_EQ(rec.calls[1], "TEXT L33 1000000 2000000 600000 1 3 " + rot90 + " 1 \"R1\"");
  // (0, 1000000) turned by -45 degrees, the text's own turn cancelled.
  EXPECT_EQ(rec.calls[2],
            "TEXT L33 707107 707107 600000 1 3 0 0 \"" + std::string(255, 'x') + "\"");
}

}  // namespace
}  // namespace quennet
