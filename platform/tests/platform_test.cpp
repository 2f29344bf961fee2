#include "platform/platform.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

TEST(MapModuleName, MapsWindowsModuleNames) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Korvex.dll", "libkorvex.so"},
      {"TAV2.DLL", "libtav2.so"},
      {"quennet.DlL", "libquennet.so"},
      {"C:\\Program Files\\Orvanta\\TAV2.DLL", "C:\\Program Files\\Orvanta\\libtav2.so"},
      {"/opt/x/Korvex.dll", "/opt/x/libkorvex.so"},
      {"libtav2.so", "libtav2.so"},
      {"TAVINIT.DAT", "TAVINIT.DAT"},
      {".dll", ".dll"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::MapModuleName(c.in), c.out) << c.in;
}

TEST(ResolvePath, IgnoresCaseAndAcceptsEitherSeparator) {
  TempDir dir;
  dir.Touch("System/TavInit.dat");
  const std::string root = dir.path().string();
  const std::string real = (dir.path() / "System/TavInit.dat").string();
  EXPECT_EQ(platform::ResolvePath(root + "/SYSTEM/TAVINIT.DAT"), real);
  EXPECT_EQ(platform::ResolvePath(root + "\\system\\tavinit.DAT"), real);
  EXPECT_EQ(platform::ResolvePath(root + "//System///TavInit.dat"), real);
  EXPECT_TRUE(platform::FileExists(root + "\\SYSTEM\\TAVINIT.DAT"));
  EXPECT_FALSE(platform::FileExists(root + "/SYSTEM"));  // a folder is not a file
  EXPECT_TRUE(platform::DirectoryExists(root + "/SYSTEM"));
  EXPECT_EQ(platform::ResolvePath(root + "/SYSTEM/MISSING.DAT"), "");
  // A file cannot be walked through as if it were a folder.
  EXPECT_EQ(platform::ResolvePath(root + "/System/TavInit.dat/x"), "");
  EXPECT_EQ(platform::ResolvePath(""), "");
}

TEST(ResolvePath, PrefersTheExactSpellingAmongCaseVariants) {
  TempDir dir;
  dir.Touch("a.txt");
  dir.Touch("A.txt");
  const std::string root = dir.path().string();
  EXPECT_EQ(platform::ResolvePath(root + "/A.txt"), root + "/A.txt");
  EXPECT_EQ(platform::ResolvePath(root + "/a.txt"), root + "/a.txt");
  EXPECT_EQ(platform::ResolvePath(root + "/a.TXT"), root + "/A.txt");  // first in byte order
}

TEST(SearchPath, FindsAbsoluteNamesAndAlongAbsoluteFoldersOnly) {
  TempDir dir;
  dir.Touch("one/TAVINIT.DAT");
  dir.Touch("two/tav2.dll");
  dir.Touch("cwd/libplanted.so");
  dir.Touch("cwd/sub/libplanted.so");
  const std::string root = dir.path().string();
  ScopedEnv path("PATH", root + "/one;" + root + "/TWO:/nonexistent");
  EXPECT_EQ(platform::SearchPath("TAV2.DLL"), root + "/two/tav2.dll");
  EXPECT_EQ(platform::SearchPath("tavinit.dat"), root + "/one/TAVINIT.DAT");
  EXPECT_EQ(platform::SearchPath(root + "/one/tavinit.dat"), root + "/one/TAVINIT.DAT");
  EXPECT_EQ(platform::SearchPath("missing.dat"), "");

  // The working folder is never searched: not for a bare or relative name,
  // not through an empty or relative entry of PATH.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(root + "/cwd");
  ScopedEnv relative("PATH", std::string("::.:sub:;") + root + "/one");
  EXPECT_EQ(platform::SearchPath("libplanted.so"), "");
  EXPECT_EQ(platform::SearchPath("./libplanted.so"), "");
  EXPECT_EQ(platform::SearchPath("sub/libplanted.so"), "");
  EXPECT_EQ(platform::SearchPath("tavinit.dat"), root + "/one/TAVINIT.DAT");
  std::filesystem::current_path(previous);
}

TEST(Registry, KeyIsAFolderUnderTheOverridableRoot) {
  TempDir dir;
  ScopedEnv root("ORVANTA_REGISTRY_ROOT", dir.path().string());
  EXPECT_EQ(platform::RegistryRoot(), dir.path().string());
  EXPECT_FALSE(platform::RegistryKeyExists("\\Software\\Drovane\\TestMode"));
  fs::create_directories(dir.path() / "SOFTWARE/drovane/TestMode");
  EXPECT_TRUE(platform::RegistryKeyExists("\\Software\\Drovane\\TestMode"));
  EXPECT_FALSE(platform::RegistryKeyExists("\\Software\\Drovane\\Other"));
}

