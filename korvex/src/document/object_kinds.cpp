// Board documents: the object kinds and their fields, and the hooks for what
// a row of the table cannot say.
#include <climits>

#include "korvex/src/document/reader.h"

namespace korvex::document {

namespace {

template <auto Table>
uint32_t Append(Board& b) {
  auto& records = b.*Table;
  records.emplace_back();
  return uint32_t(records.size() - 1);
}

template <auto Table>
void* RecordOf(Board& b, uint32_t index) {
  return &(b.*Table)[index];
}

template <auto Table>
constexpr RecordTable kIn = {&Append<Table>, &RecordOf<Table>};

using R = Reader;
namespace f = field;

constexpr std::string_view kFonts[] = {"stroke", "trueType"};
constexpr const char* kFontRefusal = "expected \"stroke\" or \"trueType\"";
constexpr std::string_view kComponentKinds[] = {"standard", "mechanical", "graphical",
                                                "netTie",   "netTieBom",  "standardNoBom"};

constexpr Field kCommon[] = {
    f::Ignored("kind"),  // read first, to know the kind
    f::Hooked("id", &R::Id),
    f::Hooked("layer", &R::ObjectLayer),
    f::Hooked("selected", &R::Selected),
    f::Hooked("owner", &R::Owner),
    // Nets are checked but play no part in the export, except those of pads
    // and vias, whose own fields read them.
    f::String<&Pending::net>("net", 255),
};

constexpr Field kTrackFields[] = {
    f::Position<&Object::x, &Object::y>("from").Required(),
    f::Position<&Track::x2, &Track::y2>("to").Required(),
    f::Length<&Track::width>("width").NonNegative(),
};

constexpr Field kArcFields[] = {
    f::Position<&Object::x, &Object::y>("center").Required(),
    f::Alias("centre", "center"),
    f::Length<&Arc::radius>("radius").NonNegative().Required(),
    f::Angle<&Arc::startAngle>("startAngle"),
    f::Angle<&Arc::endAngle>("endAngle"),
    f::Length<&Arc::width>("width").NonNegative(),
};

constexpr Field kFillFields[] = {
    f::Position<&Object::x, &Object::y>("corner1").Required(),
    f::Position<&Fill::x2, &Fill::y2>("corner2").Required(),
    f::Angle<&Fill::rotation>("rotation"),
};

constexpr Field kPadFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::String<&Pad::name>("name", 20),
    f::Length<&Pad::hole>("hole").NonNegative(),
    f::Angle<&Pad::rotation>("rotation"),
    f::Hooked("size", &R::PadSize),
    f::Hooked("shape", &R::PadShape),
    f::Hooked("top", &R::PadLevel),
    f::Hooked("mid", &R::PadLevel),
    f::Hooked("bottom", &R::PadLevel),
    f::Hooked("layers", &R::CopperLayers),
    f::Hooked("stackMode", &R::PadStackMode),
    f::Integer<&Pending::crPercent>("cornerRadius", 0, 100),
    f::Length<&Pending::maskExpansion>("solderMaskExpansion"),
    f::Length<&Pending::pasteExpansion>("pasteMaskExpansion"),
    f::String<&Pending::net>("net", 255),
    f::Hooked("rule", &R::Rule),
    f::Flag<&Pad::plated>("plated"),
};

constexpr Field kViaFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::Length<&Via::size>("size").NonNegative().Required(),
    f::Length<&Via::hole>("hole").NonNegative(),
    f::Layer<&Via::fromLayer>("from").InLayerTable(),
    f::Layer<&Via::toLayer>("to").InLayerTable(),
    f::Hooked("layers", &R::CopperLayers),
    f::String<&Pending::net>("net", 255),
    f::Hooked("rule", &R::Rule),
};

