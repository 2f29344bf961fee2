// What each AutoCAD release stores, described once for every writer.
//
// Every header variable, table entry, object and entity kind the engine
// writes is listed here as a sequence of fields, each with the DXF group code
// that carries it, the first and last release that has it, and where its
// value lives in the drawing model (Field). The DXF writer walks the DXF
// lists in order. A DWG record orders its values differently, so each kind
// also lists its DWG fields in DWG order: the same Field and group code (the
// value is the one the DXF carries) with the DWG storage type beside it.
// Neither writer states a value of its own: constants are listed here, the
// rest comes from the drawing model or from the values derived from it once
// per save (values.h).
//
// Releases are the engine's version indices (0 V2.5 .. 6 R14), the ABI's
// AcadVersion numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tav2::schema {

enum Release : uint8_t { kV25 = 0, kV26, kR9, kR10, kR12, kR13, kR14 };
constexpr int kReleaseCount = 7;
constexpr uint8_t kLast = kR14;

struct ReleaseInfo {
  const char* marker;  // $ACADVER, and the first six bytes of a DWG file
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
  Extrusion,    // the extrusion direction, (0, 0, 1) for everything written
  PaperSpace,   // 1 for the paper space block's own BLOCK and ENDBLK
  LayerOff,     // the layer is off
  ViewWidth,    // the active viewport's width (DWG; the DXF gives the aspect, 41)
  HeaderRef,    // DWG: the handle of the table row the header variable in `text` names
  Address,      // DWG before R13: a file offset the writer works out (a BLOCK row's
                // BLOCK record, a SEQEND's polyline)
};

enum : uint8_t {
  kOmitDefault = 1,  // not written when equal to the field's default
  kArrayOnly = 2,    // DWG: only in a block reference with more than one row or column
};

// A constant (Const) is given as the DXF writes it: angles (group codes
// 50..58) in degrees.
struct FieldSpec {
  int16_t code;
  Field field;
  uint8_t first = kV25, last = kLast;
  uint8_t flags = 0;
  double def = 0;
  const char* text = nullptr;
};

// The field and group code of a point's or a scale's next component: values
// named by group code step the code (10, 20, 30), the others the field (P1X,
// P1Y).
inline void StepComponent(Field& f, int& code, int i) {
  switch (f) {
    case Field::Const:
    case Field::Extrusion:
    case Field::ViewValue:
    case Field::HeaderValue:
      code += 10 * i;
      return;
    default:
      f = static_cast<Field>(static_cast<int>(f) + i);
  }
}

inline bool In(const FieldSpec& f, int release) {
  return release >= f.first && release <= f.last;
}

// How a DWG record stores a value. From R13 on values are bit-coded (B .. H,
// CMC); earlier releases store byte-aligned little-endian values (RC, RS, RL,
// RD and TV).
enum class Dwg : uint8_t {
  B,       // bit; a flags field is tested against the mask in `def`
  BB,      // two bits
  Bits4,   // four bits
  BS,      // bit-coded short; a flags field keeps the bits of the mask in `def`, if any
  BL,      // bit-coded long
  BD,      // bit-coded double
  RC,      // raw byte
  RS,      // raw int16
  RL,      // raw int32
  RD,      // raw double
  RD2,     // two raw doubles: the field and the one after it (X then Y)
  BD3,     // three bit-coded doubles: the field and the two after it (X, Y, Z)
  T,       // bit-coded text (R13+)
  TV,      // int16 length and the bytes (before R13)
  CMC,     // colour number
  H,       // handle reference; `def` holds its reference code
  Date,    // Julian date as two bit-coded longs: days and milliseconds
  Widths,  // a vertex's widths: once negated when equal and not zero, else both
  Dashes,  // a line type's dashes with their shape fields
  Zeros,   // `def` bytes of zeros
  // Before R13 only:
  RD3,      // three raw doubles: the field and the two after it (X, Y, Z)
  TF,       // text in a field of `def` bytes, padded with zeros
  Row,      // the number of the table row a field (or header variable) names: int16,
            // one byte when `def` is 1
  RDashes,  // a line type's dashes as `def` raw doubles, zeros after the last
  RDate,    // Julian date as two raw longs: days and milliseconds
  RH,       // a handle as eight bytes, most significant first
  Locator,  // a table's record size, row count, flags and address; `text` names it
};

// One value of a DWG record, in the record's order. `code` is the DXF group
// code of the same value, which names it for fields that serve several codes
// (HeaderValue, ViewValue, Const) and for points (10 starts X, Y, Z). A field
// stored both before R13 (byte-aligned) and from R13 on (bit-coded) has one
// entry for each family, each with its releases.
struct DwgFieldSpec {
  Dwg type;
  Field field;
  int16_t code = 0;
  uint8_t first = kR13, last = kLast;
  uint8_t flags = 0;
  double def = 0;
  const char* text = nullptr;
  uint16_t opt = 0;  // before R13: the option bit that announces the value; 0: always there
};

