#include "orvanta/src/host_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "abi/clientapi.h"
#include "orvanta/src/options_store.h"
#include "orvanta/tests/test_util.h"

namespace {

using namespace test_support;
using orvanta::EOptionsStore;
using orvanta::OptionsStore;

std::string LoadError(const std::string& path) {
  try {
    OptionsStore s(path);
    s.Load();
  } catch (const EOptionsStore& e) {
    return e.what();
  }
  return "";
}

TEST(OptionsStore, ParseErrorsNameFileAndLine) {
  TempDir dir;
  const std::string path = dir / "options.ini";
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"; c\n[Quennet/Dialog]\nUnits\n", ":3: expected Key=value"},
      {"Units=1\n", ":1: a key before the first [Section/Group]"},
      {"\n[Quennet]\n", ":2: a group header must read [Section/Group]"},
      {"[Quennet/Dialog\n", ":1: a group header must end with ']'"},
      {"[Quennet/Dialog]\nUnits=1\nunits=0\n", ":3: key \"units\" repeats line 2"},
  };
  for (const auto& c : cases) {
    WriteFile(path, c.text);
    EXPECT_EQ(LoadError(path).rfind(path + c.error, 0), 0u) << c.text << " -> " << LoadError(path);
  }
  WriteFile(path, "[Quennet/Dialog]\nUnits = 1x\n");
  OptionsStore s(path);
  s.Load();
  try {
    s.ReadInteger("Quennet", "Dialog", "Units");
    ADD_FAILURE();
  } catch (const EOptionsStore& e) {
    EXPECT_EQ(std::string(e.what()), path + ":2: \"Units\" is not a 32-bit integer: 1x");
  }
  EXPECT_EQ(LoadError(dir.path().string()),
            dir.path().string() + ": the options store is a folder");
  EXPECT_EQ(LoadError(dir / "missing.ini"), "");  // nothing stored yet
}

TEST(OptionsStore, RewriteKeepsCommentsAndOrderAndReplacesAtomically) {
  TempDir dir;
  const std::string path = dir / "sub/options.ini";
  fs::create_directories(dir / "sub");
  WriteFile(path, "; mine\n[Quennet/Dialog]\r\nUnits=1\n\n# other\n[Other/G]\nA = 7\n");
  OptionsStore s(path);
  s.Load();
  EXPECT_EQ(s.ReadInteger("quennet", "DIALOG", "units"), 1);  // names ignore case
  EXPECT_EQ(s.ReadInteger("Other", "G", "A"), 7);
  EXPECT_EQ(s.ReadInteger("Other", "G", "B"), std::nullopt);
  s.Set("Quennet", "Dialog", "Units", "0");
  s.Set("Quennet", "Dialog", "Hole Mode", "2");
  s.Set("New", "Group", "Key", "-1");
  s.Save();
  EXPECT_EQ(ReadFile(path),
            "; mine\n[Quennet/Dialog]\nUnits=0\nHole Mode=2\n\n# other\n[Other/G]\nA=7\n\n"
            "[New/Group]\nKey=-1\n");
  // Only the store itself is left in the folder: the temporary file was renamed.
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "sub")) ++files;
  EXPECT_EQ(files, 1u);
  OptionsStore back(path);
  back.Load();
  EXPECT_EQ(back.ReadInteger("New", "Group", "Key"), -1);
}

TEST(OptionsStore, RefusesNamesTheFileCannotHold) {
  OptionsStore s("/nonexistent/options.ini");
  EXPECT_THROW(s.Set("A/B", "G", "K", "1"), EOptionsStore);
  EXPECT_THROW(s.Set("A", "G]", "K", "1"), EOptionsStore);
  EXPECT_THROW(s.Set("A", "G", "K=1", "1"), EOptionsStore);
  EXPECT_THROW(s.Set("A", "G", "[K", "1"), EOptionsStore);
  EXPECT_THROW(s.Set("A", "G", "K", "1\n[X/Y]"), EOptionsStore);
  EXPECT_THROW(s.Set("A", "G", " K", "1"), EOptionsStore);
}

TEST(OptionsStore, AFailedWriteLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir / "options.ini";
  WriteFile(path, "[Quennet/Dialog]\nUnits=1\n");
  OptionsStore s(path);
  s.Load();
  s.Set("Quennet", "Dialog", "Units", "0");
  // A file-size limit makes the write fail part way, even for root (CI runs as
  // root, where denying the folder would not stop it).
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit = saved;
  limit.rlim_cur = 8;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string error;
  try {
    s.Save();
  } catch (const EOptionsStore& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(error, path + ": cannot write the options store: File too large");
  EXPECT_EQ(ReadFile(path), "[Quennet/Dialog]\nUnits=1\n");
  // Nor is a temporary file left behind.
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u);
}

