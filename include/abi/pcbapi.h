// The PCB editor module's flat function interface (PcbApi_*) and the object
// interfaces its PCB server hands out.
//
// Conventions of every PcbApi_* function:
// - C linkage, exported by the editor module under exactly the name
//   "PcbApi_" + the name in PCBAPI_FUNCTIONS below.
// - Queries take a mode byte first: 1 reads the host's values into the
//   variables given by address, 0 (and 2) write those values to the host.
//   They return a status, 0 on success.
// - Handles (boards, objects, iterators, rules) are 32-bit; 0 means none.
// - Strings are length-prefixed 8-bit strings in a 256-byte buffer (byte 0 is
//   the length, see abi/hostbase.h); an input string is read, an output string
//   is written whole (length byte included) into the caller's buffer.
// - TLayer is the older layer number, one byte 0..82; TV7_Layer the newer
//   32-bit layer identifier. Each query says which one it exchanges.
// - PCB coordinates are signed 32-bit (10,000,000 per inch), angles degrees as
//   double, booleans one byte (0 false, non-zero true).
// - Option blocks that the plug-in exchanges without interpreting them are
//   plain structs of fixed size declared below; their contents are the host's.
//
// A caller that binds these functions by name must treat a missing function
// as answering its default status (the second column of PCBAPI_FUNCTIONS)
// without touching any output.
#pragma once

#include <cstdint>
#include <type_traits>

#include "abi/hostbase.h"
#include "abi/layerset.h"

