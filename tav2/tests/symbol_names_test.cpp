// Symbol names in the form every release accepts, and the exporter's own
// names left as they were: the file holds the release's form, the engine
// still answers to the names it was given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tav2/src/values.h"
#include "tav2/tests/test_support.h"

namespace test_support {
namespace {

TEST(SymbolNames, MapToUpperCaseLettersDigitsAndDollarUnderscoreHyphen) {
  struct Case {
    std::vector<std::string_view> names;
    std::vector<std::string> want;
  } cases[] = {
      {{"TopLayer", "Mechanical13"}, {"TOPLAYER", "MECHANICAL13"}},
      {{"Top Layer (copy) #2", "a.b/c:d"}, {"TOP_LAYER__COPY___2", "A_B_C_D"}},
      {{"$PADS-1_x", "0"}, {"$PADS-1_X", "0"}},
      // Bytes of 8-bit text are outside the set, each one.
      {{"Lage\xC3\xBC"}, {"LAGE__"}},
      // 40 characters are cut to 31.
      {{"ASSEMBLY_DRAWING_NOTES_FOR_THE_TOP_SIDEX"}, {"ASSEMBLY_DRAWING_NOTES_FOR_THE_"}},
      // A trailing number survives the cut.
      {{"ASSEMBLY_DRAWING_NOTES_FOR_BOARD_12"}, {"ASSEMBLY_DRAWING_NOTES_FOR_B_12"}},
      // Names that meet after mapping are told apart by a number.
      {{"Top Layer", "TOP_LAYER", "top layer", "top-layer"},
       {"TOP_LAYER", "TOP_LAYER_2", "TOP_LAYER_3", "TOP-LAYER"}},
      // ... also when they meet only after the cut, which keeps them at 31.
      {{"ASSEMBLY_DRAWING_NOTES_FOR_BOARD_TOP", "ASSEMBLY_DRAWING_NOTES_FOR_BOARD_BOTTOM"},
       {"ASSEMBLY_DRAWING_NOTES_FOR_BOAR", "ASSEMBLY_DRAWING_NOTES_FOR_BO_2"}},
      // A numbered name that is taken already takes the next number.
      {{"U1_2", "u1", "U1"}, {"U1_2", "U1", "U1_3"}},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> got = tav2::SymbolNames(c.names);
    EXPECT_EQ(c.want, got) << c.names.front();
    for (const std::string& name : got) EXPECT_LE(name.size(), tav2::kSymbolNameMax) << name;
  }
  // Reserved names are taken before the first row.
  EXPECT_EQ(std::vector<std::string>{"$MODEL_SPACE_2"},
            tav2::SymbolNames({"$model_space"}, {"$MODEL_SPACE", "$PAPER_SPACE"}));
}

class SymbolNamesInFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    int32_t out;
    ASSERT_TRUE(edaInitAd2(DataFile().c_str(), 0, &out)) << edaGetLastError();
  }
};

// The file holds the mapped names, the same in DXF and DWG (the readback
// tests compare both with the exporter's names mapped); the engine keeps
// the names it was given for the exporter to find after a save.
TEST_F(SymbolNamesInFiles, FileHoldsTheReleaseFormAndTheEngineTheGivenName) {
  TempDir s;
  Builder b(4);
  b.Extents(0, 0, 10, 10);
  ASSERT_TRUE(b.AddLayer("Top Layer", 1));
  ASSERT_TRUE(b.AddLayer("TOP_LAYER", 2));
  ASSERT_TRUE(b.BeginBlock("Resistor 0603 (metric 1608), reflow footprint"));
  ASSERT_TRUE(b.Line("Top Layer", 0, 0, 1, 1));
  ASSERT_TRUE(b.EndBlock());
  ASSERT_TRUE(b.Insert("Resistor 0603 (metric 1608), reflow footprint", 1, 1, 0));
  for (int16_t release : {0, 4, 6}) {
    const std::string file = s / ("names" + std::to_string(release) + ".dxf");
    ASSERT_TRUE(b.Save(file, kFormatDxf, release)) << edaGetLastError();
    const std::string dxf = ReadFile(file);
    EXPECT_NE(std::string::npos, dxf.find("\r\nTOP_LAYER\r\n")) << release;
    EXPECT_NE(std::string::npos, dxf.find("\r\nTOP_LAYER_2\r\n")) << release;
    EXPECT_NE(std::string::npos, dxf.find("\r\nRESISTOR_0603__METRIC_1608___RE\r\n")) << release;
    EXPECT_EQ(std::string::npos, dxf.find("Top Layer")) << release;
  }
  // The given names still find their rows, and new entities still go on them.
  EXPECT_NE(0u, b.Layer("Top Layer"));
  EXPECT_NE(b.Layer("Top Layer"), b.Layer("TOP_LAYER"));
  uint8_t h[8];
  edaFindBlockheaderByName(b.drawing, "Resistor 0603 (metric 1608), reflow footprint", h);
  EXPECT_NE(0u, LoadHandle(h));
  ASSERT_TRUE(b.Line("Top Layer", 2, 2, 3, 3));
  ASSERT_TRUE(b.Save(s / "again.dwg", kFormatDwg, 6)) << edaGetLastError();
}

}  // namespace
}  // namespace test_support
