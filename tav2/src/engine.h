// The engine behind the eda* functions: open drawings, their exchange-record
// header, and the save dispatch to the writers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "abi/tav2.h"
#include "tav2/src/drawing.h"
#include "tav2/src/tavinit.h"

namespace tav2 {

// One open drawing with the engine-side state that is not part of the model.
struct OpenDrawing {
  Drawing d;
  uint8_t headerRecord[tav2abi::kHeaderRecordSize] = {};
  std::vector<bool> handleUsed;  // by handle value; handles are issued in sequence
  // The polyline waiting for its SEQEND, and the block that holds it.
  uint32_t openPolyline = kNoIndex, openPolylineBlock = kNoIndex;
  std::vector<bool> blockEnded;  // ENDBLK seen, by block index
};

// Builds a new drawing from the engine's defaults (tables, header values,
// structural handles, *MODEL_SPACE and *PAPER_SPACE).
void InitDrawing(OpenDrawing& od, const EngineDefaults& defaults, int16_t version);

// Copies the exchange-record header fields into the model and closes a
// polyline left open, so the writers see a complete drawing.
void PrepareForSave(OpenDrawing& od);

// Writes the drawing as `format` (0 DWG, 1 DXF) of release `version` to
// `fileName`, replacing an existing file only when the new one is complete.
bool SaveDrawing(OpenDrawing& od, const char* fileName, int format, int version,
                 std::string& error);

}  // namespace tav2
