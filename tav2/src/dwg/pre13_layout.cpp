#include "tav2/src/dwg/pre13_layout.h"

namespace tav2::dwg::pre13 {

namespace {

using schema::Field;
using schema::Kind;

constexpr uint8_t kV25 = schema::kV25, kV26 = schema::kV26, kR9 = schema::kR9, kR10 = schema::kR10,
                  kR11 = schema::kR12;

constexpr ReleaseLayout kReleases[] = {
    {"AC1002", 114, 0x8008, false, 256, 255}, {"AC1003", 122, 0x8008, false, 256, 255},
    {"AC1004", 129, 0, false, 256, 255},      {"AC1006", 158, 0, false, 256, 255},
    {"AC1009", 205, 0, true, 32767, 32766},
};

// A header variable of the drawing.
constexpr Slot V(Ty t, const char* name, uint16_t after = 0, uint8_t first = kV25,
                 uint8_t last = kR11) {
  Slot s{t};
  s.src = Src::Var;
  s.name = name;
  s.after = after;
  s.first = first;
  s.last = last;
  return s;
}

// Text of a header variable in a field of `size` bytes.
constexpr Slot VT(const char* name, uint8_t size, uint16_t after = 0) {
  Slot s = V(Ty::Text, name, after);
  s.size = size;
  return s;
}

// A value the format requires whose meaning the drawing does not carry.
constexpr Slot K(Ty t, double a, uint16_t after = 0, uint8_t first = kV25, uint8_t last = kR11,
                 double b = 0, double c = 0) {
  Slot s{t};
  s.after = after;
  s.first = first;
  s.last = last;
  s.c[0] = a;
  s.c[1] = b;
  s.c[2] = c;
  return s;
}

constexpr Slot KT(uint8_t size, uint16_t after) {
  Slot s = K(Ty::Text, 0, after);
  s.size = size;
  return s;
}

// The active viewport's value of DXF group `code`, as the DXF writes it.
constexpr Slot D(Ty t, int16_t code, uint16_t after = 0) {
  Slot s{t};
  s.src = Src::Dxf;
  s.code = code;
  s.kind = Kind::Vport;
  s.after = after;
  return s;
}

constexpr Slot Loc(const char* table, uint16_t after) {
  Slot s{Ty::Locator};
  s.name = table;
  s.after = after;
  return s;
}

// A field of the record being written.
constexpr Slot F(Ty t, Field f, uint16_t opt = 0, bool omit = false, double def = 0,
                 uint8_t first = kV25, uint8_t last = kR11) {
  Slot s{t};
  s.src = Src::Field;
  s.field = f;
  s.opt = opt;
  s.omitDefault = omit;
  s.c[0] = def;
  s.first = first;
  s.last = last;
  return s;
}

// Header variables, in file order. A release's file holds the slots whose
// `after` is below its variable count.
constexpr Slot kHeader[] = {
    V(Ty::Pt3, "$INSBASE"),
    V(Ty::RS, "*ENTITIES", 0, kV25, kR9),
    V(Ty::RS, "$PLINEGEN", 0, kR10),
    V(Ty::Pt3, "$EXTMIN"),
    V(Ty::Pt3, "$EXTMAX"),
    V(Ty::Pt2, "$LIMMIN"),
    V(Ty::Pt2, "$LIMMAX"),
    V(Ty::Pt3, "$VIEWCTR"),
    V(Ty::RD, "$VIEWSIZE"),
    V(Ty::RS, "$SNAPMODE"),
    V(Ty::Pt2, "$SNAPUNIT"),
    V(Ty::Pt2, "$SNAPBASE"),
    V(Ty::RD, "$SNAPANG"),
    V(Ty::RS, "$SNAPSTYLE"),
    V(Ty::RS, "$SNAPISOPAIR"),
    V(Ty::RS, "$GRIDMODE"),
    V(Ty::Pt2, "$GRIDUNIT"),
    V(Ty::RS, "$ORTHOMODE"),
    V(Ty::RS, "$REGENMODE"),
    V(Ty::RS, "$FILLMODE"),
    V(Ty::RS, "$QTEXTMODE"),
    V(Ty::RS, "$DRAGMODE"),
    V(Ty::RD, "$LTSCALE"),
    V(Ty::RD, "$TEXTSIZE"),
    V(Ty::RD, "$TRACEWID"),
    V(Ty::Index, "$CLAYER"),
    K(Ty::RL, 15),  // the current colour in the form of older releases
    K(Ty::RL, 0),
    K(Ty::RS, 0),
    K(Ty::RS, 0, 0, kV25, kR9),
    K(Ty::RS, 0, 0, kV25, kR9),
    K(Ty::RS, 0, 0, kV25, kR9),
    V(Ty::RS, "$PSLTSCALE", 0, kR10),
    V(Ty::RS, "$TREEDEPTH", 0, kR10),
    K(Ty::RS, 0, 0, kR10),
    V(Ty::RD, "*VIEWASPECT"),
    V(Ty::RS, "$LUNITS"),
    V(Ty::RS, "$LUPREC"),
    V(Ty::RS, "$AXISMODE"),
    V(Ty::Pt2, "$AXISUNIT"),
    V(Ty::RD, "$SKETCHINC"),
    V(Ty::RD, "$FILLETRAD"),
    V(Ty::RS, "$AUNITS"),
    V(Ty::RS, "$AUPREC"),
    V(Ty::Index, "$TEXTSTYLE"),
    V(Ty::RS, "$OSMODE"),
    V(Ty::RS, "$ATTMODE"),
    VT("$MENU", 15),
    V(Ty::RD, "$DIMSCALE"),
    V(Ty::RD, "$DIMASZ"),
    V(Ty::RD, "$DIMEXO"),
    V(Ty::RD, "$DIMDLI"),
    V(Ty::RD, "$DIMEXE"),
    V(Ty::RD, "$DIMTP"),
    V(Ty::RD, "$DIMTM"),
    V(Ty::RD, "$DIMTXT"),
    V(Ty::RD, "$DIMCEN"),
    V(Ty::RD, "$DIMTSZ"),
    V(Ty::RC, "$DIMTOL"),
    V(Ty::RC, "$DIMLIM"),
    V(Ty::RC, "$DIMTIH"),
    V(Ty::RC, "$DIMTOH"),
    V(Ty::RC, "$DIMSE1"),
    V(Ty::RC, "$DIMSE2"),
    V(Ty::RC, "$DIMTAD"),
    V(Ty::RC, "$LIMCHECK", 74),
    KT(46, 74),  // continuation of a long menu name
    V(Ty::RD, "$ELEVATION", 74),
    V(Ty::RD, "$THICKNESS", 74),
    V(Ty::Pt3, "$VIEWDIR", 74),
    // The view's axes: a plan view before R10, unused from R10 on.
    K(Ty::Pt3, 1, 74, kV25, kR9, 0, 0),
    K(Ty::Pt3, 0, 74, kV25, kR9, 1, 0),
    K(Ty::Pt3, 0, 74, kV25, kR9, 0, 1),
    K(Ty::Pt3, 1, 74, kV25, kR9, 0, 0),
    K(Ty::Pt3, 0, 74, kV25, kR9, 1, 0),
    K(Ty::Pt3, 0, 74, kV25, kR9, 0, 1),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::Pt3, 0, 74, kR10),
    K(Ty::RS, 0, 74),
    V(Ty::RS, "$BLIPMODE", 74),
    V(Ty::RC, "$DIMZIN", 83),
    V(Ty::RD, "$DIMRND", 83),
    V(Ty::RD, "$DIMDLE", 83),
    VT("$DIMBLK", 33, 83),
    D(Ty::RS, 72, 83),  // circle zoom
    V(Ty::RS, "$COORDS", 83),
    V(Ty::RS, "$CECOLOR", 83),
    V(Ty::Index, "$CELTYPE", 83),
    V(Ty::Date, "$TDCREATE", 83),
    V(Ty::Date, "$TDUPDATE", 83),
    V(Ty::Date, "$TDINDWG", 83),
    V(Ty::Date, "$TDUSRTIMER", 83),
    V(Ty::RS, "$USRTIMER", 83),
    V(Ty::RS, "$FASTZOOM", 83),
    V(Ty::RS, "$SKPOLY", 83),
    K(Ty::RS, 0, 83),  // a calendar date of seven words, unused
    K(Ty::RS, 0, 83),
    K(Ty::RS, 0, 83),
    K(Ty::RS, 0, 83),
    K(Ty::RS, 0, 83),
    K(Ty::RS, 0, 83),
    K(Ty::RS, 0, 83),
    V(Ty::RD, "$ANGBASE", 83),
    V(Ty::RS, "$ANGDIR", 83),
    V(Ty::RS, "$PDMODE", 101),
    V(Ty::RD, "$PDSIZE", 101),
    V(Ty::RD, "$PLINEWID", 101),
    V(Ty::RS, "$USERI1", 104),
    V(Ty::RS, "$USERI2", 104),
    V(Ty::RS, "$USERI3", 104),
    V(Ty::RS, "$USERI4", 104),
    V(Ty::RS, "$USERI5", 104),
    V(Ty::RD, "$USERR1", 104),
    V(Ty::RD, "$USERR2", 104),
    V(Ty::RD, "$USERR3", 104),
    V(Ty::RD, "$USERR4", 104),
    V(Ty::RD, "$USERR5", 104),
    V(Ty::RC, "$DIMALT", 114),
    V(Ty::RC, "$DIMALTD", 114),
    V(Ty::RC, "$DIMASO", 114),
    V(Ty::RC, "$DIMSHO", 114),
    VT("$DIMPOST", 16, 114),
    VT("$DIMAPOST", 16, 114),
    V(Ty::RD, "$DIMALTF", 120),
    V(Ty::RD, "$DIMLFAC", 120),
    V(Ty::RS, "$SPLINESEGS", 122),
    V(Ty::RS, "$SPLFRAME", 122),
    V(Ty::RS, "$ATTREQ", 122),
    V(Ty::RS, "$ATTDIA", 122),
    V(Ty::RD, "$CHAMFERA", 122),
    V(Ty::RD, "$CHAMFERB", 122),
    V(Ty::RS, "$MIRRTEXT", 122),
    Loc("UCS", 129),
    K(Ty::RS, 0, 129),  // code page: the system's
    V(Ty::Pt3, "$UCSORG", 129),
    V(Ty::Pt3, "$UCSXDIR", 129),
    V(Ty::Pt3, "$UCSYDIR", 129),
    D(Ty::Pt3, 17, 129),  // view target
    D(Ty::RD, 42, 129),   // lens length
    D(Ty::RD, 51, 129),   // view twist
    D(Ty::RD, 43, 129),   // front clipping
    D(Ty::RD, 44, 129),   // back clipping
    D(Ty::RS, 71, 129),   // view mode
    V(Ty::RC, "$DIMTOFL", 129),
    VT("$DIMBLK1", 33, 129),
    VT("$DIMBLK2", 33, 129),
    V(Ty::RC, "$DIMSAH", 129),
    V(Ty::RC, "$DIMTIX", 129),
    V(Ty::RC, "$DIMSOXD", 129),
    V(Ty::RD, "$DIMTVP", 129),
    KT(33, 129),
    V(Ty::RS, "$HANDLING", 129),
    V(Ty::HandleBE, "$HANDSEED", 129),
    V(Ty::RS, "$SURFU", 129),
    V(Ty::RS, "$SURFV", 129),
    V(Ty::RS, "$SURFTYPE", 129),
    V(Ty::RS, "$SURFTAB1", 129),
    V(Ty::RS, "$SURFTAB2", 129),
    Loc("VPORT", 129),
    V(Ty::RS, "$FLATLAND", 129),
    V(Ty::RS, "$SPLINETYPE", 129),
    D(Ty::RS, 74, 129),  // UCS icon
    V(Ty::Index, "$UCSNAME", 129),
    Loc("APPID", 158),
    V(Ty::RS, "$WORLDVIEW", 158),
    K(Ty::RS, 5, 160),
    K(Ty::RS, 1, 160),
    Loc("DIMSTYLE", 160),
    K(Ty::RS, -1, 160),
    K(Ty::RS, 0, 160),
    K(Ty::RC, 0, 160),
    V(Ty::RS, "$DIMCLRD", 160),
    V(Ty::RS, "$DIMCLRE", 160),
    V(Ty::RS, "$DIMCLRT", 160),
    V(Ty::RS, "$SHADEDGE", 160),
    V(Ty::RS, "$SHADEDIF", 160),
    K(Ty::RS, 0, 160),
    V(Ty::RS, "$UNITMODE", 160),
    K(Ty::RD, 0, 160),  // four unit conversions, none defined
    K(Ty::RD, 0, 160),
    K(Ty::RD, 0, 160),
    K(Ty::RD, 0, 160),
    KT(32, 160),
    KT(32, 160),
    KT(32, 160),
    KT(32, 160),
    V(Ty::RD, "$DIMTFAC", 160),
    V(Ty::Pt3, "$PUCSORG", 160),
    V(Ty::Pt3, "$PUCSXDIR", 160),
    V(Ty::Pt3, "$PUCSYDIR", 160),
    V(Ty::Index, "$PUCSNAME", 160),
    V(Ty::RS, "$TILEMODE", 160),
    V(Ty::RS, "$PLIMCHECK", 160),
    K(Ty::RS, 0, 160),
    V(Ty::Pt3, "$PEXTMIN", 160),
    V(Ty::Pt3, "$PEXTMAX", 160),
    V(Ty::Pt2, "$PLIMMIN", 160),
    V(Ty::Pt2, "$PLIMMAX", 160),
    V(Ty::Pt3, "$PINSBASE", 160),
    Loc("VX", 160),
    V(Ty::RS, "$MAXACTVP", 160),
    V(Ty::RD, "$DIMGAP", 160),
    V(Ty::RD, "$PELEVATION", 160),
    V(Ty::RS, "$VISRETAIN", 204),
};

// ---- table records: fields after the flags, the name and (R11) the use count

constexpr Slot kBlockRecord[] = {
    V(Ty::RL, "*BLOCKOFFSET"),  // its BLOCK entity in the block section
    K(Ty::RS, -1, 0, kR11),     // no block entity number
    K(Ty::RS, -1, 0, kR11),
};

constexpr Slot kLayerRecord[] = {
    F(Ty::RS, Field::LayerColor),
    F(Ty::Index, Field::LayerLinetype),
};

constexpr Slot kStyleRecord[] = {
    F(Ty::RD, Field::StyleHeight),
    F(Ty::RD, Field::StyleWidthFactor),
    F(Ty::RD, Field::StyleOblique),
    F(Ty::RC, Field::StyleGeneration),
    F(Ty::RD, Field::StyleLastHeight),
    [] {
      Slot s = F(Ty::Text, Field::StyleFont);
      s.size = 64;
      return s;
    }(),
    [] {
      Slot s = F(Ty::Text, Field::StyleBigFont);
      s.size = 64;
      return s;
    }(),
};

constexpr Slot kLtypeRecord[] = {
    [] {
      Slot s = F(Ty::Text, Field::LtypeDescription);
      s.size = 48;
      return s;
    }(),
    F(Ty::RC, Field::LtypeAlignment),
    F(Ty::RC, Field::LtypeDashCount),
    F(Ty::RD, Field::LtypePatternLength),
    [] {
      Slot s = F(Ty::RD, Field::LtypeDashes);
      s.size = 12;  // dashes, then zeros
      return s;
    }(),
};

// The active viewport, as the DXF's VPORT entry describes it.
constexpr Slot kVportRecord[] = {
    D(Ty::Pt2, 10), D(Ty::Pt2, 11), D(Ty::Pt3, 17), D(Ty::Pt3, 16), D(Ty::RD, 51),  D(Ty::RD, 40),
    D(Ty::Pt2, 12), D(Ty::RD, 41),  D(Ty::RD, 42),  D(Ty::RD, 43),  D(Ty::RD, 44),  D(Ty::RS, 71),
    D(Ty::RS, 72),  D(Ty::RS, 73),  D(Ty::RS, 74),  D(Ty::RS, 75),  D(Ty::RS, 76),  D(Ty::RS, 77),
    D(Ty::RS, 78),  D(Ty::RD, 50),  D(Ty::Pt2, 13), D(Ty::Pt2, 14), D(Ty::Pt2, 15),
};

// The dimension style mirrors the header's $DIM variables.
constexpr Slot kDimstyleRecord[] = {
    V(Ty::RD, "$DIMSCALE"), V(Ty::RD, "$DIMASZ"),  V(Ty::RD, "$DIMEXO"),  V(Ty::RD, "$DIMDLI"),
    V(Ty::RD, "$DIMEXE"),   V(Ty::RD, "$DIMRND"),  V(Ty::RD, "$DIMDLE"),  V(Ty::RD, "$DIMTP"),
    V(Ty::RD, "$DIMTM"),    V(Ty::RD, "$DIMTXT"),  V(Ty::RD, "$DIMCEN"),  V(Ty::RD, "$DIMTSZ"),
    V(Ty::RD, "$DIMALTF"),  V(Ty::RD, "$DIMLFAC"), V(Ty::RD, "$DIMTVP"),  V(Ty::RC, "$DIMTOL"),
    V(Ty::RC, "$DIMLIM"),   V(Ty::RC, "$DIMTIH"),  V(Ty::RC, "$DIMTOH"),  V(Ty::RC, "$DIMSE1"),
    V(Ty::RC, "$DIMSE2"),   V(Ty::RC, "$DIMTAD"),  V(Ty::RC, "$DIMZIN"),  V(Ty::RC, "$DIMALT"),
    V(Ty::RC, "$DIMALTD"),  V(Ty::RC, "$DIMTOFL"), V(Ty::RC, "$DIMSAH"),  V(Ty::RC, "$DIMTIX"),
    V(Ty::RC, "$DIMSOXD"),  VT("$DIMPOST", 16),    VT("$DIMAPOST", 16),   VT("$DIMBLK", 16),
    VT("$DIMBLK1", 16),     VT("$DIMBLK2", 66),    V(Ty::RS, "$DIMCLRD"), V(Ty::RS, "$DIMCLRE"),
    V(Ty::RS, "$DIMCLRT"),  V(Ty::RC, "$DIMUPT"),  V(Ty::RD, "$DIMTFAC"), V(Ty::RD, "$DIMGAP"),
};

constexpr TableLayout kTables[kTableCount] = {
    {"BLOCK",
     1,
     kV25,
     {38, 38, 37, 37, 45},
     kBlockRecord,
     {0xDB, 0xEF, 0xB3, 0xF0, 0xC7, 0x3E, 0x6D, 0xA6, 0xC9, 0xB6, 0x24, 0x5C, 0x4C, 0x6F, 0x32,
      0xCB}},
    {"LAYER",
     2,
     kV25,
     {38, 38, 37, 37, 41},
     kLayerRecord,
     {0x0E, 0xC4, 0x64, 0x6F, 0xBB, 0x1D, 0xD3, 0x8B, 0x00, 0x49, 0xC2, 0xEF, 0x18, 0xEA, 0x6F,
      0xFB}},
    {"STYLE",
     3,
     kV25,
     {194, 194, 194, 194, 198},
     kStyleRecord,
     {0xE2, 0x3E, 0xC1, 0x82, 0x43, 0x9F, 0x61, 0x77, 0x50, 0xAB, 0xC7, 0x66, 0x96, 0x00, 0x06,
      0x18}},
    {"LTYPE",
     5,
     kV25,
     {188, 188, 187, 187, 191},
     kLtypeRecord,
     {0xAC, 0x90, 0x1A, 0xCA, 0x1C, 0xBD, 0x95, 0x15, 0x16, 0x16, 0x4C, 0x14, 0xCE, 0x18, 0x88,
      0xAF}},
    {"VIEW",
     6,
     kV25,
     {92, 92, 91, 149, 153},
     {},
     {0xC1, 0x3C, 0xAA, 0x56, 0x68, 0xF4, 0xB4, 0x1E, 0x4B, 0x74, 0xF4, 0x08, 0x42, 0x4D, 0xBF,
      0xA5}},
    {"UCS",
     7,
     kR10,
     {0, 0, 0, 105, 109},
     {},
     {0x60, 0x4A, 0xFA, 0x3D, 0x84, 0x90, 0xCC, 0x5B, 0xEF, 0xE7, 0xD6, 0xA5, 0x7F, 0x1E, 0x61,
      0xCD}},
    {"VPORT",
     8,
     kR10,
     {0, 0, 0, 249, 253},
     kVportRecord,
     {0xF6, 0xED, 0x44, 0x61, 0x2A, 0xDC, 0xE4, 0x7B, 0x4E, 0xB9, 0x2B, 0xBB, 0x66, 0x60, 0x63,
      0x8D}},
    {"APPID",
     9,
     kR11,
     {0, 0, 0, 0, 37},
     {},
     {0xE1, 0x25, 0xC2, 0x50, 0x36, 0x68, 0x6C, 0x0C, 0x3B, 0xD3, 0x5D, 0x56, 0xC1, 0x79, 0x1C,
      0x3A}},
    {"DIMSTYLE",
     10,
     kR11,
     {0, 0, 0, 0, 324},
     kDimstyleRecord,
     {0xB4, 0x18, 0x3E, 0x42, 0xC9, 0x9F, 0xFF, 0xE5, 0xB6, 0xE2, 0xCB, 0xB3, 0x75, 0xC3, 0xC3,
      0xB0}},
    {"VX",
     11,
     kR11,
     {0, 0, 0, 0, 43},
     {},
     {0xE0, 0xCA, 0x36, 0x7C, 0xCE, 0xE7, 0x58, 0x6F, 0x2B, 0x7D, 0x74, 0x55, 0x05, 0xF1, 0x44,
      0x7F}},
};

// ---- entities: fields after the common head

constexpr Slot kLine[] = {
    F(Ty::Pt2, Field::P1X, 0, false, 0, kV25, kR9),
    F(Ty::Pt2, Field::P2X, 0, false, 0, kV25, kR9),
    F(Ty::Pt3, Field::P1X, 0, false, 0, kR10),
    F(Ty::Pt3, Field::P2X, 0, false, 0, kR10),
};

constexpr Slot kCircle[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::RD, Field::Radius),
    F(Ty::RD, Field::P1Z, 2, true, 0, kR10),
};

