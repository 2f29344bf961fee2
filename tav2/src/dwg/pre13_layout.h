// The binary layout of DWG files before R13: AC1002 (V2.5), AC1003 (V2.6),
// AC1004 (R9), AC1006 (R10) and AC1009 (R11/R12).
//
// These files are byte records rather than bit streams: a file header with
// the addresses of the entity section, the block section and five tables,
// then the header variables, the entities, the tables of fixed-size records
// and the block definitions. R11 adds a CRC to every entity and table record,
// sentinels around every section and an auxiliary header at the end.
//
// Every record is a list of slots, each naming where its value comes from: a
// header variable of the drawing (by its DXF name), a field of the record
// being written (the same fields the DXF writer walks), a value of the DXF
// description by group code, or a fixed value the format requires. Releases
// are the engine's indices 0 (V2.5) .. 4 (R11/R12).
#pragma once

#include <cstdint>
#include <span>

#include "tav2/src/schema.h"

namespace tav2::dwg::pre13 {

constexpr int kLastRelease = schema::kR12;

enum class Ty : uint8_t {
  RC,        // 8-bit
  RS,        // 16-bit, little-endian
  RL,        // 32-bit
  RD,        // 64-bit IEEE double
  Pt2,       // two RD: x, y
  Pt3,       // three RD: x, y, z
  Text,      // fixed-size, NUL-padded 8-bit text of `size` bytes
  TV,        // 16-bit length, then the bytes
  Locator,   // a table's record size, count, flags and address
  Date,      // 32-bit days and 32-bit milliseconds of a Julian date
  HandleBE,  // 64-bit big-endian handle
  Index,     // table row index of a name: RS, or RC before R11 for line types
};

enum class Src : uint8_t {
  Const,  // c[0..2]
  Var,    // the header variable `name` ("$LTSCALE"), or a value the writer
          // derives for the drawing ("*VIEWASPECT")
  Field,  // `field` of the record being written
  Dxf,    // the value the DXF description gives group `code` of `kind`
};

struct Slot {
  Ty type;
  Src src = Src::Const;
  const char* name = nullptr;
  schema::Field field = schema::Field::Const;
  int16_t code = 0;
  schema::Kind kind = schema::Kind::Vport;
  uint8_t size = 0;  // Text: bytes
  uint16_t opt = 0;  // entity option bit that announces this slot; 0: always there
  uint8_t first = 0, last = kLastRelease;
  uint16_t after = 0;        // header: there when the release has more variables than this
  bool omitDefault = false;  // optional slot left out (bit clear) when equal to c[0]
  double c[3] = {0, 0, 0};
};

inline bool In(const Slot& s, int release) {
  return release >= s.first && release <= s.last;
}

struct ReleaseLayout {
  const char* marker;   // "AC1009"
  uint16_t headerVars;  // count in the file header; decides the header's extent
  uint16_t tableFlags;  // base of the table locators' flags word (0: none)
  bool checks;          // CRCs, sentinels and the auxiliary header
  int16_t linetypeByLayer, linetypeByBlock;  // $CELTYPE's spelling of BYLAYER, BYBLOCK
};
const ReleaseLayout& Release(int release);

// ---------------------------------------------------------------------------
// Tables, in file order.

enum class Table : uint8_t { Block, Layer, Style, Ltype, View, Ucs, Vport, Appid, Dimstyle, Vx };
constexpr int kTableCount = 10;

struct TableLayout {
  const char* name;
  uint8_t id;                             // the auxiliary header's number for it
  uint8_t first;                          // first release that has it
  uint16_t recordSize[kLastRelease + 1];  // bytes per record, CRC included
  std::span<const Slot> fields;           // after the common flags, name and use count
  uint8_t begin[16];                      // R11 sentinel before it; the one after is its complement
};
const TableLayout& TableInfo(Table t);

// The header variables after the file header, in file order.
std::span<const Slot> HeaderSlots();

// ---------------------------------------------------------------------------
// Entities

struct EntityLayout {
  uint8_t type;                  // the record's type byte
  schema::Kind kind;             // its DXF description (says which releases carry a handle)
  std::span<const Slot> fields;  // after the common head
};
const EntityLayout& Entity(schema::Kind k);  // Line .. Endblk

// Section sentinels of R11; each end sentinel is the complement of its begin.
enum class Section : uint8_t { Entities, Blocks, Extras, Aux };
const uint8_t* SectionBegin(Section s);

// Bits of an entity's flag byte.
enum : uint8_t {
  kHasColor = 1,
  kHasLinetype = 2,
  kHasElevation = 4,
  kHasThickness = 8,
  kHasHandle = 32,
  kHasFollowers = 128,  // a polyline's vertices, an insert's attributes
};

}  // namespace tav2::dwg::pre13
