// The eda* functions as the exporter relies on them, and how they refuse bad
// input and failed saves.
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "tav2/src/tavinit.h"
#include "tav2/src/values.h"
#include "tav2/tests/test_support.h"

namespace test_support {
namespace {

class Engine : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    int32_t out;
    ASSERT_TRUE(edaInitAd2(DataFile().c_str(), 0, &out)) << edaGetLastError();
  }
  std::string LastError() const { return edaGetLastError(); }
};

TEST_F(Engine, DataFileProblemsAreReportedWithFileAndLine) {
  const std::string good = ReadFile(DataFile());
  ASSERT_FALSE(good.empty());
  auto without = [&](const std::string& line) {
    std::string t = good;
    const size_t at = t.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    return t.erase(at, line.size());
  };
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    const size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return t.replace(at, from.size(), to);
  };
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "TAVINIT.DAT: empty"},
      {"TAVINIT 2\n", "TAVINIT.DAT line 1: expected \"TAVINIT 1\""},
      {without("\nEND\n"), "ends without \"END\""},
      {replaced("$LTSCALE 40 1.0", "$LTSCALE 40 one"), "value \"one\" of group 40 is not a number"},
      {without("$DIMASZ 40 0.18\n"), "no default for header variable $DIMASZ"},
      {replaced("$INSBASE 10 0.0 20 0.0 30 0.0", "$INSBASE 10 0.0 20 0.0"),
       "$INSBASE lacks group 30"},
      {replaced("[APPID]", "[APPIDS]"), "unknown section [APPIDS]"},
      {replaced("0 7 CONTINUOUS", "0 7 DASHDOT"), "uses unknown line type DASHDOT"},
      {replaced("0 7 CONTINUOUS", "0 300 CONTINUOUS"), "colour \"300\" is not 1..255"},
      {replaced("CONTINUOUS \"Solid line\"", "CONTINUOUS \"Solid line"),
       "unterminated quoted text"},
  };
  for (const auto& c : cases) {
    tav2::EngineDefaults d;
    std::string error;
    EXPECT_FALSE(tav2::ParseTavinit(c.text, "TAVINIT.DAT", d, error)) << c.error;
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  // The line number points at the bad line.
  tav2::EngineDefaults d;
  std::string error;
  const std::string bad = replaced("$LTSCALE 40 1.0", "$LTSCALE 40 x");
  const size_t line = 1 + std::count(bad.begin(), bad.begin() + bad.find("$LTSCALE"), '\n');
  tav2::ParseTavinit(bad, "TAVINIT.DAT", d, error);
  EXPECT_NE(error.find("line " + std::to_string(line) + ":"), std::string::npos) << error;
}

TEST_F(Engine, MissingDataFileFailsInitWithItsPath) {
  int32_t out;
  EXPECT_EQ(0, edaInitAd2("/nonexistent/TAVINIT.DAT", 0, &out));
  EXPECT_NE(LastError().find("/nonexistent/TAVINIT.DAT"), std::string::npos) << LastError();
  // The engine stays usable with the defaults it had.
  Builder b;
  EXPECT_NE(0, b.drawing);
  SetUpTestSuite();
}