constexpr Slot kArc[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::RD, Field::Radius),
    F(Ty::RD, Field::StartAngle),
    F(Ty::RD, Field::EndAngle),
    F(Ty::RD, Field::P1Z, 2, true, 0, kR10),
};

constexpr Slot kSolid[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::Pt2, Field::P2X),
    F(Ty::Pt2, Field::P3X),
    F(Ty::Pt2, Field::P4X),
    F(Ty::RD, Field::P1Z, 2, true, 0, kR10),
};

// The width factor is always written: readers take a missing one for 0.
constexpr Slot kText[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::RD, Field::TextHeight),
    F(Ty::TV, Field::TextValue),
    F(Ty::RD, Field::TextRotation, 1, true),
    F(Ty::RD, Field::TextWidthFactor, 2),
    F(Ty::RD, Field::TextOblique, 4, true),
    [] {
      Slot s = F(Ty::Index, Field::TextStyle, 8, true);
      s.size = 1;  // one byte
      return s;
    }(),
    F(Ty::RC, Field::TextGeneration, 16, true),
    F(Ty::RC, Field::TextHAlign, 32, true),
    F(Ty::Pt2, Field::AlignX, 64, true),
    F(Ty::RC, Field::TextVAlign, 256, true, 0, kR11),
};

constexpr Slot kPolyline[] = {
    F(Ty::RC, Field::Flags, 1, true),
    F(Ty::RD, Field::StartWidth, 2, true),
    F(Ty::RD, Field::EndWidth, 4, true),
};

