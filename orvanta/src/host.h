// The host's modules: the PCB editor module with its open board, and the
// exporter plug-ins that lie beside the executable.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "abi/pcbexporter.h"
#include "platform/platform.h"

namespace orvanta {

// A module that cannot be loaded or used; the text names the module.
class EHostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Exporter {
  std::string path;
  platform::ModuleHandle module = nullptr;
  TGetPcbExporterDescription getDescription = nullptr;
  TRecognisedPcbFormat recognised = nullptr;
  TExportFileFromPcb exportFile = nullptr;
};

class Host {
 public:
  Host() = default;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  // Unloads the exporters first (their shut-down may still call the editor),
  // then the editor.
  ~Host();

  // Loads the PCB editor module from the executable's folder.
  void LoadEditor();
  // Opens a board document as the editor's current board; throws EHostError
  // with "<file>:<line>:<column>: <what>" for a document with an error.
  void OpenBoard(const std::string& path);
  // Loads every exporter plug-in the host knows of.
  const std::vector<Exporter>& LoadExporters();

 private:
  platform::ModuleHandle editor_ = nullptr;
  bool boardOpen_ = false;
  std::vector<Exporter> exporters_;
};

}  // namespace orvanta