inline bool In(const DwgFieldSpec& f, int release) {
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
  // objects
  Mlinestyle,
  Count
};

struct KindSpec {
  const char* dxfName;  // record name (0)
  std::span<const FieldSpec> fields;
  uint16_t dwgType;                   // DWG object type (R13+); 0 when there is none
  std::span<const DwgFieldSpec> dwg;  // the record's own values in DWG order, after its
                                      // common part (handle, owner, layer, links); before
                                      // R13 after the flags, size, layer, options and
                                      // what the flags announce, or a table row's flags,
                                      // name and use count
  uint8_t dwgTypePre13 = 0;           // before R13: the record's type byte; 0 for table rows
};
const KindSpec& Layout(Kind k);

// DWG object types of the kinds that have no record of their own here.
enum DwgType : uint16_t {
  kDwgMinsert = 0x08,
  kDwgDictionary = 0x2A,
  kDwgBlockControl = 0x30,
  kDwgLayerControl = 0x32,
  kDwgStyleControl = 0x34,
  kDwgLtypeControl = 0x38,
  kDwgViewControl = 0x3C,
  kDwgUcsControl = 0x3E,
  kDwgVportControl = 0x40,
  kDwgAppidControl = 0x42,
  kDwgDimstyleControl = 0x44,
  kDwgVxControl = 0x46,
};

// ---------------------------------------------------------------------------
// DWG header variables (R13+), in file order. A value is the named header
// variable's group `code` (the DXF carries the same), a constant (`name` is
// null: `def` or `text`), or for H a handle: of the table row a variable
// names ($CLAYER), or of a structural object (a name below).
struct DwgVarSpec {
  Dwg type;
  const char* name;
  int16_t code = 0;
  uint8_t first = kR13, last = kLast;
  double def = 0;
  const char* text = nullptr;
};
std::span<const DwgVarSpec> DwgHeaderVars();

// The header variables of DWG files before R13, in file order, after the file
// header's section locators; release guards say which releases have each.
std::span<const DwgVarSpec> DwgHeaderVarsPre13();
// Values of the drawing those variables refer to besides header variables.
inline constexpr const char* kRefEntityCount = "*ENTITIES";  // records in the entity section
inline constexpr const char* kRefViewAspect = "*VIEWASPECT";
inline constexpr const char* kRefUnitAxis = "*AXIS";  // the unit vector along `code`'s axis

// Structural objects a DWG header variable may refer to by name.
inline constexpr const char* kRefBlockControl = "BLOCK_CONTROL";
inline constexpr const char* kRefLayerControl = "LAYER_CONTROL";
inline constexpr const char* kRefStyleControl = "STYLE_CONTROL";
inline constexpr const char* kRefLtypeControl = "LTYPE_CONTROL";
inline constexpr const char* kRefViewControl = "VIEW_CONTROL";
inline constexpr const char* kRefUcsControl = "UCS_CONTROL";
inline constexpr const char* kRefVportControl = "VPORT_CONTROL";
inline constexpr const char* kRefAppidControl = "APPID_CONTROL";
inline constexpr const char* kRefDimstyleControl = "DIMSTYLE_CONTROL";
inline constexpr const char* kRefVxControl = "VX_CONTROL";
inline constexpr const char* kRefGroupDictionary = "ACAD_GROUP";
inline constexpr const char* kRefMlinestyleDictionary = "ACAD_MLINESTYLE";
inline constexpr const char* kRefRootDictionary = "ROOT_DICTIONARY";
inline constexpr const char* kRefPaperSpace = "*PAPER_SPACE";
inline constexpr const char* kRefModelSpace = "*MODEL_SPACE";
inline constexpr const char* kRefByLayer = "BYLAYER";
inline constexpr const char* kRefByBlock = "BYBLOCK";
inline constexpr const char* kRefContinuous = "CONTINUOUS";
inline constexpr const char* kRefNone = "";

// ---------------------------------------------------------------------------
// The root dictionary's entries (R13+), in name order, and the class list.
struct DictionaryEntry {
  const char* name;
  const char* object;  // one of the kRef names above
  uint8_t first, last;
};
std::span<const DictionaryEntry> RootDictionary();
inline constexpr const char* kRefVariableDictionary = "ACDBVARIABLEDICTIONARY";

struct ClassSpec {
  uint16_t number;
  uint16_t proxyFlags;
  const char* application;
  const char* cppName;
  const char* dxfName;
  bool entity;
};
std::span<const ClassSpec> Classes();

// Text of the tables' fixed rows: the active viewport and the line types
// every R13+ drawing has without their being rows of the drawing.
inline constexpr const char* kActiveVport = "*ACTIVE";
inline constexpr const char* kStandard = "STANDARD";

// Tables in file order, with the releases that have them.
struct TableSpec {
  const char* name;
  uint8_t first, last;
};
std::span<const TableSpec> Tables();

}  // namespace tav2::schema
