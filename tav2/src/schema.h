// What each AutoCAD release stores, described once for every writer.
//
// Every header variable, table entry and entity kind the engine writes is
// listed here as a sequence of fields, each with the DXF group code that
// carries it, the first and last release that has it, and how it is written.
// The DXF writer walks these lists in order; the DWG writer reads the same
// lists to learn which fields a release carries (the group code names the
// field; Field says where its value lives in the drawing model).
//
// Releases are the engine's version indices (0 V2.5 .. 6 R14).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tav2::schema {

enum Release : uint8_t { kV25 = 0, kV26, kR9, kR10, kR12, kR13, kR14 };
constexpr int kReleaseCount = 7;
constexpr uint8_t kLast = kR14;

struct ReleaseInfo {
  const char* marker;  // $ACADVER
  const char* name;    // for messages: "R12"
};
const ReleaseInfo& Info(int release);

// Features that change the file's shape rather than one field.
inline bool HasHandles(int r) {
  return r >= kR10;
}  // entity handles, $HANDSEED
inline bool Is3D(int r) {
  return r >= kR10;
}  // Z coordinates
inline bool HasObjects(int r) {
  return r >= kR13;
}  // subclass markers, owners, CLASSES, OBJECTS

// ---------------------------------------------------------------------------
// Header variables

struct HeaderVarSpec {
  const char* name;
  uint8_t count;  // group values: 1 .. 3
  int16_t code[3];
  uint8_t first, last;  // releases that have the variable in this form
};
std::span<const HeaderVarSpec> HeaderVars();

// Variables whose value the engine computes from the drawing instead of
// taking it from TAVINIT.DAT.
bool IsComputedHeaderVar(const char* name);

// ---------------------------------------------------------------------------
// Fields of table entries and entities

enum class Field : uint8_t {
  Subclass,   // the field's own text (code 100)
  Const,      // the field's default, formatted as its group code says
  ConstText,  // the field's own text
  Handle,     // own handle (5; 105 for DIMSTYLE)
  Owner,      // owner's handle (330)
  Layer,      // layer name (8)
  Linetype,   // line type name (6), omitted when BYLAYER
  Color,      // colour number (62), omitted when BYLAYER
  Thickness,  // 39
  // Points: P1 is the first (or only) point of an entity; each has X, Y, Z.
  P1X,
  P1Y,
  P1Z,
  P2X,
  P2Y,
  P2Z,
  P3X,
  P3Y,
  P3Z,
  P4X,
  P4Y,
  P4Z,
  Radius,
  StartAngle,
  EndAngle,  // degrees
  TextHeight,
  TextValue,
  TextRotation,
  TextWidthFactor,
  TextOblique,
  TextStyle,
  TextGeneration,
  TextHAlign,
  TextVAlign,
  AlignX,
  AlignY,
  AlignZ,  // text's second alignment point, only when aligned
  Elevation,
  StartWidth,
  EndWidth,
  Bulge,
  Flags,
  BlockName,  // INSERT's block, BLOCK's own name
  ScaleX,
  ScaleY,
  ScaleZ,
  Rotation,
  Columns,
  Rows,
  ColumnSpacing,
  RowSpacing,
  // Table entries
  Name,
  LayerColor,  // negative when the layer is off
  LayerLinetype,
  LtypeDescription,
  LtypeAlignment,
  LtypeDashCount,
  LtypePatternLength,
  LtypeDashes,
  StyleHeight,
  StyleWidthFactor,
  StyleOblique,
  StyleGeneration,
  StyleLastHeight,
  StyleFont,
  StyleBigFont,
  HeaderValue,  // the value of the header variable the field's text names (DIMSTYLE rows)
  ViewValue,    // a value of the active viewport, by group code
};

enum : uint8_t {
  kOmitDefault = 1,  // not written when equal to the field's default
};

struct FieldSpec {
  int16_t code;
  Field field;
  uint8_t first = kV25, last = kLast;
  uint8_t flags = 0;
  double def = 0;
  const char* text = nullptr;
};

inline bool In(const FieldSpec& f, int release) {
  return release >= f.first && release <= f.last;
}

enum class Kind : uint8_t {
  // entities
  Line,
  Circle,
  Arc,
  Solid,
  Text,
  Polyline,
  Vertex,
  Seqend,
  Insert,
  Block,
  Endblk,
  // table entries
  Vport,
  Ltype,
  Layer,
  Style,
  Appid,
  Dimstyle,
  BlockRecord,
  Count
};

struct KindSpec {
  const char* dxfName;  // record name (0)
  std::span<const FieldSpec> fields;
};
const KindSpec& Layout(Kind k);

// Tables in file order, with the releases that have them.
struct TableSpec {
  const char* name;
  uint8_t first, last;
};
std::span<const TableSpec> Tables();

}  // namespace tav2::schema
