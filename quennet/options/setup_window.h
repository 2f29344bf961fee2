// Shows the setup form in a window, modally. The window lives in a module of
// its own (libquennet_dialog.so beside the plug-in) so that the plug-in does
// not need a display or a toolkit to load.
#pragma once

#include "platform/platform.h"
#include "quennet/options/setup_form.h"

namespace quennet {

// Batch mode: Ok without showing anything. Otherwise the window's answer;
// raises EExportError when no window can be shown (no display, no module).
platform::ModalResult ShowSetupWindow(TPCBExportSetup& form);

}  // namespace quennet

// Exported by the window module: shows the form modally and answers a
// platform::ModalResult, or 0 when it cannot show anything (error then holds
// why, NUL-terminated).
using TQuennetShowSetupDialog = int32_t (*)(quennet::TPCBExportSetup* form, char* error,
                                            uint32_t errorSize);
