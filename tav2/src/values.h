// The values both writers put in a file: the drawing model's own, and those
// derived from it once per save (extents and limits, the view, the dates,
// the handle seed, the symbol names in the form the release accepts). A
// writer takes every value from here, so a drawing does not change with the
// file format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tav2/src/drawing.h"
#include "tav2/src/schema.h"

namespace tav2 {

// One record's values, filled by the walk that writes it; the description
// decides which of them a release stores.
struct Record {
  Handle handle = 0, owner = 0;
  uint32_t layer = 0, linetype = kNoIndex;
  int16_t color = 256;
  int flags = 0;
  bool paperSpace = false;
  double thickness = 0;
  const Vec3* p[4] = {};
  const Vec3* align = nullptr;
  double radius = 0, start = 0, end = 0;  // angles in radians
  double height = 0, rotation = 0, widthFactor = 1, oblique = 0;
  int generation = 0, hAlign = 0, vAlign = 0;
  uint32_t style = 0;
  std::string_view text, name;
  uint32_t block = kNoIndex;  // a reference's block, a BLOCK's own
  double elevation = 0, startWidth = 0, endWidth = 0, bulge = 0;
  const Vec3* scale = nullptr;
  int columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
  const Linetype* ltype = nullptr;
  const Layer* layerRow = nullptr;
  const TextStyle* styleRow = nullptr;
};

// The fields of a text and of a block reference that every writer takes over
// alike; names, owners and the writer's own checks stay with the writer.
inline void SetTextFields(Record& r, const Text& e) {
  r.p[0] = &e.insert;
  r.align = &e.align;
  r.height = e.height;
  r.rotation = e.rotation;
  r.widthFactor = e.widthFactor;
  r.oblique = e.oblique;
  r.generation = e.generation;
  r.hAlign = e.hAlign;
  r.vAlign = e.vAlign;
  r.style = e.style;
}
inline void SetInsertFields(Record& r, const Insert& e) {
  r.block = e.block;
  r.p[0] = &e.point;
  r.scale = &e.scale;
  r.rotation = e.rotation;
  r.columns = e.columns;
  r.rows = e.rows;
  r.columnSpacing = e.columnSpacing;
  r.rowSpacing = e.rowSpacing;
}

// Where a field that is a plain number of the record finds it: a component
// of one of its points, or a member. Writers work this out once per save and
// read such fields without going through Values::Number.
struct DirectNumber {
  int8_t point = -1;
  double Vec3::*component = nullptr;
  double Record::*member = nullptr;

  static DirectNumber For(schema::Field f);
  bool Has() const { return point >= 0 || member; }
  double Get(const Record& r) const { return point >= 0 ? r.p[point]->*component : r.*member; }
};

// Whether a field's number is in degrees when it is an angle (group codes 50
// to 58): constants and header values are given as the DXF writes them; the
// model holds entity angles in radians.
bool InDegrees(schema::Field f);
inline bool IsAngleCode(int code) {
  return code >= 50 && code <= 58;
}

// The form a symbol name takes in a file of every release the engine writes:
// upper case, characters other than A-Z 0-9 $ _ - made '_', at most 31
// characters; a trailing number survives the cut.
std::string SymbolName(std::string_view name);
constexpr size_t kSymbolNameMax = 31;

// Maps one table's names, in row order, to unique symbol names: a name that
// meets an earlier one after mapping gets "_2", "_3", ... with the rest
// shortened to fit. `reserved` names are taken before the first row.
std::vector<std::string> SymbolNames(const std::vector<std::string_view>& names,
                                     const std::vector<std::string_view>& reserved = {});

// Now as a Julian date, or the time SOURCE_DATE_EPOCH names (seconds since
// 1970) when it is set, so that the same drawing saved again is the same bytes.
double CreationDate();

class Values {
 public:
  Values(const Drawing& d, int release);

  const Drawing& drawing() const { return d_; }
  int release() const { return rel_; }

  // A header variable's group `code`: derived (extents, limits, view,
  // dates, handle seed, measurement, tile mode) or the drawing's default;
  // `fallback` when neither has it.
  double HeaderNumber(std::string_view name, int code, double fallback = 0) const;
  std::string_view HeaderText(std::string_view name) const;

  // A record field's value; angles as InDegrees says.
  double Number(schema::Field f, int code, double def, const char* text, const Record& r) const;
  std::string_view Text(schema::Field f, const char* text, const Record& r) const;

  // Names as the file holds them.
  std::string_view LayerName(uint32_t i) const { return layerNames_[i]; }
  std::string_view LinetypeName(uint32_t i) const { return linetypeNames_[i]; }
  std::string_view StyleName(uint32_t i) const { return styleNames_[i]; }
  std::string_view BlockName(uint32_t i) const;

  bool haveExtents = false;
  Vec3 limMin, limMax;
  Vec3 viewCenter;
  double viewHeight = 1, viewWidth = 1.5, viewAspect = 1.5;  // width / height
  double created = 0;   // Julian date of creation and of this save
  Handle handseed = 1;  // above every handle of the drawing

 private:
  const Drawing& d_;
  const int rel_;
  std::vector<std::string> layerNames_, linetypeNames_, styleNames_, blockNames_;
};

}  // namespace tav2
