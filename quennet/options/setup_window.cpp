#include "quennet/options/setup_window.h"

#include <cstdlib>
#include <string>

#include "layers/rtl_errors.h"

namespace quennet {
namespace {

struct Presenting {
  TPCBExportSetup* form;
  std::string error;
};

platform::ModalResult Present(void* context) {
  auto* p = static_cast<Presenting*>(context);
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    p->error = "no display (DISPLAY is not set)";
    return platform::ModalResult::Cancel;
  }
  // The window module lies beside this module.
  const std::string self =
      platform::ModuleFileNameOfAddress(reinterpret_cast<const void*>(&Present));
  const std::string path = self.substr(0, self.find_last_of('/') + 1) + "libquennet_dialog.so";
  platform::ModuleHandle module = platform::LoadLibrary(path);
  if (!module) {
    p->error = platform::LastLoadError();
    return platform::ModalResult::Cancel;
  }
  auto show = reinterpret_cast<TQuennetShowSetupDialog>(
      platform::GetProcAddress(module, "QuennetShowSetupDialog"));
  int32_t result = 0;
  char error[512] = {};
  if (show)
    result = show(p->form, error, sizeof error);
  else
    std::snprintf(error, sizeof error, "%s has no QuennetShowSetupDialog", path.c_str());
  // The module stays loaded: a toolkit keeps process-wide state (exit
  // handlers, display connection) that must not vanish under it.
  if (result == 0) {
    error[sizeof error - 1] = '\0';
    p->error = error[0] ? error : "the window could not be shown";
    return platform::ModalResult::Cancel;
  }
  return result == static_cast<int32_t>(platform::ModalResult::Ok) ? platform::ModalResult::Ok
                                                                   : platform::ModalResult::Cancel;
}

}  // namespace

platform::ModalResult ShowSetupWindow(TPCBExportSetup& form) {
  Presenting p{&form, {}};
  platform::DialogRequest request;
  request.show = &Present;
  request.context = &p;
  const platform::ModalResult result = platform::ShowModal(request);
  // A dialog that was asked for and cannot appear is an error, never a silent OK
  // or a silent Cancel.
  if (!p.error.empty())
    throw EExportError(std::string("Cannot show the dialog \"") + TPCBExportSetup::kCaption +
                       "\": " + p.error);
  return result;
}

}  // namespace quennet
