// Binary drawing writer for releases R13 (AC1012) and R14 (AC1014).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav2 {

class Drawing;

namespace dwg {

// Release indices as the engine numbers them; only these two have a DWG writer here.
inline constexpr int kVersionR13 = 5;
inline constexpr int kVersionR14 = 6;

inline bool SupportsVersion(int version) {
  return version == kVersionR13 || version == kVersionR14;
}

// Encodes the whole drawing into `out` (cleared first). The caller owns the file: it writes `out`
// to a temporary file and renames it, so a failure here never touches an existing drawing.
// Returns false with a message in `error` when the version is not R13/R14 or the drawing holds
// something the format cannot carry (for example a dangling layer or block reference).
bool WriteDwg(const Drawing& drawing, int version, std::vector<std::uint8_t>& out,
              std::string& error);

}  // namespace dwg
}  // namespace tav2