constexpr Field kTextFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::String<&Text::text>("text", 254).Required(),
    f::Length<&Text::height>("height").NonNegative().Default(600000),
    f::Length<&Text::width>("width").NonNegative().Default(100000),
    f::Angle<&Text::rotation>("rotation"),
    f::Flag<&Text::mirrored>("mirrored"),
    f::Integer<&Text::textAttr>("textAttr", INT32_MIN, INT32_MAX),
    f::Choice<&Text::fontKind>("font", kFonts, kFontRefusal),
    f::String<&Text::fontName>("fontName", 255),
    f::Flag<&Text::bold>("bold"),
    f::Flag<&Text::italic>("italic"),
    f::Flag<&Text::inverted>("inverted"),
    f::Length<&Text::invertedBorder>("invertedBorder").NonNegative(),
    f::Flag<&Text::barCode>("barCode"),
};

constexpr Field kRegionFields[] = {
    f::Hooked("outline", &R::RegionOutline).Required(),
    f::Hooked("holes", &R::RegionHoles),
};

constexpr Field kComponentFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::String<&Component::pattern>("pattern", 250).Required(),
    f::Angle<&Component::rotation>("rotation"),
    f::Hooked("designator", &R::ComponentText),
    f::Hooked("comment", &R::ComponentText),
    f::Hooked("primitives", &R::ComponentPrimitives),
    f::Choice<&Component::componentKind>("componentKind", kComponentKinds, "unknown kind ", true),
    f::Integer<&Component::channelOffset>("channelOffset", INT32_MIN, INT32_MAX),
    f::Hooked("sourceLinks", &R::SourceLinks),
    f::String<&Component::model3D>("model3D", 255),
    f::String<&Component::description>("description", 255),
};

// The designator and comment of a component: texts of their own, whose
// placement the component supplies where the document leaves it out.
constexpr Field kComponentTextFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::String<&Text::text>("text", 254),
    f::Length<&Text::height>("height").NonNegative(),
    f::Length<&Text::width>("width").NonNegative(),
    f::Angle<&Text::rotation>("rotation"),
    f::Flag<&Text::mirrored>("mirrored"),
    f::Flag<&Pending::visible>("visible"),
    f::Layer<&Object::layer>("layer"),
    f::Choice<&Text::fontKind>("font", kFonts, kFontRefusal),
    f::String<&Text::fontName>("fontName", 255),
    f::Hooked("selected", &R::Selected),
};

constexpr uint64_t Given(std::string_view name) {
  for (size_t i = 0; i < std::size(kComponentTextFields); ++i)
    if (kComponentTextFields[i].name == name) return uint64_t(1) << i;
  return 0;
}

// Polygons, dimensions, coordinates and split planes.
constexpr Field kGroupFields[] = {
    f::String<&Group::name>("name", 255),
    f::Outline<&Group::outline>("outline"),
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::Hooked("primitives", &R::GroupPrimitives),
};

constexpr Field kComponentBodyFields[] = {
    f::Outline<&ComponentBody::outline>("outline"),
    f::String<&ComponentBody::model>("model", 255),
};

constexpr Field kEmbeddedBoardFields[] = {
    f::Length<&Object::x>("x"),
    f::Length<&Object::y>("y"),
    f::String<&EmbeddedBoard::document>("document", 255).Required(),
    f::Integer<&EmbeddedBoard::rows>("rows", 1, 1000),
    f::Integer<&EmbeddedBoard::columns>("columns", 1, 1000),
    f::Length<&EmbeddedBoard::rowSpacing>("rowSpacing"),
    f::Length<&EmbeddedBoard::columnSpacing>("columnSpacing"),
    f::Angle<&EmbeddedBoard::rotation>("rotation"),
    f::Flag<&EmbeddedBoard::mirrored>("mirrored"),
};

constexpr LayerRule kNeed = LayerRule::kRequired, kMay = LayerRule::kOptional,
                    kTop = LayerRule::kTop;

