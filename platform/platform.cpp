#include "platform/platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

// Module services run on the host's one user-interface thread. A plain static
// keeps every module that links this layer free of thread-local storage, which
// would otherwise pin modules the host unloads and trips the leak checker at exit.
std::string gLastLoadError;
std::atomic<uint32_t> gErrorMode{0};

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// Position just after the folder part of a path written with either separator.
size_t FilePartStart(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return i;
  return 0;
}

bool StatPath(const std::string& p, struct stat& st) {
  return ::stat(p.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& p) {
  struct stat st;
  return StatPath(p, st) && S_ISDIR(st.st_mode);
}

// The entry of folder dir that matches name ignoring case; an exact match wins,
// otherwise the first in byte order so that the answer does not depend on the
// order in which the file system lists the folder.
std::string MatchInFolder(const std::string& dir, std::string_view name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string best;
  while (dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (!EqualsNoCase(entry, name)) continue;
    if (entry == name) {
      best.assign(entry);
      break;
    }
    if (best.empty() || entry < best) best.assign(entry);
  }
  ::closedir(d);
  return best;
}

std::string JoinPath(const std::string& dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  if (dir.back() == '/') return dir + std::string(name);
  return dir + "/" + std::string(name);
}

}  // namespace

std::string MapModuleName(std::string_view windowsName) {
  const size_t start = FilePartStart(windowsName);
  const std::string_view folder = windowsName.substr(0, start);
  const std::string_view file = windowsName.substr(start);
  static constexpr std::string_view kDll = ".dll";
  if (file.size() <= kDll.size() || !EqualsNoCase(file.substr(file.size() - kDll.size()), kDll))
    return std::string(windowsName);
  // Every module of the system follows the same rule: "Name.dll" is "libname.so".
  const std::string stem = ToLower(file.substr(0, file.size() - kDll.size()));
  return std::string(folder) + "lib" + stem + ".so";
}

ModuleHandle GetModuleHandle(const char* name) {
  if (!name) return ::dlopen(nullptr, RTLD_LAZY);
  const std::string mapped = MapModuleName(name);
  const bool hasFolder = FilePartStart(mapped) != 0;
  const std::string wantedFile = mapped.substr(FilePartStart(mapped));
  const std::string wantedPath = hasFolder ? ResolvePath(mapped) : std::string();
  if (hasFolder && wantedPath.empty()) return nullptr;

  struct Search {
    std::string_view file;
    std::string_view path;
    std::string found;
  } search{wantedFile, wantedPath, {}};
  ::dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) -> int {
        auto* s = static_cast<Search*>(data);
        const std::string_view loaded = info->dlpi_name ? info->dlpi_name : "";
        if (loaded.empty()) return 0;
        const bool match = s->path.empty()
                               ? EqualsNoCase(loaded.substr(FilePartStart(loaded)), s->file)
                               : loaded == s->path;
        if (!match) return 0;
        s->found.assign(loaded);
        return 1;
      },
      &search);
  if (search.found.empty()) return nullptr;
  ModuleHandle h = ::dlopen(search.found.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  // A module handle looked up this way holds no reference of its own, as on
  // Windows: the module stays loaded only as long as its real owners keep it.
  if (h) ::dlclose(h);
  return h;
}

ModuleHandle LoadLibrary(const std::string& path) {
  const std::string mapped = MapModuleName(path);
  std::string target;
  if (FilePartStart(mapped) != 0) {
    target = ResolvePath(mapped);
    if (target.empty()) {
      gLastLoadError = mapped + ": no such file";
      return nullptr;
    }
    // dlopen treats a name without a slash as a library search name.
    if (target.find('/') == std::string::npos) target = "./" + target;
  } else {
    // Modules of the system lie beside the executable; other names take the
    // system's own library search.
    const std::string exe = ExecutablePath();
    const std::string beside = ResolvePath(exe.substr(0, FilePartStart(exe)) + mapped);
    target = beside.empty() ? mapped : beside;
  }
  ModuleHandle h = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* err = ::dlerror();
    gLastLoadError = err ? err : (target + ": cannot be loaded");
    return nullptr;
  }
  gLastLoadError.clear();
  return h;
}

