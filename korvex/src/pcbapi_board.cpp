// The flat function interface: the board (layers, layer pairs, split planes)
// and the editor's system options.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#define PCBAPI_DECLARE_EXPORTS
#include "abi/pcbapi.h"
#include "korvex/src/pcbapi_fields.h"

using namespace korvex;
using namespace korvex::pcbapi;

// --- board ------------------------------------------------------------------

namespace {

bool IsBoard(uint32_t board) {
  return S().IsBoard(board);
}

}  // namespace

int32_t PcbApi_QueryBoard(uint8_t mode, uint32_t board, uint32_t* value4, unsigned char* fileName,
                          uint8_t* byte1, int32_t* originX, int32_t* originY, int32_t* width,
                          int32_t* height, uint8_t* boardUnit, uint32_t* boardLayer,
                          int32_t* lastValue) {
  if (!IsBoard(board)) return kBadHandle;
  Board& b = B();
  Zero(mode, value4);
  Str(mode, b.fileName, fileName, 255);
  Zero(mode, byte1);
  X(mode, b.originX, originX);
  X(mode, b.originY, originY);
  if (mode == 1 && (width || height)) {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    PcbApi_QueryObjectBoundingRectangle(board, &x1, &y1, &x2, &y2);
    if (width) *width = int32_t(std::min<int64_t>(int64_t(x2) - x1, INT32_MAX));
    if (height) *height = int32_t(std::min<int64_t>(int64_t(y2) - y1, INT32_MAX));
  }
  X(mode, b.unit, boardUnit);
  X(mode, b.currentLayer, boardLayer);
  Zero(mode, lastValue);
  return kOk;
}

int32_t PcbApi_QueryBoardLayerInfo(uint8_t mode, uint32_t board, uint8_t layer, uint32_t* info,
                                   int32_t* extra1, int32_t* extra2) {
  if (!IsBoard(board) || layer >= kLegacyLayers) return kBadHandle;
  // Bit 0: something lies on the layer.
  if (mode == 1 && info) *info = B().layers[layer].used ? 1u : 0u;
  Zero(mode, extra1);
  Zero(mode, extra2);
  return kOk;
}

int32_t PcbApi_QueryLayer(uint8_t mode, uint8_t layer, uint32_t board, unsigned char* name,
                          int32_t* copperThickness, uint8_t* byte1, uint8_t* byte2,
                          uint8_t* previousLayer, uint8_t* nextLayer, uint8_t* lastValue) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  LayerInfo& l = B().layers[layer];
  Str(mode, l.name, name, 255);
  X(mode, l.copperThickness, copperThickness);
  Zero(mode, byte1);
  Zero(mode, byte2);
  // The stack is the document's; it is read, never rewritten.
  if (mode == 1) {
    if (previousLayer) *previousLayer = l.previous;
    if (nextLayer) *nextLayer = l.next;
  }
  Zero(mode, lastValue);
  return kOk;
}

int32_t PcbApi_QueryInternalPlane(uint8_t mode, uint8_t layer, uint32_t board, unsigned char* name,
                                  int32_t* copperThickness, uint8_t* byte1, uint8_t* byte2,
                                  uint8_t* previousLayer, uint8_t* nextLayer,
                                  unsigned char* netName) {
  if (layer < 39 || layer > 54) return kBadHandle;
  int32_t status = PcbApi_QueryLayer(mode, layer, board, name, copperThickness, byte1, byte2,
                                     previousLayer, nextLayer, nullptr);
  if (status != kOk) return status;
  Str(mode, B().layers[layer].net, netName, 255);
  return kOk;
}

int32_t PcbApi_QueryLayerDielectric(uint8_t mode, uint8_t layer, uint32_t board,
                                    unsigned char* material, uint8_t* type, double* constant,
                                    int32_t* height) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  LayerInfo& l = B().layers[layer];
  Str(mode, l.dielectricMaterial, material, 255);
  X(mode, l.dielectricType, type);
  X(mode, l.dielectricConstant, constant);
  X(mode, l.dielectricHeight, height);
  return kOk;
}

int32_t PcbApi_QueryBoardSplitPlaneMode(uint8_t mode, uint32_t board, uint8_t* splitPlaneMode) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode == 1 && splitPlaneMode) *splitPlaneMode = 1;
  return kOk;
}

// The editor's option blocks: a board document does not describe them, so
// they read as zero and a write is accepted and dropped.
#define KORVEX_OPAQUE_BOARD_BLOCK(name, type)                             \
  int32_t PcbApi_##name(uint8_t mode, uint32_t board, abi::type* block) { \
    if (!IsBoard(board)) return kBadHandle;                               \
    Zero(mode, block);                                                    \
    return kOk;                                                           \
  }
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardGridsEx, TPcbApiGridOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardOutputOptions, TPcbApiOutputOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardGerberOptions, TPcbApiGerberOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardPrinterOptions, TPcbApiPrinterOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardAdvancedPlacerOptions, TPcbApiPlacerOptions)
KORVEX_OPAQUE_BOARD_BLOCK(QueryBoardECOOptions, TPcbApiECOOptions)
#undef KORVEX_OPAQUE_BOARD_BLOCK

