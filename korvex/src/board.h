// The editor's in-memory board: what a board document describes, held in
// compact per-kind tables so that a board of millions of primitives stays
// small and every query is a direct index.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "abi/pcbapi.h"

namespace korvex {

using TLayer = uint8_t;
using TV7_Layer = uint32_t;

// Object kinds and pad shapes are the editor's interface vocabulary
// (abi/pcbapi.h); the board's readers know the kinds by these shorter names.
using Kind = abi::TPcbObjectKind;
inline constexpr Kind kNone = abi::pokNone;
inline constexpr Kind kArc = abi::pokArc;
inline constexpr Kind kPad = abi::pokPad;
inline constexpr Kind kVia = abi::pokVia;
inline constexpr Kind kTrack = abi::pokTrack;
inline constexpr Kind kText = abi::pokText;
inline constexpr Kind kFill = abi::pokFill;
inline constexpr Kind kComponent = abi::pokComponent;
inline constexpr Kind kPolygon = abi::pokPolygon;
inline constexpr Kind kRegion = abi::pokRegion;
inline constexpr Kind kComponentBody = abi::pokComponentBody;
inline constexpr Kind kDimension = abi::pokDimension;
inline constexpr Kind kCoordinate = abi::pokCoordinate;
inline constexpr Kind kRule = abi::pokRule;
inline constexpr Kind kEmbeddedBoard = abi::pokEmbeddedBoard;
inline constexpr Kind kSplitPlane = abi::pokSplitPlane;
inline constexpr int kKindCount = abi::kPcbApiIteratedKinds;

using PadShape = abi::TPadShapeValue;
using enum abi::TPadShapeValue;

inline constexpr int kLegacyLayers = 83;  // TLayer 0..82

struct Point {
  int32_t x = 0, y = 0;
};

// Fields every object has. Owners are object indices + 1 (0 for none): the
// group objects (polygons, dimensions, coordinates, split planes) that hold
// the object, innermost first.
struct Object {
  Kind kind = kNone;
  uint8_t bitField2 = 0;
  uint8_t bitField3 = 0;
  uint8_t auxByte = 0;
  uint16_t flags = 0;
  uint16_t auxWord = 0;
  TV7_Layer layer = 0;
  int32_t auxRef = 0;
  uint32_t component = 0;  // owning component: object index + 1
  std::array<uint32_t, 3> owners{};
  int32_t x = 0, y = 0;
  uint32_t data = 0;  // index into the kind's own table
};

inline constexpr uint16_t kFlagSelected = 1u << 4;
inline constexpr uint8_t kBitField2Grouped = 1u << 1;
inline constexpr uint8_t kBitField2InComponent = 1u << 3;

struct Track {
  int32_t x2 = 0, y2 = 0, width = 0;
};

struct Arc {
  int32_t radius = 0;
  double startAngle = 0, endAngle = 0;
  int32_t width = 0;
};

struct Fill {
  int32_t x2 = 0, y2 = 0;
  double rotation = 0;
};

// Per-layer copper of a pad or via, indexed by TLayer.
struct LayerCopper {
  std::array<int32_t, kLegacyLayers> xSize{};
  std::array<int32_t, kLegacyLayers> ySize{};
  std::array<uint8_t, kLegacyLayers> shape{};
  std::array<uint8_t, kLegacyLayers> crPercent{};
};

struct Pad {
  int32_t topX = 0, topY = 0, midX = 0, midY = 0, botX = 0, botY = 0;
  int32_t hole = 0;
  uint8_t topShape = psRound, midShape = psRound, botShape = psRound;
  uint8_t stackMode = 0;  // 0 simple, 1 top-mid-bottom, 2 full stack
  double rotation = 0;
  std::string name;   // at most 20 characters
  uint32_t rule = 0;  // explicit plane-connect rule: object index + 1
  bool plated = true;
  LayerCopper copper;
};

struct Via {
  int32_t size = 0, hole = 0;
  TV7_Layer fromLayer = 1, toLayer = 32;
  uint32_t rule = 0;
  LayerCopper copper;
};

struct Text {
  int32_t height = 0, width = 0, textAttr = 0;
  double rotation = 0;
  bool mirrored = false;
  std::string text;      // at most 254 characters
  uint8_t fontKind = 0;  // 0 stroke, 1 TrueType
  std::string fontName = "Arial";
  uint8_t bold = 0, italic = 0, inverted = 0;
  int32_t invertedBorder = 200000;
  uint8_t barCode = 0;
};

// A closed outline; regions hold the outer contour first, then the holes.
struct Contour {
  std::vector<Point> points;
};

struct Region {
  std::vector<Contour> contours;
  int32_t values[4] = {0, 0, 0, 0};
  uint8_t kind = 0;
  int32_t pair[2] = {0, 0};
};

struct Component {
  std::string pattern;  // at most 250 characters
  double rotation = 0;
  uint32_t designator = 0, comment = 0;  // text object index + 1
  bool designatorVisible = true, commentVisible = true;
  int32_t channelOffset = 0, componentKind = 0;
  std::array<std::string, 8> sourceLinks;
  std::string model3D;
  std::string description;
  // Children by kind, in document order (object indices + 1). The designator
  // and comment texts are not among them.
  std::vector<uint32_t> children;
};

// Polygons, dimensions, coordinates and split planes: objects that group
// primitives. Polygons and split planes keep their outline for bounds.
struct Group {
  std::string name;
  std::vector<Point> outline;
  std::vector<uint32_t> members;  // object indices + 1
  std::string net;
};

struct ComponentBody {
  std::vector<Point> outline;
  std::string model;
};

struct EmbeddedBoard {
  std::string document;
  int32_t rows = 1, columns = 1, rowSpacing = 0, columnSpacing = 0;
  double rotation = 0;
  bool mirrored = false;
};

// A power-plane connect rule: how pads and vias join internal planes.
enum PlaneConnectStyle : uint8_t { kStyleRelief = 0, kStyleDirect = 1, kStyleNoConnect = 2 };

struct PlaneRule {
  std::string name;
  uint8_t style = kStyleRelief;
  int32_t expansion = 200000, conductorWidth = 100000, entries = 4, airGap = 100000;
  uint8_t scope = 0;  // 0 all, 1 pads, 2 vias, 3 only the objects that name it
};

// One layer of the board's layer table (TLayer 1..82).
struct LayerInfo {
  std::string name;    // the board's own name of the layer
  bool named = false;  // the document gave the name
  int32_t copperThickness = 14000;
  std::string dielectricMaterial = "FR-4";
  uint8_t dielectricType = 1;
  double dielectricConstant = 4.8;
  int32_t dielectricHeight = 126000;
  TLayer previous = 0, next = 0;
  bool used = false;
  std::string net = "(No Net)";  // internal planes
};

struct LayerPair {
  TV7_Layer low = 1, high = 32;
};

struct Board {
  std::string fileName;  // the document's path as it was opened
  std::string title;
  uint8_t unit = 1;  // 1 imperial, 0 metric
  TV7_Layer currentLayer = 1;
  int32_t originX = 0, originY = 0;
  std::array<LayerInfo, kLegacyLayers> layers;
  std::vector<TV7_Layer> visible;  // empty with visibleAll
  bool visibleAll = true;
  std::vector<LayerPair> layerPairs;
  std::vector<std::pair<std::string, std::string>> parameters;  // user special strings