namespace abi {

// ---------------------------------------------------------------------------
// Object kinds and pad shapes

// The kind of a board object, one byte: what GetObjectIdFromObjectHandle
// answers in its low 7 bits and what CreateIterator takes. The numbers are
// the host's; 23..25 have no object behind them.
enum TPcbObjectKind : uint8_t {
  pokNone = 0,
  pokArc = 1,
  pokPad = 2,
  pokVia = 3,
  pokTrack = 4,
  pokText = 5,
  pokFill = 6,
  pokFromTo = 7,
  pokNet = 8,
  pokComponent = 9,
  pokPolygon = 10,
  pokRegion = 11,
  pokComponentBody = 12,
  pokDimension = 13,
  pokCoordinate = 14,
  pokClass = 15,
  pokRule = 16,
  pokManualFromTo = 17,
  pokDifferentialPair = 18,
  pokViolation = 19,
  pokEmbedded = 20,
  pokEmbeddedBoard = 21,
  pokSplitPlane = 22,
  pokBoardOutline = 26,
};
// Iterators serve the kinds below this one; a board outline is reached only
// through its handle.
constexpr int32_t kPcbApiIteratedKinds = 26;

// The shape of a pad or via on a layer travels as one TPadShape byte. These
// are the shapes the host gives a meaning to; any other value is the host's
// own and passes through unchanged, which is why the byte, not the
// enumeration, is what the queries exchange.
using TPadShape = uint8_t;
enum TPadShapeValue : TPadShape {
  psNone = 0,  // the object has no copper on that layer
  psRound = 1,
  psRectangle = 2,
  psOctagonal = 3,
  psPlaneRelief = 4,  // joined to an internal plane by the plane-connect rule
  psRoundedRectangle = 9,
};

// ---------------------------------------------------------------------------
// Records exchanged by the flat functions

// One segment of a polygon or split-plane outline, as the host stores it.
// The plug-in carries these records without interpreting them. Layout (packed,
// 37 bytes): Kind (0 line, 1 arc), then vertex X, Y, arc centre X, Y as
// doubles, then arc radius as a signed 32-bit PCB coordinate.
#pragma pack(push, 1)
struct TPcbApiPolySegment {
  uint8_t Kind;
  double VX, VY;
  double CX, CY;
  int32_t Radius;
};
#pragma pack(pop)
static_assert(sizeof(TPcbApiPolySegment) == 37);

// Capacity of the segment arrays of polygons and split planes.
constexpr int32_t kPcbApiMaxPolySegments = 5001;

// Opaque option blocks of the board and of the system options. The host owns
// their meaning; the plug-in only reads them into and writes them from these
// buffers. Each is a flat array so that its size is fixed at both ends.
struct TPcbApiGridOptions {
  int32_t Values[12];  // snap, component, electrical and visible grids
  uint8_t Flags[4];
};
struct TPcbApiOutputOptions {
  int32_t Values[16];
  uint8_t Flags[16];
};
struct TPcbApiGerberOptions {
  int32_t Values[16];
  uint8_t Flags[16];
};
struct TPcbApiPrinterOptions {
  int32_t Values[8];
  double Scale[2];
  uint8_t Flags[16];
};
struct TPcbApiPlotterPen {
  int32_t Width;
  int32_t Speed;
  uint8_t Flags[4];
};
struct TPcbApiPlacerOptions {
  int32_t Values[8];
  uint8_t Flags[8];
};
struct TPcbApiECOOptions {
  int32_t Values[4];
  uint8_t Flags[8];
};
struct TPcbApiSystemOptions {
  int32_t Values[32];
  uint8_t Flags[32];
};
struct TPcbApiSystemOptionsPart {
  int32_t Values[16];
  uint8_t Flags[16];
};

// Opaque blocks of dimensions, rules and violations.
constexpr int32_t kPcbApiMaxDimensionReferences = 64;
struct TPcbApiDimension {
  int32_t Values[32];
  double Reals[8];
  uint8_t Flags[16];
  unsigned char Text[256];  // length-prefixed
};
struct TPcbApiExtDimension {
  int32_t Values[16];
  uint8_t Flags[16];
};
struct TPcbApiRule {
  int32_t RuleKind;
  unsigned char Name[256];    // length-prefixed
  unsigned char Scope1[256];  // length-prefixed scope expressions
  unsigned char Scope2[256];
  int32_t Values[16];
  uint8_t Flags[16];
};
struct TPcbApiViolation {
  uint32_t RuleHandle;
  uint32_t ObjectHandle1;
  uint32_t ObjectHandle2;
  unsigned char Description[256];  // length-prefixed
  int32_t Values[8];
};

// Size of the data buffer of an embedded object.
constexpr int32_t kPcbApiEmbeddedDataSize = 4096;

// ---------------------------------------------------------------------------
// Function types. Argument order is the host's; every out-argument is written
// only on a read (mode 1) and only when the call succeeds.

// Editor state
using TPcbApi_GetCurrentBoardHandle = uint32_t (*)();
// The object's TPcbObjectKind in the low 7 bits; 0 for an unknown handle.
using TPcbApi_GetObjectIdFromObjectHandle = uint8_t (*)(uint32_t object);

// Iterators. owner: a board or a component handle; kind: a TPcbObjectKind;
// method: 0 all objects of the kind, 1 only those in no group; layer:
// TV7_Layer, 0 for every layer. GetFirst/GetNext answer 0 at the end.
using TPcbApi_CreateIterator = uint32_t (*)(uint32_t owner, uint8_t kind, uint8_t method,
                                            uint32_t layer);
using TPcbApi_GetFirstObject = uint32_t (*)(uint32_t iterator);
using TPcbApi_GetNextObject = uint32_t (*)(uint32_t iterator);
using TPcbApi_DestroyIterator = int32_t (*)(uint32_t iterator);

// Progress display
using TPcbApi_Percent_Init = int32_t (*)(const unsigned char* caption, int32_t total);
using TPcbApi_Percent_Update = int32_t (*)();
using TPcbApi_Percent_Finish = int32_t (*)();

// Common object data
using TPcbApi_GetObjectBitField2 = int32_t (*)(uint8_t mode, uint32_t object, uint8_t* bits);
using TPcbApi_GetObjectBitField3 = int32_t (*)(uint8_t mode, uint32_t object, uint8_t* bits);
// Corners in PCB units, in either order.
using TPcbApi_QueryObjectBoundingRectangle = int32_t (*)(uint32_t object, int32_t* x1, int32_t* y1,
                                                         int32_t* x2, int32_t* y2);
// 0 when the object was imported by the user.
using TPcbApi_QueryObjectImport_FromUser = int32_t (*)(uint32_t object);
using TPcbApi_QueryObjectGraphicallyInvalidate = int32_t (*)(uint32_t object);
// Note: ComponentHandle before AuxByte here, unlike the per-kind queries.
using TPcbApi_QueryPrimitive = int32_t (*)(uint8_t mode, uint32_t object, uint16_t* flags,
                                           uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                           uint32_t* componentHandle, uint8_t* auxByte);

// Per-kind queries
using TPcbApi_QueryTrack = int32_t (*)(uint8_t mode, uint32_t track, uint16_t* flags,
                                       uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                       uint8_t* auxByte, uint32_t* componentHandle, int32_t* x1,
                                       int32_t* y1, int32_t* x2, int32_t* y2, int32_t* width,
                                       int32_t* ownerHandle1, int32_t* ownerHandle2,
                                       int32_t* ownerHandle3);
using TPcbApi_QueryArc = int32_t (*)(uint8_t mode, uint32_t arc, uint16_t* flags, uint16_t* auxWord,
                                     uint32_t* layerV7, uint32_t* auxRef, uint8_t* auxByte,
                                     uint32_t* componentHandle, int32_t* xCenter, int32_t* yCenter,
                                     int32_t* radius, double* startAngle, double* endAngle,
                                     int32_t* lineWidth, int32_t* ownerHandle1);
using TPcbApi_QueryFill = int32_t (*)(uint8_t mode, uint32_t fill, uint16_t* flags,
                                      uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                      uint8_t* auxByte, uint32_t* componentHandle, int32_t* x1,
                                      int32_t* y1, int32_t* x2, int32_t* y2, int32_t* ownerHandle1,
                                      double* rotation);
// The via's layer is a TLayer byte.
using TPcbApi_QueryVia = int32_t (*)(uint8_t mode, uint32_t via, uint16_t* flags, uint16_t* auxWord,
                                     uint8_t* layer, uint32_t* auxRef, uint8_t* auxByte,
                                     uint32_t* componentHandle, int32_t* x, int32_t* y,
                                     int32_t* size, int32_t* holeSize, uint8_t* viaByte1,
                                     uint8_t* viaByte2, uint8_t* padViaFlag1, uint8_t* padViaFlag2);
using TPcbApi_QueryRegion = int32_t (*)(uint8_t mode, uint32_t region, uint8_t* kindByte,
                                        uint16_t* flags, uint16_t* auxWord, uint32_t* layerV7,
                                        uint32_t* auxRef, uint8_t* auxByte,
                                        uint32_t* componentHandle, int32_t* pairSecond,
                                        int32_t* pairFirst, int32_t* value1, int32_t* value2,
                                        int32_t* value3, int32_t* value4);
// text: up to 254 characters.
using TPcbApi_QueryText = int32_t (*)(uint8_t mode, uint32_t text, uint16_t* flags,
                                      uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                      uint8_t* auxByte, uint32_t* componentHandle, int32_t* x,
                                      int32_t* y, int32_t* size, int32_t* textAttr,
                                      double* rotation, uint8_t* mirrored, unsigned char* textStr,
                                      int32_t* width, int32_t* ownerHandle2, int32_t* ownerHandle3);
// fontKind: 0 stroke, 1 TrueType. The int32 is the TrueType inverted-text
// border (PCB units).
using TPcbApi_QueryTrueTypeTextInfo = int32_t (*)(uint8_t mode, uint32_t text, uint8_t* fontKind,
                                                  unsigned char* fontName, uint8_t* bold,
                                                  uint8_t* italic, uint8_t* inverted,
                                                  int32_t* invertedBorder);
using TPcbApi_QueryBarCodeTextInfo = int32_t (*)(uint8_t mode, uint32_t text, uint8_t* barCodeKind,
                                                 uint8_t* byte1, uint8_t* byte2, uint8_t* byte3);
// The text as displayed (special strings resolved), into a 256-byte buffer.
using TPcbApi_GetDesignatorDisplayString = int32_t (*)(uint32_t text, unsigned char* display);

// Components. The component's layer is a TLayer byte; pattern up to 250
// characters.
using TPcbApi_QueryComponentChannelOffset = int32_t (*)(uint8_t mode, uint32_t component,
                                                        int32_t* channelOffset);
using TPcbApi_QueryComponentKind = int32_t (*)(uint8_t mode, uint32_t component,
                                               int32_t* componentKind);
using TPcbApi_QueryComponent = int32_t (*)(uint8_t mode, uint32_t component, uint16_t* flags,
                                           uint16_t* auxWord, uint8_t* layer, uint8_t* auxByte,
                                           uint32_t* designatorHandle, uint32_t* commentHandle,
                                           unsigned char* pattern, uint8_t* designatorVisible,
                                           uint8_t* commentVisible, int32_t* x, int32_t* y,
                                           int32_t* value, double* rotation, uint8_t* byte1);
using TPcbApi_QueryComponentEx = int32_t (*)(uint8_t mode, uint32_t component, int32_t* value1,
                                             uint8_t* byte1, uint8_t* byte2, int32_t* value2);
using TPcbApi_QueryComponentSourceLinks = int32_t (*)(uint8_t mode, uint32_t component,
                                                      unsigned char* link1, unsigned char* link2,
                                                      unsigned char* link3, unsigned char* link4,
                                                      unsigned char* link5, unsigned char* link6,
                                                      unsigned char* link7, unsigned char* link8);
using TPcbApi_QueryDefaultPCB3DModel = int32_t (*)(uint8_t mode, uint32_t component,
                                                   unsigned char* model);

// Pads. name, string1..3: up to 20 characters.
using TPcbApi_QueryPad = int32_t (*)(
    uint8_t mode, uint32_t pad, uint16_t* flags, uint16_t* auxWord, uint32_t* layerV7,
    uint32_t* auxRef, uint8_t* auxByte, uint32_t* componentHandle, int32_t* x, int32_t* y,
    int32_t* topXSize, int32_t* topYSize, int32_t* midXSize, int32_t* midYSize, int32_t* botXSize,
    int32_t* botYSize, int32_t* holeSize, uint8_t* topShape, uint8_t* midShape, uint8_t* botShape,
    unsigned char* name, uint8_t* byte1, uint8_t* byte2, double* rotation, unsigned char* string1,
    unsigned char* string2, uint32_t* value1, unsigned char* string3, uint8_t* byte3,
    uint8_t* byte4, uint32_t* tail1, int64_t* tail8, uint32_t* tail2, uint32_t* tail3,
    uint32_t* tailLast, uint8_t* padViaFlag1, uint8_t* padViaFlag2);
// stackMode: 2 is a full per-layer stack.
using TPcbApi_QueryPadStackMode = int32_t (*)(uint8_t mode, uint32_t pad, uint8_t* stackMode);
// Per-layer pad and via data, by TLayer byte; read-only queries (no mode).
using TPcbApi_QueryPadOrViaShapeOnLayer = int32_t (*)(uint32_t object, uint8_t layer,
                                                      uint8_t* shape);
using TPcbApi_QueryPadOrViaSizeOnLayer = int32_t (*)(uint32_t object, uint8_t layer, int32_t* xSize,
                                                     int32_t* ySize);
using TPcbApi_QueryPadCornerRadiusOnLayer = int32_t (*)(uint32_t pad, uint8_t layer,
                                                        int32_t* cornerRadius);
using TPcbApi_QueryPadCRPercentageOnLayer = int32_t (*)(uint32_t pad, uint8_t layer,
                                                        uint8_t* percent);
using TPcbApi_SetPadShapeOnLayer = int32_t (*)(uint32_t pad, uint8_t layer, uint8_t shape);
using TPcbApi_SetPadSizeOnLayer = int32_t (*)(uint32_t pad, uint8_t layer, int32_t xSize,
                                              int32_t ySize);
using TPcbApi_SetCRPctOnLayer = int32_t (*)(uint32_t pad, uint8_t layer, uint8_t percent);

// Rules. The dominant rule of a kind for an object, 0 when none (kind 6: the
// power-plane connect style).
using TPcbApi_FindDominantRuleForObject = uint32_t (*)(uint32_t object, uint8_t ruleKind);
// style: 0 relief, 1 direct, 2 none. expansion, conductorWidth, airGap in
// PCB units; entries 2 or 4.
using TPcbApi_QueryRulePowerPlaneConnectStyleRule = int32_t (*)(uint8_t mode, uint32_t rule,
                                                                uint8_t* style, int32_t* expansion,
                                                                int32_t* conductorWidth,
                                                                int32_t* entries, int32_t* airGap);
using TPcbApi_QueryRule = int32_t (*)(uint8_t mode, uint32_t rule, uint16_t* auxWord,
                                      TPcbApiRule* block);
using TPcbApi_QueryViolation = int32_t (*)(uint8_t mode, uint32_t violation, uint16_t* auxWord,
                                           TPcbApiViolation* block);

// Group objects.
using TPcbApi_QueryPolygon = int32_t (*)(uint8_t mode, uint32_t polygon, uint16_t* flags,
                                         uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                         uint8_t* auxByte, uint8_t* byte1, uint8_t* byte2,
                                         uint8_t* byte3, int32_t* value1, int32_t* value2,
                                         uint8_t* byte4, uint8_t* byte5, int32_t* value3,
                                         uint8_t* byte6, int32_t* segmentCount,
                                         TPcbApiPolySegment* segments /* [5001] */);
using TPcbApi_QuerySplitPlane = int32_t (*)(uint8_t mode, uint32_t splitPlane, uint16_t* flags,
                                            uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                            uint8_t* auxByte, uint8_t* byte1, int32_t* segmentCount,
                                            TPcbApiPolySegment* segments /* [5001] */);
using TPcbApi_QueryCoordinate = int32_t (*)(uint8_t mode, uint32_t coordinate, uint16_t* flags,
                                            uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                            uint8_t* auxByte, int32_t* x, int32_t* y, int32_t* size,
                                            int32_t* lineWidth, int32_t* textHeight,
                                            int32_t* textWidth);
using TPcbApi_QueryDimension = int32_t (*)(uint8_t mode, uint32_t dimension, uint16_t* flags,
                                           uint16_t* auxWord, uint32_t* layerV7, uint32_t* auxRef,
                                           uint8_t* auxByte, TPcbApiDimension* block);
using TPcbApi_References_Count = int32_t (*)(uint8_t mode, uint32_t dimension, int32_t* count);
using TPcbApi_References_At = int32_t (*)(uint8_t mode, uint32_t dimension, int32_t index,
                                          int32_t* objectHandle, int32_t* x, int32_t* y,
                                          int32_t* anchor);
using TPcbApi_QueryExtDimension = int32_t (*)(uint8_t mode, uint32_t dimension,
                                              TPcbApiExtDimension* block);
using TPcbApi_QueryNet = int32_t (*)(uint8_t mode, uint32_t net, uint16_t* auxWord,
                                     unsigned char* name, uint8_t* byte1, int32_t* value1);
using TPcbApi_QueryClass = int32_t (*)(uint8_t mode, uint32_t objectClass, uint16_t* auxWord,
                                       unsigned char* name, uint8_t* byte1, uint8_t* byte2);
// Member i of a class; answers 1 (and leaves name alone) past the last one.
using TPcbApi_GetMemberFromClassAt = int32_t (*)(uint32_t objectClass, int32_t index,
                                                 unsigned char* name);
using TPcbApi_AddMemberToClass = int32_t (*)(uint32_t objectClass, const unsigned char* name);
using TPcbApi_RemoveAllMembersFromClass = int32_t (*)(uint32_t objectClass);
using TPcbApi_QueryFromTo = int32_t (*)(uint8_t mode, uint32_t fromTo, uint16_t* auxWord,
                                        int32_t* x1, int32_t* y1, uint8_t* byte1, int32_t* x2,
                                        int32_t* y2, uint8_t* byte2, uint32_t* auxRef);
using TPcbApi_QueryManualFromTo = int32_t (*)(uint8_t mode, uint32_t fromTo, uint16_t* auxWord,
                                              unsigned char* string1, unsigned char* string2,
                                              unsigned char* string3, uint32_t* value1);
using TPcbApi_QueryEmbedded = int32_t (*)(uint8_t mode, uint32_t embedded, uint16_t* auxWord,
                                          unsigned char* name, uint8_t* data /* [4096] */);
using TPcbApi_QueryEmbeddedBoard = int32_t (*)(uint8_t mode, uint32_t embeddedBoard,
                                               uint16_t* flags, uint16_t* auxWord, uint8_t* auxByte,
                                               int32_t* x, int32_t* y, unsigned char* documentPath,
                                               int32_t* rowCount, int32_t* columnCount,
                                               int32_t* rowSpacing, int32_t* columnSpacing,
                                               double* rotation, uint8_t* mirrored, uint8_t* byte2);

// Board. boardLayer is a TV7_Layer; boardUnit 1 imperial, else metric.
using TPcbApi_QueryBoard = int32_t (*)(uint8_t mode, uint32_t board, uint32_t* value4,
                                       unsigned char* fileName, uint8_t* byte1, int32_t* originX,
                                       int32_t* originY, int32_t* width, int32_t* height,
                                       uint8_t* boardUnit, uint32_t* boardLayer,
                                       int32_t* lastValue);
using TPcbApi_QueryBoardLayerInfo = int32_t (*)(uint8_t mode, uint32_t board, uint8_t layer,
                                                uint32_t* info, int32_t* extra1, int32_t* extra2);
// The layer object of a TLayer: the name, copper thickness, four bytes (the
// third and fourth are the TLayer ids of the previous and the next layer in
// the stack, 0 for none) and a last small value.
using TPcbApi_QueryLayer = int32_t (*)(uint8_t mode, uint8_t layer, uint32_t board,
                                       unsigned char* name, int32_t* copperThickness,
                                       uint8_t* byte1, uint8_t* byte2, uint8_t* previousLayer,
                                       uint8_t* nextLayer, uint8_t* lastValue);
using TPcbApi_QueryInternalPlane = int32_t (*)(uint8_t mode, uint8_t layer, uint32_t board,
                                               unsigned char* name, int32_t* copperThickness,
                                               uint8_t* byte1, uint8_t* byte2,
                                               uint8_t* previousLayer, uint8_t* nextLayer,
                                               unsigned char* netName);
using TPcbApi_QueryLayerDielectric = int32_t (*)(uint8_t mode, uint8_t layer, uint32_t board,
                                                 unsigned char* material, uint8_t* type,
                                                 double* constant, int32_t* height);
using TPcbApi_QueryBoardSplitPlaneMode = int32_t (*)(uint8_t mode, uint32_t board,
                                                     uint8_t* splitPlaneMode);
using TPcbApi_QueryBoardGridsEx = int32_t (*)(uint8_t mode, uint32_t board,
                                              TPcbApiGridOptions* block);
using TPcbApi_QueryBoardOutputOptions = int32_t (*)(uint8_t mode, uint32_t board,
                                                    TPcbApiOutputOptions* block);
// index 1..109
using TPcbApi_QueryBoardOutputOptionsPlotLayers = int32_t (*)(uint8_t mode, uint32_t board,
                                                              int32_t index, uint8_t* plot);
using TPcbApi_QueryBoardOutputOptionsFlipLayers = int32_t (*)(uint8_t mode, uint32_t board,
                                                              int32_t index, uint8_t* flip);
using TPcbApi_QueryBoardGerberOptions = int32_t (*)(uint8_t mode, uint32_t board,
                                                    TPcbApiGerberOptions* block);
using TPcbApi_QueryBoardPrinterOptions = int32_t (*)(uint8_t mode, uint32_t board,
                                                     TPcbApiPrinterOptions* block);
// pen 1..8
using TPcbApi_QueryBoardPrinterOptionsPlotterPen = int32_t (*)(uint8_t mode, uint32_t board,
                                                               int32_t pen,
                                                               TPcbApiPlotterPen* block);
using TPcbApi_QueryBoardPrinterOptionsCompositeLayer = int32_t (*)(uint8_t mode, uint32_t board,
                                                                   uint8_t layer,
                                                                   uint8_t* included);
using TPcbApi_QueryBoardAdvancedPlacerOptions = int32_t (*)(uint8_t mode, uint32_t board,
                                                            TPcbApiPlacerOptions* block);
using TPcbApi_QueryBoardECOOptions = int32_t (*)(uint8_t mode, uint32_t board,
                                                 TPcbApiECOOptions* block);
// Note the order: mode last. 1 reads the count, 0 sets it.
using TPcbApi_QueryBoardLayerPairsCount = int32_t (*)(uint32_t board, int32_t* count, uint8_t mode);
// A drill pair: its second layer, then its first layer (TV7_Layer both).
using TPcbApi_QueryBoardLayerPairAt = int32_t (*)(uint8_t mode, uint32_t board, int32_t index,
                                                  uint32_t* secondLayer, uint32_t* firstLayer,
                                                  uint8_t* byte1, uint8_t* byte2);
// The top, then the bottom external dielectric.
using TPcbApi_QueryBoardExternalDielectrics =
    int32_t (*)(uint8_t mode, uint32_t board, unsigned char* topMaterial, uint8_t* topType,
                double* topConstant, int32_t* topHeight, unsigned char* bottomMaterial,
                uint8_t* bottomType, double* bottomConstant, int32_t* bottomHeight);

// System options (no board).
using TPcbApi_QuerySystemOptions = int32_t (*)(uint8_t mode, TPcbApiSystemOptions* block);
using TPcbApi_QuerySystemOptionsPlaceArray = int32_t (*)(uint8_t mode,
                                                         TPcbApiSystemOptionsPart* block);
using TPcbApi_QuerySystemOptionsPorts = int32_t (*)(uint8_t mode, TPcbApiSystemOptionsPart* block);
using TPcbApi_QuerySystemOptionsMiscellaneous = int32_t (*)(uint8_t mode,
                                                            TPcbApiSystemOptionsPart* block);
using TPcbApi_QuerySystemOptionsLayerDrawingOrder = int32_t (*)(uint8_t mode, uint8_t layer,
                                                                uint8_t* position);
using TPcbApi_QuerySystemOptionsPolygon = int32_t (*)(uint8_t mode,
                                                      TPcbApiSystemOptionsPart* block);
using TPcbApi_QuerySystemOptionsMiscellaneousEx = int32_t (*)(uint8_t mode,
                                                              TPcbApiSystemOptionsPart* block);
using TPcbApi_QuerySystemOptionsProtection = int32_t (*)(uint8_t mode,
                                                         TPcbApiSystemOptionsPart* block);
using TPcbApi_GetState_ComponentTypeMappingsCount = int32_t (*)();
// index 0..count-1; name up to 255 characters.
using TPcbApi_GetState_ComponentTypeMappingAt = int32_t (*)(int32_t index, unsigned char* name,
                                                            uint8_t* kind);
using TPcbApi_SetState_DeleteAllComponentTypeMappings = int32_t (*)();
using TPcbApi_SetState_AddComponentTypeMapping = int32_t (*)(const unsigned char* name,
                                                             uint8_t kind);

// ---------------------------------------------------------------------------
// The bound names, with the status a missing function answers. Use as
//   #define X(name, missing) ...  PCBAPI_FUNCTIONS(X)  #undef X
// where TPcbApi_##name is the type and "PcbApi_" #name the exported name.
#define PCBAPI_FUNCTIONS(X)                     \
  X(GetCurrentBoardHandle, 0)                   \
  X(GetObjectIdFromObjectHandle, 0)             \
  X(CreateIterator, 0)                          \
  X(GetFirstObject, 0)                          \
  X(GetNextObject, 0)                           \
  X(DestroyIterator, 0)                         \
  X(Percent_Init, 0)                            \
  X(Percent_Update, 0)                          \
  X(Percent_Finish, 0)                          \
  X(GetObjectBitField2, 0)                      \
  X(GetObjectBitField3, 0)                      \
  X(QueryObjectBoundingRectangle, 0)            \
  X(QueryObjectImport_FromUser, 0)              \
  X(QueryObjectGraphicallyInvalidate, 0)        \
  X(QueryPrimitive, 0)                          \
  X(QueryTrack, 0)                              \
  X(QueryArc, 0)                                \
  X(QueryFill, 0)                               \
  X(QueryVia, 0)                                \
  X(QueryRegion, 0)                             \
  X(QueryText, 0)                               \
  X(QueryTrueTypeTextInfo, 0)                   \
  X(QueryBarCodeTextInfo, 0)                    \
  X(GetDesignatorDisplayString, 0)              \
  X(QueryComponentChannelOffset, 0)             \
  X(QueryComponentKind, 0)                      \
  X(QueryComponent, 0)                          \
  X(QueryComponentEx, 0)                        \
  X(QueryComponentSourceLinks, 0)               \
  X(QueryDefaultPCB3DModel, 0)                  \
  X(QueryPad, 0)                                \
  X(QueryPadStackMode, 0)                       \
  X(QueryPadOrViaShapeOnLayer, 0)               \
  X(QueryPadOrViaSizeOnLayer, 0)                \
  X(QueryPadCornerRadiusOnLayer, 0)             \
  X(QueryPadCRPercentageOnLayer, 0)             \
  X(SetPadShapeOnLayer, 0)                      \
  X(SetPadSizeOnLayer, 0)                       \
  X(SetCRPctOnLayer, 0)                         \
  X(FindDominantRuleForObject, 0)               \
  X(QueryRulePowerPlaneConnectStyleRule, 0)     \
  X(QueryRule, 0)                               \
  X(QueryViolation, 0)                          \
  X(QueryPolygon, 0)                            \
  X(QuerySplitPlane, 0)                         \
  X(QueryCoordinate, 0)                         \
  X(QueryDimension, 0)                          \
  X(References_Count, 0)                        \
  X(References_At, 0)                           \
  X(QueryExtDimension, 0)                       \
  X(QueryNet, 0)                                \
  X(QueryClass, 0)                              \
  X(GetMemberFromClassAt, 1)                    \
  X(AddMemberToClass, 1)                        \
  X(RemoveAllMembersFromClass, 1)               \
  X(QueryFromTo, 0)                             \
  X(QueryManualFromTo, 1)                       \
  X(QueryEmbedded, 0)                           \
  X(QueryEmbeddedBoard, 0)                      \
  X(QueryBoard, 0)                              \
  X(QueryBoardLayerInfo, 0)                     \
  X(QueryLayer, 0)                              \
  X(QueryInternalPlane, 0)                      \
  X(QueryLayerDielectric, 0)                    \
  X(QueryBoardSplitPlaneMode, 1)                \
  X(QueryBoardGridsEx, 0)                       \
  X(QueryBoardOutputOptions, 0)                 \
  X(QueryBoardOutputOptionsPlotLayers, 0)       \
  X(QueryBoardOutputOptionsFlipLayers, 0)       \
  X(QueryBoardGerberOptions, 0)                 \
  X(QueryBoardPrinterOptions, 0)                \
  X(QueryBoardPrinterOptionsPlotterPen, 0)      \
  X(QueryBoardPrinterOptionsCompositeLayer, 0)  \
  X(QueryBoardAdvancedPlacerOptions, 0)         \
  X(QueryBoardECOOptions, 0)                    \
  X(QueryBoardLayerPairsCount, 1)               \
  X(QueryBoardLayerPairAt, 0)                   \
  X(QueryBoardExternalDielectrics, 0)           \
  X(QuerySystemOptions, 0)                      \
  X(QuerySystemOptionsPlaceArray, 0)            \
  X(QuerySystemOptionsPorts, 0)                 \
  X(QuerySystemOptionsMiscellaneous, 0)         \
  X(QuerySystemOptionsLayerDrawingOrder, 0)     \
  X(QuerySystemOptionsPolygon, 0)               \
  X(QuerySystemOptionsMiscellaneousEx, 0)       \
  X(QuerySystemOptionsProtection, 0)            \
  X(GetState_ComponentTypeMappingsCount, 0)     \
  X(GetState_ComponentTypeMappingAt, 0)         \
  X(SetState_DeleteAllComponentTypeMappings, 0) \
  X(SetState_AddComponentTypeMapping, 0)

// ---------------------------------------------------------------------------
// Object interfaces of the PCB server. Every method returns a status
// (negative = failure) and hands its result back through its last argument;
// an interface handed out is a new reference the receiver releases.

// {FAE4FDEE-18A6-4634-A87A-80A93016DE11}
inline constexpr TGUID IID_IPCB_ServerInterface = {
    0xFAE4FDEE, 0x18A6, 0x4634, {0xA8, 0x7A, 0x80, 0xA9, 0x30, 0x16, 0xDE, 0x11}};
// {84201336-AE2C-4300-9318-C75F4FD5DE3D}
inline constexpr TGUID IID_IPCB_Board = {
    0x84201336, 0xAE2C, 0x4300, {0x93, 0x18, 0xC7, 0x5F, 0x4F, 0xD5, 0xDE, 0x3D}};
// {FCBF4527-C49F-4E82-815C-FE4D45DB88E3}
inline constexpr TGUID IID_IPCB_Primitive = {
    0xFCBF4527, 0xC49F, 0x4E82, {0x81, 0x5C, 0xFE, 0x4D, 0x45, 0xDB, 0x88, 0xE3}};
// {5F55EFB5-AC7E-487A-95B1-6E1BEBA0C11F}
inline constexpr TGUID IID_IPCB_Pad = {
    0x5F55EFB5, 0xAC7E, 0x487A, {0x95, 0xB1, 0x6E, 0x1B, 0xEB, 0xA0, 0xC1, 0x1F}};
// {D4DCD79A-4CD5-405D-B567-83C7E0E04F07}
inline constexpr TGUID IID_IPCB_Via = {
    0xD4DCD79A, 0x4CD5, 0x405D, {0xB5, 0x67, 0x83, 0xC7, 0xE0, 0xE0, 0x4F, 0x07}};
// {DEA6A4C5-4002-4E91-B9C8-B997A0F46207}
inline constexpr TGUID IID_IPCB_Region = {
    0xDEA6A4C5, 0x4002, 0x4E91, {0xB9, 0xC8, 0xB9, 0x97, 0xA0, 0xF4, 0x62, 0x07}};
// {9F818911-03C3-40D9-99ED-19DE8F0863D4}
inline constexpr TGUID IID_IPCB_Text = {
    0x9F818911, 0x03C3, 0x40D9, {0x99, 0xED, 0x19, 0xDE, 0x8F, 0x08, 0x63, 0xD4}};
// {50ABB0A9-4B1B-4BD2-9D04-B18505D35D51}
inline constexpr TGUID IID_IPCB_GeometricPolygon = {
    0x50ABB0A9, 0x4B1B, 0x4BD2, {0x9D, 0x04, 0xB1, 0x85, 0x05, 0xD3, 0x5D, 0x51}};
// {AF13143C-46BD-4641-A2C6-60193499324C}
inline constexpr TGUID IID_IPCB_Contour = {
    0xAF13143C, 0x46BD, 0x4641, {0xA2, 0xC6, 0x60, 0x19, 0x34, 0x99, 0x32, 0x4C}};
// {A452784D-1248-4FFB-8474-319268CA406E}
inline constexpr TGUID IID_IPCB_SpecialStringConverter = {
    0xA452784D, 0x1248, 0x4FFB, {0x84, 0x74, 0x31, 0x92, 0x68, 0xCA, 0x40, 0x6E}};

struct IPCB_Board;

// Any board object. Reached from an object handle through the server.
struct IPCB_Primitive : IHostUnknown {
  virtual TStatus Handle(uint32_t* out) = 0;
  // The object's TPcbObjectKind, as PcbApi_GetObjectIdFromObjectHandle gives it.
  virtual TStatus ObjectId(uint8_t* out) = 0;
  // TV7_Layer
  virtual TStatus Layer(uint32_t* out) = 0;
  // The board the object lies on (a new reference).
  virtual TStatus Board(IPCB_Board** out) = 0;