int32_t PcbApi_QueryBoardOutputOptionsPlotLayers(uint8_t mode, uint32_t board, int32_t index,
                                                 uint8_t* plot) {
  if (!IsBoard(board) || index < 1 || index > 109) return kBadHandle;
  Zero(mode, plot);
  return kOk;
}

int32_t PcbApi_QueryBoardOutputOptionsFlipLayers(uint8_t mode, uint32_t board, int32_t index,
                                                 uint8_t* flip) {
  if (!IsBoard(board) || index < 1 || index > 109) return kBadHandle;
  Zero(mode, flip);
  return kOk;
}

int32_t PcbApi_QueryBoardPrinterOptionsPlotterPen(uint8_t mode, uint32_t board, int32_t pen,
                                                  abi::TPcbApiPlotterPen* block) {
  if (!IsBoard(board) || pen < 1 || pen > 8) return kBadHandle;
  Zero(mode, block);
  return kOk;
}

int32_t PcbApi_QueryBoardPrinterOptionsCompositeLayer(uint8_t mode, uint32_t board, uint8_t layer,
                                                      uint8_t* included) {
  if (!IsBoard(board) || layer == 0 || layer >= kLegacyLayers) return kBadHandle;
  Zero(mode, included);
  return kOk;
}

int32_t PcbApi_QueryBoardLayerPairsCount(uint32_t board, int32_t* count, uint8_t mode) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode == 1) {
    if (count) *count = int32_t(B().layerPairs.size());
  } else if (count && *count >= 0 && *count <= 1000) {
    B().layerPairs.resize(size_t(*count));
  } else {
    return kBadHandle;
  }
  return kOk;
}

int32_t PcbApi_QueryBoardLayerPairAt(uint8_t mode, uint32_t board, int32_t index,
                                     uint32_t* secondLayer, uint32_t* firstLayer, uint8_t* byte1,
                                     uint8_t* byte2) {
  if (!IsBoard(board) || index < 0 || size_t(index) >= B().layerPairs.size()) return kBadHandle;
  LayerPair& p = B().layerPairs[size_t(index)];
  X(mode, p.high, secondLayer);
  X(mode, p.low, firstLayer);
  Zero(mode, byte1);
  Zero(mode, byte2);
  return kOk;
}

int32_t PcbApi_QueryBoardExternalDielectrics(uint8_t mode, uint32_t board,
                                             unsigned char* topMaterial, uint8_t* topType,
                                             double* topConstant, int32_t* topHeight,
                                             unsigned char* bottomMaterial, uint8_t* bottomType,
                                             double* bottomConstant, int32_t* bottomHeight) {
  if (!IsBoard(board)) return kBadHandle;
  if (mode != 1) return kOk;
  for (unsigned char* m : {topMaterial, bottomMaterial})
    if (m) abi::SetShortString(*reinterpret_cast<abi::ShortString*>(m), "FR-4");
  for (uint8_t* t : {topType, bottomType})
    if (t) *t = 1;
  for (double* c : {topConstant, bottomConstant})
    if (c) *c = 4.8;
  for (int32_t* h : {topHeight, bottomHeight})
    if (h) *h = 126000;
  return kOk;
}

// --- system options ---------------------------------------------------------

#define KORVEX_OPAQUE_SYSTEM_BLOCK(name, type)            \
  int32_t PcbApi_##name(uint8_t mode, abi::type* block) { \
    Zero(mode, block);                                    \
    return kOk;                                           \
  }
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptions, TPcbApiSystemOptions)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPlaceArray, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPorts, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsMiscellaneous, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsPolygon, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsMiscellaneousEx, TPcbApiSystemOptionsPart)
KORVEX_OPAQUE_SYSTEM_BLOCK(QuerySystemOptionsProtection, TPcbApiSystemOptionsPart)
#undef KORVEX_OPAQUE_SYSTEM_BLOCK

int32_t PcbApi_QuerySystemOptionsLayerDrawingOrder(uint8_t mode, uint8_t layer, uint8_t* position) {
  if (layer >= kLegacyLayers) return kBadHandle;
  if (mode == 1 && position) *position = layer;
  return kOk;
}

namespace {

// The editor's component type mappings belong to its system options, not to
// a board: they outlive the boards opened in between.
std::vector<std::pair<std::string, uint8_t>>& TypeMappings() {
  static std::vector<std::pair<std::string, uint8_t>> mappings;
  return mappings;
}

}  // namespace

int32_t PcbApi_GetState_ComponentTypeMappingsCount() {
  return int32_t(TypeMappings().size());
}

int32_t PcbApi_GetState_ComponentTypeMappingAt(int32_t index, unsigned char* name, uint8_t* kind) {
  auto& m = TypeMappings();
  if (index < 0 || size_t(index) >= m.size()) return kBadHandle;
  if (name) abi::SetShortString(*reinterpret_cast<abi::ShortString*>(name), m[size_t(index)].first);
  if (kind) *kind = m[size_t(index)].second;
  return kOk;
}

int32_t PcbApi_SetState_DeleteAllComponentTypeMappings() {
  TypeMappings().clear();
  return kOk;
}

int32_t PcbApi_SetState_AddComponentTypeMapping(const unsigned char* name, uint8_t kind) {
  if (!name) return kBadHandle;
  TypeMappings().emplace_back(abi::FromShortString(name), kind);
  return kOk;
}
