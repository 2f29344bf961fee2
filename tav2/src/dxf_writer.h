// DXF writer for every release the engine knows (V2.5 .. R14).
#pragma once

#include <string>

#include "tav2/src/drawing.h"
#include "tav2/src/output.h"

namespace tav2 {

// Streams the drawing as DXF of `release` (0 V2.5 .. 6 R14) into `out`.
// False with a reason when the release is unknown or the drawing cannot be
// written as that release.
bool WriteDxf(const Drawing& d, int release, OutputSink& out, std::string& error);

}  // namespace tav2
