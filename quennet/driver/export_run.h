// One export of the host's current board to a drawing file.
#pragma once

#include "abi/hostbase.h"

namespace quennet {

// Returns false when the user cancelled the dialog, true when the drawing was
// written. A run that could not write the drawing throws EExportError after
// closing the engine, finishing the progress display and freeing the board.
bool RunExport(const abi::ShortString& fileName);

class TPcbBoard;

// Steps of the run, callable on their own for tests.
// Counts the board's objects, folds their extents and collects their layers
// into a new used-layer set.
void ScanBoard();
// Adds the layer stack, paste and solder mask layers and, when the multi-layer
// is used, the top and bottom layers.
void CompleteLayerSet(TPcbBoard& board);

}  // namespace quennet