constexpr KindSpec kKinds[] = {
    // name, described, kind, layer, in a component, records, fields, finish
    {"track", "a track", kTrack, kNeed, true, kIn<&Board::tracks>, kTrackFields, nullptr},
    {"arc", "an arc", kArc, kNeed, true, kIn<&Board::arcs>, kArcFields, nullptr},
    {"fill", "a fill", kFill, kNeed, true, kIn<&Board::fills>, kFillFields, nullptr},
    {"pad", "a pad", kPad, kMay, true, kIn<&Board::pads>, kPadFields, &R::FinishPad},
    {"via", "a via", kVia, kMay, true, kIn<&Board::vias>, kViaFields, &R::FinishVia},
    {"text", "a text", kText, kNeed, true, kIn<&Board::texts>, kTextFields, nullptr},
    {"region", "a region", kRegion, kNeed, true, kIn<&Board::regions>, kRegionFields,
     &R::FinishRegion},
    {"component", "a component", kComponent, kTop, false, kIn<&Board::components>, kComponentFields,
     &R::FinishComponent},
    {"polygon", "a polygon", kPolygon, kNeed, true, kIn<&Board::groups>, kGroupFields, nullptr},
    {"dimension", "a dimension", kDimension, kMay, true, kIn<&Board::groups>, kGroupFields,
     nullptr},
    {"coordinate", "a coordinate", kCoordinate, kMay, true, kIn<&Board::groups>, kGroupFields,
     nullptr},
    {"splitPlane", "a split plane", kSplitPlane, kNeed, true, kIn<&Board::groups>, kGroupFields,
     nullptr},
    {"componentBody", "a component body", kComponentBody, kNeed, true, kIn<&Board::bodies>,
     kComponentBodyFields, nullptr},
    {"embeddedBoard", "an embedded board", kEmbeddedBoard, kTop, false, kIn<&Board::embedded>,
     kEmbeddedBoardFields, nullptr},
};

// Every table fits the mask of given fields, and every alias names a field.
constexpr bool WellFormed(std::span<const Field> fields) {
  if (fields.size() > 64) return false;
  for (const Field& a : fields) {
    if (a.type != Type::kAlias) continue;
    bool found = false;
    for (const Field& b : fields) found |= b.name == a.alias && b.type != Type::kAlias;
    if (!found) return false;
  }
  return true;
}
constexpr bool AllWellFormed() {
  for (const KindSpec& k : kKinds)
    if (!WellFormed(k.fields)) return false;
  return WellFormed(kComponentTextFields);
}
static_assert(AllWellFormed());

}  // namespace

const std::span<const Field> kCommonFields = kCommon;

const KindSpec* FindKind(std::string_view name) {
  for (const KindSpec& k : kKinds)
    if (k.name == name) return &k;
  return nullptr;
}

// --- fields every object may have -------------------------------------------------
void Reader::Id(sj::value& v, std::string_view key, const char* at, Pending& p) {
  DefineId(BoundedString(v, key, 255), p.self, at);
}

void Reader::ObjectLayer(sj::value& v, std::string_view key, const char*, Pending& p) {
  Obj(p).layer = Layer(v, key);
  p.haveLayer = true;
}

void Reader::Selected(sj::value& v, std::string_view key, const char*, Pending& p) {
  if (Bool(v, key))
    Obj(p).flags |= kFlagSelected;
  else
    Obj(p).flags &= uint16_t(~kFlagSelected);
}

void Reader::Owner(sj::value& v, std::string_view key, const char*, Pending& p) {
  std::string id = BoundedString(v, key, 255);
  refs_.push_back({std::move(id), At(v), p.self, Reference::kOwner});
}

// --- pads and vias ------------------------------------------------------------
void Reader::Rule(sj::value& v, std::string_view key, const char*, Pending& p) {
  p.ruleAt = At(v);
  p.rule = BoundedString(v, key, 255);
}

void Reader::CopperLayers(sj::value& v, std::string_view key, const char*, Pending& p) {
  const char* at = At(v);
  sj::array a = Array(v, key);
  std::vector<LayerSpec> specs;
  Elements(a, at, [&](sj::value& e) {
    LayerSpec s;
    s.at = At(e);
    sj::object o = ObjectValue(e, key);
    Fields(o, [&](std::string_view fk, sj::value& fv, const char* fat) {
      if (fk == "layer") {
        s.layer = LegacyLayer(fv, fk);
      } else if (fk == "size") {
        Size(fv, fk, s.x, s.y);
      } else if (fk == "shape") {
        s.shape = Shape(fv, fk);
      } else if (fk == "cornerRadius") {
        s.crPercent = Int32(fv, fk, 0, 100);
      } else {
        Unknown(fat, fk, "a per-layer entry");
      }
    });
    if (s.layer == 0) Fail(s.at, "missing field 'layer' in a per-layer entry");
    specs.push_back(s);
  });
  p.layers = std::move(specs);
}

