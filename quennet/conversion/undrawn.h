// Pad and via shapes the export has no drawing for. They are counted per
// object kind, shape and layer while the passes run and reported once the
// drawing is saved, so that copper missing from the drawing never goes
// unnoticed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quennet {

void ResetUndrawnShapes();
void CountUndrawnShape(bool via, uint8_t shape, uint32_t layer);
// One sentence per kind, shape and layer, in the order they were first met:
// "3 pads of shape 7 on TopLayer were not drawn".
std::vector<std::string> UndrawnShapeReport();

}  // namespace quennet
