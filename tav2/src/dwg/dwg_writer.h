// Binary drawing writer for releases R13 (AC1012) and R14 (AC1014).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tav2/src/schema.h"

namespace tav2 {

class Drawing;
class ReplacingFile;

namespace dwg {

inline bool SupportsVersion(int release) {
  return release == schema::kR13 || release == schema::kR14;
}

// Streams the drawing as DWG of `release` into `file` (an open replacing
// file, which the caller commits): objects go to the file as they are
// encoded, only their map stays in memory, and the file header's section
// addresses are written last. False with a message in `error` when the
// release has no DWG writer here or the drawing holds something the format
// cannot carry (a dangling layer or block reference, for example).
bool WriteDwg(const Drawing& drawing, int release, ReplacingFile& file, std::string& error);

// The same into memory (`out` is cleared first, and cleared again on failure).
bool WriteDwg(const Drawing& drawing, int release, std::vector<std::uint8_t>& out,
              std::string& error);

}  // namespace dwg
}  // namespace tav2
