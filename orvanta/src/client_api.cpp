// The host client's flat functions, exported from the executable so that
// plug-ins find them by name in the process's main module.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "abi/clientapi.h"
#include "orvanta/src/host_client.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

void CopyOut(std::string_view text, char* out, uint32_t size) {
  if (!out || size == 0) return;
  const size_t n = std::min<size_t>(text.size(), size - 1);
  if (n) std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

std::string_view FilePart(std::string_view path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

// Position of the extension's dot in the path, or npos. A name that only
// begins with a dot (".config") has no extension.
size_t ExtensionDot(std::string_view path) {
  const std::string_view file = FilePart(path);
  const size_t dot = file.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return std::string_view::npos;
  return path.size() - file.size() + dot;
}

using platform::EqualsNoCase;

}  // namespace

ORVANTA_EXPORT abi::TStatus ClientAPI_GetClientInterface(abi::IClient** out) {
  if (!out) return abi::E_INVALIDARG;
  *out = orvanta::HostClient();
  (*out)->AddRef();
  return abi::S_OK;
}

ORVANTA_EXPORT void ClientAPI_ExtractFileExtFromPath(const char* path, char* out, uint32_t size) {
  const std::string_view p = path ? path : "";
  const size_t dot = ExtensionDot(p);
  CopyOut(dot == std::string_view::npos ? std::string_view() : p.substr(dot), out, size);
}

ORVANTA_EXPORT void ClientAPI_ExtractFileNameFromPath(const char* path, char* out, uint32_t size) {
  const std::string_view file = FilePart(path ? path : "");
  const size_t dot = ExtensionDot(file);
  CopyOut(dot == std::string_view::npos ? file : file.substr(0, dot), out, size);
}

ORVANTA_EXPORT void ClientAPI_ExtractWholeFileNameFromPath(const char* path, char* out,
                                                           uint32_t size) {
  CopyOut(FilePart(path ? path : ""), out, size);
}

ORVANTA_EXPORT void ClientAPI_ForceFileNameExtension(const char* name, const char* ext, char* out,
                                                     uint32_t size) {
  const std::string_view n = name ? name : "";
  std::string_view e = ext ? ext : "";
  if (!e.empty() && e.front() == '.') e.remove_prefix(1);
  if (n.empty() || n.back() == '/' || n.back() == '\\') return CopyOut(n, out, size);
  const size_t dot = ExtensionDot(n);
  const std::string_view stem = dot == std::string_view::npos ? n : n.substr(0, dot);
  const std::string_view current =
      dot == std::string_view::npos ? std::string_view() : n.substr(dot + 1);
  // Linux file names are case-sensitive and conventionally lower case; an
  // extension the user already spelled is kept as spelled.
  if (!e.empty() && EqualsNoCase(current, e)) return CopyOut(n, out, size);
  std::string result(stem);
  if (!e.empty()) {
    result += '.';
    result += platform::ToLower(e);
  }
  CopyOut(result, out, size);
}

ORVANTA_EXPORT uint8_t ClientAPI_ExistSpecific(const char* name) {
  if (!name || !*name) return 0;
  if (platform::FileExists(name)) return 1;
  const std::string mapped = platform::MapModuleName(name);
  return mapped != name && platform::FileExists(mapped) ? 1 : 0;
}

ORVANTA_EXPORT void ClientAPI_ConvertFileNameToExeFileName(const char* name, char* out,
                                                           uint32_t size) {
  const std::string_view n = name ? name : "";
  if (n.empty() || n.front() == '/' || n.front() == '\\') return CopyOut(n, out, size);
  // ORVANTA_ENGINE_DIR stands for the program folder where the exporter looks
  // for its drawing engine: a test or a second installation points the export
  // at another engine by it. Only an absolute folder counts; anything else
  // would mean the working folder.
  if (const char* dir = std::getenv("ORVANTA_ENGINE_DIR"); dir && *dir == '/') {
    std::string folder(dir);
    if (folder.back() != '/') folder += '/';
    return CopyOut(folder + std::string(n), out, size);
  }
  const std::string exe = platform::ExecutablePath();
  const size_t sep = exe.find_last_of('/');
  CopyOut(exe.substr(0, sep + 1) + std::string(n), out, size);
}
