// One export of the host's current board to a drawing file.
#pragma once

#include "abi/hostbase.h"

namespace quennet {

// Returns false when the user cancelled the dialog, true when the drawing was
// written. A run that could not write the drawing throws EExportError after
// closing the engine, finishing the progress display and freeing the board.
bool RunExport(const abi::ShortString& fileName);

}  // namespace quennet