void Reader::PadSize(sj::value& v, std::string_view key, const char*, Pending& p) {
  Size(v, key, p.simple.x, p.simple.y);
  p.simple.given = p.simple.haveSize = true;
}

void Reader::PadShape(sj::value& v, std::string_view key, const char*, Pending& p) {
  p.simple.shape = Shape(v, key);
  p.simple.haveShape = true;
}

// A level of the pad's copper: "top", "mid" or "bottom".
void Reader::PadLevel(sj::value& v, std::string_view key, const char*, Pending& p) {
  const char* at = At(v);
  sj::object o = ObjectValue(v, key);
  LevelSpec s;
  s.given = true;
  Fields(o, [&](std::string_view fk, sj::value& fv, const char* fat) {
    if (fk == "size") {
      Size(fv, fk, s.x, s.y);
      s.haveSize = true;
    } else if (fk == "shape") {
      s.shape = Shape(fv, fk);
      s.haveShape = true;
    } else {
      Unknown(fat, fk, std::string("the pad's '") + std::string(key) + "'");
    }
  });
  if (!s.haveSize) Fail(at, "missing field 'size' in the pad's '" + std::string(key) + "'");
  (key == "top" ? p.top : key == "mid" ? p.mid : p.bottom) = s;
}

void Reader::PadStackMode(sj::value& v, std::string_view key, const char*, Pending& p) {
  static constexpr std::string_view kModes[] = {"simple", "topMiddleBottom", "full"};
  p.stackAt = At(v);
  p.stackMode = int(Choice(v, key, kModes, "expected \"simple\", \"topMiddleBottom\" or \"full\""));
}

