// The engine's in-memory drawing: what every writer (DXF of each release, DWG)
// reads. It holds no file format detail; the writers decide how each release
// spells a value.
//
// Layout, for writers:
//   - header: typed values the exporter sets (extents, measurement, tile mode)
//     and the default header variables from TAVINIT.DAT (name -> group values).
//   - tables: linetypes, layers, styles, appids, dimstyles in insertion order;
//     each row carries its own handle. Table control objects and the
//     dictionaries of R13+ have fixed handles in `handles`.
//   - blocks: blocks[0] is *MODEL_SPACE, blocks[1] is *PAPER_SPACE, then the
//     block definitions in the order they were added. Each block owns an
//     EntityList: references (kind, index) into the typed entity vectors, in
//     the order the entities were appended. Polylines own a contiguous run of
//     `vertices`.
//   - every reference to another object is an index into its vector (layer,
//     linetype, style, block); the handle is on the referenced row.
//
// Entities are stored compactly by type: a million of them take tens of MB,
// not the gigabytes the exchange records would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/text.h"

namespace tav2 {

using Handle = uint64_t;  // 0 = none

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// Header

// One default header variable from TAVINIT.DAT: up to three group-code/value
// pairs ($LIMMAX has 10 and 20; $INSBASE 10, 20, 30). Numeric values are in
// `num`, string values (codes 1..9) in `text`.
struct HeaderValue {
  std::string name;  // with the leading '$'
  uint8_t count = 0;
  int16_t code[3] = {0, 0, 0};
  double num[3] = {0, 0, 0};
  std::string text;
};

struct Header {
  Vec3 extMin, extMax;      // drawing units
  int16_t measurement = 0;  // 0 English (inches), 1 metric (millimetres)
  int16_t tileMode = 1;
  double created = 0;                 // Julian date of creation ($TDCREATE, $TDUPDATE)
  std::vector<HeaderValue> defaults;  // TAVINIT.DAT, in file order

  const HeaderValue* Find(std::string_view name) const;  // case-sensitive, names are upper case
};

// ---------------------------------------------------------------------------
// Tables

struct Linetype {
  Handle handle = 0;
  std::string name;
  std::string description;
  int16_t flags = 0;
  char alignment = 'A';
  double patternLength = 0;
  std::vector<double> dashes;  // positive dash, negative gap, 0 dot
};

struct Layer {
  Handle handle = 0;
  std::string name;
  int16_t color = 7;  // 1..255; written negative when the layer is off
  int16_t flags = 0;  // 1 frozen, 4 locked
  bool off = false;
  uint32_t linetype = 0;  // index into linetypes
};

struct TextStyle {
  Handle handle = 0;
  std::string name;
  int16_t flags = 0;
  double height = 0;  // 0 = not fixed
  double widthFactor = 1;
  double oblique = 0;  // degrees
  int16_t generation = 0;
  double lastHeight = 0.2;
  std::string font;
  std::string bigFont;
};

struct Appid {
  Handle handle = 0;
  std::string name;
};

struct Dimstyle {
  Handle handle = 0;
  std::string name;
};

// ---------------------------------------------------------------------------
// Entities

enum class EntityKind : uint8_t { Line, Circle, Arc, Solid, Text, Polyline, Insert };

// Properties every entity has. Colour 256 = BYLAYER, 0 = BYBLOCK.
struct EntityCommon {
  Handle handle = 0;
  uint32_t layer = 0;            // index into layers
  uint32_t linetype = kNoIndex;  // index into linetypes; kNoIndex = BYLAYER
  int16_t color = 256;
};

struct Line {
  EntityCommon c;
  Vec3 p1, p2;
  double thickness = 0;
};

struct Circle {
  EntityCommon c;
  Vec3 center;
  double radius = 0;
  double thickness = 0;
};

struct Arc {
  EntityCommon c;
  Vec3 center;
  double radius = 0;
  double startAngle = 0, endAngle = 0;  // radians, counter-clockwise
  double thickness = 0;
};

struct Solid {
  EntityCommon c;
  Vec3 corner[4];  // in the solid's own order (1, 2, 3, 4), not outline order
};

struct Text {
  EntityCommon c;
  Vec3 insert;
  Vec3 align;  // second alignment point, used when hAlign or vAlign is not 0
  double height = 0;
  double rotation = 0;  // radians
  double widthFactor = 1;
  double oblique = 0;      // radians
  uint8_t generation = 0;  // 2 mirrored in X, 4 upside down
  uint8_t hAlign = 0, vAlign = 0;
  uint32_t style = 0;                       // index into styles
  uint32_t textOffset = 0, textLength = 0;  // in Drawing::strings
};

struct Vertex {
  Handle handle = 0;
  uint32_t layer = 0;
  int16_t flags = 0;
  double x = 0, y = 0, z = 0;
  double startWidth = 0, endWidth = 0;
  double bulge = 0;
};

struct Polyline {
  EntityCommon c;
  double elevation = 0;
  double startWidth = 0, endWidth = 0;        // default widths
  int16_t flags = 0;                          // 1 closed
  uint32_t firstVertex = 0, vertexCount = 0;  // run in Drawing::vertices
  Handle seqendHandle = 0;                    // a polyline in a saved drawing always has its SEQEND
  uint32_t seqendLayer = 0;
};

struct Insert {
  EntityCommon c;
  uint32_t block = 0;  // index into blocks
  Vec3 point;
  Vec3 scale{1, 1, 1};
  double rotation = 0;  // radians
  int16_t columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
};

// Reference to one entity of a list.
struct EntityRef {
  uint32_t index;
  EntityKind kind;
};

// ---------------------------------------------------------------------------
// Blocks

struct Block {
  Handle handle = 0;  // the block header (BLOCK_RECORD in R13+)
  std::string name;
  uint8_t flags = 0;
  Vec3 base;
  Handle beginHandle = 0;  // the BLOCK entity
  Handle endHandle = 0;    // the ENDBLK entity
  uint32_t beginLayer = 0, endLayer = 0;
  std::vector<EntityRef> entities;  // BLOCK and ENDBLK are not in here
};

// Fixed handles of structural objects (R13+ writes them; older releases
// without handles ignore them).
struct StructuralHandles {
  Handle blockRecordControl = 0, layerControl = 0, styleControl = 0, linetypeControl = 0,
         viewControl = 0, ucsControl = 0, vportControl = 0, appidControl = 0, dimstyleControl = 0,
         vxControl = 0;
  Handle activeVport = 0;
  Handle rootDictionary = 0, groupDictionary = 0, mlinestyleDictionary = 0, standardMlinestyle = 0,
         variableDictionary = 0;
  Handle linetypeByBlock = 0, linetypeByLayer = 0;
};

class Drawing {
 public:
  Header header;
  std::vector<Linetype> linetypes;  // BYBLOCK/BYLAYER are not rows; see handles
  std::vector<Layer> layers;        // layers[0] is "0"
  std::vector<TextStyle> styles;    // styles[0] is STANDARD
  std::vector<Appid> appids;        // appids[0] is ACAD
  std::vector<Dimstyle> dimstyles;  // dimstyles[0] is STANDARD
  std::vector<Block> blocks;        // [0] *MODEL_SPACE, [1] *PAPER_SPACE
  StructuralHandles handles;

