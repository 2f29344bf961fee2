// gtest's demangler brings in <cxxabi.h>, whose alias `abi` clashes with the
// namespace of the module interfaces.
#define GTEST_HAS_CXXABI_H_ 0

#include "quennet/conversion/numerics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "layers/rtl_errors.h"
#include "quennet/conversion/block_names.h"
#include "quennet/conversion/converters.h"

namespace quennet {
namespace {

TEST(Nearest, TiesGoToEven) {
  struct Case {
    long double v, want;
  } cases[] = {{0.5L, 0},   {1.5L, 2},    {2.5L, 2},    {-0.5L, 0},
               {-1.5L, -2}, {2.4999L, 2}, {14.536L, 15}};
  for (const auto& c : cases) EXPECT_EQ(NearestExt(c.v), c.want) << static_cast<double>(c.v);
}

TEST(Nearest, CoordinateOutsideTheRangeIsAnErrorNotAWrap) {
  EXPECT_EQ(NearestCoord(2147483647.4L, "x"), 2147483647);
  EXPECT_EQ(NearestCoord(-2147483648.0L, "x"), INT32_MIN);
  try {
    NearestCoord(2147483648.0L, "arc end point");
    FAIL();
  } catch (const EExportError& e) {
    EXPECT_NE(std::string(e.what()).find("arc end point"), std::string::npos);
  }
}

TEST(Real48, RightAngleComesBackAsTheDocumentedDouble) {
  // 90 degrees through the 6-byte real is not the double nearest pi / 2.
  const double a = static_cast<double>(ThroughReal48(90.0L * kTextDegToRadExt, "angle"));
  EXPECT_EQ(a, 1.5707963267941523);
  EXPECT_NE(a, M_PI / 2);
}

TEST(Real48, EncodingAndRounding) {
  // 1.0: exponent 129, fraction 0, sign clear.
  EXPECT_EQ(ToReal48(1.0L, "v"), (TReal48{129, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ToReal48(-2.0L, "v"), (TReal48{130, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(ToReal48(0.0L, "v"), (TReal48{}));
  // 40 significant bits: half an ulp ties to even, more rounds up.
  const long double ulp = std::ldexp(1.0L, -39);
  EXPECT_EQ(ThroughReal48(1.0L + ulp / 2, "v"), 1.0L);
  EXPECT_EQ(ThroughReal48(1.0L + 3 * ulp / 2, "v"), 1.0L + 2 * ulp);
  EXPECT_EQ(ThroughReal48(1.0L + ulp * 0.51L, "v"), 1.0L + ulp);
  // Rounding up at the top of a binade carries into the exponent.
  EXPECT_EQ(ThroughReal48(2.0L - ulp / 4, "v"), 2.0L);
  // Every value of the 6-byte real is exact as a double.
  EXPECT_EQ(FromReal48(ToReal48(-kPiExt, "v")),
            static_cast<double>(FromReal48(ToReal48(-kPiExt, "v"))));
  EXPECT_EQ(ThroughReal48(1e-40L, "v"), 0.0L);  // below the smallest normal value
  EXPECT_THROW(ToReal48(1e39L, "text angle"), EExportError);
  EXPECT_THROW(ToReal48(NAN, "text angle"), EExportError);
}

TEST(DegToRad, UsesExtendedPi) {
  EXPECT_EQ(DegToRad(180.0), static_cast<double>(kPiExt));
  EXPECT_EQ(DegToRad(90.0), static_cast<double>(kPiExt / 2));
}

TEST(IsFullCircle, WholeTurnsWithinOneTenThousandth) {
  struct Case {
    double a, b;  // degrees
    bool full;
  } cases[] = {
      {90, 90, true},      {0, 360, true},      {360, 0, true},    {0, 720, true},
      {10, 10.0001, true}, {10.0001, 10, true}, {0, 0.037, false}, {0, 0.035, true},
      {350, 10, false},    {0, 90, false},      {270, 90, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsFullCircle(DegToRad(c.a), DegToRad(c.b)), c.full) << c.a << " -> " << c.b;
}

TEST(ArcEndPoints, QuarterArcRunsFromEndToStart) {
  const TArcEnds e = ArcEndPoints(0, 0, 1000000, DegToRad(0), DegToRad(90));
  EXPECT_FALSE(e.full);
  EXPECT_EQ(e.x0, 0);
  EXPECT_EQ(e.y0, 1000000);
  EXPECT_EQ(e.x1, 1000000);
  EXPECT_EQ(e.y1, 0);
  EXPECT_NEAR(e.bulge, 0.41421356237, 1e-9);
}

TEST(ArcEndPoints, SweepsAndFullCircles) {
  struct Case {
    double a, b;  // degrees
    bool full;
    double bulge;
    int32_t x0, y0, x1, y1;
  } cases[] = {
      // 270 -> 90: half circle through the right-hand side, from the top to the bottom.
      {270, 90, false, 1.0, 0, 1000, 0, -1000},
      // 350 -> 10 wraps through 0: a 20 degree sweep.
      {350, 10, false, std::tan(5.0 * M_PI / 180), 985, 174, 985, -174},
      // Equal angles, 360 -> 0, and a start just past the end are whole circles.
      {90, 90, true, 1.0, 1000, 0, -1000, 0},
      {360, 0, true, 1.0, 1000, 0, -1000, 0},
      {10.0001, 10, true, 1.0, 1000, 0, -1000, 0},
      // A start just before the end is a tiny arc, not a circle.
      {10, 10.0001, false, std::tan(0.000025 * M_PI / 180), 985, 174, 985, 174},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " -> " << c.b);
    const TArcEnds e = ArcEndPoints(0, 0, 1000, DegToRad(c.a), DegToRad(c.b));
    EXPECT_EQ(e.full, c.full);
    // A whole circle is drawn with bulge 1 at both vertices whatever this says.
    if (!c.full) {
      EXPECT_NEAR(e.bulge, c.bulge, 1e-9 + 1e-6 * std::fabs(c.bulge));
    }
    EXPECT_EQ(e.x0, c.x0);
    EXPECT_EQ(e.y0, c.y0);
    EXPECT_EQ(e.x1, c.x1);
    EXPECT_EQ(e.y1, c.y1);
  }
}

TEST(ArcEndPoints, BulgeIsTakenFromTheSweepAsHeldInTheSixByteReal) {
  const long double sweep = ThroughReal48(DegToRad(20) - 0.0L, "s");
  const TArcEnds e = ArcEndPoints(0, 0, 1000, 0, DegToRad(20));
  EXPECT_EQ(e.bulge, static_cast<double>(std::sin(sweep / 4) / std::cos(sweep / 4)));
}

TEST(BlockNames, PatternNumberAndSide) {
  EXPECT_EQ(PatternBlockName("DIP14", true, 1), "DIP14_1");
  EXPECT_EQ(PatternBlockName("sot-23", false, 5), "____23_B_5");
  EXPECT_EQ(SanitizeBlockName("a-Z_9.\xe9 "), "__Z_9___");
}

TEST(BlockNames, LongPatternsLoseTheNumberInTheCutButNotWhenShortened) {
  const std::string p(250, 'P');
  // Bottom side: 250 + "_B_" leaves room for two digits of the number.
  EXPECT_EQ(PatternBlockName(p, false, 12), p + "_B_12");
  EXPECT_EQ(PatternBlockName(p, false, 123), p + "_B_12");
  EXPECT_EQ(WholeNumberBlockName(p, false, 123), p.substr(0, 249) + "_B_123");
  EXPECT_EQ(WholeNumberBlockName(p, true, 1234567), p.substr(0, 247) + "_1234567");
  // Names that need no cut are the same both ways.
  EXPECT_EQ(WholeNumberBlockName(p, false, 12), PatternBlockName(p, false, 12));
  EXPECT_EQ(WholeNumberBlockName("sot-23", false, 5), "____23_B_5");
  for (int32_t n : {1, 99, 12345, INT32_MAX}) {
    EXPECT_LE(WholeNumberBlockName(p, false, n).size(), kMaxBlockName);
    EXPECT_LE(PatternBlockName(p, false, n).size(), kMaxBlockName);
  }
}

}  // namespace
}  // namespace quennet
