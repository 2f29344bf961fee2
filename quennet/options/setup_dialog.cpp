#include "platform/platform.h"
#include "quennet/options/setup_form.h"
#include "quennet/options/setup_window.h"

namespace quennet {

void TPCBExportSetup::OptionsToControls(TExportOptions& options) {
  LoadOptions(options);
  ShowOptions(options);
}

void TPCBExportSetup::ControlsToOptions(TExportOptions& options) {
  ReadControls(options);
  SaveOptions(options);
}

bool IsTestMode() {
  return platform::RegistryKeyExists("\\Software\\Drovane\\TestMode");
}

bool RunSetupDialog(const std::string& fileName, abi::IHostUnknown* board) {
  TPCBExportSetup form(fileName, board);
  TExportOptions& options = ExportOptions();
  form.OptionsToControls(options);
  const bool accepted = IsTestMode() || ShowSetupWindow(form) == platform::ModalResult::Ok;
  if (accepted) form.ControlsToOptions(options);
  return accepted;
}

}  // namespace quennet
