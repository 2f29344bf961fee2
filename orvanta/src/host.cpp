#include "orvanta/src/host.h"

#include "abi/korvex_host.h"

namespace orvanta {
namespace {

// The exporters installed with the host, by their Windows module names.
constexpr const char* kExporterModules[] = {"Quennet.dll"};

std::string ExeFolder() {
  const std::string exe = platform::ExecutablePath();
  return exe.substr(0, exe.find_last_of('/') + 1);
}

}  // namespace

Host::~Host() {
  for (auto it = exporters_.rbegin(); it != exporters_.rend(); ++it)
    platform::FreeLibrary(it->module);
  exporters_.clear();
  if (editor_) {
    if (boardOpen_) {
      if (auto close = reinterpret_cast<TKorvexCloseBoard>(
              platform::GetProcAddress(editor_, "KorvexCloseBoard")))
        close();
    }
    platform::FreeLibrary(editor_);
  }
}

void Host::LoadEditor() {
  if (editor_) return;
  const std::string path = ExeFolder() + "Korvex.dll";
  editor_ = platform::LoadLibrary(path);
  if (!editor_)
    throw EHostError("cannot load the PCB editor module " + platform::MapModuleName(path) + ": " +
                     platform::LastLoadError());
}

void Host::OpenBoard(const std::string& path) {
  LoadEditor();
  auto open =
      reinterpret_cast<TKorvexOpenBoard>(platform::GetProcAddress(editor_, "KorvexOpenBoard"));
  if (!open) throw EHostError("the PCB editor module has no KorvexOpenBoard");
  char error[1024] = {};
  if (open(path.c_str(), error, sizeof error) != 0) {
    error[sizeof error - 1] = '\0';
    throw EHostError(error[0] ? error : path + ": the board cannot be opened");
  }
  boardOpen_ = true;
}

const std::vector<Exporter>& Host::LoadExporters() {
  if (!exporters_.empty()) return exporters_;
  for (const char* name : kExporterModules) {
    Exporter e;
    e.path = platform::MapModuleName(ExeFolder() + name);
    e.module = platform::LoadLibrary(e.path);
    if (!e.module)
      throw EHostError("cannot load the exporter " + e.path + ": " + platform::LastLoadError());
    e.getDescription = reinterpret_cast<TGetPcbExporterDescription>(
        platform::GetProcAddress(e.module, "GetPcbExporterDescription"));
    e.recognised = reinterpret_cast<TRecognisedPcbFormat>(
        platform::GetProcAddress(e.module, "RecognisedPcbFormat"));
    e.exportFile = reinterpret_cast<TExportFileFromPcb>(
        platform::GetProcAddress(e.module, "ExportFileFromPcb"));
    if (!e.getDescription || !e.recognised || !e.exportFile) {
      platform::FreeLibrary(e.module);
      throw EHostError(e.path + ": not an exporter plug-in (its entry points are missing)");
    }
    exporters_.push_back(e);
  }
  return exporters_;
}

}  // namespace orvanta