  std::vector<Line> lines;
  std::vector<Circle> circles;
  std::vector<Arc> arcs;
  std::vector<Solid> solids;
  std::vector<Text> texts;
  std::vector<Polyline> polylines;
  std::vector<Insert> inserts;
  std::vector<Vertex> vertices;
  std::string strings;  // text values, back to back

  int16_t version = 4;    // release index given at creation (0 V2.5 .. 6 R14)
  Handle nextHandle = 1;  // the handle seed

  Handle NewHandle() { return nextHandle++; }

  // Appending table rows keeps the lookups below current; rows must be added
  // through these, never pushed directly.
  uint32_t AddLinetype(Linetype lt);
  uint32_t AddLayer(Layer layer);
  uint32_t AddBlock(Block block);
  uint32_t AddStyle(TextStyle style);

  std::string_view TextValue(const Text& t) const {
    return std::string_view(strings).substr(t.textOffset, t.textLength);
  }
  // Case-insensitive, as AutoCAD compares table names; kNoIndex when absent.
  uint32_t FindLayer(std::string_view name) const;
  uint32_t FindBlock(std::string_view name) const;
  uint32_t FindLinetype(std::string_view name) const;
  uint32_t FindLayerByHandle(Handle h) const;
  uint32_t FindBlockByHandle(Handle h) const;
  uint32_t FindLinetypeByHandle(Handle h) const;
  uint32_t FindStyleByHandle(Handle h) const;

  size_t EntityCount() const {
    return lines.size() + circles.size() + arcs.size() + solids.size() + texts.size() +
           polylines.size() + inserts.size();
  }

 private:
  // Upper-cased name -> row, and handle -> row, per table.
  std::unordered_map<std::string, uint32_t> layerByName_, blockByName_, linetypeByName_;
  std::unordered_map<Handle, uint32_t> layerByHandle_, blockByHandle_, linetypeByHandle_,
      styleByHandle_;
};

// Table and block names match whatever their letter case.
using platform::EqualsNoCase;

}  // namespace tav2
