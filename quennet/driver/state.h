// Module-level state of the export run that the converters read while the
// passes run. Exports never overlap, so plain module state is enough.
#pragma once

#include <cstdint>

#include "layers/layers.h"
#include "layers/layerset.h"

namespace quennet {

// What every converter applies to what it writes: zero during the primitive
// passes, set by the component code when it begins a component block.
struct TPlacement {
  int32_t OffsetX = 0;  // subtracted from written coordinates
  int32_t OffsetY = 0;
  double Rotation = 0;  // degrees
};
TPlacement& Placement();

// Bounding box of everything the scan saw, in PCB units. `Set` is false
// until the first object folds in, so a coordinate of exactly 0 takes part
// like any other.
struct TExtents {
  int32_t MinX = 0;
  int32_t MinY = 0;
  int32_t MaxX = 0;
  int32_t MaxY = 0;
  bool Set = false;
  void Reset() { *this = TExtents{}; }
  // Folds one rectangle whose edges are already ordered (left <= right,
  // bottom <= top).
  void Fold(int32_t left, int32_t bottom, int32_t right, int32_t top);
};
TExtents& Extents();

// Number of objects the scan saw; the total of the progress display.
int32_t& ObjectCount();

// The host handle of the board being exported (0 outside a run).
uint32_t& CurrentBoardHandle();

// The layers the scan found, completed to the export layer set. Both stay
// referenced after a run until the next run replaces them or the module
// unloads.
TLayerSetRef& UsedLayerSet();
TLayerSetRef& ExportLayerSet();

// Whether an object on this layer is written by the current export.
bool IsLayerExported(TV7_Layer layer);

}  // namespace quennet