 protected:
  ~IPCB_Primitive() = default;
};

// The board. Its layer iterator yields every layer the board has: the
// electrical layers of the stack from top to bottom, then the other layers in
// ascending TLayer order (pad and via shapes are drawn in that order).
struct IPCB_Board : IHostUnknown {
  virtual TStatus Handle(uint32_t* out) = 0;
  // The layers the editor shows now (a new set the receiver owns).
  virtual TStatus VisibleLayers(IPCB_LayerSet** out) = 0;
  virtual TStatus LayerIterator(IPCB_LayerIterator** out) = 0;

 protected:
  ~IPCB_Board() = default;
};

// A pad. Layers are TV7_Layer; a size is 0 on a layer where the pad has no
// copper (or no mask or paste opening).
struct IPCB_Pad : IPCB_Primitive {
  virtual TStatus XSizeOnLayer(uint32_t layer, int32_t* out) = 0;
  virtual TStatus YSizeOnLayer(uint32_t layer, int32_t* out) = 0;
  // TPadShape byte
  virtual TStatus ShapeOnLayer(uint32_t layer, uint8_t* out) = 0;
  virtual TStatus X(int32_t* out) = 0;
  virtual TStatus Y(int32_t* out) = 0;
  virtual TStatus HoleSize(int32_t* out) = 0;
  virtual TStatus Rotation(double* out) = 0;

