#include "tav2/src/schema.h"

#include <cstring>
#include <iterator>

#include "abi/tav2.h"

namespace tav2::schema {

// The engine numbers releases as the ABI does.
constexpr bool Same(Release r, tav2abi::AcadVersion v) {
  return static_cast<int>(r) == static_cast<int>(v);
}
static_assert(Same(kV25, tav2abi::kAcadV25) && Same(kV26, tav2abi::kAcadV26) &&
              Same(kR9, tav2abi::kAcadR9) && Same(kR10, tav2abi::kAcadR10) &&
              Same(kR12, tav2abi::kAcadR12) && Same(kR13, tav2abi::kAcadR13) &&
              Same(kR14, tav2abi::kAcadR14));
static_assert(kReleaseCount == tav2abi::kAcadVersionCount);

namespace {

constexpr ReleaseInfo kReleases[kReleaseCount] = {
    {"AC1002", "V2.5"},    {"AC1003", "V2.6"}, {"AC1004", "R9"},  {"AC1006", "R10"},
    {"AC1009", "R11/R12"}, {"AC1012", "R13"},  {"AC1014", "R14"},
};

// In the order each release writes them; a variable whose group codes changed
// between releases has one row per form.
constexpr HeaderVarSpec kHeader[] = {
    {"$ACADVER", 1, {1, 0, 0}, 0, 6},      {"$ACADMAINTVER", 1, {70, 0, 0}, 6, 6},
    {"$DWGCODEPAGE", 1, {3, 0, 0}, 5, 6},  {"$INSBASE", 2, {10, 20, 0}, 0, 2},
    {"$INSBASE", 3, {10, 20, 30}, 3, 6},   {"$EXTMIN", 2, {10, 20, 0}, 0, 3},
    {"$EXTMIN", 3, {10, 20, 30}, 4, 6},    {"$EXTMAX", 2, {10, 20, 0}, 0, 3},
    {"$EXTMAX", 3, {10, 20, 30}, 4, 6},    {"$LIMMIN", 2, {10, 20, 0}, 0, 6},
    {"$LIMMAX", 2, {10, 20, 0}, 0, 6},     {"$VIEWCTR", 2, {10, 20, 0}, 0, 2},
    {"$VIEWSIZE", 1, {40, 0, 0}, 0, 2},    {"$SNAPMODE", 1, {70, 0, 0}, 0, 2},
    {"$SNAPUNIT", 2, {10, 20, 0}, 0, 2},   {"$SNAPBASE", 2, {10, 20, 0}, 0, 2},
    {"$SNAPANG", 1, {50, 0, 0}, 0, 2},     {"$SNAPSTYLE", 1, {70, 0, 0}, 0, 2},
    {"$SNAPISOPAIR", 1, {70, 0, 0}, 0, 2}, {"$GRIDMODE", 1, {70, 0, 0}, 0, 2},
    {"$GRIDUNIT", 2, {10, 20, 0}, 0, 2},   {"$ORTHOMODE", 1, {70, 0, 0}, 0, 6},
    {"$REGENMODE", 1, {70, 0, 0}, 0, 6},   {"$FILLMODE", 1, {70, 0, 0}, 0, 6},
    {"$QTEXTMODE", 1, {70, 0, 0}, 0, 6},   {"$MIRRTEXT", 1, {70, 0, 0}, 3, 6},
    {"$DRAGMODE", 1, {70, 0, 0}, 0, 6},    {"$LTSCALE", 1, {40, 0, 0}, 0, 6},
    {"$OSMODE", 1, {70, 0, 0}, 0, 6},      {"$ATTMODE", 1, {70, 0, 0}, 0, 6},
    {"$TEXTSIZE", 1, {40, 0, 0}, 0, 6},    {"$TRACEWID", 1, {40, 0, 0}, 0, 6},
    {"$TEXTSTYLE", 1, {7, 0, 0}, 0, 6},    {"$CLAYER", 1, {8, 0, 0}, 0, 6},
    {"$CELTYPE", 1, {6, 0, 0}, 0, 6},      {"$CECOLOR", 1, {62, 0, 0}, 0, 6},
    {"$CELTSCALE", 1, {40, 0, 0}, 5, 6},   {"$DELOBJ", 1, {70, 0, 0}, 5, 6},
    {"$DISPSILH", 1, {70, 0, 0}, 5, 6},    {"$DIMSCALE", 1, {40, 0, 0}, 0, 6},
    {"$DIMASZ", 1, {40, 0, 0}, 0, 6},      {"$DIMEXO", 1, {40, 0, 0}, 0, 6},
    {"$DIMDLI", 1, {40, 0, 0}, 0, 6},      {"$DIMRND", 1, {40, 0, 0}, 0, 6},
    {"$DIMDLE", 1, {40, 0, 0}, 0, 6},      {"$DIMEXE", 1, {40, 0, 0}, 0, 6},
    {"$DIMTP", 1, {40, 0, 0}, 0, 6},       {"$DIMTM", 1, {40, 0, 0}, 0, 6},
    {"$DIMTXT", 1, {40, 0, 0}, 0, 6},      {"$DIMCEN", 1, {40, 0, 0}, 0, 6},
    {"$DIMTSZ", 1, {40, 0, 0}, 0, 6},      {"$DIMTOL", 1, {70, 0, 0}, 0, 6},
    {"$DIMLIM", 1, {70, 0, 0}, 0, 6},      {"$DIMTIH", 1, {70, 0, 0}, 0, 6},
    {"$DIMTOH", 1, {70, 0, 0}, 0, 6},      {"$DIMSE1", 1, {70, 0, 0}, 0, 6},
    {"$DIMSE2", 1, {70, 0, 0}, 0, 6},      {"$DIMTAD", 1, {70, 0, 0}, 0, 6},
    {"$DIMZIN", 1, {70, 0, 0}, 0, 6},      {"$DIMBLK", 1, {1, 0, 0}, 0, 6},
    {"$DIMASO", 1, {70, 0, 0}, 0, 6},      {"$DIMSHO", 1, {70, 0, 0}, 0, 6},
    {"$DIMPOST", 1, {1, 0, 0}, 0, 6},      {"$DIMAPOST", 1, {1, 0, 0}, 0, 6},
    {"$DIMALT", 1, {70, 0, 0}, 0, 6},      {"$DIMALTD", 1, {70, 0, 0}, 0, 6},
    {"$DIMALTF", 1, {40, 0, 0}, 0, 6},     {"$DIMLFAC", 1, {40, 0, 0}, 0, 6},
    {"$DIMTOFL", 1, {70, 0, 0}, 3, 6},     {"$DIMTVP", 1, {40, 0, 0}, 3, 6},
    {"$DIMTIX", 1, {70, 0, 0}, 3, 6},      {"$DIMSOXD", 1, {70, 0, 0}, 3, 6},
    {"$DIMSAH", 1, {70, 0, 0}, 3, 6},      {"$DIMBLK1", 1, {1, 0, 0}, 3, 6},
    {"$DIMBLK2", 1, {1, 0, 0}, 3, 6},      {"$DIMSTYLE", 1, {2, 0, 0}, 4, 6},
    {"$DIMCLRD", 1, {70, 0, 0}, 4, 6},     {"$DIMCLRE", 1, {70, 0, 0}, 4, 6},
    {"$DIMCLRT", 1, {70, 0, 0}, 4, 6},     {"$DIMTFAC", 1, {40, 0, 0}, 4, 6},
    {"$DIMGAP", 1, {40, 0, 0}, 4, 6},      {"$DIMJUST", 1, {70, 0, 0}, 5, 6},
    {"$DIMSD1", 1, {70, 0, 0}, 5, 6},      {"$DIMSD2", 1, {70, 0, 0}, 5, 6},
    {"$DIMTOLJ", 1, {70, 0, 0}, 5, 6},     {"$DIMTZIN", 1, {70, 0, 0}, 5, 6},
    {"$DIMALTZ", 1, {70, 0, 0}, 5, 6},     {"$DIMALTTZ", 1, {70, 0, 0}, 5, 6},
    {"$DIMFIT", 1, {70, 0, 0}, 5, 6},      {"$DIMUPT", 1, {70, 0, 0}, 5, 6},
    {"$DIMUNIT", 1, {70, 0, 0}, 5, 6},     {"$DIMDEC", 1, {70, 0, 0}, 5, 6},
    {"$DIMTDEC", 1, {70, 0, 0}, 5, 6},     {"$DIMALTU", 1, {70, 0, 0}, 5, 6},
    {"$DIMALTTD", 1, {70, 0, 0}, 5, 6},    {"$DIMTXSTY", 1, {7, 0, 0}, 5, 6},
    {"$DIMAUNIT", 1, {70, 0, 0}, 5, 6},    {"$LUNITS", 1, {70, 0, 0}, 0, 6},
    {"$LUPREC", 1, {70, 0, 0}, 0, 6},      {"$AXISMODE", 1, {70, 0, 0}, 0, 4},
    {"$AXISUNIT", 2, {10, 20, 0}, 0, 4},   {"$SKETCHINC", 1, {40, 0, 0}, 0, 6},
    {"$FILLETRAD", 1, {40, 0, 0}, 0, 6},   {"$AUNITS", 1, {70, 0, 0}, 0, 6},
    {"$AUPREC", 1, {70, 0, 0}, 0, 6},      {"$MENU", 1, {1, 0, 0}, 0, 6},
    {"$ELEVATION", 1, {40, 0, 0}, 0, 6},   {"$PELEVATION", 1, {40, 0, 0}, 4, 6},
    {"$THICKNESS", 1, {40, 0, 0}, 0, 6},   {"$VIEWDIR", 3, {10, 20, 30}, 0, 2},
    {"$LIMCHECK", 1, {70, 0, 0}, 0, 6},    {"$BLIPMODE", 1, {70, 0, 0}, 0, 4},
    {"$CHAMFERA", 1, {40, 0, 0}, 0, 6},    {"$CHAMFERB", 1, {40, 0, 0}, 0, 6},
    {"$FASTZOOM", 1, {70, 0, 0}, 0, 2},    {"$CHAMFERC", 1, {40, 0, 0}, 5, 6},
    {"$CHAMFERD", 1, {40, 0, 0}, 5, 6},    {"$SKPOLY", 1, {70, 0, 0}, 0, 6},
    {"$TDCREATE", 1, {40, 0, 0}, 0, 6},    {"$TDUPDATE", 1, {40, 0, 0}, 0, 6},
    {"$TDINDWG", 1, {40, 0, 0}, 0, 6},     {"$TDUSRTIMER", 1, {40, 0, 0}, 0, 6},
    {"$USRTIMER", 1, {70, 0, 0}, 0, 6},    {"$ANGBASE", 1, {50, 0, 0}, 0, 6},
    {"$ANGDIR", 1, {70, 0, 0}, 0, 6},      {"$PDMODE", 1, {70, 0, 0}, 0, 6},
    {"$PDSIZE", 1, {40, 0, 0}, 0, 6},      {"$PLINEWID", 1, {40, 0, 0}, 0, 6},
    {"$COORDS", 1, {70, 0, 0}, 0, 6},      {"$SPLFRAME", 1, {70, 0, 0}, 2, 6},
    {"$SPLINETYPE", 1, {70, 0, 0}, 3, 6},  {"$SPLINESEGS", 1, {70, 0, 0}, 2, 6},
    {"$ATTDIA", 1, {70, 0, 0}, 2, 6},      {"$ATTREQ", 1, {70, 0, 0}, 2, 6},
    {"$HANDLING", 1, {70, 0, 0}, 3, 6},    {"$HANDSEED", 1, {5, 0, 0}, 3, 6},
    {"$SURFTAB1", 1, {70, 0, 0}, 3, 6},    {"$SURFTAB2", 1, {70, 0, 0}, 3, 6},
    {"$SURFTYPE", 1, {70, 0, 0}, 3, 6},    {"$SURFU", 1, {70, 0, 0}, 3, 6},
    {"$SURFV", 1, {70, 0, 0}, 3, 6},       {"$FLATLAND", 1, {70, 0, 0}, 3, 3},
    {"$UCSNAME", 1, {2, 0, 0}, 3, 6},      {"$UCSORG", 3, {10, 20, 30}, 3, 6},
    {"$UCSXORI", 3, {10, 20, 30}, 3, 3},   {"$UCSYORI", 3, {10, 20, 30}, 3, 3},
    {"$UCSXDIR", 3, {10, 20, 30}, 4, 6},   {"$UCSYDIR", 3, {10, 20, 30}, 4, 6},
    {"$PUCSNAME", 1, {2, 0, 0}, 4, 6},     {"$PUCSORG", 3, {10, 20, 30}, 4, 6},
    {"$PUCSXDIR", 3, {10, 20, 30}, 4, 6},  {"$PUCSYDIR", 3, {10, 20, 30}, 4, 6},
    {"$USERI1", 1, {70, 0, 0}, 0, 6},      {"$USERI2", 1, {70, 0, 0}, 0, 6},
    {"$USERI3", 1, {70, 0, 0}, 0, 6},      {"$USERI4", 1, {70, 0, 0}, 0, 6},
    {"$USERI5", 1, {70, 0, 0}, 0, 6},      {"$USERR1", 1, {40, 0, 0}, 0, 6},
    {"$USERR2", 1, {40, 0, 0}, 0, 6},      {"$USERR3", 1, {40, 0, 0}, 0, 6},
    {"$USERR4", 1, {40, 0, 0}, 0, 6},      {"$USERR5", 1, {40, 0, 0}, 0, 6},
    {"$WORLDVIEW", 1, {70, 0, 0}, 4, 6},   {"$SHADEDGE", 1, {70, 0, 0}, 4, 6},
    {"$SHADEDIF", 1, {70, 0, 0}, 4, 6},    {"$TILEMODE", 1, {70, 0, 0}, 4, 6},
    {"$MAXACTVP", 1, {70, 0, 0}, 4, 6},    {"$PINSBASE", 3, {10, 20, 30}, 4, 6},
    {"$PLIMCHECK", 1, {70, 0, 0}, 4, 6},   {"$PEXTMIN", 3, {10, 20, 30}, 4, 6},
    {"$PEXTMAX", 3, {10, 20, 30}, 4, 6},   {"$PLIMMIN", 2, {10, 20, 0}, 4, 6},
    {"$PLIMMAX", 2, {10, 20, 0}, 4, 6},    {"$UNITMODE", 1, {70, 0, 0}, 4, 6},
    {"$VISRETAIN", 1, {70, 0, 0}, 4, 6},   {"$PLINEGEN", 1, {70, 0, 0}, 4, 6},
    {"$PSLTSCALE", 1, {70, 0, 0}, 4, 6},   {"$TREEDEPTH", 1, {70, 0, 0}, 5, 6},
    {"$PICKSTYLE", 1, {70, 0, 0}, 5, 6},   {"$CMLSTYLE", 1, {2, 0, 0}, 5, 6},
    {"$CMLJUST", 1, {70, 0, 0}, 5, 6},     {"$CMLSCALE", 1, {40, 0, 0}, 5, 6},
    {"$SAVEIMAGES", 1, {70, 0, 0}, 5, 5},  {"$PROXYGRAPHICS", 1, {70, 0, 0}, 6, 6},
    {"$MEASUREMENT", 1, {70, 0, 0}, 6, 6},
};

constexpr const char* kComputed[] = {
    "$ACADVER", "$EXTMIN",   "$EXTMAX",   "$HANDSEED", "$HANDLING", "$MEASUREMENT", "$TILEMODE",
    "$VIEWCTR", "$VIEWSIZE", "$TDCREATE", "$TDUPDATE", "$LIMMIN",   "$LIMMAX",
};

using F = Field;
constexpr uint8_t kOmit = kOmitDefault;

// Fields every entity starts with.
#define ENTITY_HEAD(subclass)                                                          \
  {5, F::Handle, kR10}, {330, F::Owner, kR13},                                         \
      {100, F::Subclass, kR13, kLast, 0, 0, "AcDbEntity"}, {8, F::Layer},              \
      {6, F::Linetype, kV25, kLast, kOmit}, {62, F::Color, kV25, kLast, kOmit, 256}, { \
    100, F::Subclass, kR13, kLast, 0, 0, subclass                                      \
  }

constexpr FieldSpec kLine[] = {
    ENTITY_HEAD("AcDbLine"),
    {39, F::Thickness, kV25, kLast, kOmit},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {11, F::P2X},
    {21, F::P2Y},
    {31, F::P2Z, kR10},
};

constexpr FieldSpec kCircle[] = {
    ENTITY_HEAD("AcDbCircle"),
    {39, F::Thickness, kV25, kLast, kOmit},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {40, F::Radius},
};

constexpr FieldSpec kArc[] = {
    ENTITY_HEAD("AcDbCircle"),
    {39, F::Thickness, kV25, kLast, kOmit},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {40, F::Radius},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbArc"},
    {50, F::StartAngle},
    {51, F::EndAngle},
};

constexpr FieldSpec kSolid[] = {
    ENTITY_HEAD("AcDbTrace"),
    {39, F::Thickness, kV25, kLast, kOmit},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {11, F::P2X},
    {21, F::P2Y},
    {31, F::P2Z, kR10},
    {12, F::P3X},
    {22, F::P3Y},
    {32, F::P3Z, kR10},
    {13, F::P4X},
    {23, F::P4Y},
    {33, F::P4Z, kR10},
};

constexpr FieldSpec kText[] = {
    ENTITY_HEAD("AcDbText"),
    {39, F::Thickness, kV25, kLast, kOmit},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {40, F::TextHeight},
    {1, F::TextValue},
    {50, F::TextRotation, kV25, kLast, kOmit},
    {41, F::TextWidthFactor, kV25, kLast, kOmit, 1},
    {51, F::TextOblique, kV25, kLast, kOmit},
    {7, F::TextStyle, kV25, kLast, kOmit},
    {71, F::TextGeneration, kV25, kLast, kOmit},
    {72, F::TextHAlign, kV25, kLast, kOmit},
    {11, F::AlignX},
    {21, F::AlignY},
    {31, F::AlignZ, kR10},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbText"},
    {73, F::TextVAlign, kR12, kLast, kOmit},
};

constexpr FieldSpec kPolyline[] = {
    ENTITY_HEAD("AcDb2dPolyline"),
    {66, F::Const, kV25, kLast, 0, 1},
    {10, F::Const, kR10, kLast, 0, 0},
    {20, F::Const, kR10, kLast, 0, 0},
    {30, F::Elevation, kR10},
    {39, F::Thickness, kV25, kLast, kOmit},
    {70, F::Flags, kV25, kLast, kOmit},
    {40, F::StartWidth, kV25, kLast, kOmit},
    {41, F::EndWidth, kV25, kLast, kOmit},
};

constexpr FieldSpec kVertex[] = {
    ENTITY_HEAD("AcDbVertex"),
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDb2dVertex"},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {40, F::StartWidth, kV25, kLast, kOmit},
    {41, F::EndWidth, kV25, kLast, kOmit},
    {42, F::Bulge, kV25, kLast, kOmit},
    {70, F::Flags, kV25, kLast, kOmit},
};

constexpr FieldSpec kSeqend[] = {
    {5, F::Handle, kR10},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbEntity"},
    {8, F::Layer},
};

constexpr FieldSpec kInsert[] = {
    ENTITY_HEAD("AcDbBlockReference"),
    {2, F::BlockName},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {41, F::ScaleX, kV25, kLast, kOmit, 1},
    {42, F::ScaleY, kV25, kLast, kOmit, 1},
    {43, F::ScaleZ, kV25, kLast, kOmit, 1},
    {50, F::Rotation, kV25, kLast, kOmit},
    {70, F::Columns, kV25, kLast, kOmit, 1},
    {71, F::Rows, kV25, kLast, kOmit, 1},
    {44, F::ColumnSpacing, kV25, kLast, kOmit},
    {45, F::RowSpacing, kV25, kLast, kOmit},
};

constexpr FieldSpec kBlock[] = {
    {5, F::Handle, kR13},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbEntity"},
    {67, F::PaperSpace, kR13, kLast, kOmit},
    {8, F::Layer},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbBlockBegin"},
    {2, F::BlockName},
    {70, F::Flags},
    {10, F::P1X},
    {20, F::P1Y},
    {30, F::P1Z, kR10},
    {3, F::BlockName, kR12},
    {1, F::ConstText, kR12, kLast, 0, 0, ""},  // external reference path
};

constexpr FieldSpec kEndblk[] = {
    {5, F::Handle, kR10},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbEntity"},
    {67, F::PaperSpace, kR13, kLast, kOmit},
    {8, F::Layer},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbBlockEnd"},
};

#define ENTRY_HEAD(subclass)                                           \
  {5, F::Handle, kR13}, {330, F::Owner, kR13},                         \
      {100, F::Subclass, kR13, kLast, 0, 0, "AcDbSymbolTableRecord"},  \
      {100, F::Subclass, kR13, kLast, 0, 0, subclass}, {2, F::Name}, { \
    70, F::Flags                                                       \
  }

// The active viewport shows the drawing's view (ViewValue by group code);
// its snap and grid are the header's; the rest are AutoCAD's defaults for a
// plan view.
constexpr FieldSpec kVport[] = {
    ENTRY_HEAD("AcDbViewportTableRecord"),
    {10, F::Const, kR10, kLast, 0, 0},
    {20, F::Const, kR10, kLast, 0, 0},
    {11, F::Const, kR10, kLast, 0, 1},
    {21, F::Const, kR10, kLast, 0, 1},
    {12, F::ViewValue},
    {22, F::ViewValue},
    {13, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPBASE"},
    {23, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPBASE"},
    {14, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPUNIT"},
    {24, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPUNIT"},
    {15, F::HeaderValue, kR10, kLast, 0, 0, "$GRIDUNIT"},
    {25, F::HeaderValue, kR10, kLast, 0, 0, "$GRIDUNIT"},
    {16, F::Extrusion},
    {26, F::Extrusion},
    {36, F::Extrusion},
    {17, F::Const, kR10, kLast, 0, 0},
    {27, F::Const, kR10, kLast, 0, 0},
    {37, F::Const, kR10, kLast, 0, 0},
    {40, F::ViewValue},
    {41, F::ViewValue},
    {42, F::Const, kR10, kLast, 0, 50},
    {43, F::Const, kR10, kLast, 0, 0},
    {44, F::Const, kR10, kLast, 0, 0},
    {50, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPANG"},
    {51, F::Const, kR10, kLast, 0, 0},
    {71, F::Const, kR10, kLast, 0, 0},
    {72, F::Const, kR10, kLast, 0, 100},
    {73, F::HeaderValue, kR10, kLast, 0, 0, "$FASTZOOM"},
    {74, F::Const, kR10, kLast, 0, 3},
    {75, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPMODE"},
    {76, F::HeaderValue, kR10, kLast, 0, 0, "$GRIDMODE"},
    {77, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPSTYLE"},
    {78, F::HeaderValue, kR10, kLast, 0, 0, "$SNAPISOPAIR"},
};

constexpr FieldSpec kLtype[] = {
    ENTRY_HEAD("AcDbLinetypeTableRecord"),
    {3, F::LtypeDescription},
    {72, F::LtypeAlignment},
    {73, F::LtypeDashCount},
    {40, F::LtypePatternLength},
    {49, F::LtypeDashes},  // each dash; R13+ follows each with 74 0
};

constexpr FieldSpec kLayer[] = {
    ENTRY_HEAD("AcDbLayerTableRecord"),
    {62, F::LayerColor},
    {6, F::LayerLinetype},
};

constexpr FieldSpec kStyle[] = {
    ENTRY_HEAD("AcDbTextStyleTableRecord"),
    {40, F::StyleHeight},
    {41, F::StyleWidthFactor},
    {50, F::StyleOblique},
    {71, F::StyleGeneration},
    {42, F::StyleLastHeight},
    {3, F::StyleFont},
    {4, F::StyleBigFont},
};

constexpr FieldSpec kAppid[] = {
    ENTRY_HEAD("AcDbRegAppTableRecord"),
};

// Dimension style values mirror the header's $DIM variables of the same name.
#define DIMVAR(code, name, first) \
  { code, F::HeaderValue, first, kLast, 0, 0, name }
constexpr FieldSpec kDimstyle[] = {
    {105, F::Handle, kR13},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbSymbolTableRecord"},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbDimStyleTableRecord"},
    {2, F::Name},
    {70, F::Flags},
    DIMVAR(3, "$DIMPOST", kR12),
    DIMVAR(4, "$DIMAPOST", kR12),
    DIMVAR(5, "$DIMBLK", kR12),
    DIMVAR(6, "$DIMBLK1", kR12),
    DIMVAR(7, "$DIMBLK2", kR12),
    DIMVAR(40, "$DIMSCALE", kR12),
    DIMVAR(41, "$DIMASZ", kR12),
    DIMVAR(42, "$DIMEXO", kR12),
    DIMVAR(43, "$DIMDLI", kR12),
    DIMVAR(44, "$DIMEXE", kR12),
    DIMVAR(45, "$DIMRND", kR12),
    DIMVAR(46, "$DIMDLE", kR12),
    DIMVAR(47, "$DIMTP", kR12),
    DIMVAR(48, "$DIMTM", kR12),
    DIMVAR(140, "$DIMTXT", kR12),
    DIMVAR(141, "$DIMCEN", kR12),
    DIMVAR(142, "$DIMTSZ", kR12),
    DIMVAR(143, "$DIMALTF", kR12),
    DIMVAR(144, "$DIMLFAC", kR12),
    DIMVAR(145, "$DIMTVP", kR12),
    DIMVAR(146, "$DIMTFAC", kR12),
    DIMVAR(147, "$DIMGAP", kR12),
    DIMVAR(71, "$DIMTOL", kR12),
    DIMVAR(72, "$DIMLIM", kR12),
    DIMVAR(73, "$DIMTIH", kR12),
    DIMVAR(74, "$DIMTOH", kR12),
    DIMVAR(75, "$DIMSE1", kR12),
    DIMVAR(76, "$DIMSE2", kR12),
    DIMVAR(77, "$DIMTAD", kR12),
    DIMVAR(78, "$DIMZIN", kR12),
    DIMVAR(170, "$DIMALT", kR12),
    DIMVAR(171, "$DIMALTD", kR12),
    DIMVAR(172, "$DIMTOFL", kR12),
    DIMVAR(173, "$DIMSAH", kR12),
    DIMVAR(174, "$DIMTIX", kR12),
    DIMVAR(175, "$DIMSOXD", kR12),
    DIMVAR(176, "$DIMCLRD", kR12),
    DIMVAR(177, "$DIMCLRE", kR12),
    DIMVAR(178, "$DIMCLRT", kR12),
    DIMVAR(270, "$DIMUNIT", kR13),
    DIMVAR(271, "$DIMDEC", kR13),
    DIMVAR(272, "$DIMTDEC", kR13),
    DIMVAR(273, "$DIMALTU", kR13),
    DIMVAR(274, "$DIMALTTD", kR13),
    DIMVAR(275, "$DIMAUNIT", kR13),
    DIMVAR(280, "$DIMJUST", kR13),
    DIMVAR(281, "$DIMSD1", kR13),
    DIMVAR(282, "$DIMSD2", kR13),
    DIMVAR(283, "$DIMTOLJ", kR13),
    DIMVAR(284, "$DIMTZIN", kR13),
    DIMVAR(285, "$DIMALTZ", kR13),
    DIMVAR(286, "$DIMALTTZ", kR13),
    DIMVAR(287, "$DIMFIT", kR13),
    DIMVAR(288, "$DIMUPT", kR13),
    {340, F::HeaderRef, kR13, kLast, 0, 0, "$DIMTXSTY"},
};

constexpr FieldSpec kBlockRecord[] = {
    {5, F::Handle, kR13},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbSymbolTableRecord"},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbBlockTableRecord"},
    {2, F::Name},
};

// The standard multiline style every R13+ drawing has: two lines half a
// unit either side, BYLAYER.
constexpr FieldSpec kMlinestyle[] = {
    {5, F::Handle, kR13},
    {102, F::ConstText, kR13, kLast, 0, 0, "{ACAD_REACTORS"},
    {330, F::Owner, kR13},
    {102, F::ConstText, kR13, kLast, 0, 0, "}"},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbMlineStyle"},
    {2, F::Name, kR13},
    {70, F::Flags, kR13},
    {3, F::ConstText, kR13, kLast, 0, 0, ""},
    {62, F::Const, kR13, kLast, 0, 256},
    {51, F::Const, kR13, kLast, 0, 90},
    {52, F::Const, kR13, kLast, 0, 90},
    {71, F::Const, kR13, kLast, 0, 2},
    {49, F::Const, kR13, kLast, 0, 0.5},
    {62, F::Const, kR13, kLast, 0, 256},
    {6, F::ConstText, kR13, kLast, 0, 0, "BYLAYER"},
    {49, F::Const, kR13, kLast, 0, -0.5},
    {62, F::Const, kR13, kLast, 0, 256},
    {6, F::ConstText, kR13, kLast, 0, 0, "BYLAYER"},
};

// ---------------------------------------------------------------------------
// DWG records (R13+): each kind's own values after the common part.

using D = Dwg;
constexpr double kHard = 5;  // hard pointer reference code, for H fields

// Before R13 values are raw and byte-aligned; a value with an option bit is
// there only when the record's option word has that bit (and, with kOmit,
// left out when it has its default).
#define OLD(type, field, code) \
  { D::type, F::field, code, kV25, kR12 }
#define OPT(type, field, code, bit) \
  { D::type, F::field, code, kV25, kR12, kOmit, 0, nullptr, bit }
#define OLDDIM(type, name) \
  { D::type, F::HeaderValue, 0, kR12, kR12, 0, 0, name }
#define OLDTEXT(name, size) \
  { D::TF, F::HeaderValue, 0, kR12, kR12, 0, size, name }

constexpr DwgFieldSpec kDwgLine[] = {
    {D::BD3, F::P1X, 10},
    {D::BD3, F::P2X, 11},
    {D::BD, F::Thickness, 39},
    {D::BD3, F::Extrusion, 210},
    // Before R13: points in 2D before R10.
    {D::RD2, F::P1X, 10, kV25, kR9},
    {D::RD2, F::P2X, 11, kV25, kR9},
    {D::RD3, F::P1X, 10, kR10, kR12},
    {D::RD3, F::P2X, 11, kR10, kR12},
};

constexpr DwgFieldSpec kDwgCircle[] = {
    {D::BD3, F::P1X, 10},
    {D::BD, F::Radius, 40},
    {D::BD, F::Thickness, 39},
    {D::BD3, F::Extrusion, 210},
    OLD(RD2, P1X, 10),
    OLD(RD, Radius, 40),
    {D::RD, F::P1Z, 30, kR10, kR12, kOmit, 0, nullptr, 2},
};

constexpr DwgFieldSpec kDwgArc[] = {
    {D::BD3, F::P1X, 10},
    {D::BD, F::Radius, 40},
    {D::BD, F::Thickness, 39},
    {D::BD3, F::Extrusion, 210},
    {D::BD, F::StartAngle, 50},
    {D::BD, F::EndAngle, 51},
    OLD(RD2, P1X, 10),
    OLD(RD, Radius, 40),
    OLD(RD, StartAngle, 50),
    OLD(RD, EndAngle, 51),
    {D::RD, F::P1Z, 30, kR10, kR12, kOmit, 0, nullptr, 2},
};

constexpr DwgFieldSpec kDwgSolid[] = {
    {D::BD, F::Thickness, 39},   {D::BD, F::P1Z, 30},
    {D::RD2, F::P1X, 10},        {D::RD2, F::P2X, 11},
    {D::RD2, F::P3X, 12},        {D::RD2, F::P4X, 13},
    {D::BD3, F::Extrusion, 210}, OLD(RD2, P1X, 10),
    OLD(RD2, P2X, 11),           OLD(RD2, P3X, 12),
    OLD(RD2, P4X, 13),           {D::RD, F::P1Z, 30, kR10, kR12, kOmit, 0, nullptr, 2},
};

// The alignment point is the insertion point when the text is not aligned.
constexpr DwgFieldSpec kDwgText[] = {
    {D::BD, F::P1Z, 30},
    {D::RD2, F::P1X, 10},
    {D::RD2, F::AlignX, 11},
    {D::BD3, F::Extrusion, 210},
    {D::BD, F::Thickness, 39},
    {D::BD, F::TextOblique, 51},
    {D::BD, F::TextRotation, 50},
    {D::BD, F::TextHeight, 40},
    {D::BD, F::TextWidthFactor, 41},
    {D::T, F::TextValue, 1},
    {D::BS, F::TextGeneration, 71},
    {D::BS, F::TextHAlign, 72},
    {D::BS, F::TextVAlign, 73},
    {D::H, F::TextStyle, 7, kR13, kLast, 0, kHard},
    // Before R13. The width factor is always written: readers take a
    // missing one for 0. The second point only when aligned.
    OLD(RD2, P1X, 10),
    OLD(RD, TextHeight, 40),
    OLD(TV, TextValue, 1),
    OPT(RD, TextRotation, 50, 1),
    {D::RD, F::TextWidthFactor, 41, kV25, kR12, 0, 1, nullptr, 2},
    OPT(RD, TextOblique, 51, 4),
    {D::Row, F::TextStyle, 7, kV25, kR12, kOmit, 1, nullptr, 8},
    OPT(RC, TextGeneration, 71, 16),
    OPT(RC, TextHAlign, 72, 32),
    OPT(RD2, AlignX, 11, 64),
    {D::RC, F::TextVAlign, 73, kR12, kR12, kOmit, 0, nullptr, 256},
};

// Only the bits of a 2D polyline: the 3D, mesh and face-mesh kinds are other
// objects (the mask in `def`).
constexpr DwgFieldSpec kDwgPolyline[] = {
    {D::BS, F::Flags, 70, kR13, kLast, 0, 0xFFFF & ~(8 | 16 | 64)},
    {D::BS, F::Const, 75},  // no smoothing curve
    {D::BD, F::StartWidth, 40},
    {D::BD, F::EndWidth, 41},
    {D::BD, F::Thickness, 39},
    {D::BD, F::Elevation, 30},
    {D::BD3, F::Extrusion, 210},
    OPT(RC, Flags, 70, 1),
    OPT(RD, StartWidth, 40, 2),
    OPT(RD, EndWidth, 41, 4),
};

constexpr DwgFieldSpec kDwgVertex[] = {
    {D::RC, F::Flags, 70}, {D::BD3, F::P1X, 10},       {D::Widths, F::StartWidth, 40},
    {D::BD, F::Bulge, 42}, {D::BD, F::Const, 50},  // tangent direction
    OLD(RD2, P1X, 10),     OPT(RD, StartWidth, 40, 1), OPT(RD, EndWidth, 41, 2),
    OPT(RD, Bulge, 42, 4), OPT(RC, Flags, 70, 8),
};

constexpr DwgFieldSpec kDwgInsert[] = {
    {D::BD3, F::P1X, 10},
    {D::BD3, F::ScaleX, 41},
    {D::BD, F::Rotation, 50},
    {D::BD3, F::Extrusion, 210},
    {D::B, F::Const, 66},  // no attributes
    {D::BS, F::Columns, 70, kR13, kLast, kArrayOnly},
    {D::BS, F::Rows, 71, kR13, kLast, kArrayOnly},
    {D::BD, F::ColumnSpacing, 44, kR13, kLast, kArrayOnly},
    {D::BD, F::RowSpacing, 45, kR13, kLast, kArrayOnly},
    {D::H, F::BlockName, 2, kR13, kLast, 0, kHard},
    // Before R13. The scales are always written: readers take a missing one
    // for 0.
    OLD(Row, BlockName, 2),
    OLD(RD2, P1X, 10),
    {D::RD, F::ScaleX, 41, kV25, kR12, 0, 1, nullptr, 1},
    {D::RD, F::ScaleY, 42, kV25, kR12, 0, 1, nullptr, 2},
    OPT(RD, Rotation, 50, 4),
    {D::RD, F::ScaleZ, 43, kV25, kR12, 0, 1, nullptr, 8},
    {D::RS, F::Columns, 70, kV25, kR12, kOmit, 1, nullptr, 16},
    {D::RS, F::Rows, 71, kV25, kR12, kOmit, 1, nullptr, 32},
    OPT(RD, ColumnSpacing, 44, 64),
    OPT(RD, RowSpacing, 45, 128),
};

constexpr DwgFieldSpec kDwgBlock[] = {
    {D::T, F::BlockName, 2},
    OLD(RD2, P1X, 10),
    {D::TV, F::BlockName, 2, kV25, kR12, 0, 0, nullptr, 4},
};

constexpr DwgFieldSpec kDwgBlockRecord[] = {
    {D::B, F::Flags, 70, kR13, kLast, 0, 1},  // anonymous
    {D::B, F::Flags, 70, kR13, kLast, 0, 2},  // has attribute definitions
    {D::B, F::Const, 0},                      // external reference
    {D::B, F::Const, 0},                      // overlaid
    {D::BD3, F::P1X, 10},
    {D::T, F::ConstText, 1, kR13, kLast, 0, 0, ""},  // external reference path
    // Before R13 the BLOCK table's row: where its BLOCK record lies in the
    // block section; R11 adds two numbers it leaves unset.
    OLD(RL, Address, 0),
    {D::RS, F::Const, 0, kR12, kR12, 0, -1},
    {D::RS, F::Const, 0, kR12, kR12, 0, -1},
};

constexpr DwgFieldSpec kDwgLayer[] = {
    {D::B, F::Flags, 70, kR13, kLast, 0, 1},  // frozen
    {D::B, F::LayerOff, 62},
    {D::B, F::Flags, 70, kR13, kLast, 0, 2},  // frozen in new viewports
    {D::B, F::Flags, 70, kR13, kLast, 0, 4},  // locked
    {D::CMC, F::LayerColor, 62},
    {D::H, F::LayerLinetype, 6, kR13, kLast, 0, kHard},
    OLD(RS, LayerColor, 62),
    OLD(Row, LayerLinetype, 6),
};

constexpr DwgFieldSpec kDwgStyle[] = {
    {D::B, F::Flags, 70, kR13, kLast, 0, 4},  // vertical
    {D::B, F::Flags, 70, kR13, kLast, 0, 1},  // shape file
    {D::BD, F::StyleHeight, 40},
    {D::BD, F::StyleWidthFactor, 41},
    {D::BD, F::StyleOblique, 50},
    {D::RC, F::StyleGeneration, 71},
    {D::BD, F::StyleLastHeight, 42},
    {D::T, F::StyleFont, 3},
    {D::T, F::StyleBigFont, 4},
    OLD(RD, StyleHeight, 40),
    OLD(RD, StyleWidthFactor, 41),
    OLD(RD, StyleOblique, 50),
    OLD(RC, StyleGeneration, 71),
    OLD(RD, StyleLastHeight, 42),
    {D::TF, F::StyleFont, 3, kV25, kR12, 0, 64},
    {D::TF, F::StyleBigFont, 4, kV25, kR12, 0, 64},
};

constexpr DwgFieldSpec kDwgLtype[] = {
    {D::T, F::LtypeDescription, 3},
    {D::BD, F::LtypePatternLength, 40},
    {D::RC, F::LtypeAlignment, 72},
    {D::RC, F::LtypeDashCount, 73},
    {D::Dashes, F::LtypeDashes, 49},
    {D::Zeros, F::Const, 0, kR13, kLast, 0, 256},  // text area of complex dashes
    {D::TF, F::LtypeDescription, 3, kV25, kR12, 0, 48},
    OLD(RC, LtypeAlignment, 72),
    OLD(RC, LtypeDashCount, 73),
    OLD(RD, LtypePatternLength, 40),
    {D::RDashes, F::LtypeDashes, 49, kV25, kR12, 0, 12},
};

constexpr DwgFieldSpec kDwgVport[] = {
    {D::BD, F::ViewValue, 40},
    {D::BD, F::ViewWidth, 41},
    {D::RD2, F::ViewValue, 12},
    {D::BD3, F::Const, 17},                      // target
    {D::BD3, F::Extrusion, 16},                  // direction
    {D::BD, F::Const, 51},                       // twist
    {D::BD, F::Const, 42, kR13, kLast, 0, 50},   // lens length
    {D::BD, F::Const, 43},                       // front clip
    {D::BD, F::Const, 44},                       // back clip
    {D::Bits4, F::Const, 71},                    // view mode
    {D::RD2, F::Const, 10},                      // lower left
    {D::RD2, F::Const, 11, kR13, kLast, 0, 1},   // upper right
    {D::B, F::Const, 71},                        // UCS follow
    {D::BS, F::Const, 72, kR13, kLast, 0, 100},  // circle zoom
    {D::B, F::HeaderValue, 73, kR13, kLast, 0, 0, "$FASTZOOM"},
    {D::BB, F::Const, 74, kR13, kLast, 0, 3},  // UCS icon on, at the origin
    {D::B, F::HeaderValue, 76, kR13, kLast, 0, 0, "$GRIDMODE"},
    {D::RD2, F::HeaderValue, 15, kR13, kLast, 0, 0, "$GRIDUNIT"},
    {D::B, F::HeaderValue, 75, kR13, kLast, 0, 0, "$SNAPMODE"},
    {D::B, F::HeaderValue, 77, kR13, kLast, 0, 0, "$SNAPSTYLE"},
    {D::BS, F::HeaderValue, 78, kR13, kLast, 0, 0, "$SNAPISOPAIR"},
    {D::BD, F::HeaderValue, 50, kR13, kLast, 0, 0, "$SNAPANG"},
    {D::RD2, F::HeaderValue, 13, kR13, kLast, 0, 0, "$SNAPBASE"},
    {D::RD2, F::HeaderValue, 14, kR13, kLast, 0, 0, "$SNAPUNIT"},
    // Before R13 (from R10).
    {D::RD2, F::Const, 10, kR10, kR12},        // lower left
    {D::RD2, F::Const, 11, kR10, kR12, 0, 1},  // upper right
    {D::RD3, F::Const, 17, kR10, kR12},        // target
    {D::RD3, F::Extrusion, 16, kR10, kR12},    // direction
    {D::RD, F::Const, 51, kR10, kR12},         // twist
    {D::RD, F::ViewValue, 40, kR10, kR12},
    {D::RD2, F::ViewValue, 12, kR10, kR12},
    {D::RD, F::ViewValue, 41, kR10, kR12},
    {D::RD, F::Const, 42, kR10, kR12, 0, 50},   // lens length
    {D::RD, F::Const, 43, kR10, kR12},          // front clip
    {D::RD, F::Const, 44, kR10, kR12},          // back clip
    {D::RS, F::Const, 71, kR10, kR12},          // UCS follow
    {D::RS, F::Const, 72, kR10, kR12, 0, 100},  // circle zoom
    {D::RS, F::HeaderValue, 73, kR10, kR12, 0, 0, "$FASTZOOM"},
    {D::RS, F::Const, 74, kR10, kR12, 0, 3},  // UCS icon on, at the origin
    {D::RS, F::HeaderValue, 75, kR10, kR12, 0, 0, "$SNAPMODE"},
    {D::RS, F::HeaderValue, 76, kR10, kR12, 0, 0, "$GRIDMODE"},
    {D::RS, F::HeaderValue, 77, kR10, kR12, 0, 0, "$SNAPSTYLE"},
    {D::RS, F::HeaderValue, 78, kR10, kR12, 0, 0, "$SNAPISOPAIR"},
    {D::RD, F::HeaderValue, 50, kR10, kR12, 0, 0, "$SNAPANG"},
    {D::RD2, F::HeaderValue, 13, kR10, kR12, 0, 0, "$SNAPBASE"},
    {D::RD2, F::HeaderValue, 14, kR10, kR12, 0, 0, "$SNAPUNIT"},
    {D::RD2, F::HeaderValue, 15, kR10, kR12, 0, 0, "$GRIDUNIT"},
};

constexpr DwgFieldSpec kDwgSeqend[] = {
    OLD(RL, Address, 0),  // where its polyline begins in the file
};

constexpr DwgFieldSpec kDwgAppid[] = {
    {D::RC, F::Const, 0},
};

#define DWGDIM(type, name) \
  { D::type, F::HeaderValue, 0, kR13, kLast, 0, 0, name }
constexpr DwgFieldSpec kDwgDimstyle[] = {
    DWGDIM(B, "$DIMTOL"),
    DWGDIM(B, "$DIMLIM"),
    DWGDIM(B, "$DIMTIH"),
    DWGDIM(B, "$DIMTOH"),
    DWGDIM(B, "$DIMSE1"),
    DWGDIM(B, "$DIMSE2"),
    DWGDIM(B, "$DIMALT"),
    DWGDIM(B, "$DIMTOFL"),
    DWGDIM(B, "$DIMSAH"),
    DWGDIM(B, "$DIMTIX"),
    DWGDIM(B, "$DIMSOXD"),
    DWGDIM(RC, "$DIMALTD"),
    DWGDIM(RC, "$DIMZIN"),
    DWGDIM(B, "$DIMSD1"),
    DWGDIM(B, "$DIMSD2"),
    DWGDIM(RC, "$DIMTOLJ"),
    DWGDIM(RC, "$DIMJUST"),
    DWGDIM(RC, "$DIMFIT"),
    DWGDIM(B, "$DIMUPT"),
    DWGDIM(RC, "$DIMTZIN"),
    DWGDIM(RC, "$DIMALTZ"),
    DWGDIM(RC, "$DIMALTTZ"),
    DWGDIM(RC, "$DIMTAD"),
    DWGDIM(BS, "$DIMUNIT"),
    DWGDIM(BS, "$DIMAUNIT"),
    DWGDIM(BS, "$DIMDEC"),
    DWGDIM(BS, "$DIMTDEC"),
    DWGDIM(BS, "$DIMALTU"),
    DWGDIM(BS, "$DIMALTTD"),
    DWGDIM(BD, "$DIMSCALE"),
    DWGDIM(BD, "$DIMASZ"),
    DWGDIM(BD, "$DIMEXO"),
    DWGDIM(BD, "$DIMDLI"),
    DWGDIM(BD, "$DIMEXE"),
    DWGDIM(BD, "$DIMRND"),
    DWGDIM(BD, "$DIMDLE"),
    DWGDIM(BD, "$DIMTP"),
    DWGDIM(BD, "$DIMTM"),
    DWGDIM(BD, "$DIMTXT"),
    DWGDIM(BD, "$DIMCEN"),
    DWGDIM(BD, "$DIMTSZ"),
    DWGDIM(BD, "$DIMALTF"),
    DWGDIM(BD, "$DIMLFAC"),
    DWGDIM(BD, "$DIMTVP"),
    DWGDIM(BD, "$DIMTFAC"),
    DWGDIM(BD, "$DIMGAP"),
    DWGDIM(T, "$DIMPOST"),
    DWGDIM(T, "$DIMAPOST"),
    DWGDIM(T, "$DIMBLK"),
    DWGDIM(T, "$DIMBLK1"),
    DWGDIM(T, "$DIMBLK2"),
    DWGDIM(CMC, "$DIMCLRD"),
    DWGDIM(CMC, "$DIMCLRE"),
    DWGDIM(CMC, "$DIMCLRT"),
    {D::B, F::Const, 70},
    {D::H, F::HeaderRef, 340, kR13, kLast, 0, kHard, "$DIMTXSTY"},
    // Before R13 (R11).
    OLDDIM(RD, "$DIMSCALE"),
    OLDDIM(RD, "$DIMASZ"),
    OLDDIM(RD, "$DIMEXO"),
    OLDDIM(RD, "$DIMDLI"),
    OLDDIM(RD, "$DIMEXE"),
    OLDDIM(RD, "$DIMRND"),
    OLDDIM(RD, "$DIMDLE"),
    OLDDIM(RD, "$DIMTP"),
    OLDDIM(RD, "$DIMTM"),
    OLDDIM(RD, "$DIMTXT"),
    OLDDIM(RD, "$DIMCEN"),
    OLDDIM(RD, "$DIMTSZ"),
    OLDDIM(RD, "$DIMALTF"),
    OLDDIM(RD, "$DIMLFAC"),
    OLDDIM(RD, "$DIMTVP"),
    OLDDIM(RC, "$DIMTOL"),
    OLDDIM(RC, "$DIMLIM"),
    OLDDIM(RC, "$DIMTIH"),
    OLDDIM(RC, "$DIMTOH"),
    OLDDIM(RC, "$DIMSE1"),
    OLDDIM(RC, "$DIMSE2"),
    OLDDIM(RC, "$DIMTAD"),
    OLDDIM(RC, "$DIMZIN"),
    OLDDIM(RC, "$DIMALT"),
    OLDDIM(RC, "$DIMALTD"),
    OLDDIM(RC, "$DIMTOFL"),
    OLDDIM(RC, "$DIMSAH"),
    OLDDIM(RC, "$DIMTIX"),
    OLDDIM(RC, "$DIMSOXD"),
    OLDTEXT("$DIMPOST", 16),
    OLDTEXT("$DIMAPOST", 16),
    OLDTEXT("$DIMBLK", 16),
    OLDTEXT("$DIMBLK1", 16),
    OLDTEXT("$DIMBLK2", 66),
    OLDDIM(RS, "$DIMCLRD"),
    OLDDIM(RS, "$DIMCLRE"),
    OLDDIM(RS, "$DIMCLRT"),
    OLDDIM(RC, "$DIMUPT"),
    OLDDIM(RD, "$DIMTFAC"),
    OLDDIM(RD, "$DIMGAP"),
};

constexpr DwgFieldSpec kDwgMlinestyle[] = {
    {D::T, F::Name, 2},
    {D::T, F::ConstText, 3, kR13, kLast, 0, 0, ""},
    {D::BS, F::Flags, 70},
    {D::CMC, F::Const, 62, kR13, kLast, 0, 256},
    {D::BD, F::Const, 51, kR13, kLast, 0, 90},
    {D::BD, F::Const, 52, kR13, kLast, 0, 90},
    {D::RC, F::Const, 71, kR13, kLast, 0, 2},
    {D::BD, F::Const, 49, kR13, kLast, 0, 0.5},
    {D::CMC, F::Const, 62, kR13, kLast, 0, 256},
    {D::BS, F::Const, 6, kR13, kLast, 0, 32767},  // line type BYLAYER
    {D::BD, F::Const, 49, kR13, kLast, 0, -0.5},
    {D::CMC, F::Const, 62, kR13, kLast, 0, 256},
    {D::BS, F::Const, 6, kR13, kLast, 0, 32767},
};

// Entities are named as the engine's interface names their types.
constexpr KindSpec kKinds[] = {
    {tav2abi::EntityTypeName(tav2abi::kEntLine), kLine, 0x13, kDwgLine, 1},
    {tav2abi::EntityTypeName(tav2abi::kEntCircle), kCircle, 0x12, kDwgCircle, 3},
    {tav2abi::EntityTypeName(tav2abi::kEntArc), kArc, 0x11, kDwgArc, 8},
    {tav2abi::EntityTypeName(tav2abi::kEntSolid), kSolid, 0x1F, kDwgSolid, 11},
    {tav2abi::EntityTypeName(tav2abi::kEntText), kText, 0x01, kDwgText, 7},
    {tav2abi::EntityTypeName(tav2abi::kEntPolyline), kPolyline, 0x0F, kDwgPolyline, 19},
    {tav2abi::EntityTypeName(tav2abi::kEntVertex), kVertex, 0x0A, kDwgVertex, 20},
    {tav2abi::EntityTypeName(tav2abi::kEntSeqend), kSeqend, 0x06, kDwgSeqend, 17},
    {tav2abi::EntityTypeName(tav2abi::kEntInsert), kInsert, 0x07, kDwgInsert, 14},
    {tav2abi::EntityTypeName(tav2abi::kEntBlock), kBlock, 0x04, kDwgBlock, 12},
    {tav2abi::EntityTypeName(tav2abi::kEntEndblk), kEndblk, 0x05, {}, 13},
    {"VPORT", kVport, 0x41, kDwgVport},
    {"LTYPE", kLtype, 0x39, kDwgLtype},
    {"LAYER", kLayer, 0x33, kDwgLayer},
    {"STYLE", kStyle, 0x35, kDwgStyle},
    {"APPID", kAppid, 0x43, kDwgAppid},
    {"DIMSTYLE", kDimstyle, 0x45, kDwgDimstyle},
    {"BLOCK_RECORD", kBlockRecord, 0x31, kDwgBlockRecord},
    {"MLINESTYLE", kMlinestyle, 0x49, kDwgMlinestyle},
};
static_assert(std::size(kKinds) == static_cast<size_t>(Kind::Count));

// ---------------------------------------------------------------------------
// DWG header variables (R13+)

constexpr double kOwner = 3;  // hard owner reference code
#define VAR(type, name) \
  { D::type, name }
#define VARD(type, name, def) \
  { D::type, name, 0, kR13, kLast, def }
#define CONST(type, def) \
  { D::type, nullptr, 0, kR13, kLast, def }
#define CONSTT(text) \
  { D::T, nullptr, 0, kR13, kLast, 0, text }
#define REF(name, code) \
  { D::H, name, 0, kR13, kLast, code }
#define POINT(type, name) \
  { D::type, name, 10 }

constexpr DwgVarSpec kDwgHeader[] = {
    CONST(BD, 412148564080.0),  // unit ratios
    CONST(BD, 1),
    CONST(BD, 1),
    CONST(BD, 1),
    CONSTT("m"),
    CONSTT(""),
    CONSTT(""),
    CONSTT(""),
    CONST(BL, 24),
    CONST(BL, 0),
    CONST(BS, 0),
    REF(kRefNone, 5),  // current viewport entity header
    VAR(B, "$DIMASO"),
    VAR(B, "$DIMSHO"),
    CONST(B, 0),  // DIMSAV
    VAR(B, "$PLINEGEN"),
    VAR(B, "$ORTHOMODE"),
    VAR(B, "$REGENMODE"),
    VAR(B, "$FILLMODE"),
    VAR(B, "$QTEXTMODE"),
    VAR(B, "$PSLTSCALE"),
    VAR(B, "$LIMCHECK"),
    VAR(B, "$BLIPMODE"),
    VAR(B, "$USRTIMER"),
    VAR(B, "$SKPOLY"),
    VAR(B, "$ANGDIR"),
    VAR(B, "$SPLFRAME"),
    VAR(B, "$ATTREQ"),
    VAR(B, "$ATTDIA"),
    VAR(B, "$MIRRTEXT"),
    VAR(B, "$WORLDVIEW"),
    CONST(B, 0),  // wireframe
    VAR(B, "$TILEMODE"),
    VAR(B, "$PLIMCHECK"),
    VAR(B, "$VISRETAIN"),
    VAR(B, "$DELOBJ"),
    VAR(B, "$DISPSILH"),
    VAR(B, "$PELLIPSE"),
    VAR(BS, "$PROXYGRAPHICS"),
    VAR(BS, "$DRAGMODE"),
    VAR(BS, "$TREEDEPTH"),
    VAR(BS, "$LUNITS"),
    VAR(BS, "$LUPREC"),
    VAR(BS, "$AUNITS"),
    VAR(BS, "$AUPREC"),
    VAR(BS, "$OSMODE"),
    VAR(BS, "$ATTMODE"),
    VAR(BS, "$COORDS"),
    VAR(BS, "$PDMODE"),
    VAR(BS, "$PICKSTYLE"),
    VAR(BS, "$USERI1"),
    VAR(BS, "$USERI2"),
    VAR(BS, "$USERI3"),
    VAR(BS, "$USERI4"),
    VAR(BS, "$USERI5"),
    VAR(BS, "$SPLINESEGS"),
    VAR(BS, "$SURFU"),
    VAR(BS, "$SURFV"),
    VAR(BS, "$SURFTYPE"),
    VAR(BS, "$SURFTAB1"),
    VAR(BS, "$SURFTAB2"),
    VAR(BS, "$SPLINETYPE"),
    VAR(BS, "$SHADEDGE"),
    VAR(BS, "$SHADEDIF"),
    VAR(BS, "$UNITMODE"),
    VAR(BS, "$MAXACTVP"),
    VARD(BS, "$ISOLINES", 4),
    VAR(BS, "$CMLJUST"),
    VARD(BS, "$TEXTQLTY", 50),
    VAR(BD, "$LTSCALE"),
    VAR(BD, "$TEXTSIZE"),
    VAR(BD, "$TRACEWID"),
    VAR(BD, "$SKETCHINC"),
    VAR(BD, "$FILLETRAD"),
    VAR(BD, "$THICKNESS"),
    {D::BD, "$ANGBASE", 50},
    VAR(BD, "$PDSIZE"),
    VAR(BD, "$PLINEWID"),
    VAR(BD, "$USERR1"),
    VAR(BD, "$USERR2"),
    VAR(BD, "$USERR3"),
    VAR(BD, "$USERR4"),
    VAR(BD, "$USERR5"),
    VAR(BD, "$CHAMFERA"),
    VAR(BD, "$CHAMFERB"),
    VAR(BD, "$CHAMFERC"),
    VAR(BD, "$CHAMFERD"),
    VARD(BD, "$FACETRES", 0.5),
    VAR(BD, "$CMLSCALE"),
    VAR(BD, "$CELTSCALE"),
    VAR(T, "$MENU"),
    VAR(Date, "$TDCREATE"),
    VAR(Date, "$TDUPDATE"),
    VAR(Date, "$TDINDWG"),
    VAR(Date, "$TDUSRTIMER"),
    VAR(CMC, "$CECOLOR"),
    REF("$HANDSEED", 0),
    REF("$CLAYER", 5),
    REF("$TEXTSTYLE", 5),
    REF("$CELTYPE", 5),
    REF("$DIMSTYLE", 5),
    REF("$CMLSTYLE", 5),
    // paper space
    POINT(BD3, "$PINSBASE"),
    POINT(BD3, "$PEXTMIN"),
    POINT(BD3, "$PEXTMAX"),
    POINT(RD2, "$PLIMMIN"),
    POINT(RD2, "$PLIMMAX"),
    VAR(BD, "$PELEVATION"),
    POINT(BD3, "$PUCSORG"),
    POINT(BD3, "$PUCSXDIR"),
    POINT(BD3, "$PUCSYDIR"),
    REF("$PUCSNAME", 5),
    // model space
    POINT(BD3, "$INSBASE"),
    POINT(BD3, "$EXTMIN"),
    POINT(BD3, "$EXTMAX"),
    POINT(RD2, "$LIMMIN"),
    POINT(RD2, "$LIMMAX"),
    VAR(BD, "$ELEVATION"),
    POINT(BD3, "$UCSORG"),
    POINT(BD3, "$UCSXDIR"),
    POINT(BD3, "$UCSYDIR"),
    REF("$UCSNAME", 5),
    // dimension variables
    VAR(B, "$DIMTOL"),
    VAR(B, "$DIMLIM"),
    VAR(B, "$DIMTIH"),
    VAR(B, "$DIMTOH"),
    VAR(B, "$DIMSE1"),
    VAR(B, "$DIMSE2"),
    VAR(B, "$DIMALT"),
    VAR(B, "$DIMTOFL"),
    VAR(B, "$DIMSAH"),
    VAR(B, "$DIMTIX"),
    VAR(B, "$DIMSOXD"),
    VAR(RC, "$DIMALTD"),
    VAR(RC, "$DIMZIN"),
    VAR(B, "$DIMSD1"),
    VAR(B, "$DIMSD2"),
    VAR(RC, "$DIMTOLJ"),
    VAR(RC, "$DIMJUST"),
    VAR(RC, "$DIMFIT"),
    VAR(B, "$DIMUPT"),
    VAR(RC, "$DIMTZIN"),
    VAR(RC, "$DIMALTZ"),
    VAR(RC, "$DIMALTTZ"),
    VAR(RC, "$DIMTAD"),
    VAR(BS, "$DIMUNIT"),
    VAR(BS, "$DIMAUNIT"),
    VAR(BS, "$DIMDEC"),
    VAR(BS, "$DIMTDEC"),
    VAR(BS, "$DIMALTU"),
    VAR(BS, "$DIMALTTD"),
    REF("$DIMTXSTY", 5),
    VAR(BD, "$DIMSCALE"),
    VAR(BD, "$DIMASZ"),
    VAR(BD, "$DIMEXO"),
    VAR(BD, "$DIMDLI"),
    VAR(BD, "$DIMEXE"),
    VAR(BD, "$DIMRND"),
    VAR(BD, "$DIMDLE"),
    VAR(BD, "$DIMTP"),
    VAR(BD, "$DIMTM"),
    VAR(BD, "$DIMTXT"),
    VAR(BD, "$DIMCEN"),
    VAR(BD, "$DIMTSZ"),
    VAR(BD, "$DIMALTF"),
    VAR(BD, "$DIMLFAC"),
    VAR(BD, "$DIMTVP"),
    VAR(BD, "$DIMTFAC"),
    VAR(BD, "$DIMGAP"),
    VAR(T, "$DIMPOST"),
    VAR(T, "$DIMAPOST"),
    VAR(T, "$DIMBLK"),
    VAR(T, "$DIMBLK1"),
    VAR(T, "$DIMBLK2"),
    VAR(CMC, "$DIMCLRD"),
    VAR(CMC, "$DIMCLRE"),
    VAR(CMC, "$DIMCLRT"),
    // the tables and dictionaries
    REF(kRefBlockControl, kOwner),
    REF(kRefLayerControl, kOwner),
    REF(kRefStyleControl, kOwner),
    REF(kRefLtypeControl, kOwner),
    REF(kRefViewControl, kOwner),
    REF(kRefUcsControl, kOwner),
    REF(kRefVportControl, kOwner),
    REF(kRefAppidControl, kOwner),
    REF(kRefDimstyleControl, kOwner),
    REF(kRefVxControl, kOwner),
    REF(kRefGroupDictionary, 5),
    REF(kRefMlinestyleDictionary, 5),
    REF(kRefRootDictionary, kOwner),
    REF(kRefPaperSpace, 5),
    REF(kRefModelSpace, 5),
    REF(kRefByLayer, 5),
    REF(kRefByBlock, 5),
    REF(kRefContinuous, 5),
    CONST(BS, 4),
    CONST(BS, 0x0312),
    CONST(BS, 0),
    CONST(BS, 0),
};

// DWG header variables before R13, in file order. AutoCAD's files end the
// list after a release's last variable; the table locators of R10 and R11
// sit among them.
constexpr DwgVarSpec kDwgHeaderPre13[] = {
    {D::RD3, "$INSBASE", 10, kV25, kR12},
    {D::RS, kRefEntityCount, 0, kV25, kR9},
    {D::RS, "$PLINEGEN", 0, kR10, kR12},
    {D::RD3, "$EXTMIN", 10, kV25, kR12},
    {D::RD3, "$EXTMAX", 10, kV25, kR12},
    {D::RD2, "$LIMMIN", 10, kV25, kR12},
    {D::RD2, "$LIMMAX", 10, kV25, kR12},
    {D::RD3, "$VIEWCTR", 10, kV25, kR12},
    {D::RD, "$VIEWSIZE", 0, kV25, kR12},
    {D::RS, "$SNAPMODE", 0, kV25, kR12},
    {D::RD2, "$SNAPUNIT", 10, kV25, kR12},
    {D::RD2, "$SNAPBASE", 10, kV25, kR12},
    {D::RD, "$SNAPANG", 50, kV25, kR12},
    {D::RS, "$SNAPSTYLE", 0, kV25, kR12},
    {D::RS, "$SNAPISOPAIR", 0, kV25, kR12},
    {D::RS, "$GRIDMODE", 0, kV25, kR12},
    {D::RD2, "$GRIDUNIT", 10, kV25, kR12},
    {D::RS, "$ORTHOMODE", 0, kV25, kR12},
    {D::RS, "$REGENMODE", 0, kV25, kR12},
    {D::RS, "$FILLMODE", 0, kV25, kR12},
    {D::RS, "$QTEXTMODE", 0, kV25, kR12},
    {D::RS, "$DRAGMODE", 0, kV25, kR12},
    {D::RD, "$LTSCALE", 0, kV25, kR12},
    {D::RD, "$TEXTSIZE", 0, kV25, kR12},
    {D::RD, "$TRACEWID", 0, kV25, kR12},
    {D::Row, "$CLAYER", 0, kV25, kR12},
    {D::RL, nullptr, 0, kV25, kR12, 15},  // the current colour in the form of older releases
    {D::RL, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR9, 0},
    {D::RS, nullptr, 0, kV25, kR9, 0},
    {D::RS, nullptr, 0, kV25, kR9, 0},
    {D::RS, "$PSLTSCALE", 0, kR10, kR12},
    {D::RS, "$TREEDEPTH", 0, kR10, kR12},
    {D::RS, nullptr, 0, kR10, kR12, 0},
    {D::RD, kRefViewAspect, 0, kV25, kR12},
    {D::RS, "$LUNITS", 0, kV25, kR12},
    {D::RS, "$LUPREC", 0, kV25, kR12},
    {D::RS, "$AXISMODE", 0, kV25, kR12},
    {D::RD2, "$AXISUNIT", 10, kV25, kR12},
    {D::RD, "$SKETCHINC", 0, kV25, kR12},
    {D::RD, "$FILLETRAD", 0, kV25, kR12},
    {D::RS, "$AUNITS", 0, kV25, kR12},
    {D::RS, "$AUPREC", 0, kV25, kR12},
    {D::Row, "$TEXTSTYLE", 0, kV25, kR12},
    {D::RS, "$OSMODE", 0, kV25, kR12},
    {D::RS, "$ATTMODE", 0, kV25, kR12},
    {D::TF, "$MENU", 0, kV25, kR12, 15},
    {D::RD, "$DIMSCALE", 0, kV25, kR12},
    {D::RD, "$DIMASZ", 0, kV25, kR12},
    {D::RD, "$DIMEXO", 0, kV25, kR12},
    {D::RD, "$DIMDLI", 0, kV25, kR12},
    {D::RD, "$DIMEXE", 0, kV25, kR12},
    {D::RD, "$DIMTP", 0, kV25, kR12},
    {D::RD, "$DIMTM", 0, kV25, kR12},
    {D::RD, "$DIMTXT", 0, kV25, kR12},
    {D::RD, "$DIMCEN", 0, kV25, kR12},
    {D::RD, "$DIMTSZ", 0, kV25, kR12},
    {D::RC, "$DIMTOL", 0, kV25, kR12},
    {D::RC, "$DIMLIM", 0, kV25, kR12},
    {D::RC, "$DIMTIH", 0, kV25, kR12},
    {D::RC, "$DIMTOH", 0, kV25, kR12},
    {D::RC, "$DIMSE1", 0, kV25, kR12},
    {D::RC, "$DIMSE2", 0, kV25, kR12},
    {D::RC, "$DIMTAD", 0, kV25, kR12},
    {D::RC, "$LIMCHECK", 0, kV25, kR12},
    {D::TF, nullptr, 0, kV25, kR12, 46},  // continuation of a long menu name
    {D::RD, "$ELEVATION", 0, kV25, kR12},
    {D::RD, "$THICKNESS", 0, kV25, kR12},
    {D::RD3, "$VIEWDIR", 10, kV25, kR12},
    // The view's axes: a plan view before R10, unused from R10 on.
    {D::RD3, kRefUnitAxis, 10, kV25, kR9},
    {D::RD3, kRefUnitAxis, 20, kV25, kR9},
    {D::RD3, kRefUnitAxis, 30, kV25, kR9},
    {D::RD3, kRefUnitAxis, 10, kV25, kR9},
    {D::RD3, kRefUnitAxis, 20, kV25, kR9},
    {D::RD3, kRefUnitAxis, 30, kV25, kR9},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RD3, nullptr, 0, kR10, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, "$BLIPMODE", 0, kV25, kR12},
    {D::RC, "$DIMZIN", 0, kV25, kR12},
    {D::RD, "$DIMRND", 0, kV25, kR12},
    {D::RD, "$DIMDLE", 0, kV25, kR12},
    {D::TF, "$DIMBLK", 0, kV25, kR12, 33},
    {D::RS, nullptr, 0, kV25, kR12, 100},  // circle zoom
    {D::RS, "$COORDS", 0, kV25, kR12},
    {D::RS, "$CECOLOR", 0, kV25, kR12},
    {D::Row, "$CELTYPE", 0, kV25, kR12},
    {D::RDate, "$TDCREATE", 0, kV25, kR12},
    {D::RDate, "$TDUPDATE", 0, kV25, kR12},
    {D::RDate, "$TDINDWG", 0, kV25, kR12},
    {D::RDate, "$TDUSRTIMER", 0, kV25, kR12},
    {D::RS, "$USRTIMER", 0, kV25, kR12},
    {D::RS, "$FASTZOOM", 0, kV25, kR12},
    {D::RS, "$SKPOLY", 0, kV25, kR12},
    {D::RS, nullptr, 0, kV25, kR12, 0},  // a calendar date of seven words, unused
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RS, nullptr, 0, kV25, kR12, 0},
    {D::RD, "$ANGBASE", 50, kV25, kR12},
    {D::RS, "$ANGDIR", 0, kV25, kR12},
    {D::RS, "$PDMODE", 0, kV25, kR12},
    {D::RD, "$PDSIZE", 0, kV25, kR12},
    {D::RD, "$PLINEWID", 0, kV25, kR12},
    {D::RS, "$USERI1", 0, kV25, kR12},
    {D::RS, "$USERI2", 0, kV25, kR12},
    {D::RS, "$USERI3", 0, kV25, kR12},
    {D::RS, "$USERI4", 0, kV25, kR12},
    {D::RS, "$USERI5", 0, kV25, kR12},
    {D::RD, "$USERR1", 0, kV25, kR12},
    {D::RD, "$USERR2", 0, kV25, kR12},
    {D::RD, "$USERR3", 0, kV25, kR12},
    {D::RD, "$USERR4", 0, kV25, kR12},
    {D::RD, "$USERR5", 0, kV25, kR12},
    {D::RC, "$DIMALT", 0, kV26, kR12},
    {D::RC, "$DIMALTD", 0, kV26, kR12},
    {D::RC, "$DIMASO", 0, kV26, kR12},
    {D::RC, "$DIMSHO", 0, kV26, kR12},
    {D::TF, "$DIMPOST", 0, kV26, kR12, 16},
    {D::TF, "$DIMAPOST", 0, kV26, kR12, 16},
    {D::RD, "$DIMALTF", 0, kV26, kR12},
    {D::RD, "$DIMLFAC", 0, kV26, kR12},
    {D::RS, "$SPLINESEGS", 0, kR9, kR12},
    {D::RS, "$SPLFRAME", 0, kR9, kR12},
    {D::RS, "$ATTREQ", 0, kR9, kR12},
    {D::RS, "$ATTDIA", 0, kR9, kR12},
    {D::RD, "$CHAMFERA", 0, kR9, kR12},
    {D::RD, "$CHAMFERB", 0, kR9, kR12},
    {D::RS, "$MIRRTEXT", 0, kR9, kR12},
    {D::Locator, nullptr, 0, kR10, kR12, 0, "UCS"},
    {D::RS, nullptr, 0, kR10, kR12, 0},  // code page: the system's
    {D::RD3, "$UCSORG", 10, kR10, kR12},
    {D::RD3, "$UCSXDIR", 10, kR10, kR12},
    {D::RD3, "$UCSYDIR", 10, kR10, kR12},
    {D::RD3, nullptr, 10, kR10, kR12},    // view target
    {D::RD, nullptr, 0, kR10, kR12, 50},  // lens length
    {D::RD, nullptr, 0, kR10, kR12},      // view twist
    {D::RD, nullptr, 0, kR10, kR12},      // front clipping
    {D::RD, nullptr, 0, kR10, kR12},      // back clipping
    {D::RS, nullptr, 0, kR10, kR12},      // view mode
    {D::RC, "$DIMTOFL", 0, kR10, kR12},
    {D::TF, "$DIMBLK1", 0, kR10, kR12, 33},
    {D::TF, "$DIMBLK2", 0, kR10, kR12, 33},
    {D::RC, "$DIMSAH", 0, kR10, kR12},
    {D::RC, "$DIMTIX", 0, kR10, kR12},
    {D::RC, "$DIMSOXD", 0, kR10, kR12},
    {D::RD, "$DIMTVP", 0, kR10, kR12},
    {D::TF, nullptr, 0, kR10, kR12, 33},
    {D::RS, "$HANDLING", 0, kR10, kR12},
    {D::RH, "$HANDSEED", 0, kR10, kR12},
    {D::RS, "$SURFU", 0, kR10, kR12},
    {D::RS, "$SURFV", 0, kR10, kR12},
    {D::RS, "$SURFTYPE", 0, kR10, kR12},
    {D::RS, "$SURFTAB1", 0, kR10, kR12},
    {D::RS, "$SURFTAB2", 0, kR10, kR12},
    {D::Locator, nullptr, 0, kR10, kR12, 0, "VPORT"},
    {D::RS, "$FLATLAND", 0, kR10, kR12},
    {D::RS, "$SPLINETYPE", 0, kR10, kR12},
    {D::RS, nullptr, 0, kR10, kR12, 3},  // UCS icon
    {D::Row, "$UCSNAME", 0, kR10, kR12},
    {D::Locator, nullptr, 0, kR12, kR12, 0, "APPID"},
    {D::RS, "$WORLDVIEW", 0, kR12, kR12},
    {D::RS, nullptr, 0, kR12, kR12, 5},
    {D::RS, nullptr, 0, kR12, kR12, 1},
    {D::Locator, nullptr, 0, kR12, kR12, 0, "DIMSTYLE"},
    {D::RS, nullptr, 0, kR12, kR12, -1},
    {D::RS, nullptr, 0, kR12, kR12, 0},
    {D::RC, nullptr, 0, kR12, kR12, 0},
    {D::RS, "$DIMCLRD", 0, kR12, kR12},
    {D::RS, "$DIMCLRE", 0, kR12, kR12},
    {D::RS, "$DIMCLRT", 0, kR12, kR12},
    {D::RS, "$SHADEDGE", 0, kR12, kR12},
    {D::RS, "$SHADEDIF", 0, kR12, kR12},
    {D::RS, nullptr, 0, kR12, kR12, 0},
    {D::RS, "$UNITMODE", 0, kR12, kR12},
    {D::RD, nullptr, 0, kR12, kR12, 0},  // four unit conversions, none defined
    {D::RD, nullptr, 0, kR12, kR12, 0},
    {D::RD, nullptr, 0, kR12, kR12, 0},
    {D::RD, nullptr, 0, kR12, kR12, 0},
    {D::TF, nullptr, 0, kR12, kR12, 32},
    {D::TF, nullptr, 0, kR12, kR12, 32},
    {D::TF, nullptr, 0, kR12, kR12, 32},
    {D::TF, nullptr, 0, kR12, kR12, 32},
    {D::RD, "$DIMTFAC", 0, kR12, kR12},
    {D::RD3, "$PUCSORG", 10, kR12, kR12},
    {D::RD3, "$PUCSXDIR", 10, kR12, kR12},
    {D::RD3, "$PUCSYDIR", 10, kR12, kR12},
    {D::Row, "$PUCSNAME", 0, kR12, kR12},
    {D::RS, "$TILEMODE", 0, kR12, kR12},
    {D::RS, "$PLIMCHECK", 0, kR12, kR12},
    {D::RS, nullptr, 0, kR12, kR12, 0},
    {D::RD3, "$PEXTMIN", 10, kR12, kR12},
    {D::RD3, "$PEXTMAX", 10, kR12, kR12},
    {D::RD2, "$PLIMMIN", 10, kR12, kR12},
    {D::RD2, "$PLIMMAX", 10, kR12, kR12},
    {D::RD3, "$PINSBASE", 10, kR12, kR12},
    {D::Locator, nullptr, 0, kR12, kR12, 0, "VX"},
    {D::RS, "$MAXACTVP", 0, kR12, kR12},
    {D::RD, "$DIMGAP", 0, kR12, kR12},
    {D::RD, "$PELEVATION", 0, kR12, kR12},
    {D::RS, "$VISRETAIN", 0, kR12, kR12},
};

constexpr DictionaryEntry kRootDictionary[] = {
    {"ACAD_GROUP", kRefGroupDictionary, kR13, kLast},
    {"ACAD_MLINESTYLE", kRefMlinestyleDictionary, kR13, kLast},
    {"ACDBVARIABLEDICTIONARY", kRefVariableDictionary, kR14, kLast},
};

// The class AutoCAD lists in every drawing: some readers reject an empty
// class section.
constexpr ClassSpec kClasses[] = {
    {500, 0, "ObjectDBX Classes", "AcDbDictionaryVar", "DICTIONARYVAR", false},
};

constexpr TableSpec kTables[] = {
    {"VPORT", kR10, kLast}, {"LTYPE", kV25, kLast},    {"LAYER", kV25, kLast},
    {"STYLE", kV25, kLast}, {"VIEW", kV25, kLast},     {"UCS", kR10, kLast},
    {"APPID", kR12, kLast}, {"DIMSTYLE", kR12, kLast}, {"BLOCK_RECORD", kR13, kLast},
};

}  // namespace

const ReleaseInfo& Info(int release) {
  return kReleases[release];
}

std::span<const HeaderVarSpec> HeaderVars() {
  return kHeader;
}

bool IsComputedHeaderVar(const char* name) {
  for (const char* c : kComputed)
    if (std::strcmp(c, name) == 0) return true;
  return false;
}

const KindSpec& Layout(Kind k) {
  return kKinds[static_cast<size_t>(k)];
}

std::span<const TableSpec> Tables() {
  return kTables;
}

std::span<const DwgVarSpec> DwgHeaderVars() {
  return kDwgHeader;
}

std::span<const DwgVarSpec> DwgHeaderVarsPre13() {
  return kDwgHeaderPre13;
}

std::span<const DictionaryEntry> RootDictionary() {
  return kRootDictionary;
}

std::span<const ClassSpec> Classes() {
  return kClasses;
}

}  // namespace tav2::schema
