// Map from PCB layer to the handle of its drawing layer. Each handle lives
// in a box of its own that the map owns, so entries can be cloned and
// released with the table.
#pragma once

#include "layers/layerhash.h"
#include "quennet/drawing/document.h"

namespace quennet {

class TLayerToACADHandle final : public TCustomBoxedLayerHash {
 public:
  // Hierarchical lookup off (no fall-back to a layer class), default 0,
  // initial capacity 8.
  TLayerToACADHandle();
  ~TLayerToACADHandle() override;

  void ValueReleased(THashValue value) override;
  THashValue CloneValue(THashValue value) override;
};

}  // namespace quennet
