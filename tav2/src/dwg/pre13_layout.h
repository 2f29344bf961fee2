// The binary layout of DWG files before R13: AC1002 (V2.5), AC1003 (V2.6),
// AC1004 (R9), AC1006 (R10) and AC1009 (R11/R12).
//
// These files are byte records rather than bit streams: a file header with
// the addresses of the entity section, the block section and five tables,
// then the header variables, the entities, the tables of fixed-size records
// and the block definitions. R11 adds a CRC to every entity and table record,
// sentinels around every section and an auxiliary header at the end.
//
// What each record holds, field by field, is in the one description of every
// release (schema.h: the kinds' DWG fields and DwgHeaderVarsPre13); this file
// describes the file's frame: the releases' variable counts, the tables
// with their record sizes, the sentinels. Releases are the engine's indices
// 0 (V2.5) .. 4 (R11/R12).
#pragma once

#include <cstdint>
#include <span>

#include "tav2/src/schema.h"

namespace tav2::dwg::pre13 {

constexpr int kLastRelease = schema::kR12;

struct ReleaseLayout {
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
  schema::Kind kind;                      // its rows' fields; Count: it has no rows
  uint8_t begin[16];                      // R11 sentinel before it; the one after is its complement
};
const TableLayout& TableInfo(Table t);

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
