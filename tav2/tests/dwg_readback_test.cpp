// DWG R13 and R14 written through the engine's functions, read back by
// LibreDWG and libdxfrw and compared entity by entity with what the engine
// was asked to write and with what ezdxf reads from the DXF of the same
// drawing; and a flipped byte is caught by a reader's CRC check.
#include <numbers>

#include "tav2/tests/test_support.h"

namespace test_support {
namespace {

constexpr double kPi = std::numbers::pi;

class DwgReadback : public testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    int32_t out;
    ASSERT_TRUE(edaInitAd2(DataFile().c_str(), 0, &out)) << edaGetLastError();
  }
};

// A board-like drawing: values that catch lost precision and angle or width
// coding (equal widths are stored once in DWG, bulges of both signs, zero
// widths), block contents, inserts at several rotations, and enough objects
// that the object map spans more than one page.
void Fill(Recorder& r) {
  r.Layer("TopLayer", 1);
  r.Layer("BottomLayer", 5);
  r.Layer("TopOverlay", 2);
  r.Layer("Mechanical13", 7);
  r.Line("TopLayer", 0.1 + 0.2, -1e-7, 1234567.125, 2.5);
  r.Circle("TopOverlay", 1.0 / 3.0, 2.0 / 3.0, 0.0125);
  r.Arc("TopLayer", 10, 10, 2.54, 0.25 * kPi, 1.75 * kPi);
  r.Arc("BottomLayer", -3, 4, 0.5, 1.9 * kPi, 0.1 * kPi);
  r.Solid("TopLayer", {0, 0, 10, 0, 0, 5, 10, 5});
  r.Text("TopOverlay", 1.5, 2.5, 0.06, 0.5, 0.8, false, "R1 100k 5%");
  r.Text("Mechanical13", -1, -2, 1.27, kPi / 2, 1, true, "U7 \"mirrored\"");
  r.Polyline("TopLayer", false, 0.254, {{0, 0, -0.5}, {1, 0, 0.41421356237309503}, {2, 1, 0}});
  r.Polyline("BottomLayer", true, 0.6, {{-0.3, 0, 1}, {0.3, 0, 1}});
  r.Polyline("TopLayer", false, 0, {{5, 5, 0}, {6, 7, 0}});
  r.BeginBlock("SOIC8_U1");
  r.Line("TopOverlay", -2, -2.5, 2, -2.5);
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
  for (int i = 0; i < 400; ++i)
    r.Polyline(i % 2 ? "TopLayer" : "BottomLayer", false, 0.2 + i * 1e-3,
               {{i * 0.1, 0, 0}, {i * 0.1 + 1, 0.5, 0}});
}

std::string ReadDwg(const std::string& reader, const std::string& dwg, const TempDir& scratch,
                    RunResult& r) {
  const std::string json = scratch / (reader + ".json");
  r = RunCommand(reader == "libredwg" ? "node " + ReadersDir() + "/dwg_read_libredwg.mjs " + dwg
                                      : "node " + ReadersDir() + "/dwg_read_libdxfrw.js " + dwg,
                 scratch);
  WriteFile(json, r.out);
  return json;
}

TEST_P(DwgReadback, ReadersSeeWhatTheEngineWroteAndWhatTheDxfHolds) {
  const int release = GetParam();
  TempDir scratch;
  Builder b(static_cast<int16_t>(release));
  b.Extents(-25.4, -2, 1234567.125, 30, 1);
  Recorder r(b);
  Fill(r);
  if (HasFatalFailure()) return;
  const std::string dwg = scratch / "board.dwg", dxf = scratch / "board.dxf";
  ASSERT_TRUE(b.Save(dwg, kFormatDwg, static_cast<int16_t>(release))) << edaGetLastError();
  ASSERT_TRUE(b.Save(dxf, kFormatDxf, static_cast<int16_t>(release))) << edaGetLastError();
  const std::string expected = scratch / "expected.json";
  WriteFile(expected, r.Expected(release));

  RunResult ezdxf =
      RunCommand("/usr/bin/python3 " + ReadersDir() + "/read_ezdxf.py " + dxf, scratch);
  ASSERT_EQ(0, ezdxf.status) << ezdxf.err;
  WriteFile(scratch / "ezdxf.json", ezdxf.out);

  for (const std::string reader : {"libredwg", "libdxfrw"}) {
    RunResult read;
    const std::string json = ReadDwg(reader, dwg, scratch, read);
    ASSERT_EQ(0, read.status) << reader << " rejected the drawing: " << read.err;
    RunResult cmp = RunCommand(
        "/usr/bin/python3 " + ReadersDir() + "/compare.py " + expected + " " + json, scratch);
    EXPECT_EQ(0, cmp.status) << cmp.out << cmp.err;
    cmp = RunCommand("/usr/bin/python3 " + ReadersDir() + "/dwg_compare.py " +
                         scratch / "ezdxf.json" + " " + json,
                     scratch);
    EXPECT_EQ(0, cmp.status) << cmp.out << cmp.err;
  }
}

// One byte changed inside the objects: LibreDWG checks every object's CRC.
TEST_P(DwgReadback, AFlippedByteIsReportedAsACrcError) {
  const int release = GetParam();
  TempDir scratch;
  Builder b(static_cast<int16_t>(release));
  Recorder r(b);
  r.Layer("TopLayer", 1);
  r.Line("TopLayer", 0, 0, 1, 1);
  r.Circle("TopLayer", 2, 2, 0.5);
  if (HasFatalFailure()) return;
  const std::string dwg = scratch / "board.dwg";
  ASSERT_TRUE(b.Save(dwg, kFormatDwg, static_cast<int16_t>(release))) << edaGetLastError();
  RunResult read;
  ReadDwg("libredwg", dwg, scratch, read);
  ASSERT_EQ(0, read.status) << read.err;

  std::string bytes = ReadFile(dwg);
  // The last object map page starts 6 bytes before the map's end; the object
  // data lies between the section locators' last record and the map.
  const auto rl = [&](std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) |
                                 static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                 static_cast<uint8_t>(bytes[at + 2]) << 16 |
                                 static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
  };
  const uint32_t objects = rl(0x19 + 9 * 4 + 1) + rl(0x19 + 9 * 4 + 5);
  const uint32_t map = rl(0x19 + 9 * 2 + 1);
  ASSERT_LT(objects + 64, map);
  bytes[(objects + map) / 2] ^= 0x08;
  WriteFile(dwg, bytes);
  ReadDwg("libredwg", dwg, scratch, read);
  EXPECT_NE(0, read.status);
  EXPECT_NE(std::string::npos, read.err.find("CRC mismatch")) << read.err;
}

std::string ReleaseName(const testing::TestParamInfo<int>& info) {
  return info.param == 5 ? "R13" : "R14";
}

INSTANTIATE_TEST_SUITE_P(DwgReleases, DwgReadback, testing::Values(5, 6), ReleaseName);

}  // namespace
}  // namespace test_support