std::string LastLoadError() {
  return gLastLoadError;
}

void FreeLibrary(ModuleHandle module) {
  if (module) ::dlclose(module);
}

void* GetProcAddress(ModuleHandle module, const char* name) {
  if (!module || !name) return nullptr;
  return ::dlsym(module, name);
}

uint32_t SetErrorMode(uint32_t mode) {
  return gErrorMode.exchange(mode);
}

std::string ExecutablePath() {
  std::string buf(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::string GetModuleFileName(ModuleHandle module) {
  if (!module) return ExecutablePath();
  link_map* map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map) return {};
  if (!map->l_name || !*map->l_name) return ExecutablePath();
  return map->l_name;
}

std::string ModuleFileNameOfAddress(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!address || ::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
    return {};
  // The executable's own entry has no name; its real path is what callers
  // compare and search beside.
  if (!map || !map->l_name || !*map->l_name) return ExecutablePath();
  std::string name = map->l_name;
  if (char* real = ::realpath(name.c_str(), nullptr)) {
    name = real;
    std::free(real);
  }
  return name;
}

std::string ResolvePath(std::string_view windowsPath) {
  if (windowsPath.empty()) return {};
  std::string result;
  size_t i = 0;
  if (IsSeparator(windowsPath[0])) {
    result = "/";
    while (i < windowsPath.size() && IsSeparator(windowsPath[i])) ++i;
  }
  bool first = true;
  while (i < windowsPath.size()) {
    size_t j = i;
    while (j < windowsPath.size() && !IsSeparator(windowsPath[j])) ++j;
    const std::string_view part = windowsPath.substr(i, j - i);
    i = j;
    while (i < windowsPath.size() && IsSeparator(windowsPath[i])) ++i;
    if (part.empty()) continue;
    if (!first && !IsDirectory(result.empty() ? "." : result)) return {};
    first = false;
    if (part == "." || part == "..") {
      result = JoinPath(result, part);
      continue;
    }
    struct stat st;
    std::string exact = JoinPath(result, part);
    if (StatPath(exact, st)) {
      result = std::move(exact);
      continue;
    }
    const std::string match = MatchInFolder(result, part);
    if (match.empty()) return {};
    result = JoinPath(result, match);
  }
  struct stat st;
  if (result.empty() || !StatPath(result, st)) return {};
  return result;
}

bool FileExists(std::string_view windowsPath) {
  const std::string p = ResolvePath(windowsPath);
  struct stat st;
  return !p.empty() && StatPath(p, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view windowsPath) {
  const std::string p = ResolvePath(windowsPath);
  return !p.empty() && IsDirectory(p);
}

std::string SearchPath(std::string_view name) {
  if (name.empty()) return {};
  // Nothing resolves against the working folder: not a relative name, not an
  // empty or relative entry of PATH (which stand for it).
  if (IsSeparator(name.front())) return FileExists(name) ? ResolvePath(name) : std::string();
  const char* env = std::getenv("PATH");
  if (!env) return {};
  const std::string_view path(env);
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find_first_of(";:", i);
    if (j == std::string_view::npos) j = path.size();
    const std::string_view folder = path.substr(i, j - i);
    i = j + 1;
    if (folder.empty() || !IsSeparator(folder.front())) continue;
    std::string candidate(folder);
    if (!IsSeparator(candidate.back())) candidate += '/';
    candidate.append(name);
    if (FileExists(candidate)) return ResolvePath(candidate);
  }
  return {};
}

std::string PrintableText(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  };
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // A UTF-8 sequence is kept when it is well formed, shortest and names a
    // printable character (not a C1 control, not a surrogate).
    size_t n = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2, cp = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3, cp = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4, cp = c & 0x07u;
    }
    bool ok = n != 0 && i + n <= text.size();
    for (size_t k = 1; ok && k < n; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      ok = (d & 0xC0) == 0x80;
      cp = (cp << 6) | (d & 0x3Fu);
    }
    if (ok) {
      static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
      ok = cp >= kLeast[n] && cp >= 0xA0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    }
    if (ok) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      escape(c);
      ++i;
    }
  }
  return out;
}

