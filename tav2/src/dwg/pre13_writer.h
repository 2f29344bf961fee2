// DWG writer for the releases before R13: V2.5, V2.6, R9, R10, R11/R12.
#pragma once

#include <string>

namespace tav2 {

class Drawing;
class OutputSink;

namespace dwg {

// Release indices 0 (V2.5) .. 4 (R11/R12).
inline bool IsPre13(int version) {
  return version >= 0 && version <= 4;
}

// Streams the drawing into `out` as a DWG file of `release`. Sizes and
// addresses are worked out in a first pass over the entities, so nothing is
// patched afterwards and only one entity record is held at a time. False with
// a message naming what the format cannot hold (a name longer than 31
// characters, a block section over 16 MB ...); the caller then discards the
// file.
bool WritePre13(const Drawing& drawing, int release, OutputSink& out, std::string& error);

}  // namespace dwg
}  // namespace tav2
