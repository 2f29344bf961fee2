// The command line, run as a user runs it.
#include <gtest/gtest.h>

#include <fstream>

#include "orvanta/tests/test_util.h"

namespace {

using namespace test_support;

const std::string kFormat = "AutoCAD files (*.DXF; *.DWG)";

std::string ExampleBoard() {
  return std::string(ORVANTA_SOURCE_DIR) + "/examples/example-board.json";
}

// Each test gets its own options store and an empty registry (no test mode).
class Cli : public ::testing::Test {
 protected:
  TempDir home;
  ScopedEnv store{"ORVANTA_OPTIONS_FILE", home / "config/options.ini"};
  ScopedEnv registry{"ORVANTA_REGISTRY_ROOT", home / "registry"};
  std::string StorePath() const { return home / "config/options.ini"; }
};

size_t Lines(const std::string& s) {
  return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

TEST_F(Cli, FormatsListsTheExporter) {
  const RunResult r = RunProgram(Orvanta(), {"formats"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kFormat + "\n");
}

TEST_F(Cli, UsageErrorsAreOneLineNamingTheOption) {
  const struct {
    std::vector<std::string> args;
    const char* names;
  } cases[] = {
      {{"frobnicate"}, "'frobnicate'"},
      {{"formats", "x"}, "'x'"},
      {{"export", "b.json"}, "-o FILE"},
      {{"export", "-o", "out"}, "BOARD"},
      {{"export", "b.json", "-o"}, "-o: missing value"},
      {{"export", "b.json", "-o", "out", "--units", "cm"}, "--units: 'cm'"},
      {{"export", "b.json", "-o", "out", "--version=R15"}, "--version: 'R15'"},
      {{"export", "b.json", "-o", "out", "--holes", "all"}, "--holes"},
      {{"export", "b.json", "-o", "out", "--frob"}, "--frob: unknown option"},
      {{"export", "b.json", "c.json", "-o", "out"}, "an existing folder"},
      {{"export", "a/b.json", "c/b.kicad_pcb", "-o", "."}, "would both be written to b"},
      {{"export", "b.json", "-o", "out", "--ends", "round", "--ends=square"},
       "--ends: given twice"},
  };
  for (const auto& c : cases) {
    const RunResult r = RunProgram(Orvanta(), c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(StorePath())) << "nothing stored by a refused command line";
  EXPECT_EQ(RunProgram(Orvanta(), {}).status, 2);
  EXPECT_EQ(RunProgram(Orvanta(), {"--help"}).status, 0);
}

TEST_F(Cli, InputErrorsNameTheFile) {
  // A broken store is reported with its line and left as it is.
  fs::create_directories(home / "config");
  WriteFile(StorePath(), "[Quennet/Dialog]\nUnits=1\nnonsense\n");
  RunResult r =
      RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / "out", "--units", "mm"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "orvanta: " + StorePath() + ":3: expected Key=value or [Section/Group]: nonsense\n");
  EXPECT_EQ(ReadFile(StorePath()), "[Quennet/Dialog]\nUnits=1\nnonsense\n");
  r = RunProgram(Orvanta(), {"options"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(StorePath() + ":3:"), std::string::npos) << r.err;
  fs::remove(StorePath());

  r = RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / "no/such/folder/out"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no/such/folder"), std::string::npos) << r.err;

  r = RunProgram(Orvanta(), {"export", home / "missing.json", "-o", home / "out", "--units", "mm"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_NE(r.err.find("missing.json"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(StorePath())) << "options are stored only for a board that opens";

  r = RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / std::string(300, 'x')});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("longer than 255"), std::string::npos) << r.err;
}

TEST_F(Cli, ExportStoresTheGivenOptionsWithTheirEncodings) {
  const struct {
    std::vector<std::string> flags;
    std::string stored;
    std::string extension;
  } cases[] = {
      {{"--version", "R12", "--format", "dxf", "--units", "mm", "--holes", "layers", "--components",
        "primitives", "--ends", "square", "--zero-width", "selected", "--layers", "visible"},
       "[Quennet/Dialog]\nACAD Version=4\nOutput Format=1\nUnits=1\nHole Mode=1\n"
       "Components Mode=1\nRounded Tracks=0\nZero Width Lines=2\nOnly Visible Layers=-1\n",
       ".dxf"},
      // Options not given keep their stored values.
      {{"--ends=round", "--layers=all", "--version=v2.5", "--holes=pads"},
       "[Quennet/Dialog]\nACAD Version=0\nOutput Format=1\nUnits=1\nHole Mode=2\n"
       "Components Mode=1\nRounded Tracks=-1\nZero Width Lines=2\nOnly Visible Layers=0\n",
       ".dxf"},
      {{"--format", "DWG", "--version", "R14", "--zero-width", "all", "--components", "blocks"},
       "[Quennet/Dialog]\nACAD Version=6\nOutput Format=0\nUnits=1\nHole Mode=2\n"
       "Components Mode=0\nRounded Tracks=-1\nZero Width Lines=1\nOnly Visible Layers=0\n",
       ".dwg"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"export", ExampleBoard(), "-o", home / "board"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    const RunResult r = RunProgram(Orvanta(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string file = ReadFile(StorePath());
    EXPECT_NE(file.find(c.stored), std::string::npos) << file;
    EXPECT_EQ(r.out, home / ("board" + c.extension) + "\n");
    EXPECT_TRUE(fs::file_size(home / ("board" + c.extension)) > 0);
  }
  const RunResult r = RunProgram(Orvanta(), {"options"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(StorePath()), std::string::npos);
  EXPECT_NE(r.out.find("ACAD Version=6"), std::string::npos) << r.out;
}

// Several boards: one file each in the folder, one line each; a bad board
// stops nothing but the exit status.
TEST_F(Cli, SeveralBoardsEachToItsOwnFileInTheFolder) {
  fs::create_directories(home / "boards");
  fs::create_directories(home / "out");
  fs::copy_file(ExampleBoard(), home / "boards/first.json");
  fs::copy_file(ExampleBoard(), home / "boards/second.json");
  { std::ofstream(home / "boards/broken.kicad_pcb") << "(kicad_pcb (version 20211014)\n(segment"; }
  const RunResult r =
      RunProgram(Orvanta(), {"export", home / "boards/first.json", home / "boards/broken.kicad_pcb",
                             home / "boards/second.json", "-o", home / "out/", "--format", "dxf"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, home / "out/first.dxf" + "\n" + home / "out/second.dxf" + "\n");
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_NE(r.err.find("broken.kicad_pcb:2:9:"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::file_size(home / "out/first.dxf") > 0);
  EXPECT_TRUE(fs::file_size(home / "out/second.dxf") > 0);
  EXPECT_FALSE(fs::exists(home / "out/broken.dxf"));

  const RunResult good =
      RunProgram(Orvanta(), {"export", home / "boards/first.json", home / "boards/second.json",
                             "-o", home / "out", "--format", "dwg", "--version", "R14"});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(Lines(good.out), 2u) << good.out;
  EXPECT_TRUE(fs::exists(home / "out/second.dwg"));
}

TEST_F(Cli, ExportKeepsAnExtensionAsTheUserSpelledIt) {
  const RunResult r = RunProgram(
      Orvanta(), {"export", ExampleBoard(), "-o", home / "Board.DXF", "--format", "dxf"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, home / "Board.DXF" + "\n");
  EXPECT_TRUE(fs::exists(home / "Board.DXF"));
}

TEST_F(Cli, AForeignFormatIsRefused) {
  const RunResult r =
      RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / "board", "--format", "dxf",
                             "--format-name", "AutoCAD files (*.dxf; *.dwg)"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_FALSE(fs::exists(home / "board.dxf"));
}

// The plug-in does not come up inside the older host: the same program,
// installed as HALBRIC.EXE, reports the refusal; installed under another name
// it works.
TEST_F(Cli, ThePlugInRefusesTheOlderHost) {
  for (const char* exe : {"HALBRIC.EXE", "halbric.exe", "orvanta"}) {
    TempDir install;
    fs::copy_file(Orvanta(), install / exe);
    for (const char* module : {"libquennet.so", "libkorvex.so", "libtav2.so", "TAVINIT.DAT"})
      if (fs::exists(BinDir() + "/" + module))
        fs::create_symlink(BinDir() + "/" + module, install / module);
    const RunResult r = RunProgram(install / exe, {"formats"});
    if (std::string(exe) == "orvanta") {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out, kFormat + "\n");
    } else {
      EXPECT_EQ(r.status, 2) << exe;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "orvanta: " + install / "libquennet.so" +
                           ": the exporter refused to start in this host\n");
    }
  }
}

}  // namespace
