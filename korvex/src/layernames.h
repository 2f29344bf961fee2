// Layer names as a board document and the editor's texts use them.
#pragma once

#include <string>
#include <string_view>

#include "korvex/src/board.h"

namespace korvex {

// "TopLayer" ... for the 83 fixed layers.
std::string LegacyShortName(TLayer layer);
// A layer named by its short name ("TopLayer", "MidLayer3", "Mechanical20")
// or its display name ("Top Layer", "Mid Layer 3"), ignoring letter case;
// 0 when the text names no layer (or only a layer class).
TV7_Layer LayerFromName(std::string_view name);
// "Top Layer", "Mid Layer 3" ...
std::string DisplayName(TV7_Layer layer);

}  // namespace korvex
