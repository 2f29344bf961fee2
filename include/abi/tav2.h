// The drawing engine's public interface: the eda* functions of libtav2.so and
// the byte layout of the records the exporter fills and hands to them.
//
// Handles of drawing objects are 8 bytes (uint8_t[8], read as a little-endian
// uint64); all zero means "none". A drawing and an entity list are 32-bit
// numbers, 0 meaning none. Functions that report success answer a 16-bit
// value, non-zero meaning success; on failure edaGetLastError() tells why.
//
// Records are plain byte buffers of a fixed size. The exporter asks the engine
// to fill one with defaults, sets the fields listed below at their byte
// offsets (unaligned; use memcpy) and hands it back. Every other byte belongs
// to the engine.
#pragma once

#include <cstdint>
#include <cstring>

#include "abi/hostbase.h"

namespace tav2abi {

using Handle = uint8_t[8];

inline uint64_t LoadHandle(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline void StoreHandle(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Field access at a byte offset of a record.
template <class T>
inline T Get(const void* rec, size_t off) {
  T v;
  std::memcpy(&v, static_cast<const uint8_t*>(rec) + off, sizeof v);
  return v;
}
template <class T>
inline void Put(void* rec, size_t off, T v) {
  std::memcpy(static_cast<uint8_t*>(rec) + off, &v, sizeof v);
}

// ---------------------------------------------------------------------------
// Save arguments

enum OutputFormat : uint8_t { kFormatDwg = 0, kFormatDxf = 1 };

// Release index of edaNewFile and edaSaveFile.
enum AcadVersion : int16_t {
  kAcadV25 = 0,  // AC1002
  kAcadV26 = 1,  // AC1003
  kAcadR9 = 2,   // AC1004
  kAcadR10 = 3,  // AC1006
  kAcadR12 = 4,  // AC1009 (R11 and R12 share the format)
  kAcadR13 = 5,  // AC1012
  kAcadR14 = 6,  // AC1014
};
constexpr int kAcadVersionCount = 7;

// ---------------------------------------------------------------------------
// Drawing header record (address from edaHeaderPointer; lives with the drawing)

constexpr size_t kHeaderRecordSize = 5120;
constexpr size_t kHeaderExtMinX = 2657;      // double, drawing units
constexpr size_t kHeaderExtMinY = 2665;      // double
constexpr size_t kHeaderExtMinZ = 2673;      // double
constexpr size_t kHeaderExtMaxX = 2681;      // double
constexpr size_t kHeaderExtMaxY = 2689;      // double
constexpr size_t kHeaderExtMaxZ = 2697;      // double
constexpr size_t kHeaderMeasurement = 3145;  // int16: 0 inches (English), 1 millimetres (metric)
constexpr size_t kHeaderTileMode = 4715;     // int16: 1 model space shown tiled (the default)

// ---------------------------------------------------------------------------
// Layer record (edaSetDefaultLayer, edaAddLayer)

constexpr size_t kLayerRecordSize = 560;
constexpr size_t kLayerFlags = 0;      // int16: 1 frozen, 4 locked
constexpr size_t kLayerLinetype = 2;   // handle of the line type; 0 = CONTINUOUS
constexpr size_t kLayerOff = 10;       // byte: non-zero = layer is off
constexpr size_t kLayerColor = 11;     // int16: AutoCAD colour number 1..255
constexpr size_t kLayerName = 14;      // NUL-terminated text
constexpr size_t kLayerNameMax = 511;  // characters, without the NUL
constexpr size_t kLayerHandle = 534;   // handle of the layer itself

// ---------------------------------------------------------------------------
// Block header record (edaSetDefaultBlockheader, edaAddBlockheader, edaSeekBlockheader)

constexpr size_t kBlockRecordSize = 600;
constexpr size_t kBlockFlags = 20;         // byte: block type flags (1 anonymous, 2 has attributes)
constexpr size_t kBlockName = 21;          // NUL-terminated text
constexpr size_t kBlockNameMax = 511;      // characters, without the NUL
constexpr size_t kBlockXref = 533;         // byte: non-zero = external reference (not supported)
constexpr size_t kBlockLayoutIndex = 534;  // int16: -1 = no layout
constexpr size_t kBlockHandle = 536;       // handle of the block header
constexpr size_t kBlockHasAttributes = 544;  // byte
constexpr size_t kBlockInsertCount = 545;    // int32: informational, engine-maintained
constexpr size_t kBlockEntityList = 549;   // int32: the block's entity list (written by the engine)
constexpr size_t kBlockPreviewSize = 562;  // int32: bytes of preview data (none)
constexpr size_t kBlockXrefPathLen = 566;  // int32: length of the xref path (none)
constexpr size_t kBlockBaseX = 570;        // double: base point
constexpr size_t kBlockBaseY = 578;        // double
constexpr size_t kBlockBaseZ = 586;        // double

// ---------------------------------------------------------------------------
// Entity header record (edaSetEntityDefaults, edaAddEntityToList)

constexpr size_t kEntityHeaderSize = 616;
constexpr size_t kEntType = 0;         // int16: entity type (below)
constexpr size_t kEntHandle = 2;       // handle of the entity
constexpr size_t kEntLayer = 10;       // handle of its layer; 0 = the drawing's layer "0"
constexpr size_t kEntLinetype = 18;    // handle of its line type; 0 = BYLAYER
constexpr size_t kEntColor = 26;       // int16: 0 BYBLOCK, 1..255, 256 BYLAYER
constexpr size_t kEntPaperSpace = 28;  // int16: non-zero = paper space (not supported)
constexpr size_t kEntThickness = 34;   // double: extrusion thickness of lines, circles, arcs
constexpr size_t kEntExtrusionX = 42;  // double: extrusion direction (0, 0, 1 by default)
constexpr size_t kEntExtrusionY = 50;  // double
constexpr size_t kEntExtrusionZ = 58;  // double

// Entity types
enum EntityType : int16_t {
  kEntLine = 1,
  kEntCircle = 3,
  kEntText = 7,
  kEntArc = 8,
  kEntSolid = 11,
  kEntBlock = 12,
  kEntEndblk = 13,
  kEntInsert = 14,
  kEntSeqend = 17,
  kEntPolyline = 19,
  kEntVertex = 20,
};

// An entity type's name, as drawings spell it; "?" for a number that is no
// entity type.
constexpr const char* EntityTypeName(int16_t type) {
  switch (type) {
    case kEntLine:
      return "LINE";
    case kEntCircle:
      return "CIRCLE";
    case kEntText:
      return "TEXT";
    case kEntArc:
      return "ARC";
    case kEntSolid:
      return "SOLID";
    case kEntBlock:
      return "BLOCK";
    case kEntEndblk:
      return "ENDBLK";
    case kEntInsert:
      return "INSERT";
    case kEntSeqend:
      return "SEQEND";
    case kEntPolyline:
      return "POLYLINE";
    case kEntVertex:
      return "VERTEX";
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Entity data record, by type (edaSetEntityDefaults, edaAddEntityToList).
// Coordinates and lengths are drawing units, angles radians.

constexpr size_t kEntityDataSize = 2648;

// LINE
constexpr size_t kLineX1 = 0, kLineY1 = 8, kLineZ1 = 16, kLineX2 = 24, kLineY2 = 32, kLineZ2 = 40;
// CIRCLE and ARC
constexpr size_t kCircleX = 0, kCircleY = 8, kCircleZ = 16, kCircleRadius = 24;
constexpr size_t kArcStartAngle = 32, kArcEndAngle = 40;  // radians, counter-clockwise
// SOLID: four corners of three doubles each
constexpr size_t kSolidCorner1 = 0, kSolidCorner2 = 24, kSolidCorner3 = 48, kSolidCorner4 = 72;
// TEXT
constexpr size_t kTextX = 0, kTextY = 8, kTextZ = 16;
constexpr size_t kTextHeight = 24;
constexpr size_t kTextRotation = 32;  // radians
constexpr size_t kTextWidthFactor = 40;
constexpr size_t kTextOblique = 48;     // radians
constexpr size_t kTextGeneration = 56;  // byte: 2 mirrored in X, 4 upside down
constexpr size_t kTextHAlign = 57;      // byte: 0 left .. 5 fit
constexpr size_t kTextVAlign = 58;      // byte: 0 baseline .. 3 top
constexpr size_t kTextAlignX = 59, kTextAlignY = 67, kTextAlignZ = 75;  // second alignment point
constexpr size_t kTextValue = 83;                                       // NUL-terminated text
constexpr size_t kTextValueMax = 2047;  // characters, without the NUL
constexpr size_t kTextStyle = 2632;     // handle of the text style; 0 = STANDARD
// POLYLINE
constexpr size_t kPolylineElevation = 0;
constexpr size_t kPolylineStartWidth = 8;
constexpr size_t kPolylineEndWidth = 16;
constexpr size_t kPolylineKind = 24;    // int16: 8 = 2D polyline (the only kind written)
constexpr size_t kPolylineClosed = 34;  // int16: 1 closed, 0 open
// VERTEX
constexpr size_t kVertexX = 0, kVertexY = 8, kVertexZ = 16;
constexpr size_t kVertexFlags = 24;  // int16: vertex flags (0 for 2D vertices)
constexpr size_t kVertexStartWidth = 26;
constexpr size_t kVertexEndWidth = 34;
constexpr size_t kVertexBulge = 46;
// INSERT
constexpr size_t kInsertAttribsFollow = 0;  // int16
constexpr size_t kInsertX = 2, kInsertY = 10, kInsertZ = 18;
constexpr size_t kInsertScaleX = 26, kInsertScaleY = 34, kInsertScaleZ = 42;
constexpr size_t kInsertRotation = 50;  // radians
constexpr size_t kInsertColumnSpacing = 58, kInsertRowSpacing = 66;
constexpr size_t kInsertColumns = 74, kInsertRows = 76;  // int16
constexpr size_t kInsertBlock = 78;                      // handle of the block header
// BLOCK
constexpr size_t kBlockEntBaseX = 0, kBlockEntBaseY = 8, kBlockEntBaseZ = 16;
constexpr size_t kBlockEntName = 24;  // NUL-terminated text (must name an added block header)

}  // namespace tav2abi

// ---------------------------------------------------------------------------
// The functions the exporter calls, with their signatures.
//   X(return type, name, parameter list)
#define TAV2_USED_FUNCTIONS(X)                                                                     \
  X(int16_t, edaInitAd2, (const char* dataFile, int32_t reserved, int32_t* out))                   \
  X(int32_t, edaNewFile, (int32_t a, int32_t b, int32_t c, int16_t version))                       \
  X(void*, edaHeaderPointer, (int32_t drawing))                                                    \
  X(int16_t, edaFindBlockheaderByName, (int32_t drawing, const char* name, uint8_t* handle))       \
  X(int32_t, edaEntityList, (int32_t drawing, const uint8_t* blockHandle))                         \
  X(int16_t, edaSetDefaultLayer, (int32_t drawing, void* layerRecord))                             \
  X(int16_t, edaAddLayer, (int32_t drawing, const void* layerRecord))                              \
  X(int16_t, edaFindLayerByName, (int32_t drawing, const char* name, uint8_t* handle))             \
  X(int16_t, edaSetDefaultBlockheader, (void* blockRecord))                                        \
  X(int16_t, edaAddBlockheader, (int32_t drawing, const void* blockRecord))                        \
  X(int16_t, edaSeekBlockheader, (int32_t drawing, const uint8_t* handle, void* blockRecord))      \
  X(int16_t, edaSetEntityDefaults, (int32_t drawing, void* header, void* data))                    \
  X(int16_t, edaGenerateObjhandle, (int32_t drawing, uint8_t * handle))                            \
  X(int16_t, edaAddEntityToList,                                                                   \
    (int32_t drawing, int32_t list, const void* header, const void* data))                         \
  X(int16_t, edaSaveFile,                                                                          \
    (int32_t drawing, const char* fileName, uint8_t format, int16_t version, int32_t a, int32_t b, \
     int32_t c, int32_t d))                                                                        \
  X(int16_t, edaCloseFile, (int32_t drawing))                                                      \
  X(int16_t, edaCloseAd2, (void))

// Why the last failing call failed, as text ("" when the last call succeeded
// or set no reason). The text stays valid until the next eda* call.
#define TAV2_ERROR_FUNCTIONS(X)           \
  X(const char*, edaGetLastError, (void)) \
  X(int32_t, edaGetLastErrorCode, (void)) \
  X(int16_t, edaClearError, (void))

// Operations on the tables of a drawing. Each table T with its record kind R
// has: Add, Delete, Find<R>ByName, Get<R> (by index), Replace, Seek (by
// handle), Num<R>s, Start<R>Get / GetNext<R> (iteration) and SetDefault<R>.
// The engine operations the exporter binds by name but never calls. The
// engine exports each one; those it does not serve answer 0 (failure) and set
// edaGetLastError to "<name> is not supported by this engine".
//   X(name)
#define TAV2_TABLE_OPERATIONS_OF(X, R, Rs) \
  X(edaAdd##R)                             \
  X(edaDelete##R)                          \
  X(edaFind##R##ByName)                    \
  X(edaGet##R)                             \
  X(edaReplace##R)                         \
  X(edaSeek##R)                            \
  X(edaNum##Rs)                            \
  X(edaStart##R##Get)                      \
  X(edaGetNext##R)                         \
  X(edaSetDefault##R)

#define TAV2_OTHER_FUNCTIONS(X)                                                                  \
  /* tables (those used above are listed there and not again) */                                 \
  X(edaDeleteBlockheader)                                                                        \
  X(edaGetBlockheader)                                                                           \
  X(edaReplaceBlockheader)                                                                       \
  X(edaNumBlockheaders) X(edaStartBlockheaderGet) X(edaGetNextBlockheader) X(edaDeleteLayer)     \
      X(edaGetLayer) X(edaReplaceLayer) X(edaSeekLayer) X(edaNumLayers) X(edaStartLayerGet)      \
          X(edaGetNextLayer) TAV2_TABLE_OPERATIONS_OF(X, Linetype, Linetypes)                    \
              TAV2_TABLE_OPERATIONS_OF(X, Dimstyle, Dimstyles) TAV2_TABLE_OPERATIONS_OF(         \
                  X, Shapefile, Shapefiles) TAV2_TABLE_OPERATIONS_OF(X, View, Views)             \
                  TAV2_TABLE_OPERATIONS_OF(X, Ucs, Ucses)                                        \
                      TAV2_TABLE_OPERATIONS_OF(X, Vport, Vports)                                 \
                          TAV2_TABLE_OPERATIONS_OF(X, Appid, Appids)                             \
                              TAV2_TABLE_OPERATIONS_OF(X, Class, Classes)                        \
                                  TAV2_TABLE_OPERATIONS_OF(X, Object, Objects) /* entities */    \
      X(edaGetEntity) X(edaReplaceEntity) X(edaDeleteEntity) X(edaSeekEntity) X(edaNumEntities)  \
          X(edaStartEntityGet) X(edaGetNextEntity) X(edaEntityDataSize)                          \
              X(edaSetEntityDataDefaults) X(edaPaperSpaceList) X(edaNewEntityList)               \
                  X(edaFreeEntityList) /* header */                                              \
      X(edaGetHeaderVariable) X(edaSetHeaderVariable)                                            \
          X(edaSetDefaultHeader) /* extended data, blobs and proxies */                          \
      X(edaAddXdata) X(edaGetXdata) X(edaDeleteXdata) X(edaXdataSize) X(edaReadBlob)             \
          X(edaWriteBlob) X(edaBlobSize) X(edaFreeBlob) X(edaReadProxyEntityData)                \
              X(edaWriteProxyEntityData) X(edaProxyEntityDataSize) X(edaReadProxyObjectData)     \
                  X(edaWriteProxyObjectData) X(edaProxyObjectDataSize) X(edaReadPreviewImage)    \
                      X(edaWritePreviewImage) /* callbacks */                                    \
      X(edaSetProgressCallback) X(edaSetErrorCallback) X(edaSetWarningCallback)                  \
          X(edaSetMemoryCallbacks) X(edaSetFileCallbacks)                                        \
              X(edaSetEntityCallback) /* dates, times, code pages, handles */                    \
      X(edaJulianDateToCalendar) X(edaCalendarToJulianDate) X(edaCurrentJulianDate)              \
          X(edaElapsedTimeToDays) X(edaDaysToElapsedTime) X(edaGetCodePage) X(edaSetCodePage)    \
              X(edaCodePageName) X(edaCodePageFromName) X(edaAnsiToDrawingText)                  \
                  X(edaDrawingTextToAnsi) X(edaHandleToText) X(edaTextToHandle)                  \
                      X(edaCompareHandles) X(edaHandleIsNull) X(edaNextHandleSeed) /* files */   \
      X(edaLoadFile) X(edaLoadFileHeader) X(edaFileVersion) X(edaFileFormat) X(edaIsDrawingFile) \
          X(edaVersionName) X(edaVersionMarker) X(edaEngineVersion) /* errors */                 \
      X(edaErrorText)

// Every function the exporter's binding binds, in binding order:
//   XT(return type, name, parameter list) for the typed ones, XN(name) for the rest.
#define TAV2_ALL_FUNCTIONS(XT, XN) \
  TAV2_USED_FUNCTIONS(XT)          \
  TAV2_ERROR_FUNCTIONS(XT)         \
  TAV2_OTHER_FUNCTIONS(XN)

// Declarations of the typed functions.
#define TAV2_DECLARE(ret, name, params) ORVANTA_EXPORT ret name params;
TAV2_USED_FUNCTIONS(TAV2_DECLARE)
TAV2_ERROR_FUNCTIONS(TAV2_DECLARE)
#undef TAV2_DECLARE