TEST_F(Engine, HandlesAreUniqueAndNamesFoundWithoutRegardToCase) {
  Builder b;
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  std::set<uint64_t> seen;
  for (int i = 0; i < 1000; ++i) {
    uint8_t h[8];
    ASSERT_TRUE(edaGenerateObjhandle(b.drawing, h));
    EXPECT_TRUE(seen.insert(LoadHandle(h)).second);
  }
  EXPECT_EQ(0u, seen.count(0));
  const uint64_t top = b.Layer("TopLayer");
  EXPECT_NE(0u, top);
  EXPECT_FALSE(seen.count(top));
  EXPECT_EQ(top, b.Layer("toplayer"));
  EXPECT_EQ(0u, b.Layer("BottomLayer"));
  EXPECT_NE(LastError().find("no layer named BottomLayer"), std::string::npos);
  // One row per name, whatever the case: the first stays.
  EXPECT_FALSE(b.AddLayer("TOPLAYER", 3));
  EXPECT_EQ("the drawing has a layer named TOPLAYER already", LastError());
  EXPECT_EQ(top, b.Layer("TopLayer"));

  // Model space and a block have entity lists of their own.
  ASSERT_TRUE(b.BeginBlock("U1"));
  EXPECT_NE(b.model, b.list);
  EXPECT_FALSE(b.BeginBlock("u1")) << "block names compare without case";
  b.EndBlock();
  uint8_t h[8];
  EXPECT_TRUE(edaFindBlockheaderByName(b.drawing, "*Model_Space", h));
  EXPECT_EQ(b.model, edaEntityList(b.drawing, h));

  // A handle used twice is refused.
  b.Begin(kEntLine, "TopLayer");
  StoreHandle(b.r.header + kEntHandle, top);
  EXPECT_EQ(0, edaAddEntityToList(b.drawing, b.list, b.r.header, b.r.data));
  EXPECT_NE(LastError().find("already in use"), std::string::npos) << LastError();
}

TEST_F(Engine, RecordsAreDefaultedAndBlockHeadersReadBack) {
  Builder b;
  Records& r = b.Begin(kEntText);
  EXPECT_EQ(1.0, Get<double>(r.data, kTextWidthFactor));
  EXPECT_EQ(0, Get<uint8_t>(r.data, kTextGeneration));
  EXPECT_EQ(256, Get<int16_t>(r.header, kEntColor));
  b.Begin(kEntInsert);
  EXPECT_EQ(1.0, Get<double>(r.data, kInsertScaleY));
  EXPECT_EQ(1, Get<int16_t>(r.data, kInsertRows));

  uint8_t rec[kBlockRecordSize];
  edaSetDefaultBlockheader(rec);
  EXPECT_EQ(-1, Get<int16_t>(rec, kBlockLayoutIndex));
  std::strcpy(reinterpret_cast<char*>(rec + kBlockName), "J1");
  edaGenerateObjhandle(b.drawing, rec + kBlockHandle);
  ASSERT_TRUE(edaAddBlockheader(b.drawing, rec));
  uint8_t handle[8], back[kBlockRecordSize];
  std::memcpy(handle, rec + kBlockHandle, 8);
  ASSERT_TRUE(edaSeekBlockheader(b.drawing, handle, back));
  EXPECT_STREQ("J1", reinterpret_cast<char*>(back + kBlockName));
  EXPECT_EQ(edaEntityList(b.drawing, handle), Get<int32_t>(back, kBlockEntityList));
  EXPECT_EQ(0, std::memcmp(handle, back + kBlockHandle, 8));
}

TEST_F(Engine, BadEntitiesAreRefusedWithAReason) {
  Builder b;
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  const double nan = std::nan("");
  EXPECT_FALSE(b.Line("TopLayer", 0, nan, 1, 1));
  EXPECT_EQ("LINE: start point is not a finite number", LastError());

  b.Begin(kEntCircle);
  StoreHandle(b.r.header + kEntLayer, 0xFFFF);
  EXPECT_FALSE(b.Add());
  EXPECT_NE(LastError().find("layer handle FFFF is not a layer"), std::string::npos);

  EXPECT_FALSE(b.Insert("NOSUCH", 0, 0, 0));
  EXPECT_NE(LastError().find("INSERT: block handle 0 is not a block"), std::string::npos);

  b.Begin(kEntVertex, "TopLayer");
  EXPECT_FALSE(b.Add());
  EXPECT_EQ("VERTEX: no POLYLINE is open in this entity list", LastError());

  b.Begin(kEntPolyline, "TopLayer");
  ASSERT_TRUE(b.Add());
  EXPECT_FALSE(b.Line("TopLayer", 0, 0, 1, 1));
  EXPECT_NE(LastError().find("not ended by a SEQEND"), std::string::npos);
  b.Begin(kEntSeqend);
  ASSERT_TRUE(b.Add());

  uint8_t layer[kLayerRecordSize];
  edaSetDefaultLayer(b.drawing, layer);
  std::memset(layer + kLayerName, 'x', kLayerNameMax + 1);  // no terminator in the field
  EXPECT_FALSE(edaAddLayer(b.drawing, layer));
  EXPECT_NE(LastError().find("not terminated"), std::string::npos);

  b.Begin(kEntText, "TopLayer");
  std::memset(b.r.data + kTextValue, 'x', kTextValueMax + 1);
  EXPECT_FALSE(b.Add());
  EXPECT_NE(LastError().find("TEXT: the text is not terminated"), std::string::npos);

  // None of the refused entities reached the drawing.
  TempDir s;
  ASSERT_TRUE(b.Save(s / "x.dxf", kFormatDxf, 4)) << LastError();
  const std::string dxf = ReadFile(s / "x.dxf");
  EXPECT_EQ(std::string::npos, dxf.find("\nLINE\r"));
  EXPECT_EQ(std::string::npos, dxf.find("\nCIRCLE\r"));
}

