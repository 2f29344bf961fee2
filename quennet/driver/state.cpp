#include "quennet/driver/state.h"

namespace quennet {

namespace {
TPlacement gPlacement;
TExtents gExtents;
int32_t gObjectCount = 0;
uint32_t gBoardHandle = 0;
}  // namespace

TPlacement& Placement() {
  return gPlacement;
}
TExtents& Extents() {
  return gExtents;
}
int32_t& ObjectCount() {
  return gObjectCount;
}
uint32_t& CurrentBoardHandle() {
  return gBoardHandle;
}

// The holders are never destroyed: nothing releases the sets at unload, where
// a destructor could run after the layer library's own statics are gone.
TLayerSetRef& UsedLayerSet() {
  static TLayerSetRef* const set = new TLayerSetRef;
  return *set;
}

TLayerSetRef& ExportLayerSet() {
  static TLayerSetRef* const set = new TLayerSetRef;
  return *set;
}

void TExtents::Fold(int32_t left, int32_t bottom, int32_t right, int32_t top) {
  if (!Set) {
    MinX = left;
    MinY = bottom;
    MaxX = right;
    MaxY = top;
    Set = true;
    return;
  }
  if (left < MinX) MinX = left;
  if (bottom < MinY) MinY = bottom;
  if (right > MaxX) MaxX = right;
  if (top > MaxY) MaxY = top;
}

bool IsLayerExported(TV7_Layer layer) {
  const TLayerSetRef& set = ExportLayerSet();
  return set && set.Contains(layer);
}

}  // namespace quennet