namespace {

// Read by a signal handler: fixed storage, lock-free slots. A slot is free
// (0), being filled or emptied (1), or holds a path (2).
struct TemporaryFiles {
  static constexpr int kSlots = 16;
  std::atomic<int> state[kSlots];
  char path[kSlots][PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

TemporaryFiles gOwnTemporaryFiles{};

}  // namespace

}  // namespace platform

// The host's list, found by name in the program from any module.
extern "C" __attribute__((visibility("default"))) void* orvanta_platform_temporary_files() {
  return &platform::gOwnTemporaryFiles;
}

namespace platform {
namespace {

TemporaryFiles& TheTemporaryFiles() {
  static TemporaryFiles* files = [] {
    void* host = ::dlsym(RTLD_DEFAULT, "orvanta_platform_temporary_files");
    auto* get = reinterpret_cast<void* (*)()>(host);
    return static_cast<TemporaryFiles*>(get ? get() : &gOwnTemporaryFiles);
  }();
  return *files;
}

void RemoveAndRaise(int signal) {
  TemporaryFiles& files = gOwnTemporaryFiles;
  for (int i = 0; i < TemporaryFiles::kSlots; ++i)
    if (files.state[i].load() == 2) ::unlink(files.path[i]);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

bool RegisterTemporaryFile(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) return false;
  TemporaryFiles& files = TheTemporaryFiles();
  for (int i = 0; i < TemporaryFiles::kSlots; ++i) {
    int expected = 0;
    if (!files.state[i].compare_exchange_strong(expected, 1)) continue;
    std::memcpy(files.path[i], path.c_str(), path.size() + 1);
    files.state[i].store(2);
    return true;
  }
  return false;
}

void ForgetTemporaryFile(const std::string& path) {
  TemporaryFiles& files = TheTemporaryFiles();
  for (int i = 0; i < TemporaryFiles::kSlots; ++i) {
    int expected = 2;
    if (!files.state[i].compare_exchange_strong(expected, 1)) continue;
    if (path == files.path[i]) {
      files.state[i].store(0);
      return;
    }
    files.state[i].store(2);
  }
}

void RemoveTemporaryFilesOnSignal() {
  struct sigaction action {};
  action.sa_handler = RemoveAndRaise;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGXFSZ, SIG_IGN);
}

std::string WindowsDirectory() {
  return {};
}
std::string SystemDirectory() {
  return {};
}

std::string AppDataDirectory() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
  return {};
}

std::string RegistryRoot() {
  if (const char* root = std::getenv("ORVANTA_REGISTRY_ROOT"); root && *root) return root;
  return "/etc/orvanta/registry";
}

bool RegistryKeyExists(std::string_view hklmKey) {
  std::string path = RegistryRoot();
  if (!hklmKey.empty() && !IsSeparator(hklmKey.front())) path += '/';
  path.append(hklmKey);
  return DirectoryExists(path);
}

bool BatchMode() {
  const char* v = std::getenv("ORVANTA_BATCH");
  return v && *v && std::string_view(v) != "0";
}

void SetBatchMode(bool on) {
  ::setenv("ORVANTA_BATCH", on ? "1" : "0", 1);
}

ModalResult ShowModal(const DialogRequest& request) {
  if (BatchMode() || !request.show) return ModalResult::Ok;
  return request.show(request.context);
}

}  // namespace platform
