#include "quennet/conversion/undrawn.h"

#include "layers/layers.h"

namespace quennet {

namespace {

struct TUndrawn {
  bool via;
  uint8_t shape;
  uint32_t layer;
  uint64_t count;
};

// A board uses a handful of shapes on a handful of layers: a short list
// searched from the back (the entry just met is the likeliest) beats a map.
std::vector<TUndrawn>& Tally() {
  static std::vector<TUndrawn> tally;
  return tally;
}

std::string ShapeName(uint8_t shape) {
  switch (shape) {
    case 0:
      return "none";
    case 1:
      return "round";
    case 2:
      return "rectangle";
    case 3:
      return "octagonal";
    case 4:
      return "plane relief";
    case 9:
      return "rounded rectangle";
    default:
      return std::to_string(shape);
  }
}

}  // namespace

void ResetUndrawnShapes() {
  Tally().clear();
}

void CountUndrawnShape(bool via, uint8_t shape, uint32_t layer) {
  std::vector<TUndrawn>& t = Tally();
  for (auto it = t.rbegin(); it != t.rend(); ++it)
    if (it->via == via && it->shape == shape && it->layer == layer) {
      ++it->count;
      return;
    }
  t.push_back({via, shape, layer, 1});
}

std::vector<std::string> UndrawnShapeReport() {
  std::vector<std::string> lines;
  for (const TUndrawn& u : Tally()) {
    const char* kind = u.via ? (u.count == 1 ? "via" : "vias") : (u.count == 1 ? "pad" : "pads");
    lines.push_back(std::to_string(u.count) + " " + kind + " of shape " + ShapeName(u.shape) +
                    " on " + LayerShortName(u.layer) + (u.count == 1 ? " was" : " were") +
                    " not drawn");
  }
  return lines;
}

}  // namespace quennet
