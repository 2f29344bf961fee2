// What the tests of every module share: a private temporary folder, reading
// and writing whole files, and environment overrides. Every test helper lives
// in namespace test_support (never `testing`, which is GoogleTest's).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace test_support {

namespace fs = std::filesystem;

// A folder of its own per test, removed afterwards; KEEP_TEST_FILES=1 keeps
// it for a look after a failure.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "orvanta-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::system_error(errno, std::generic_category(), pattern);
    path_ = pattern;
    dir_ = pattern;
  }
  ~TempDir() {
    if (std::getenv("KEEP_TEST_FILES")) return;
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  const std::string& dir() const { return dir_; }
  std::string operator/(const std::string& rel) const { return (path_ / rel).string(); }

  // Names in the folder, sorted.
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Makes a small file, and the folders on its way.
  void Touch(const fs::path& rel) const {
    fs::create_directories((path_ / rel).parent_path());
    std::ofstream(path_ / rel) << "x";
  }

 private:
  fs::path path_;
  std::string dir_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A program's exit status and what it wrote.
struct RunResult {
  int status = -1;
  std::string out, err;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace test_support