void Reader::FinishPad(Pending& p) {
  Pad& pad = board_->pads[Obj(p).data];
  LevelSpec &simple = p.simple, &top = p.top, &mid = p.mid, &bottom = p.bottom;
  Object& obj = Obj(p);
  if (!p.haveLayer) {
    obj.layer = pad.hole > 0 ? 74 : 1;
    p.haveLayer = true;
  }
  const TV7_Layer layer = obj.layer;
  if (layer != 1 && layer != 32 && layer != 74 && !(layer >= 2 && layer <= 31))
    Fail(p.at, "field 'layer': a pad lies on a copper layer or on MultiLayer");
  if (pad.hole > 0 && layer != 74) Fail(p.at, "a pad with a hole lies on MultiLayer");
  if (!simple.given && !top.given) Fail(p.at, "missing field 'size' in a pad");
  if (simple.given && (top.given || mid.given || bottom.given))
    Fail(p.at, "a pad gives either 'size' or 'top'/'mid'/'bottom', not both");
  if (simple.given) top = mid = bottom = simple;
  if (!top.given) Fail(p.at, "missing field 'top' in a pad");
  if (!mid.given) mid = top;
  if (!bottom.given) bottom = top;
  pad.topX = top.x, pad.topY = top.y, pad.topShape = top.shape;
  pad.midX = mid.x, pad.midY = mid.y, pad.midShape = mid.shape;
  pad.botX = bottom.x, pad.botY = bottom.y, pad.botShape = bottom.shape;
  pad.stackMode = uint8_t(!p.layers.empty() ? 2 : (simple.given ? 0 : 1));
  if (p.stackMode >= 0) {
    if (p.stackMode < pad.stackMode)
      Fail(p.stackAt, "field 'stackMode': the pad's sizes need a larger stack mode");
    pad.stackMode = uint8_t(p.stackMode);
  }
  if (!p.rule.empty()) refs_.push_back({p.rule, p.ruleAt, p.self, Reference::kRule});

  // Copper on each layer of the 83-layer table.
  LayerCopper& c = pad.copper;
  const int32_t crPercent = p.crPercent;
  auto put = [&](int l, int32_t x, int32_t y, uint8_t shape) {
    c.xSize[l] = x;
    c.ySize[l] = y;
    c.shape[l] = shape;
    c.crPercent[l] = shape == psRoundedRectangle ? uint8_t(crPercent) : 0;
  };
  auto expand = [](int32_t s, int32_t e) {
    int64_t v = int64_t(s) + 2 * int64_t(e);
    return int32_t(v < 0 ? 0 : v > INT32_MAX ? INT32_MAX : v);
  };
  const int32_t maskExpansion = p.maskExpansion, pasteExpansion = p.pasteExpansion;
  if (layer == 74) {
    put(1, top.x, top.y, top.shape);
    for (int l = 2; l <= 31; ++l) put(l, mid.x, mid.y, mid.shape);
    put(32, bottom.x, bottom.y, bottom.shape);
    put(74, top.x, top.y, top.shape);
    put(37, expand(top.x, maskExpansion), expand(top.y, maskExpansion), top.shape);
    put(38, expand(bottom.x, maskExpansion), expand(bottom.y, maskExpansion), bottom.shape);
    pendingPlanePads_.push_back({p.self, p.net});
  } else {
    const LevelSpec& s = layer == 1 ? top : layer == 32 ? bottom : mid;
    put(int(layer), s.x, s.y, s.shape);
    if (layer == 1 || layer == 32) {
      const int paste = layer == 1 ? 35 : 36, mask = layer == 1 ? 37 : 38;
      put(paste, expand(s.x, pasteExpansion), expand(s.y, pasteExpansion), s.shape);
      put(mask, expand(s.x, maskExpansion), expand(s.y, maskExpansion), s.shape);
    }
  }
  for (const LayerSpec& s : p.layers) {
    if (s.x >= 0) {
      c.xSize[s.layer] = s.x;
      c.ySize[s.layer] = s.y;
    }
    if (s.shape >= 0) c.shape[s.layer] = uint8_t(s.shape);
    if (s.crPercent >= 0)
      c.crPercent[s.layer] = uint8_t(s.crPercent);
    else if (c.shape[s.layer] == psRoundedRectangle && c.crPercent[s.layer] == 0)
      c.crPercent[s.layer] = uint8_t(crPercent);
    if (s.layer >= 39 && s.layer <= 54) explicitPlanes_.push_back({p.self, s.layer});
  }
}

void Reader::FinishVia(Pending& p) {
  Via& via = board_->vias[Obj(p).data];
  if (via.hole >= via.size && via.size > 0) Fail(p.at, "a via's hole must be smaller than the via");
  Object& obj = Obj(p);
  if (p.haveLayer && obj.layer != 74) Fail(p.at, "field 'layer': a via lies on MultiLayer");
  obj.layer = 74;
  p.haveLayer = true;
  if (!IsElectrical(via.fromLayer) || !IsElectrical(via.toLayer) || via.fromLayer > 32 ||
      via.toLayer > 32)
    Fail(p.at, "a via spans signal layers ('from' and 'to')");
  if (!p.rule.empty()) refs_.push_back({p.rule, p.ruleAt, p.self, Reference::kRule});
  pendingVias_.push_back({p.self, std::move(p.net), std::move(p.layers), p.at});
}

// --- regions ---------------------------------------------------------------------
void Reader::RegionOutline(sj::value& v, std::string_view key, const char*, Pending& p) {
  Contour c;
  c.points = Points(v, key);
  if (c.points.size() < 3) Fail(At(v), "field 'outline': a region has at least 3 points");
  std::vector<Contour>& contours = board_->regions[Obj(p).data].contours;
  contours.insert(contours.begin(), std::move(c));
}

void Reader::RegionHoles(sj::value& v, std::string_view key, const char* at, Pending& p) {
  sj::array a = Array(v, key);
  Elements(a, at, [&](sj::value& h) {
    const char* hat = At(h);
    Contour c;
    c.points = Points(h, key);
    if (c.points.size() < 3) Fail(hat, "field 'holes': a hole has at least 3 points");
    p.holes.push_back(std::move(c));
  });
}

void Reader::FinishRegion(Pending& p) {
  std::vector<Contour>& contours = board_->regions[Obj(p).data].contours;
  for (auto& h : p.holes) contours.push_back(std::move(h));
}