 protected:
  ~IPCB_Pad() = default;
};

// A via. Relief values come from the via's dominant power-plane connect rule
// (0 when it has none); entries is 2 or 4.
struct IPCB_Via : IPCB_Primitive {
  virtual TStatus X(int32_t* out) = 0;
  virtual TStatus Y(int32_t* out) = 0;
  virtual TStatus HoleSize(int32_t* out) = 0;
  // Diameter on a TV7_Layer, 0 where the via is not present.
  virtual TStatus SizeOnLayer(uint32_t layer, int32_t* out) = 0;
  // TPadShape byte on a TV7_Layer: psRound, psPlaneRelief, or psNone where the
  // via is not present.
  virtual TStatus ShapeOnLayer(uint32_t layer, uint8_t* out) = 0;
  virtual TStatus ReliefExpansion(int32_t* out) = 0;
  virtual TStatus ReliefConductorWidth(int32_t* out) = 0;
  virtual TStatus ReliefEntries(int32_t* out) = 0;
  virtual TStatus ReliefAirGap(int32_t* out) = 0;

 protected:
  ~IPCB_Via() = default;
};

// One point of a contour, in PCB units.
struct TPcbApiPointF {
  double X;
  double Y;
};
// A contour's points: Count points at Points, valid while the contour
// interface that gave them is held.
struct TPcbApiContourPoints {
  int32_t Count;
  const TPcbApiPointF* Points;
};

struct IPCB_Contour : IHostUnknown {
  virtual TStatus PointCount(int32_t* out) = 0;
  virtual TStatus GetPoints(TPcbApiContourPoints* out) = 0;

