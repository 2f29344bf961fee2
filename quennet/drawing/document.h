// The drawing document: the one drawing an export run writes, on top of the
// drawing engine. Finds the engine's files, initialises and closes the
// engine, creates the drawing with its units and extents, keeps the layer
// table and the map from PCB layer to drawing layer handle, converts PCB
// units to drawing units and saves the file.
#pragma once

#include <cstdint>
#include <string>

#include "abi/hostbase.h"

namespace quennet {

using TV7_Layer = uint32_t;
// An engine object handle: 8 bytes, 0 meaning none.
using TDrawingHandle = uint64_t;

// Looks for an engine file (library or data file) in the places the host
// installs it. On return `name` holds the path where it was found, or the
// bare file name when it was not found.
bool DXF_FindEngineFile(abi::ShortString& name);
// The places the last DXF_FindEngineFile looked in, in order, separated by
// "; " (for the message when nothing was found).
const std::string& DXF_LastEngineFileSearch();

bool DXF_InitEngine(const char* dataFilePath);
// Shuts down and unloads whatever part of the engine is loaded.
void DXF_CloseEngine();

// version: AutoCAD version index 0 (V2.5) .. 6 (R14); units: 0 inches,
// 1 millimetres; extents in PCB units. `fileName` must stay valid until
// DXF_SaveDrawing returns.
bool DXF_CreateDrawing(const char* fileName, uint16_t version, int32_t units, int32_t minX,
                       int32_t minY, int32_t maxX, int32_t maxY);
// format: 0 DWG, 1 DXF. The drawing is released whether or not the save worked.
bool DXF_SaveDrawing(uint16_t version, uint8_t format);
// The engine's reason for the last failure, "" when it gives none.
std::string DXF_EngineError();

std::string DXF_LayerName(TV7_Layer layer);
// Adds a drawing layer for the PCB layer with an AutoCAD colour number. The
// table is not searched first.
void DXF_AddLayer(TV7_Layer layer, uint16_t colour);
// The drawing layer of a PCB layer; looked up in the engine once per drawing.
// An unknown layer is an assertion failure.
TDrawingHandle DXF_LayerHandle(TV7_Layer layer);

// v / 10,000,000 x units factor with extended-precision intermediates.
double ToDrawingUnits(double v);

// The engine's drawing and the list the emitters append to.
uint32_t DXF_CurrentDrawing();
uint32_t DXF_CurrentEntityList();
void DXF_SetCurrentEntityList(uint32_t list);

// Map from PCB layer to drawing layer handle (boxed values it owns).
class TLayerToACADHandle;

}  // namespace quennet