// --- components and groups ----------------------------------------------------------
void Reader::ComponentText(sj::value& v, std::string_view key, const char*, Pending& p) {
  const bool designator = key == "designator";
  const char* at = At(v);
  sj::object o = ObjectValue(v, key);
  {
    Component& c = board_->components[Obj(p).data];
    if (designator ? c.designator : c.comment)
      Fail(at, std::string("a component has one ") + (designator ? "designator" : "comment"));
  }
  const uint32_t t = MakeComponentText(p.self, designator);
  Pending text;
  text.self = t;
  text.at = at;
  const Target target{t, &RecordOf<&Board::texts>, board_->objects[t - 1].data, &text};
  ReadFields(o, kComponentTextFields, {}, target, "the ", designator ? "designator" : "comment");
  Component& c = board_->components[Obj(p).data];
  (designator ? c.designatorVisible : c.commentVisible) = text.visible;
  (designator ? p.designatorGiven : p.commentGiven) = text.given;
}

uint32_t Reader::MakeComponentText(uint32_t comp, bool designator) {
  uint32_t t = NewObject(kText, uint32_t(board_->texts.size()));
  board_->texts.emplace_back();
  Text& text = board_->texts.back();
  text.height = 600000;
  text.width = 100000;
  Object& obj = board_->objects[t - 1];
  obj.component = comp;
  obj.bitField2 |= kBitField2InComponent;
  Component& c = board_->components[board_->objects[comp - 1].data];
  (designator ? c.designator : c.comment) = t;
  return t;
}

// Texts of a component default to its overlay and its reference point; on
// the bottom side they read mirrored, as the editor places them.
void Reader::PlaceComponentText(uint32_t comp, uint32_t t, uint64_t given) {
  const Object& c = board_->objects[comp - 1];
  Object& o = board_->objects[t - 1];
  Text& text = board_->texts[o.data];
  const bool bottom = c.layer == 32;
  if (!(given & Given("layer"))) o.layer = bottom ? 34 : 33;
  if (!(given & Given("x"))) o.x = c.x;
  if (!(given & Given("y"))) o.y = c.y;
  if (!(given & Given("mirrored"))) text.mirrored = bottom;
}

void Reader::ComponentPrimitives(sj::value& v, std::string_view, const char*, Pending& p) {
  ReadObjects(v, "primitives", p.self, 0);
}

void Reader::SourceLinks(sj::value& v, std::string_view key, const char*, Pending& p) {
  static const std::string_view names[] = {
      "designator",       "uniqueId",         "hierarchicalPath", "footprintLibrary",
      "libraryReference", "componentLibrary", "description",      "channel"};
  sj::object so = ObjectValue(v, key);
  Fields(so, [&](std::string_view sk, sj::value& sv, const char* sat) {
    for (int i = 0; i < 8; ++i)
      if (names[i] == sk) {
        std::string link = BoundedString(sv, sk, 255);
        board_->components[Obj(p).data].sourceLinks[i] = std::move(link);
        return;
      }
    Unknown(sat, sk, "the source links");
  });
}

void Reader::FinishComponent(Pending& p) {
  Object& obj = Obj(p);
  if (obj.layer != 1 && obj.layer != 32)
    Fail(p.at, "field 'layer': a component lies on TopLayer or BottomLayer");
  // Texts left out still exist, hidden, as in the editor.
  const uint32_t ci = obj.data;
  if (!board_->components[ci].designator) {
    MakeComponentText(p.self, true);
    board_->components[ci].designatorVisible = false;
  }
  if (!board_->components[ci].comment) {
    MakeComponentText(p.self, false);
    board_->components[ci].commentVisible = false;
  }
  const Component& c = board_->components[ci];
  PlaceComponentText(p.self, c.designator, p.designatorGiven);
  PlaceComponentText(p.self, c.comment, p.commentGiven);
}

void Reader::GroupPrimitives(sj::value& v, std::string_view, const char*, Pending& p) {
  ReadObjects(v, "primitives", p.component, p.self);
}

}  // namespace korvex::document