// The header record's extents and units reach the file as given, in every
// release's spelling; R14 is the first to carry the measurement system.
TEST_F(Engine, HeaderCarriesExtentsAndUnitsAsGiven) {
  const struct {
    int16_t release;
    double x0, y0, x1, y1;
    int16_t units;
    const char* extmin;
    const char* extmax;
  } cases[] = {
      {6, 0.1, -2.5, 1234567.125, 3, 1, "$EXTMIN\r\n 10\r\n0.1\r\n 20\r\n-2.5\r\n 30\r\n0.0\r\n",
       "$EXTMAX\r\n 10\r\n1234567.125\r\n 20\r\n3.0\r\n 30\r\n0.0\r\n"},
      {4, 0, 0, 0, 0, 0, "$EXTMIN\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n",
       "$EXTMAX\r\n 10\r\n0.0\r\n 20\r\n0.0\r\n 30\r\n0.0\r\n"},
      // Inverted extents are not "repaired".
      {1, 5, 5, -5, -5, 1, "$EXTMIN\r\n 10\r\n5.0\r\n 20\r\n5.0\r\n  9\r\n",
       "$EXTMAX\r\n 10\r\n-5.0\r\n 20\r\n-5.0\r\n  9\r\n"},
  };
  for (const auto& c : cases) {
    TempDir s;
    Builder b(c.release);
    b.Extents(c.x0, c.y0, c.x1, c.y1, c.units);
    ASSERT_TRUE(b.Save(s / "h.dxf", kFormatDxf, c.release)) << LastError();
    const std::string dxf = ReadFile(s / "h.dxf");
    EXPECT_NE(dxf.find(c.extmin), std::string::npos) << c.release << "\n" << dxf.substr(0, 400);
    EXPECT_NE(dxf.find(c.extmax), std::string::npos) << c.release;
    const bool hasMeasurement = dxf.find("$MEASUREMENT") != std::string::npos;
    EXPECT_EQ(c.release == 6, hasMeasurement) << c.release;
    if (hasMeasurement) {
      EXPECT_NE(dxf.find("$MEASUREMENT\r\n 70\r\n" + std::to_string(c.units) + "\r\n"),
                std::string::npos);
    }
  }
}

// What the user sees when a save cannot be done; no file appears.
TEST_F(Engine, UnsupportedSavesFailWithAReasonAndWriteNothing) {
  const struct {
    uint8_t format;
    int16_t version;
    const char* error;
  } cases[] = {
      {kFormatDxf, 7, "unsupported AutoCAD version 7"},
      {kFormatDxf, -1, "unsupported AutoCAD version -1"},
      {kFormatDwg, 300, "unsupported AutoCAD version 300"},
      {2, 4, "unsupported output format 2"},
      {kFormatDxf, 4, "the drawing's extents are not finite numbers"},
  };
  for (const auto& c : cases) {
    TempDir s;
    Builder b;
    b.Extents(0, 0, std::strstr(c.error, "extents") ? std::nan("") : 1, 1);
    EXPECT_EQ(0, b.Save(s / "out.dxf", c.format, c.version));
    EXPECT_EQ(c.error, LastError());
    EXPECT_TRUE(s.List().empty());
  }
}

