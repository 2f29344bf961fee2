// The export passes over the board's objects: free primitives by kind, then
// primitives that belong to a group, then components. Each object handle is
// handed to its converter while its host iterator is open; nothing is
// collected, so memory stays flat whatever the size of the board.
#pragma once

#include <cstdint>

#include "quennet/pcbmodel/objects.h"

namespace quennet {

// Iterator methods the host understands.
inline constexpr uint8_t kIterateFreeObjects = 1;  // objects of no group
inline constexpr uint8_t kIterateAllObjects = 0;   // group members too

// Calls handler for every object of the kinds in the mask on the board the
// run exports, asking the host for layer 0 only (one iterator per kind).
void IterateBoardObjects(TObjectProc handler, TPcbObjectKindSet kinds, uint8_t method);

// Resets the placement context, then the free and the grouped passes.
void ExportFreePrimitives();
// Every component, with its designator and comment.
void ExportComponents();

}  // namespace quennet
