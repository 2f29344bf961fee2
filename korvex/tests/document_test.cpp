// Board documents: what a broken document reports, and where.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "abi/korvex_host.h"
#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"
#include "korvex/src/board.h"
#include "tests/support/test_support.h"

using korvex::DocumentError;
using korvex::LoadBoardFromText;

namespace {

struct Broken {
  const char* name;
  const char* text;
  int line, column;
  const char* message;  // a part of the message
};

// Objects go on line 2 so that positions read naturally.
const Broken kBroken[] = {
    {"syntax: missing comma", "{\"objects\": [\n{\"kind\": \"track\" \"layer\": 1}]}", 2, 18,
     "invalid JSON"},
    {"syntax: unclosed string", "{\"objects\": [\n{\"kind\": \"track]}", 2, 18, "invalid JSON"},
    {"syntax: empty document", "", 1, 1, "invalid JSON"},
    {"syntax: trailing value", "{}\n{}", 2, 1, "invalid JSON"},
    {"root is not an object", "[1, 2]", 1, 1, "must be a JSON object"},
    {"unknown top-level field", "{\"object\": []}", 1, 2, "unknown field 'object'"},
    {"unknown object field", "{\"objects\": [\n{\"kind\": \"track\", \"layer\": 1, \"widht\": 5}]}",
     2, 31, "unknown field 'widht' in a track"},
    {"wrong type", "{\"objects\": [\n{\"kind\": \"track\", \"layer\": 1, \"width\": \"wide\"}]}", 2,
     40, "field 'width': \"wide\" is not a length"},
    {"wrong type of a point",
     "{\"objects\": [\n{\"kind\": \"track\", \"layer\": 1, \"from\": 5, \"to\": [0, 0]}]}", 2, 39,
     "field 'from': expected a point"},
    {"missing required field",
     "{\"objects\": [\n  {\"kind\": \"track\", \"layer\": 1, \"to\": [0, 0]}]}", 2, 3,
     "missing field 'from' in a track"},
    {"missing layer",
     "{\"objects\": [\n{\"kind\": \"fill\", \"corner1\": [0,0], \"corner2\": [1,1]}]}", 2, 1,
     "missing field 'layer' in a fill"},
    {"unknown layer name", "{\"objects\": [\n{\"kind\": \"track\", \"layer\": \"TopLayr\"}]}", 2,
     28, "unknown layer \"TopLayr\""},
    {"layer number out of range", "{\"objects\": [\n{\"kind\": \"track\", \"layer\": 83}]}", 2, 28,
     "outside 1..82"},
    {"unknown kind", "{\"objects\": [\n{\"layer\": 1, \"kind\": \"trak\"}]}", 2, 22,
     "unknown object kind \"trak\""},
    {"dangling owner",
     "{\"objects\": [\n{\"kind\": \"text\", \"layer\": 33, \"text\": \"a\", \"owner\": \"p1\"}]}",
     2, 53, "dangling reference: no object has the id \"p1\""},
    {"dangling rule",
     "{\"objects\": [\n{\"kind\": \"via\", \"size\": 10, \"hole\": 5, \"rule\": \"r\"}]}", 2, 48,
     "dangling reference"},
    {"duplicate id",
     "{\"objects\": [{\"kind\": \"dimension\", \"id\": \"d\"},\n{\"kind\": \"dimension\", \"id\": "
     "\"d\"}]}",
     2, 23, "duplicate id \"d\""},
    {"coordinate out of range",
     "{\"units\": \"in\", \"objects\": [\n{\"kind\": \"via\", \"x\": 300, \"size\": 1, \"hole\": "
     "0.5}]}",
     2, 22, "outside the board's coordinate range"},
    {"bad unit suffix", "{\"objects\": [\n{\"kind\": \"via\", \"size\": \"10 mil\", \"hole\": 5}]}",
     2, 25, "is not a length"},
    {"string too long",
     "{\"objects\": [\n{\"kind\": \"pad\", \"name\": \"123456789012345678901\", \"size\": 5}]}", 2,
     25, "longer than 20 characters"},
    {"stack not from top to bottom", "{\"board\": {\"stack\":\n[\"TopLayer\", \"MidLayer1\"]}}", 2,
     1, "runs from TopLayer to BottomLayer"},
    {"plane net on a signal layer",
     "{\"board\": {\"stack\": [\"TopLayer\",\n{\"layer\": \"MidLayer1\", \"net\": \"GND\"}, "
     "\"BottomLayer\"]}}",
     2, 1, "only internal planes carry a net"},
    {"component inside a component",
     "{\"objects\": [{\"kind\": \"component\", \"pattern\": \"A\", \"primitives\": [\n{\"kind\": "
     "\"component\", \"pattern\": \"B\"}]}]}",
     2, 1, "cannot be part of a component"},
    {"hole in a surface pad",
     "{\"objects\": [\n{\"kind\": \"pad\", \"layer\": \"TopLayer\", \"hole\": 5, \"size\": 10}]}",
     2, 1, "a pad with a hole lies on MultiLayer"},
    {"unknown shape", "{\"objects\": [\n{\"kind\": \"pad\", \"size\": 10, \"shape\": \"oval\"}]}",
     2, 38, "unknown shape \"oval\""},
    {"owner that is no group",
     "{\"objects\": [{\"kind\": \"via\", \"id\": \"v\", \"size\": 10, \"hole\": 5},\n{\"kind\": "
     "\"track\", \"layer\": 1, \"from\": [0,0], \"to\": [1,1], \"owner\": \"v\"}]}",
     2, 68, "is not a polygon, dimension"},
    {"via through a layer outside the stack",
     "{\"objects\": [\n  {\"kind\": \"via\", \"size\": 10, \"hole\": 5, \"to\": \"MidLayer4\"}]}",
     2, 3, "not in the layer stack"},
    {"field given twice",
     "{\"objects\": [\n{\"kind\": \"via\", \"size\": 1, \"size\": 2, \"hole\": 0}]}", 2, 28,
     "field 'size' is given twice"},
    {"byte order mark not counted", "\xEF\xBB\xBF{\"objekts\": []}", 1, 2,
     "unknown field 'objekts'"},
    {"character outside the code page",
     "{\"objects\": [\n{\"kind\": \"text\", \"layer\": 33, \"text\": \"\u4e2d\"}]}", 2, 39,
     "the character U+4E2D has no place in the editor's code page"},
    {"unknown units", "{\"objects\": [],\n  \"units\": \"furlong\"}", 2, 12,
     "field 'units': expected \"pcb\", \"mil\", \"mm\" or \"in\""},
    {"column counts characters", "{\"board\": {\"title\": \"Größe\",\n\"unit\": \"furlong\"}}", 2,
     9, "expected \"imperial\" or \"metric\""},
};

class BrokenDocument : public testing::TestWithParam<Broken> {};

TEST_P(BrokenDocument, IsRefusedWithItsPosition) {
  const Broken& b = GetParam();
  try {
    LoadBoardFromText(b.text, "board.json");
    FAIL() << "accepted: " << b.text;
  } catch (const DocumentError& e) {
    EXPECT_EQ(e.file, "board.json");
    EXPECT_EQ(e.line, b.line) << e.what();
    EXPECT_EQ(e.column, b.column) << e.what();
    EXPECT_NE(e.message.find(b.message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, BrokenDocument, testing::ValuesIn(kBroken),
                         [](const testing::TestParamInfo<Broken>& info) {
                           std::string n = info.param.name;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

TEST(Document, NestingIsBoundedWhateverTheDocumentDoes) {
  // Far beyond any parser's depth: refused with a position, never a crash.
  const std::string arrays = "{\"objects\": " + std::string(200000, '[');
  EXPECT_THROW(LoadBoardFromText(arrays, "deep.json"), DocumentError);

  std::string groups = "{\"objects\": [";
  for (int i = 0; i < 40; ++i) groups += "{\"kind\": \"dimension\", \"primitives\": [";
  for (int i = 0; i < 40; ++i) groups += "]}";
  groups += "]}";
  try {
    LoadBoardFromText(groups, "deep.json");
    FAIL() << "accepted 40 nested groups";
  } catch (const DocumentError& e) {
    EXPECT_NE(e.message.find("nested deeper than 32 levels"), std::string::npos) << e.what();
  }
}

TEST(Document, TextsAreKeptInTheEditorsCodePage) {
  auto b = LoadBoardFromText(
      "{\"objects\": [{\"kind\": \"text\", \"layer\": 33, \"text\": \"\u00d8 5\u00b5F \u20ac\"}]}",
      "t.json");
  EXPECT_EQ(b->texts[0].text,
            "\xD8 5\xB5"
            "F \x80");
}

TEST(Document, UnitsApplyToEveryLengthWhereverTheKeyStands) {
  auto b = LoadBoardFromText(
      "{\"objects\": [{\"kind\": \"track\", \"layer\": 1, \"from\": [1, \"2mm\"], \"to\": "
      "[\"0.5in\", \"3pcb\"], \"width\": 0.5}], \"units\": \"mil\"}",
      "t.json");
  const korvex::Object& o = b->objects[b->byKind[korvex::kTrack][0]];
  EXPECT_EQ(o.x, 10000);
  EXPECT_EQ(o.y, 787402);  // 2 mm, to the nearest unit
  EXPECT_EQ(b->tracks[o.data].x2, 5000000);
  EXPECT_EQ(b->tracks[o.data].y2, 3);
  EXPECT_EQ(b->tracks[o.data].width, 5000);
}

TEST(Document, LayersByShortNameDisplayNameOrNumber) {
  auto b = LoadBoardFromText(
      "{\"objects\": ["
      "{\"kind\": \"track\", \"layer\": \"toplayer\", \"from\": [0,0], \"to\": [1,1]},"
      "{\"kind\": \"track\", \"layer\": \"Mid Layer 3\", \"from\": [0,0], \"to\": [1,1]},"
      "{\"kind\": \"track\", \"layer\": \"Mechanical20\", \"from\": [0,0], \"to\": [1,1]},"
      "{\"kind\": \"track\", \"layer\": 33, \"from\": [0,0], \"to\": [1,1]}]}",
      "t.json");
  std::vector<uint32_t> layers;
  for (uint32_t i : b->byKind[korvex::kTrack]) layers.push_back(b->objects[i].layer);
  EXPECT_EQ(layers, (std::vector<uint32_t>{1, 4, 0x04000014u, 33}));
}

// The host program's entry: a refused document keeps the open board.
TEST(Document, OpenBoardReportsFileLineColumnAndKeepsTheOpenBoard) {
  const std::string good = std::string(ORVANTA_SOURCE_DIR) + "/examples/example-board.json";
  char error[256] = "untouched";
  ASSERT_EQ(KorvexOpenBoard(good.c_str(), error, sizeof error), 0) << error;

  test_support::TempDir tmp;
  const std::string bad = tmp / "korvex-bad.json";
  std::ofstream(bad)
      << "{\n  \"objects\": [\n    {\"kind\": \"arc\", \"layer\": \"TopLayer\"}\n  ]\n}\n";
  EXPECT_NE(KorvexOpenBoard(bad.c_str(), error, sizeof error), 0);
  EXPECT_EQ(std::string(error), bad + ":3:5: missing field 'center' in an arc");

  // The message is cut to the caller's buffer and stays terminated.
  char small[8];
  EXPECT_NE(KorvexOpenBoard(bad.c_str(), small, sizeof small), 0);
  EXPECT_EQ(std::string(small), bad.substr(0, 7));

  const std::string missing = tmp / "no-such-board.json";
  EXPECT_NE(KorvexOpenBoard(missing.c_str(), error, sizeof error), 0);
  EXPECT_EQ(std::string(error).rfind(missing + ": cannot read the board document", 0), 0u) << error;

  EXPECT_NE(PcbApi_GetCurrentBoardHandle(), 0u);
  KorvexCloseBoard();
  EXPECT_EQ(PcbApi_GetCurrentBoardHandle(), 0u);
}

}  // namespace