TEST_F(Engine, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const struct {
    uint8_t format;
    int16_t version;
    const char* name;
    const char* start;  // of a good file
  } cases[] = {
      {kFormatDxf, 4, "board.dxf", "  0\r\nSECTION"},
      {kFormatDwg, 4, "board.dwg", "AC1009"},
      {kFormatDwg, 0, "board.dwg", "AC1002"},
  };
  for (const auto& c : cases) {
    TempDir s;
    const std::string target = s / c.name;
    WriteFile(target, "the previous drawing");
    Builder b(c.version);
    ASSERT_TRUE(b.AddLayer("TopLayer", 1));
    for (int i = 0; i < 20000; ++i) ASSERT_TRUE(b.Line("TopLayer", i, 0, i, 1));

    // A file size limit makes the write fail part way.
    struct sigaction ignore = {}, old = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit, saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    limit = saved;
    limit.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int16_t ok = b.Save(target, c.format, c.version);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_EQ(0, ok) << c.name << " " << c.version;
    EXPECT_EQ("cannot write " + target + ": File too large", LastError());
    EXPECT_EQ("the previous drawing", ReadFile(target));
    EXPECT_EQ(std::vector<std::string>{c.name}, s.List());

    // A folder that does not exist names the file in the message.
    const std::string missing = s / (std::string("missing/") + c.name);
    EXPECT_EQ(0, b.Save(missing, c.format, c.version));
    EXPECT_EQ("cannot write " + missing + ": No such file or directory", LastError());

    // And a good save replaces the old file.
    ASSERT_TRUE(b.Save(target, c.format, c.version)) << LastError();
    EXPECT_EQ(0u, ReadFile(target).find(c.start));
    EXPECT_EQ(std::vector<std::string>{c.name}, s.List());
  }
}

// Values a release and format cannot hold, from the data file or from the
// drawing, are refused before a byte is written, with the value named.
TEST_F(Engine, ValuesTheFormatCannotHoldAreRefusedNamingThem) {
  TempDir s;
  const std::string good = ReadFile(DataFile());
  struct Case {
    const char* from;
    std::string to;
    int format, version;
    const char* names;
  };
  const Case cases[] = {
      {"$MENU 1 acad", "$MENU 1 " + std::string(10 << 20, 'm'), kFormatDxf, 4,
       "header variable $MENU: the value \"mmmm"},
      {"$MENU 1 acad", "$MENU 1 " + std::string(10 << 20, 'm'), kFormatDwg, 6,
       "is 10485760 bytes long; a DWG for AutoCAD R14 holds at most 65535"},
      {"$MENU 1 acad", "$MENU 1 " + std::string(256, 'm'), kFormatDxf, 6,
       "is 256 bytes long; a DXF for AutoCAD R14 holds at most 255"},
      {"$ATTMODE 70 1", "$ATTMODE 70 70000", kFormatDxf, 4,
       "header variable $ATTMODE: the value 70000 of group 70 is not a 16-bit integer"},
  };
  for (const Case& c : cases) {
    std::string text = good;
    text.replace(text.find(c.from), std::strlen(c.from), c.to);
    const std::string data = s / "TAVINIT.DAT";
    WriteFile(data, text);
    int32_t out;
    ASSERT_TRUE(edaInitAd2(data.c_str(), 0, &out)) << LastError();
    Builder b;
    ASSERT_TRUE(b.AddLayer("TopLayer", 1));
    EXPECT_EQ(0, b.Save(s / "board.dxf", static_cast<uint8_t>(c.format), c.version)) << c.names;
    EXPECT_NE(LastError().find(c.names), std::string::npos) << LastError().substr(0, 200);
    EXPECT_LT(LastError().size(), 300u) << "the message repeats the whole value";
    EXPECT_EQ(std::vector<std::string>{"TAVINIT.DAT"}, s.List());
  }
  SetUpTestSuite();

  // A text longer than a DXF line of these releases holds; DWG has room.
  Builder b;
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  ASSERT_TRUE(b.Text("TopLayer", 0, 0, 1, 0, 1, false, std::string(300, 't').c_str()));
  EXPECT_EQ(0, b.Save(s / "board.dxf", kFormatDxf, 6));
  EXPECT_NE(LastError().find("TEXT entity: the value \"tttt"), std::string::npos) << LastError();
  EXPECT_TRUE(b.Save(s / "board.dwg", kFormatDwg, 6)) << LastError();
}