constexpr Slot kVertex[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::RD, Field::StartWidth, 1, true),
    F(Ty::RD, Field::EndWidth, 2, true),
    F(Ty::RD, Field::Bulge, 4, true),
    F(Ty::RC, Field::Flags, 8, true),
};

constexpr Slot kSeqend[] = {
    V(Ty::RL, "*OWNERADDRESS"),  // where its polyline begins in the file
};

// Scales are always written: readers take a missing one for 0.
constexpr Slot kInsert[] = {
    F(Ty::Index, Field::BlockName),
    F(Ty::Pt2, Field::P1X),
    F(Ty::RD, Field::ScaleX, 1),
    F(Ty::RD, Field::ScaleY, 2),
    F(Ty::RD, Field::Rotation, 4, true),
    F(Ty::RD, Field::ScaleZ, 8),
    F(Ty::RS, Field::Columns, 16, true, 1),
    F(Ty::RS, Field::Rows, 32, true, 1),
    F(Ty::RD, Field::ColumnSpacing, 64, true),
    F(Ty::RD, Field::RowSpacing, 128, true),
};

constexpr Slot kBlock[] = {
    F(Ty::Pt2, Field::P1X),
    F(Ty::TV, Field::BlockName, 4),
};

constexpr EntityLayout kEntities[] = {
    {1, Kind::Line, kLine},      {3, Kind::Circle, kCircle},  {8, Kind::Arc, kArc},
    {11, Kind::Solid, kSolid},   {7, Kind::Text, kText},      {19, Kind::Polyline, kPolyline},
    {20, Kind::Vertex, kVertex}, {17, Kind::Seqend, kSeqend}, {14, Kind::Insert, kInsert},
    {12, Kind::Block, kBlock},   {13, Kind::Endblk, {}},
};
static_assert(static_cast<int>(Kind::Endblk) + 1 == std::size(kEntities));