  std::vector<Object> objects;
  std::vector<Track> tracks;
  std::vector<Arc> arcs;
  std::vector<Fill> fills;
  std::vector<Pad> pads;
  std::vector<Via> vias;
  std::vector<Text> texts;
  std::vector<Region> regions;
  std::vector<Component> components;
  std::vector<Group> groups;
  std::vector<ComponentBody> bodies;
  std::vector<EmbeddedBoard> embedded;
  std::vector<PlaneRule> rules;
  // Every object of a kind, in document order (object indices).
  std::array<std::vector<uint32_t>, kKindCount> byKind;
  // The board's layers in the order its layer iterator yields them: the
  // stack from top to bottom, then every other layer.
  std::vector<TV7_Layer> layerOrder;

  const Object& object(uint32_t index) const { return objects[index]; }
};

// A board document that cannot be read: where and what.
struct DocumentError {
  std::string file;
  int line = 0, column = 0;
  std::string message;
  std::string what() const;
};

// Reads a board document. Throws DocumentError.
std::unique_ptr<Board> LoadBoard(const std::string& path);
// Reads a board document held in memory; name is used in errors.
std::unique_ptr<Board> LoadBoardFromText(std::string_view text, const std::string& name);

// Marks the layers that carry an object as used, as the editor lists them,
// and sets the board's layer order: the layer stack from the top, the other
// layers of the older scheme without the internal planes, then the extended
// layers objects use.
inline void SetUsedLayersAndOrder(Board& b, const std::vector<TLayer>& stack) {
  std::vector<TV7_Layer> extended;
  for (const Object& o : b.objects) {
    if (o.layer <= 82)
      b.layers[o.layer].used = true;
    else
      extended.push_back(o.layer);
  }
  std::vector<TV7_Layer>& order = b.layerOrder;
  order.insert(order.end(), stack.begin(), stack.end());
  for (TLayer l = 33; l <= 82; ++l)
    if (l < 39 || l > 54) order.push_back(l);
  std::sort(extended.begin(), extended.end());
  extended.erase(std::unique(extended.begin(), extended.end()), extended.end());
  order.insert(order.end(), extended.begin(), extended.end());
}

}  // namespace korvex
