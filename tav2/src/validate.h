// What a release and format can hold, checked over the whole drawing before
// a byte of it is written: a value that does not fit would otherwise be cut,
// wrapped or written past its field, and the file would be unreadable or
// say something else than the drawing.
#pragma once

#include <string>

#include "tav2/src/drawing.h"

namespace tav2 {

// True when every value of the drawing fits `version` (0 V2.5 .. 6 R14) in
// `format` (kFormatDwg, kFormatDxf); otherwise false, with `error` naming the
// first value that does not and where it comes from.
bool ValidateForSave(const Drawing& d, int version, int format, std::string& error);

}  // namespace tav2
