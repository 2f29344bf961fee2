// The setup dialog in a real window, driven as a user drives it. Needs a
// display and xdotool (test.sh provides a virtual display).
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <thread>

#include "orvanta/tests/test_util.h"

namespace {

using namespace test_support;

std::string ExampleBoard() {
  return std::string(ORVANTA_SOURCE_DIR) + "/examples/example-board.json";
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no display";
    if (Shell("command -v xdotool").empty()) GTEST_SKIP() << "no xdotool";
  }

  // Starts an export with the dialog, waits for its window, lets `drive`
  // act on it, and returns the exit status.
  int ExportWithDialog(const std::function<void(const std::string& window)>& drive) {
    const std::string program = Orvanta();
    const std::string out = home / "board";
    const char* argv[] = {program.c_str(), "export", ExampleBoard().c_str(), "-o", out.c_str(),
                          "--dialog",      nullptr};
    std::string board = ExampleBoard();
    argv[2] = board.c_str();
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ))
      return -1;
    posix_spawn_file_actions_destroy(&actions);
    std::string window;
    for (int i = 0; i < 150 && window.empty(); ++i) {
      window = Shell("xdotool search --name '^Export to AutoCAD$' 2>/dev/null | head -1");
      if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(window.empty()) << "the dialog did not appear";
    if (window.empty())
      ::kill(pid, SIGTERM);  // never wait for a window no one can answer
    else
      drive(window);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir home;
  ScopedEnv store{"ORVANTA_OPTIONS_FILE", home / "options.ini"};
  ScopedEnv registry{"ORVANTA_REGISTRY_ROOT", home / "registry"};
  ScopedEnv leaks{"LSAN_OPTIONS", std::string("suppressions=") + ORVANTA_SOURCE_DIR +
                                      "/scripts/lsan.supp:print_suppressions=0"};
};

// One test, so that no two windows of the same name are on the display at once.
TEST_F(Dialog, CancelStoresNothingOkStoresWhatTheUserChose) {
  int status = ExportWithDialog([](const std::string& w) {
    Shell("xdotool windowactivate --sync " + w + " 2>/dev/null; xdotool key --window " + w +
          " Escape");
  });
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(fs::exists(home / "options.ini"));
  EXPECT_FALSE(fs::exists(home / "board.dwg"));

  const std::string shot = home / "dialog.png";
  status = ExportWithDialog([&shot](const std::string& w) {
    // What the user sees first: the form at its own size, before any click.
    Shell("import -window " + w + " " + shot + " 2>/dev/null");
    // "Export as primitives" and "Export with square ends", then OK.
    Shell("xdotool mousemove --window " + w + " 30 246 click 1");
    Shell("xdotool mousemove --window " + w + " 215 246 click 1");
    Shell("xdotool mousemove --window " + w + " 270 460 click 1");
  });
  EXPECT_EQ(status, 0);
  const std::string stored = ReadFile(home / "options.ini");
  EXPECT_NE(stored.find("Components Mode=1\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("Rounded Tracks=0\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("ACAD Version=5\n"), std::string::npos) << stored;
  EXPECT_EQ(ReadFile(home / "board.dwg").substr(0, 6), "AC1012");  // DWG of AutoCAD R13
  if (!Shell("command -v identify").empty()) {
    EXPECT_EQ(Shell("identify -format %wx%h " + shot + " 2>/dev/null"), "398x479");
  }
}

// Without a display the dialog is an error, never a silent OK; in test mode it
// is not shown at all.
TEST(DialogWithoutDisplay, TestModeSkipsItOtherwiseItIsAnError) {
  TempDir home;
  ScopedEnv store{"ORVANTA_OPTIONS_FILE", home / "options.ini"};
  ScopedEnv registry{"ORVANTA_REGISTRY_ROOT", home / "registry"};
  ScopedEnv display{"DISPLAY", ""};
  RunResult r = RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / "board", "--dialog"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Cannot show the dialog \"Export to AutoCAD\": no display"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(home / "board.dwg"));

  fs::create_directories(home / "registry/SOFTWARE/Drovane/TestMode");
  r = RunProgram(Orvanta(), {"export", ExampleBoard(), "-o", home / "board", "--dialog"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(home / "board.dwg"));
  // The loaded options went back to the store unchanged.
  EXPECT_NE(ReadFile(home / "options.ini").find("ACAD Version=5\n"), std::string::npos);
}

}  // namespace