 protected:
  ~IPCB_Contour() = default;
};

// The outline of a region: its outer boundary and its holes, each a contour.
struct IPCB_GeometricPolygon : IHostUnknown {
  virtual TStatus ContourCount(int32_t* out) = 0;
  virtual TStatus Contour(int32_t index, IPCB_Contour** out) = 0;
  // Whether contour index is a hole (byte boolean).
  virtual TStatus IsHole(int32_t index, uint8_t* out) = 0;

 protected:
  ~IPCB_GeometricPolygon() = default;
};

struct IPCB_Region : IPCB_Primitive {
  virtual TStatus GeometricPolygon(IPCB_GeometricPolygon** out) = 0;

 protected:
  ~IPCB_Region() = default;
};

struct IPCB_Text : IPCB_Primitive {
  // The stored text, length-prefixed into a 256-byte buffer.
  virtual TStatus Text(unsigned char* out) = 0;
  virtual TStatus X(int32_t* out) = 0;
  virtual TStatus Y(int32_t* out) = 0;
  virtual TStatus Size(int32_t* out) = 0;
  virtual TStatus Rotation(double* out) = 0;

 protected:
  ~IPCB_Text() = default;
};

// Resolves the special strings (".DESIGNATOR", ".LAYER_NAME" ...) of a text.
struct IPCB_SpecialStringConverter : IHostUnknown {
  // text: textLength UTF-16 units (no terminator needed). The converted text
  // goes to buffer, NUL-terminated and cut to bufferSize - 1 units;
  // convertedLength receives its full length in units. success is 1 when a
  // conversion took place, 0 when the text should stay as it is (buffer and
  // convertedLength are then untouched).
  virtual TStatus Convert(IHostUnknown* textObject, const char16_t* text, uint32_t textLength,
                          char16_t* buffer, uint32_t bufferSize, uint32_t* convertedLength,
                          uint8_t* success) = 0;

