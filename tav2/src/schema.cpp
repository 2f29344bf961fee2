#include "tav2/src/schema.h"

#include <cstring>

namespace tav2::schema {

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
    {8, F::Layer},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbBlockEnd"},
};

#define ENTRY_HEAD(subclass)                                           \
  {5, F::Handle, kR13}, {330, F::Owner, kR13},                         \
      {100, F::Subclass, kR13, kLast, 0, 0, "AcDbSymbolTableRecord"},  \
      {100, F::Subclass, kR13, kLast, 0, 0, subclass}, {2, F::Name}, { \
    70, F::Flags                                                       \
  }

// The active viewport's values come from the drawing's view (ViewValue by
// group code); the rest are AutoCAD's defaults for a plan view.
constexpr FieldSpec kVport[] = {
    ENTRY_HEAD("AcDbViewportTableRecord"),
    {10, F::Const, kR10, kLast, 0, 0},
    {20, F::Const, kR10, kLast, 0, 0},
    {11, F::Const, kR10, kLast, 0, 1},
    {21, F::Const, kR10, kLast, 0, 1},
    {12, F::ViewValue},
    {22, F::ViewValue},
    {13, F::Const, kR10, kLast, 0, 0},
    {23, F::Const, kR10, kLast, 0, 0},
    {14, F::Const, kR10, kLast, 0, 1},
    {24, F::Const, kR10, kLast, 0, 1},
    {15, F::Const, kR10, kLast, 0, 0},
    {25, F::Const, kR10, kLast, 0, 0},
    {16, F::Const, kR10, kLast, 0, 0},
    {26, F::Const, kR10, kLast, 0, 0},
    {36, F::Const, kR10, kLast, 0, 1},
    {17, F::Const, kR10, kLast, 0, 0},
    {27, F::Const, kR10, kLast, 0, 0},
    {37, F::Const, kR10, kLast, 0, 0},
    {40, F::ViewValue},
    {41, F::ViewValue},
    {42, F::Const, kR10, kLast, 0, 50},
    {43, F::Const, kR10, kLast, 0, 0},
    {44, F::Const, kR10, kLast, 0, 0},
    {50, F::Const, kR10, kLast, 0, 0},
    {51, F::Const, kR10, kLast, 0, 0},
    {71, F::Const, kR10, kLast, 0, 0},
    {72, F::Const, kR10, kLast, 0, 100},
    {73, F::Const, kR10, kLast, 0, 1},
    {74, F::Const, kR10, kLast, 0, 3},
    {75, F::Const, kR10, kLast, 0, 0},
    {76, F::Const, kR10, kLast, 0, 0},
    {77, F::Const, kR10, kLast, 0, 0},
    {78, F::Const, kR10, kLast, 0, 0},
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
    {340, F::TextStyle, kR13},
};

constexpr FieldSpec kBlockRecord[] = {
    {5, F::Handle, kR13},
    {330, F::Owner, kR13},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbSymbolTableRecord"},
    {100, F::Subclass, kR13, kLast, 0, 0, "AcDbBlockTableRecord"},
    {2, F::Name},
};

constexpr KindSpec kKinds[] = {
    {"LINE", kLine},     {"CIRCLE", kCircle},     {"ARC", kArc},
    {"SOLID", kSolid},   {"TEXT", kText},         {"POLYLINE", kPolyline},
    {"VERTEX", kVertex}, {"SEQEND", kSeqend},     {"INSERT", kInsert},
    {"BLOCK", kBlock},   {"ENDBLK", kEndblk},     {"VPORT", kVport},
    {"LTYPE", kLtype},   {"LAYER", kLayer},       {"STYLE", kStyle},
    {"APPID", kAppid},   {"DIMSTYLE", kDimstyle}, {"BLOCK_RECORD", kBlockRecord},
};
static_assert(std::size(kKinds) == static_cast<size_t>(Kind::Count));

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

}  // namespace tav2::schema