// The engine's own files are never replaced by a drawing; a replaced drawing
// keeps its permissions; a name at the file system's limit is written.
TEST_F(Engine, TargetsAreReplacedSafely) {
  TempDir s;
  const std::string data = s / "TAVINIT.DAT";
  WriteFile(data, ReadFile(DataFile()));
  int32_t out;
  ASSERT_TRUE(edaInitAd2(data.c_str(), 0, &out)) << LastError();
  const std::string link = s / "link.dxf";
  ASSERT_EQ(0, ::link(data.c_str(), link.c_str()));
  Builder b;
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  for (const std::string& target : {data, link}) {
    EXPECT_EQ(0, b.Save(target, kFormatDxf, 4));
    EXPECT_NE(LastError().find("is a file of the drawing engine itself"), std::string::npos)
        << LastError();
  }
  EXPECT_EQ(ReadFile(DataFile()), ReadFile(data));
  SetUpTestSuite();

  const std::string target = s / "private.dxf";
  WriteFile(target, "the previous drawing");
  ASSERT_EQ(0, ::chmod(target.c_str(), 0600));
  ASSERT_TRUE(b.Save(target, kFormatDxf, 4)) << LastError();
  struct stat st {};
  ASSERT_EQ(0, ::stat(target.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);

  const std::string longest = s / (std::string(NAME_MAX - 4, 'n') + ".dxf");
  ASSERT_TRUE(b.Save(longest, kFormatDxf, 4)) << LastError();
  ASSERT_TRUE(b.Save(longest, kFormatDxf, 4)) << LastError();  // and over itself
  EXPECT_EQ(4u, s.List().size()) << "nothing but the files written";
}

// Texts with line breaks and polylines the caller never ended would break or
// lose data; the engine writes them so readers still take the file.
TEST_F(Engine, AwkwardInputStillMakesAValidFile) {
  TempDir s;
  Builder b;
  ASSERT_TRUE(b.AddLayer("TopLayer", 1));
  ASSERT_TRUE(b.Text("TopLayer", 0, 0, 1, 0, 1, false, "A\nB"));
  ASSERT_TRUE(b.Polyline("TopLayer", false, 0, {}));  // empty: POLYLINE then SEQEND
  b.Begin(kEntPolyline, "TopLayer");
  ASSERT_TRUE(b.Add());
  b.Begin(kEntVertex, "TopLayer");
  Put(b.r.data, kVertexX, 2.0);
  ASSERT_TRUE(b.Add());  // no SEQEND before the save
  const std::string file = s / "odd.dxf";
  ASSERT_TRUE(b.Save(file, kFormatDxf, 4)) << LastError();
  EXPECT_NE(ReadFile(file).find("\r\nA^JB\r\n"), std::string::npos);
  const RunResult r = RunCommand("/usr/bin/python3 " + ReadersDir() + "/read_ezdxf.py " + file, s);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(r.out.find("\"vertices\": [[2.0, 0.0"), std::string::npos) << r.out;
}

// SOURCE_DATE_EPOCH fixes the creation date; a value that is not a plain
// count of seconds leaves the clock, as the editor's print date does.
TEST(CreationDate, FixedBySourceDateEpoch) {
  const double now = 2440587.5 + static_cast<double>(std::time(nullptr)) / 86400.0;
  {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
    EXPECT_DOUBLE_EQ(tav2::CreationDate(), 2440587.5 + 1700000000.0 / 86400.0);
  }
  {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", "0");
    EXPECT_DOUBLE_EQ(tav2::CreationDate(), 2440587.5);
  }
  for (const char* bad : {"", "soon", "-5", "+5", "12x", "99999999999999999999"}) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", bad);
    EXPECT_NEAR(tav2::CreationDate(), now, 1.0 / 24) << bad;
  }
}

}  // namespace
}  // namespace test_support
