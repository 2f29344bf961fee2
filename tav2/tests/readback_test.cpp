// Every entity kind in every release, read back by ezdxf (with its audit) and
// by libdxfrw, and compared with what the engine was asked to write.
#include <numbers>

#include "tav2/tests/test_support.h"

namespace test_support {
namespace {

constexpr double kPi = std::numbers::pi;

class Readback : public testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    int32_t out;
    ASSERT_TRUE(edaInitAd2(DataFile().c_str(), 0, &out)) << edaGetLastError();
  }
};

// A board-like drawing: the values are chosen to catch lost precision (0.1 +
// 0.2, 1e-7, large coordinates), angle conversion (arcs across 0, mirrored and
// rotated text) and polyline detail (bulges of both signs, widths, closed).
void Fill(Recorder& r) {
  r.Layer("TopLayer", 1);
  r.Layer("BottomLayer", 5);
  r.Layer("TopOverlay", 2);
  r.Layer("Mechanical13", 7);
  r.Line("TopLayer", 0.1 + 0.2, -1e-7, 1234567.125, 2.5);
  r.Line("BottomLayer", -25.4, 0, 0, 25.4);
  r.Circle("TopOverlay", 1.0 / 3.0, 2.0 / 3.0, 0.0125);
  r.Arc("TopLayer", 10, 10, 2.54, 0.25 * kPi, 1.75 * kPi);
  r.Arc("BottomLayer", -3, 4, 0.5, 1.9 * kPi, 0.1 * kPi);
  r.Solid("TopLayer", {0, 0, 10, 0, 0, 5, 10, 5});
  r.Text("TopOverlay", 1.5, 2.5, 0.06, 0.5, 0.8, false, "R1 100k 5%");
  r.Text("Mechanical13", -1, -2, 1.27, kPi / 2, 1, true, "U7 \"mirrored\"");
  r.Text("TopOverlay", 3, 3, 0.05, 0, 1, false,
         "C3 10\xb5"
         "F \xb1"
         "5%");
  r.Polyline("TopLayer", false, 0.254, {{0, 0, -0.5}, {1, 0, 0.41421356237309503}, {2, 1, 0}});
  r.Polyline("BottomLayer", true, 0.6, {{-0.3, 0, 1}, {0.3, 0, 1}});
  r.Polyline("TopLayer", false, 0, {{5, 5, 0}, {6, 7, 0}});
  r.BeginBlock("SOIC8_U1");
  r.Line("TopOverlay", -2, -2.5, 2, -2.5);
  r.Circle("TopOverlay", -1.5, -1.5, 0.2);
  r.Polyline("TopLayer", true, 0.1, {{-0.3, 0, 1}, {0.3, 0, 1}});
  r.Solid("TopLayer", {-0.5, -0.3, 0.5, -0.3, -0.5, 0.3, 0.5, 0.3});
  r.Text("TopOverlay", 0, 0, 0.1, 0, 1, false, "U1");
  r.EndBlock();
  r.BeginBlock("R0603");
  r.Arc("TopOverlay", 0, 0, 1, 0, kPi);
  r.EndBlock();
  r.Insert("SOIC8_U1", 20, 30, kPi / 2);
  r.Insert("R0603", -20, 0.001, 0);
  r.Insert("SOIC8_U1", 0, 0, 3 * kPi / 2);
}

TEST_P(Readback, EveryEntityKindReadsBackAsWritten) {
  const int release = GetParam();
  TempDir scratch;
  Builder b(static_cast<int16_t>(release));
  b.Extents(-25.4, -2, 1234567.125, 30, 1);
  Recorder r(b);
  Fill(r);
  if (HasFatalFailure()) return;
  const std::string dxf = scratch / "board.dxf";
  ASSERT_TRUE(b.Save(dxf, kFormatDxf, static_cast<int16_t>(release))) << edaGetLastError();
  const std::string expected = scratch / "expected.json";
  WriteFile(expected, r.Expected(release));
  EXPECT_EQ("", ReadAndCompare("ezdxf", dxf, expected, scratch));
  EXPECT_EQ("", ReadAndCompare("libdxfrw", dxf, expected, scratch));
}

std::string ReleaseName(const testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {"V2_5", "V2_6", "R9", "R10", "R12", "R13", "R14"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(AllReleases, Readback, testing::Range(0, 7), ReleaseName);

}  // namespace
}  // namespace test_support
