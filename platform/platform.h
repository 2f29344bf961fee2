// Linux equivalents of the Windows services the system names. The system's
// code keeps using Windows module names ("Korvex.dll", "TAV2.DLL") and
// Windows-style paths; this layer maps them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

using ModuleHandle = void*;

// "Korvex.dll" -> "libkorvex.so", "TAV2.DLL" -> "libtav2.so", "Quennet.dll" ->
// "libquennet.so"; a name that already looks like a Linux module is kept.
// Only the file part is mapped; a folder part is kept as given.
std::string MapModuleName(std::string_view windowsName);

// The module of that (mapped) name when it is already loaded in the process,
// else nullptr. Never loads anything. nullptr name: the executable.
ModuleHandle GetModuleHandle(const char* name);
// Loads a module by path (mapped name, case-insensitive lookup). nullptr on failure;
// LastLoadError() then says why.
ModuleHandle LoadLibrary(const std::string& path);
std::string LastLoadError();
void FreeLibrary(ModuleHandle module);
void* GetProcAddress(ModuleHandle module, const char* name);

// Process error mode (only kept and returned: Linux shows no error boxes).
constexpr uint32_t SEM_NOOPENFILEERRORBOX = 0x8000;
uint32_t SetErrorMode(uint32_t mode);

// Full path of a loaded module; nullptr: the executable.
std::string GetModuleFileName(ModuleHandle module);
// Full path of the module that contains the given address (a module's "own" file).
std::string ModuleFileNameOfAddress(const void* address);
std::string ExecutablePath();

// Windows-style file lookup: either separator, case-insensitive per path
// component. Returns the real path on disk, or "" when there is none.
std::string ResolvePath(std::string_view windowsPath);
// True for an existing file that is not a folder.
bool FileExists(std::string_view windowsPath);
bool DirectoryExists(std::string_view windowsPath);
// Search of a name along the absolute folders of the environment variable
// PATH (';' or ':' separated); an absolute name is only checked itself. Never
// resolves against the working folder. "" when not found.
std::string SearchPath(std::string_view name);

// Text for a message that is one line on a terminal whatever it holds: every
// byte that is not printable (control characters, DEL, C1 controls, bytes of
// broken UTF-8) becomes \xNN; printable ASCII and well-formed UTF-8 stay.
std::string PrintableText(std::string_view text);

// Files that an interrupted program must not leave behind. A module
// registers a file while it exists under a temporary name; the host's handler
// of SIGINT and SIGTERM removes every registered file, then lets the signal
// end the program as it would have. The list is the host program's, one per
// process whatever module registers; without such a host each module keeps
// its own. Registering fails (false) when the list is full.
bool RegisterTemporaryFile(const std::string& path);
void ForgetTemporaryFile(const std::string& path);
// The host installs the handler once, at start. A write beyond the file-size
// limit then fails with an error instead of ending the program.
void RemoveTemporaryFilesOnSignal();

// Stand-ins for the Windows folders; "" when the platform has no such folder.
std::string WindowsDirectory();
std::string SystemDirectory();
// The user's application-data folder ($XDG_CONFIG_HOME or ~/.config).
std::string AppDataDirectory();

// HKEY_LOCAL_MACHINE is a folder tree: $ORVANTA_REGISTRY_ROOT when set, else
// /etc/orvanta/registry; a key is a folder under it (case-insensitive lookup).
std::string RegistryRoot();
// Opens the key without creating it and closes it at once: true when it exists.
bool RegistryKeyExists(std::string_view hklmKey);

// The modal dialog facility. In batch mode (the environment variable
// ORVANTA_BATCH set and not "0", so that every module of the process agrees)
// ShowModal answers Ok without showing anything; otherwise it calls the
// request's presenter, and answers Ok when there is none.
enum class ModalResult : int32_t { Ok = 1, Cancel = 2 };
struct DialogRequest {
  ModalResult (*show)(void* context) = nullptr;
  void* context = nullptr;
};
bool BatchMode();
void SetBatchMode(bool on);
ModalResult ShowModal(const DialogRequest& request);

}  // namespace platform