 protected:
  ~IPCB_SpecialStringConverter() = default;
};

// The editor's PCB server: the object the host client hands out for the
// server module "PCB". Obtain it with QueryInterface(IID_IPCB_ServerInterface).
struct IPCB_ServerInterface : IHostUnknown {
  // The board of a board handle; fails for a handle that is not a board.
  virtual TStatus GetBoardFromHandle(uint32_t board, IPCB_Board** out) = 0;
  // The object of an object handle as interface iid: IID_IPCB_Primitive for
  // any object, or the kind's own interface (IID_IPCB_Pad, IID_IPCB_Via,
  // IID_IPCB_Region, IID_IPCB_Text). E_NOINTERFACE when the object is not of
  // that kind, E_INVALIDARG for an unknown handle; *out is then nullptr.
  virtual TStatus GetObjectFromHandle(uint32_t object, const TGUID& iid, void** out) = 0;
  virtual TStatus GetSpecialStringConverter(IPCB_SpecialStringConverter** out) = 0;
  // Why the last failing call of this server failed, in one line; NUL-
  // terminated, cut to size. Empty when nothing failed.
  virtual TStatus GetLastErrorText(uint32_t size, char* buffer) = 0;

 protected:
  ~IPCB_ServerInterface() = default;
};

}  // namespace abi

// The host side declares its exports from the same list, so that a signature
// that drifts from the contract fails to compile.
#ifdef PCBAPI_DECLARE_EXPORTS
#define PCBAPI_DECLARE_EXPORT(name, missing) \
  ORVANTA_EXPORT std::remove_pointer_t<abi::TPcbApi_##name> PcbApi_##name;
PCBAPI_FUNCTIONS(PCBAPI_DECLARE_EXPORT)
#undef PCBAPI_DECLARE_EXPORT
#endif