TEST(Modules, GetModuleHandleNeverLoads) {
  const char* kLib = "libz.so.1";
  ASSERT_EQ(platform::GetModuleHandle(kLib), nullptr) << "the test expects libz not to be loaded";
  EXPECT_EQ(platform::GetModuleHandle(kLib), nullptr);

  platform::ModuleHandle h = platform::LoadLibrary(kLib);
  ASSERT_NE(h, nullptr) << platform::LastLoadError();
  EXPECT_EQ(platform::GetModuleHandle(kLib), h);
  EXPECT_EQ(platform::GetModuleHandle("LIBZ.SO.1"), h);
  EXPECT_NE(platform::GetProcAddress(h, "zlibVersion"), nullptr);
  EXPECT_EQ(platform::GetProcAddress(h, "noSuchFunction"), nullptr);
  const std::string file = platform::GetModuleFileName(h);
  EXPECT_NE(file.find("libz.so"), std::string::npos) << file;
  EXPECT_EQ(platform::ModuleFileNameOfAddress(platform::GetProcAddress(h, "zlibVersion")),
            fs::canonical(file).string());
  platform::FreeLibrary(h);
  EXPECT_EQ(platform::GetModuleHandle(kLib), nullptr);
}

TEST(Modules, LoadFailureSaysWhy) {
  EXPECT_EQ(platform::LoadLibrary("/nonexistent/Korvex.dll"), nullptr);
  EXPECT_NE(platform::LastLoadError().find("libkorvex.so"), std::string::npos)
      << platform::LastLoadError();
}

TEST(Modules, ExecutableIsItsOwnModule) {
  const std::string exe = platform::ExecutablePath();
  EXPECT_EQ(exe, fs::canonical("/proc/self/exe").string());
  EXPECT_EQ(platform::GetModuleFileName(nullptr), exe);
  EXPECT_EQ(platform::GetModuleFileName(platform::GetModuleHandle(nullptr)), exe);
  static const int kHere = 0;
  EXPECT_EQ(platform::ModuleFileNameOfAddress(&kHere), exe);
}

TEST(Modules, ErrorModeIsKeptAndReturned) {
  const uint32_t old = platform::SetErrorMode(platform::SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(platform::SetErrorMode(old), platform::SEM_NOOPENFILEERRORBOX);
}

TEST(Dialog, BatchModeAnswersOkWithoutShowing) {
  static bool shown = false;
  platform::DialogRequest req;
  req.show = [](void*) {
    shown = true;
    return platform::ModalResult::Cancel;
  };
  platform::SetBatchMode(true);
  EXPECT_EQ(platform::ShowModal(req), platform::ModalResult::Ok);
  EXPECT_FALSE(shown);
  platform::SetBatchMode(false);
  EXPECT_EQ(platform::ShowModal(req), platform::ModalResult::Cancel);
  EXPECT_TRUE(shown);
  EXPECT_EQ(platform::ShowModal(platform::DialogRequest{}), platform::ModalResult::Ok);
}

TEST(Folders, AppDataFollowsXdg) {
  ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
  EXPECT_EQ(platform::AppDataDirectory(), "/tmp/xdg");
  ScopedEnv rel("XDG_CONFIG_HOME", "relative");  // not absolute: ignored, as XDG says
  ScopedEnv home("HOME", "/home/u");
  EXPECT_EQ(platform::AppDataDirectory(), "/home/u/.config");
}

}  // namespace

TEST(PrintableText, EscapesEveryByteThatIsNotPrintable) {
  const std::pair<std::string, std::string> cases[] = {
      {"TopLayer", "TopLayer"},
      {"a\x1b[2Jb\nc", "a\\x1b[2Jb\\x0ac"},
      {std::string("nul\0tab\t\x7f", 9), "nul\\x00tab\\x09\\x7f"},
      {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // UTF-8 kept
      {"\xc2\x9b"
       "31m",
       "\\xc2\\x9b31m"},  // C1 control as UTF-8
      {"\x9b"
       "31m \xe9",
       "\\x9b31m \\xe9"},  // stray 8-bit bytes
      {"\xc0\xaf \xed\xa0\x80 \xe2\x82", "\\xc0\\xaf \\xed\\xa0\\x80 \\xe2\\x82"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(platform::PrintableText(in), out) << in;
}

// An interrupted program leaves none of its registered temporary files, and
// still ends by the signal that stopped it; a file no longer registered stays.
TEST(TemporaryFiles, RemovedWhenSigintOrSigtermEndsTheProgram) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempDir dir;
    dir.Touch("temporary");
    dir.Touch("kept");
    const std::string temporary = (dir.path() / "temporary").string();
    const std::string kept = (dir.path() / "kept").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      platform::RemoveTemporaryFilesOnSignal();
      if (!platform::RegisterTemporaryFile(temporary) || !platform::RegisterTemporaryFile(kept))
        ::_exit(3);
      platform::ForgetTemporaryFile(kept);
      ::raise(signal);
      ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_TRUE(fs::exists(kept));
  }
}