TEST(ClientApi, FileNameServices) {
  char buf[abi::kClientTextBufferSize];
  auto force = [&](const char* name, const char* ext) {
    ClientAPI_ForceFileNameExtension(name, ext, buf, sizeof buf);
    return std::string(buf);
  };
  const struct {
    const char *name, *ext, *out;
  } forced[] = {
      {"/tmp/board", "DWG", "/tmp/board.dwg"},
      {"/tmp/board.txt", "DXF", "/tmp/board.dxf"},
      {"/tmp/board.DXF", "DXF", "/tmp/board.DXF"},  // kept as the user spelled it
      {"/tmp/board.Dwg", "DWG", "/tmp/board.Dwg"},
      {"/tmp/my.board.dxf", "DWG", "/tmp/my.board.dwg"},
      {"/tmp/v1.2/board", "DWG", "/tmp/v1.2/board.dwg"},
      {"C:\\Out\\board.pcb", "DWG", "C:\\Out\\board.dwg"},
      {"/tmp/.hidden", "DXF", "/tmp/.hidden.dxf"},
      {"board", ".DXF", "board.dxf"},
  };
  for (const auto& c : forced) EXPECT_EQ(force(c.name, c.ext), c.out) << c.name;

  const struct {
    const char *path, *ext, *name, *whole;
  } parts[] = {
      {"/a/board.PcbDoc", ".PcbDoc", "board", "board.PcbDoc"},
      {"C:\\a\\b.c\\board", "", "board", "board"},
      {"/a/.profile", "", ".profile", ".profile"},
      {"", "", "", ""},
  };
  for (const auto& c : parts) {
    ClientAPI_ExtractFileExtFromPath(c.path, buf, sizeof buf);
    EXPECT_STREQ(buf, c.ext) << c.path;
    ClientAPI_ExtractFileNameFromPath(c.path, buf, sizeof buf);
    EXPECT_STREQ(buf, c.name) << c.path;
    ClientAPI_ExtractWholeFileNameFromPath(c.path, buf, sizeof buf);
    EXPECT_STREQ(buf, c.whole) << c.path;
  }

  // Output is cut to the buffer, never written past it.
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  ClientAPI_ExtractWholeFileNameFromPath("/a/long-name.txt", small, 4);
  EXPECT_STREQ(small, "lon");
  EXPECT_EQ(small[4], 'x');
}

TEST(ClientApi, ExistenceAndExecutableFolder) {
  TempDir dir;
  WriteFile(dir / "libtav2.so", "x");
  WriteFile(dir / "TavInit.dat", "x");
  EXPECT_TRUE(ClientAPI_ExistSpecific((dir / "TAVINIT.DAT").c_str()));
  EXPECT_TRUE(ClientAPI_ExistSpecific((dir / "TAV2.DLL").c_str()));  // the module it maps to
  EXPECT_FALSE(ClientAPI_ExistSpecific((dir / "KORVEX.DLL").c_str()));
  EXPECT_FALSE(ClientAPI_ExistSpecific(dir.path().c_str()));
  EXPECT_FALSE(ClientAPI_ExistSpecific(""));

  char buf[abi::kClientTextBufferSize];
  ClientAPI_ConvertFileNameToExeFileName("TAV2.DLL", buf, sizeof buf);
  EXPECT_EQ(std::string(buf),
            fs::path(fs::canonical("/proc/self/exe")).parent_path().string() + "/TAV2.DLL");
  ClientAPI_ConvertFileNameToExeFileName("/x/TAV2.DLL", buf, sizeof buf);
  EXPECT_STREQ(buf, "/x/TAV2.DLL");
}

TEST(HostClient, OptionsManagerReadsWritesAndReportsFailures) {
  TempDir dir;
  ScopedEnv env("ORVANTA_OPTIONS_FILE", dir / "cfg/options.ini");
  abi::IClient* raw = nullptr;
  ASSERT_EQ(ClientAPI_GetClientInterface(&raw), abi::S_OK);
  abi::Ref<abi::IClient> client(raw);
  abi::Ref<abi::IOptionsManager> manager;
  ASSERT_EQ(client->GetOptionsManager(manager.put()), abi::S_OK);

  abi::Ref<abi::IOptionsWriter> writer;
  ASSERT_EQ(manager->GetOptionsWriter(u"Quennet", writer.put()), abi::S_OK);
  EXPECT_EQ(writer->WriteBoolean(u"Dialog", u"Rounded Tracks", -1), abi::S_OK);
  EXPECT_EQ(writer->WriteInteger(u"Dialog", u"Units", 1), abi::S_OK);
  EXPECT_NE(
      ReadFile(dir / "cfg/options.ini").find("[Quennet/Dialog]\nRounded Tracks=-1\nUnits=1\n"),
      std::string::npos);

  abi::Ref<abi::IOptionsReader> reader;
  ASSERT_EQ(manager->GetOptionsReader(u"Quennet", 0, reader.put()), abi::S_OK);
  int32_t v = 0;
  EXPECT_EQ(reader->ReadBoolean(u"Dialog", u"Rounded Tracks", 0, &v), abi::S_OK);
  EXPECT_EQ(v, -1);
  EXPECT_EQ(reader->ReadInteger(u"Dialog", u"ACAD Version", 5, &v), abi::S_OK);
  EXPECT_EQ(v, 5);

  WriteFile(dir / "cfg/options.ini", "[Quennet/Dialog]\nUnits=1\nbroken line\n");
  abi::Ref<abi::IOptionsReader> failed;
  EXPECT_TRUE(abi::Failed(manager->GetOptionsReader(u"Quennet", 0, failed.put())));
  EXPECT_FALSE(failed);
  char text[abi::kClientTextBufferSize];
  ASSERT_EQ(client->GetLastErrorText(sizeof text, text), abi::S_OK);
  EXPECT_EQ(std::string(text).rfind(dir / "cfg/options.ini:3: ", 0), 0u) << text;
  // The broken store is never replaced behind the user's back.
  abi::Ref<abi::IOptionsWriter> refused;
  EXPECT_TRUE(abi::Failed(manager->GetOptionsWriter(u"Quennet", refused.put())));
  EXPECT_EQ(ReadFile(dir / "cfg/options.ini"), "[Quennet/Dialog]\nUnits=1\nbroken line\n");

  abi::Ref<abi::IHostUnknown> server;
  EXPECT_EQ(client->GetServerModuleByName(u"SCH", server.put()), abi::E_NOINTERFACE);
  EXPECT_FALSE(server);
}

}  // namespace