constexpr uint8_t kSections[4][16] = {
    {0xC4, 0x6E, 0x68, 0x54, 0xF8, 0x6E, 0x33, 0x30, 0x63, 0x3E, 0xC1, 0x85, 0x2A, 0xDC, 0x94,
     0x01},
    {0x72, 0x2B, 0x7D, 0xEC, 0x3E, 0x8C, 0x88, 0x6C, 0x7A, 0x72, 0x0A, 0xFD, 0xC8, 0x6C, 0x84,
     0x26},
    {0xD5, 0xF9, 0xD3, 0xBB, 0x0A, 0xA9, 0x69, 0xA6, 0xCD, 0x1C, 0x87, 0xC7, 0xEE, 0x80, 0x4B,
     0x17},
    {0x29, 0x8D, 0xD1, 0x49, 0xA9, 0x73, 0x1F, 0xEA, 0x99, 0xDE, 0x32, 0xF9, 0x4D, 0x0A, 0xE0,
     0x19},
};

}  // namespace

const ReleaseLayout& Release(int release) {
  return kReleases[release];
}

const TableLayout& TableInfo(Table t) {
  return kTables[static_cast<int>(t)];
}

std::span<const Slot> HeaderSlots() {
  return kHeader;
}

const EntityLayout& Entity(schema::Kind k) {
  return kEntities[static_cast<int>(k)];
}

const uint8_t* SectionBegin(Section s) {
  return kSections[static_cast<int>(s)];
}

}  // namespace tav2::dwg::pre13
