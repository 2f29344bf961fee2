#include "tav2/src/dwg/pre13_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tav2/src/drawing.h"
#include "tav2/src/dwg/bit_writer.h"
#include "tav2/src/dwg/pre13_layout.h"
#include "tav2/src/output.h"

namespace tav2::dwg {

namespace {

using namespace pre13;
using schema::Field;
using schema::Kind;

constexpr std::uint16_t kCrcSeed = 0xC0C1;
constexpr std::size_t kFileHeaderSize = 0x5E;  // marker .. the five table locators
constexpr std::size_t kSentinel = 16;
constexpr std::uint32_t kBlockAddressFlag = 0x40000000;
constexpr std::uint32_t kExtrasFlag = 0x80000000;
constexpr std::uint32_t kBlockSectionLimit = 0x00FFFFFF;  // its size has 24 bits
// The auxiliary header: its variable count and its size after the sentinel.
constexpr std::uint16_t kAuxVariables = 16;
constexpr std::uint16_t kAuxSize = 138;
constexpr std::int16_t kUseCount = -1;  // R11 records: "not counted"
// The active viewport's aspect, as the DXF's VPORT entry gives it.
constexpr double kViewAspect = 1.5;

// One record being written: what its slots draw their values from.
struct Rec {
  Kind kind = Kind::Line;
  Handle handle = 0;
  std::uint32_t layer = 0;  // written layer row
  std::uint32_t linetype = kNoIndex;
  std::int16_t color = 256;
  const Vec3* p[4] = {};
  const Vec3* align = nullptr;
  double radius = 0, start = 0, end = 0;
  double height = 0, rotation = 0, widthFactor = 1, oblique = 0;
  int generation = 0, hAlign = 0, vAlign = 0, flags = 0;
  std::uint32_t style = 0, block = 0;
  std::string_view text, name;
  double startWidth = 0, endWidth = 0, bulge = 0;
  const Vec3* scale = nullptr;
  int columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
  std::uint32_t ownerAddress = 0, blockOffset = 0;
  const Linetype* ltype = nullptr;
  const Layer* layerRow = nullptr;
  const TextStyle* styleRow = nullptr;
};

class Writer {
 public:
  Writer(const Drawing& d, int release, OutputSink& out)
      : d_(d), rel_(release), r_(Release(release)), out_(out) {}

  bool Run(std::string& error);

 private:
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  bool Prepare();
  bool CheckName(std::string_view name, const char* what, std::size_t room = 31);

  // ---- values of slots
  double HeaderNum(std::string_view name, int comp, const Rec* rec) const;
  std::string_view HeaderText(std::string_view name) const;
  double DxfNum(Kind kind, int code) const;
  double FieldNum(Field f, const Rec& r, int comp) const;
  std::string_view FieldText(Field f, const Rec& r) const;
  double Num(const Slot& s, const Rec* r, int comp) const;
  std::string_view Text(const Slot& s, const Rec* r) const;
  int Index(const Slot& s, const Rec* r) const;
  bool Present(const Slot& s, const Rec& r) const;

  // ---- byte output into buf_
  void RC(int v) { buf_.push_back(static_cast<std::uint8_t>(v)); }
  void RS(int v) { PutRS(buf_, static_cast<std::uint16_t>(v)); }
  void RL(std::uint32_t v) { PutRL(buf_, v); }
  void RD(double v) {
    std::uint8_t b[8];
    std::memcpy(b, &v, 8);
    buf_.insert(buf_.end(), b, b + 8);
  }
  void FixedText(std::string_view s, std::size_t size) {
    const std::size_t n = std::min(s.size(), size);
    buf_.insert(buf_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    buf_.insert(buf_.end(), size - n, 0);
  }
  void Put(const Slot& s, const Rec* r);

  // ---- records
  void Locator(Table t, std::vector<std::uint8_t>& into) const;
  std::uint32_t Count(Table t) const;
  void Emit();
  void EmitBytes(const std::uint8_t* p, std::size_t n);
  void Sentinel(const std::uint8_t* begin, bool complement);
  bool EntityRecord(const Rec& r);
  bool WriteList(const std::vector<EntityRef>& list);
  bool WriteEntity(const EntityRef& ref);
  bool WriteBlocks();
  void WriteTable(Table t);
  void TableRecord(Table t, int flags, std::string_view name, const Rec& r);
  void BuildHeader(std::vector<std::uint8_t>& h);
  void WriteAux();

  const Drawing& d_;
  const int rel_;
  const ReleaseLayout& r_;
  OutputSink& out_;
  std::string error_;

  std::vector<std::uint8_t> buf_;  // the record being encoded
  bool counting_ = true;           // first pass: sizes only
  std::uint64_t pos_ = 0;          // file offset of the next byte

  std::vector<std::uint32_t> layerRow_;  // layer index -> written row
  std::vector<std::uint32_t> layers_;    // written rows: layer indices
  bool haveExtents_ = false;
  Vec3 viewCenter_;
  double viewHeight_ = 1;
  std::uint32_t modelRecords_ = 0;
  std::vector<std::uint32_t> blockOffset_;  // by block index, in the block section

  struct Place {
    std::uint32_t address = 0, size = 0, count = 0;
  };
  Place tables_[kTableCount];
  std::uint32_t entitiesStart_ = 0, entitiesEnd_ = 0, blocksStart_ = 0, blocksSize_ = 0,
                extrasStart_ = 0, auxAddress_ = 0;
};

// ---------------------------------------------------------------------------
// Preparation

bool Writer::CheckName(std::string_view name, const char* what, std::size_t room) {
  if (name.size() > room)
    return Fail(std::string(what) + " \"" + std::string(name) + "\" is longer than the " +
                std::to_string(room) + " characters DWG " + schema::Info(rel_).name + " can hold");
  for (unsigned char c : name)
    if (c < 0x20)
      return Fail(std::string(what) + " \"" + std::string(name) + "\" holds a control character");
  return true;
}

bool Writer::Prepare() {
  if (d_.blocks.size() < 2 || d_.layers.empty() || d_.styles.empty())
    return Fail("the drawing lacks its standard tables");
  // A name given twice is one table row, since a table with two rows of one
  // name is a damaged drawing; entities on either go to the first.
  std::unordered_map<std::string, std::uint32_t> first;
  layerRow_.resize(d_.layers.size());
  for (std::uint32_t i = 0; i < d_.layers.size(); ++i) {
    std::string key = d_.layers[i].name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto [it, fresh] =
        first.try_emplace(std::move(key), static_cast<std::uint32_t>(layers_.size()));
    if (fresh) {
      layers_.push_back(i);
      if (!CheckName(d_.layers[i].name, "layer")) return false;
      if (d_.layers[i].linetype >= d_.linetypes.size())
        return Fail("layer \"" + d_.layers[i].name + "\": its line type is not in the drawing");
    }
    layerRow_[i] = it->second;
  }
  for (const Linetype& l : d_.linetypes) {
    if (!CheckName(l.name, "line type")) return false;
    if (!CheckName(l.description, "line type description", 47)) return false;
    if (l.dashes.size() > 12)
      return Fail("line type \"" + l.name + "\" has " + std::to_string(l.dashes.size()) +
                  " dashes; DWG " + schema::Info(rel_).name + " holds at most 12");
  }
  for (const TextStyle& s : d_.styles)
    if (!CheckName(s.name, "text style") || !CheckName(s.font, "font file", 63) ||
        !CheckName(s.bigFont, "big font file", 63))
      return false;
  if (d_.styles.size() > 255) return Fail("more than 255 text styles");
  for (std::size_t b = 2; b < d_.blocks.size(); ++b)
    if (!CheckName(d_.blocks[b].name, "block")) return false;
  if (rel_ >= schema::kR12) {
    for (const Appid& a : d_.appids)
      if (!CheckName(a.name, "application id")) return false;
    for (const Dimstyle& s : d_.dimstyles)
      if (!CheckName(s.name, "dimension style")) return false;
  }
  for (Table t :
       {Table::Block, Table::Layer, Table::Style, Table::Ltype, Table::Appid, Table::Dimstyle})
    if (Count(t) > 0x7FFF)
      return Fail(std::string("more than 32767 rows in the ") + TableInfo(t).name + " table");

  // The same view the DXF of the drawing shows.
  const Vec3& lo = d_.header.extMin;
  const Vec3& hi = d_.header.extMax;
  haveExtents_ = hi.x >= lo.x && hi.y >= lo.y && (hi.x > lo.x || hi.y > lo.y);
  viewCenter_ = haveExtents_ ? Vec3{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, 0} : Vec3{};
  viewHeight_ = haveExtents_ ? std::max(hi.y - lo.y, (hi.x - lo.x) / 1.5) * 1.05 : 1.0;
  return true;
}

std::uint32_t Writer::Count(Table t) const {
  switch (t) {
    case Table::Block:
      return static_cast<std::uint32_t>(d_.blocks.size() - 2);
    case Table::Layer:
      return static_cast<std::uint32_t>(layers_.size());
    case Table::Style:
      return static_cast<std::uint32_t>(d_.styles.size());
    case Table::Ltype:
      return static_cast<std::uint32_t>(d_.linetypes.size());
    case Table::Vport:
      return 1;
    case Table::Appid:
      return static_cast<std::uint32_t>(d_.appids.size());
    case Table::Dimstyle:
      return static_cast<std::uint32_t>(d_.dimstyles.size());
    case Table::View:
    case Table::Ucs:
    case Table::Vx:
      return 0;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Values

double Writer::HeaderNum(std::string_view name, int comp, const Rec* rec) const {
  const Header& h = d_.header;
  auto pick = [comp](const Vec3& p) { return comp == 0 ? p.x : comp == 1 ? p.y : p.z; };
  if (name == "$EXTMIN") return pick(h.extMin);
  if (name == "$EXTMAX") return pick(h.extMax);
  if (name == "$LIMMIN" || name == "$LIMMAX") {
    // The extents when there are any, else a sheet, as the DXF has them.
    if (haveExtents_) return pick(name == "$LIMMIN" ? h.extMin : h.extMax);
    if (name == "$LIMMIN") return 0;
    return pick(h.measurement ? Vec3{420, 297, 0} : Vec3{12, 9, 0});
  }
  if (name == "$VIEWCTR") return pick(viewCenter_);
  if (name == "$VIEWSIZE") return viewHeight_;
  if (name == "$HANDLING") return schema::HasHandles(rel_) ? 1 : 0;
  if (name == "$TILEMODE") return h.tileMode;
  if (name == "$TDCREATE" || name == "$TDUPDATE") return h.created;
  if (name == "*VIEWASPECT") return kViewAspect;
  if (name == "*ENTITIES") return modelRecords_;
  if (name == "*BLOCKOFFSET") return rec ? rec->blockOffset : 0;
  if (name == "*OWNERADDRESS") return rec ? rec->ownerAddress : 0;
  const HeaderValue* v = h.Find(name);
  return v && comp < v->count ? v->num[comp] : 0;
}

std::string_view Writer::HeaderText(std::string_view name) const {
  const HeaderValue* v = d_.header.Find(name);
  return v ? std::string_view(v->text) : std::string_view();
}

// The value the DXF description gives a group: its constant, or the view.
double Writer::DxfNum(Kind kind, int code) const {
  for (const schema::FieldSpec& f : schema::Layout(kind).fields) {
    if (f.code != code) continue;
    if (f.field == Field::ViewValue) {
      switch (code) {
        case 12:
          return viewCenter_.x;
        case 22:
          return viewCenter_.y;
        case 40:
          return viewHeight_;
        case 41:
          return kViewAspect;
      }
    }
    return f.def;
  }
  return 0;
}

double Writer::FieldNum(Field f, const Rec& r, int comp) const {
  auto pick = [comp](const Vec3* p) {
    return !p ? 0.0 : comp == 0 ? p->x : comp == 1 ? p->y : p->z;
  };
  switch (f) {
    case Field::P1X:
      return pick(r.p[0]);
    case Field::P1Z:
      return r.p[0] ? r.p[0]->z : 0;
    case Field::P2X:
      return pick(r.p[1]);
    case Field::P3X:
      return pick(r.p[2]);
    case Field::P4X:
      return pick(r.p[3]);
    case Field::AlignX:
      return pick(r.align);
    case Field::Radius:
      return r.radius;
    case Field::StartAngle:
      return r.start;
    case Field::EndAngle:
      return r.end;
    case Field::TextHeight:
      return r.height;
    case Field::TextRotation:
    case Field::Rotation:
      return r.rotation;
    case Field::TextWidthFactor:
      return r.widthFactor;
    case Field::TextOblique:
      return r.oblique;
    case Field::TextGeneration:
      return r.generation;
    case Field::TextHAlign:
      return r.hAlign;
    case Field::TextVAlign:
      return r.vAlign;
    case Field::Flags:
      return r.flags;
    case Field::StartWidth:
      return r.startWidth;
    case Field::EndWidth:
      return r.endWidth;
    case Field::Bulge:
      return r.bulge;
    case Field::ScaleX:
      return r.scale ? r.scale->x : 1;
    case Field::ScaleY:
      return r.scale ? r.scale->y : 1;
    case Field::ScaleZ:
      return r.scale ? r.scale->z : 1;
    case Field::Columns:
      return r.columns;
    case Field::Rows:
      return r.rows;
    case Field::ColumnSpacing:
      return r.columnSpacing;
    case Field::RowSpacing:
      return r.rowSpacing;
    case Field::LayerColor: {
      const int c = std::abs(r.layerRow->color);
      return r.layerRow->off ? -c : c;
    }
    case Field::LtypeAlignment:
      return r.ltype->alignment;
    case Field::LtypeDashCount:
      return static_cast<double>(r.ltype->dashes.size());
    case Field::LtypePatternLength:
      return r.ltype->patternLength;
    case Field::StyleHeight:
      return r.styleRow->height;
    case Field::StyleWidthFactor:
      return r.styleRow->widthFactor;
    case Field::StyleOblique:  // degrees in the drawing, radians in the file
      return r.styleRow->oblique * std::numbers::pi / 180.0;
    case Field::StyleGeneration:
      return r.styleRow->generation;
    case Field::StyleLastHeight:
      return r.styleRow->lastHeight;
    default:
      return 0;
  }
}

std::string_view Writer::FieldText(Field f, const Rec& r) const {
  switch (f) {
    case Field::TextValue:
      return r.text;
    case Field::BlockName:
    case Field::Name:
      return r.name;
    case Field::LtypeDescription:
      return r.ltype->description;
    case Field::StyleFont:
      return r.styleRow->font;
    case Field::StyleBigFont:
      return r.styleRow->bigFont;
    default:
      return {};
  }
}

double Writer::Num(const Slot& s, const Rec* r, int comp) const {
  switch (s.src) {
    case Src::Const:
      return s.c[comp];
    case Src::Var:
      return HeaderNum(s.name, comp, r);
    case Src::Dxf:
      return DxfNum(s.kind, s.code + 10 * comp);
    case Src::Field:
      return r ? FieldNum(s.field, *r, comp) : 0;
  }
  return 0;
}

std::string_view Writer::Text(const Slot& s, const Rec* r) const {
  if (s.src == Src::Var) return HeaderText(s.name);
  if (s.src == Src::Field && r) return FieldText(s.field, *r);
  return {};
}

// A table row referred to by name or by the record's field.
int Writer::Index(const Slot& s, const Rec* r) const {
  if (s.src == Src::Field && r) {
    switch (s.field) {
      case Field::LayerLinetype:
        return static_cast<int>(r->layerRow->linetype);
      case Field::TextStyle:
        return static_cast<int>(r->style);
      case Field::BlockName:
        return static_cast<int>(r->block - 2);
      default:
        return 0;
    }
  }
  const std::string_view name = s.name ? std::string_view(s.name) : std::string_view();
  const std::string_view value = HeaderText(name);
  if (name == "$CLAYER") {
    const std::uint32_t i = d_.FindLayer(value);
    return i == kNoIndex ? 0 : static_cast<int>(layerRow_[i]);
  }
  if (name == "$TEXTSTYLE") {
    for (std::size_t i = 0; i < d_.styles.size(); ++i)
      if (EqualNoCase(d_.styles[i].name, value)) return static_cast<int>(i);
    return 0;
  }
  if (name == "$CELTYPE") {
    if (value.empty() || EqualNoCase(value, "BYLAYER")) return r_.linetypeByLayer;
    if (EqualNoCase(value, "BYBLOCK")) return r_.linetypeByBlock;
    const std::uint32_t i = d_.FindLinetype(value);
    return i == kNoIndex ? r_.linetypeByLayer : static_cast<int>(i);
  }
  return -1;  // a UCS: the drawing has none
}

bool Writer::Present(const Slot& s, const Rec& r) const {
  if (!s.omitDefault) return true;
  if (s.field == Field::AlignX) return r.hAlign != 0 || r.vAlign != 0;
  if (s.type == Ty::Index) return Index(s, &r) != static_cast<int>(s.c[0]);
  return Num(s, &r, 0) != s.c[0];
}

void Writer::Put(const Slot& s, const Rec* r) {
  switch (s.type) {
    case Ty::RC:
      return RC(static_cast<int>(std::lround(Num(s, r, 0))));
    case Ty::RS:
      return RS(static_cast<int>(std::lround(Num(s, r, 0))));
    case Ty::RL:
      return RL(static_cast<std::uint32_t>(std::llround(Num(s, r, 0))));
    case Ty::RD:
      if (s.src == Src::Field && s.field == Field::LtypeDashes) {
        for (int i = 0; i < s.size; ++i)
          RD(r && static_cast<std::size_t>(i) < r->ltype->dashes.size() ? r->ltype->dashes[i] : 0);
        return;
      }
      return RD(Num(s, r, 0));
    case Ty::Pt2:
      RD(Num(s, r, 0));
      return RD(Num(s, r, 1));
    case Ty::Pt3:
      RD(Num(s, r, 0));
      RD(Num(s, r, 1));
      return RD(Num(s, r, 2));
    case Ty::Text:
      return FixedText(Text(s, r), s.size);
    case Ty::TV: {
      const std::string_view t = Text(s, r);
      RS(static_cast<int>(t.size()));
      buf_.insert(buf_.end(), t.begin(), t.end());
      return;
    }
    case Ty::Locator:
      for (int t = 0; t < kTableCount; ++t)
        if (std::strcmp(TableInfo(static_cast<Table>(t)).name, s.name) == 0)
          return Locator(static_cast<Table>(t), buf_);
      return;
    case Ty::Date: {
      const double v = Num(s, r, 0);
      const double days = std::floor(v);
      RL(static_cast<std::uint32_t>(days));
      return RL(static_cast<std::uint32_t>(std::llround((v - days) * 86400000.0)));
    }
    case Ty::HandleBE: {
      const std::uint64_t h = d_.nextHandle;
      for (int i = 7; i >= 0; --i) RC(static_cast<int>((h >> (8 * i)) & 0xFF));
      return;
    }
    case Ty::Index: {
      const int i = Index(s, r);
      if (s.size == 1) return RC(i);
      return RS(i);
    }
  }
}

// ---------------------------------------------------------------------------
// Records

void Writer::Locator(Table t, std::vector<std::uint8_t>& into) const {
  const TableLayout& tl = TableInfo(t);
  const Place& p = tables_[static_cast<int>(t)];
  PutRS(into, tl.recordSize[rel_]);
  PutRS(into, static_cast<std::uint16_t>(p.count));
  const int index = static_cast<int>(t);
  PutRS(into, static_cast<std::uint16_t>(r_.tableFlags && index < 5 ? r_.tableFlags + index : 0));
  PutRL(into, p.address);
}

void Writer::EmitBytes(const std::uint8_t* p, std::size_t n) {
  if (!counting_) out_.Put(std::string_view(reinterpret_cast<const char*>(p), n));
  pos_ += n;
}

void Writer::Emit() {
  EmitBytes(buf_.data(), buf_.size());
}

void Writer::Sentinel(const std::uint8_t* begin, bool complement) {
  std::uint8_t s[kSentinel];
  for (std::size_t i = 0; i < kSentinel; ++i)
    s[i] = complement ? static_cast<std::uint8_t>(~begin[i]) : begin[i];
  EmitBytes(s, kSentinel);
}

// Type, flags, size, layer and option bits, then what the flags announce,
// then the fields the option bits announce; R11 closes it with its CRC.
bool Writer::EntityRecord(const Rec& r) {
  const EntityLayout& e = pre13::Entity(r.kind);
  buf_.clear();
  RC(e.type);
  RC(0);
  RS(0);
  RS(static_cast<int>(r.layer));
  RS(0);
  int flags = r.kind == Kind::Polyline ? kHasFollowers : 0;
  if (r.color != 256) {
    flags |= kHasColor;
    RC(r.color);
  }
  if (r.linetype != kNoIndex) {
    flags |= kHasLinetype;
    if (rel_ >= schema::kR12)
      RS(static_cast<int>(r.linetype));
    else
      RC(static_cast<int>(r.linetype));
  }
  bool handle = false;
  for (const schema::FieldSpec& f : schema::Layout(e.kind).fields)
    if (f.field == Field::Handle && schema::In(f, rel_)) handle = r.handle != 0;
  if (handle) {
    flags |= kHasHandle;
    int n = 0;
    for (Handle h = r.handle; h; h >>= 8) ++n;
    RC(n);
    for (int i = n - 1; i >= 0; --i) RC(static_cast<int>((r.handle >> (8 * i)) & 0xFF));
  }
  int opts = 0;
  for (const Slot& s : e.fields) {
    if (!In(s, rel_)) continue;
    if (s.opt && !Present(s, r)) continue;
    opts |= s.opt;
    Put(s, &r);
  }
  const std::size_t size = buf_.size() + (r_.checks ? 2 : 0);
  if (size > 0xFFFF)
    return Fail(std::string(schema::Layout(e.kind).dxfName) + " on layer \"" +
                d_.layers[layers_[r.layer]].name + "\" takes " + std::to_string(size) +
                " bytes; a DWG " + schema::Info(rel_).name + " record holds at most 65535");
  buf_[1] = static_cast<std::uint8_t>(flags);
  buf_[2] = static_cast<std::uint8_t>(size);
  buf_[3] = static_cast<std::uint8_t>(size >> 8);
  buf_[6] = static_cast<std::uint8_t>(opts);
  buf_[7] = static_cast<std::uint8_t>(opts >> 8);
  if (r_.checks) PutRS(buf_, Crc16(buf_.data(), buf_.size(), kCrcSeed));
  Emit();
  return true;
}

static void Common(Rec& r, const EntityCommon& c, const std::vector<std::uint32_t>& rows) {
  r.handle = c.handle;
  r.layer = rows[c.layer];
  r.linetype = c.linetype;
  r.color = c.color;
}

bool Writer::WriteEntity(const EntityRef& ref) {
  Rec r;
  auto bad = [&](const char* what, std::size_t size) {
    return Fail(std::string(what) + " index " + std::to_string(ref.index) +
                " is out of range (the drawing has " + std::to_string(size) + ")");
  };
  auto common = [&](const EntityCommon& c, const char* what) {
    if (c.layer >= d_.layers.size())
      return Fail(std::string(what) + ": layer index " + std::to_string(c.layer) +
                  " is not in the drawing");
    if (c.linetype != kNoIndex && c.linetype >= d_.linetypes.size())
      return Fail(std::string(what) + ": line type index " + std::to_string(c.linetype) +
                  " is not in the drawing");
    Common(r, c, layerRow_);
    return true;
  };
  switch (ref.kind) {
    case EntityKind::Line: {
      if (ref.index >= d_.lines.size()) return bad("LINE", d_.lines.size());
      const Line& e = d_.lines[ref.index];
      if (!common(e.c, "LINE")) return false;
      r.kind = Kind::Line;
      r.p[0] = &e.p1;
      r.p[1] = &e.p2;
      return EntityRecord(r);
    }
    case EntityKind::Circle: {
      if (ref.index >= d_.circles.size()) return bad("CIRCLE", d_.circles.size());
      const Circle& e = d_.circles[ref.index];
      if (!common(e.c, "CIRCLE")) return false;
      r.kind = Kind::Circle;
      r.p[0] = &e.center;
      r.radius = e.radius;
      return EntityRecord(r);
    }
    case EntityKind::Arc: {
      if (ref.index >= d_.arcs.size()) return bad("ARC", d_.arcs.size());
      const Arc& e = d_.arcs[ref.index];
      if (!common(e.c, "ARC")) return false;
      r.kind = Kind::Arc;
      r.p[0] = &e.center;
      r.radius = e.radius;
      r.start = e.startAngle;
      r.end = e.endAngle;
      return EntityRecord(r);
    }
    case EntityKind::Solid: {
      if (ref.index >= d_.solids.size()) return bad("SOLID", d_.solids.size());
      const Solid& e = d_.solids[ref.index];
      if (!common(e.c, "SOLID")) return false;
      r.kind = Kind::Solid;
      for (int i = 0; i < 4; ++i) r.p[i] = &e.corner[i];
      return EntityRecord(r);
    }
    case EntityKind::Text: {
      if (ref.index >= d_.texts.size()) return bad("TEXT", d_.texts.size());
      const tav2::Text& e = d_.texts[ref.index];
      if (!common(e.c, "TEXT")) return false;
      if (e.style >= d_.styles.size())
        return Fail("TEXT: style index " + std::to_string(e.style) + " is not in the drawing");
      if (static_cast<std::size_t>(e.textOffset) + e.textLength > d_.strings.size())
        return Fail("TEXT: its value lies outside the text store");
      r.kind = Kind::Text;
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
      r.text = d_.TextValue(e);
      return EntityRecord(r);
    }
    case EntityKind::Polyline: {
      if (ref.index >= d_.polylines.size()) return bad("POLYLINE", d_.polylines.size());
      const Polyline& e = d_.polylines[ref.index];
      if (!common(e.c, "POLYLINE")) return false;
      if (static_cast<std::size_t>(e.firstVertex) + e.vertexCount > d_.vertices.size())
        return Fail("POLYLINE: its vertices lie outside the vertex store");
      const auto start = static_cast<std::uint32_t>(pos_);
      r.kind = Kind::Polyline;
      r.flags = e.flags;
      r.startWidth = e.startWidth;
      r.endWidth = e.endWidth;
      if (!EntityRecord(r)) return false;
      for (std::uint32_t i = 0; i < e.vertexCount; ++i) {
        const Vertex& x = d_.vertices[e.firstVertex + i];
        if (x.layer >= d_.layers.size()) return Fail("VERTEX: layer index is not in the drawing");
        const Vec3 p{x.x, x.y, x.z};
        Rec v;
        v.kind = Kind::Vertex;
        v.handle = x.handle;
        v.layer = layerRow_[x.layer];
        v.p[0] = &p;
        v.startWidth = x.startWidth;
        v.endWidth = x.endWidth;
        v.bulge = x.bulge;
        v.flags = x.flags;
        if (!EntityRecord(v)) return false;
      }
      if (e.seqendLayer >= d_.layers.size())
        return Fail("SEQEND: layer index is not in the drawing");
      Rec s;
      s.kind = Kind::Seqend;
      s.handle = e.seqendHandle;
      s.layer = layerRow_[e.seqendLayer];
      s.ownerAddress = start;
      return EntityRecord(s);
    }
    case EntityKind::Insert: {
      if (ref.index >= d_.inserts.size()) return bad("INSERT", d_.inserts.size());
      const Insert& e = d_.inserts[ref.index];
      if (!common(e.c, "INSERT")) return false;
      if (e.block < 2 || e.block >= d_.blocks.size())
        return Fail("INSERT: block index " + std::to_string(e.block) +
                    " is not a block definition");
      r.kind = Kind::Insert;
      r.block = e.block;
      r.p[0] = &e.point;
      r.scale = &e.scale;
      r.rotation = e.rotation;
      r.columns = e.columns;
      r.rows = e.rows;
      r.columnSpacing = e.columnSpacing;
      r.rowSpacing = e.rowSpacing;
      return EntityRecord(r);
    }
  }
  return true;
}

bool Writer::WriteList(const std::vector<EntityRef>& list) {
  for (const EntityRef& ref : list) {
    if (!WriteEntity(ref)) return false;
    if (!counting_ && out_.Failed()) return true;  // the sink reports the write error
  }
  return true;
}

// Block definitions: BLOCK, the block's entities, ENDBLK. Model and paper
// space are no blocks in these releases.
bool Writer::WriteBlocks() {
  const std::uint64_t base = pos_;
  for (std::size_t b = 2; b < d_.blocks.size(); ++b) {
    const Block& blk = d_.blocks[b];
    if (blk.beginLayer >= d_.layers.size() || blk.endLayer >= d_.layers.size())
      return Fail("block \"" + blk.name + "\": layer index is not in the drawing");
    blockOffset_[b] = static_cast<std::uint32_t>(pos_ - base) | kBlockAddressFlag;
    Rec r;
    r.kind = Kind::Block;
    r.handle = blk.beginHandle;
    r.layer = layerRow_[blk.beginLayer];
    r.p[0] = &blk.base;
    r.name = blk.name;
    if (!EntityRecord(r) || !WriteList(blk.entities)) return false;
    Rec e;
    e.kind = Kind::Endblk;
    e.handle = blk.endHandle;
    e.layer = layerRow_[blk.endLayer];
    if (!EntityRecord(e)) return false;
    if (pos_ - base > kBlockSectionLimit)
      return Fail("the block definitions take more than " + std::to_string(kBlockSectionLimit) +
                  " bytes, the most DWG " + schema::Info(rel_).name + " can address");
  }
  return true;
}

void Writer::TableRecord(Table t, int flags, std::string_view name, const Rec& r) {
  const TableLayout& tl = TableInfo(t);
  buf_.clear();
  RC(flags);
  FixedText(name, 32);
  if (rel_ >= schema::kR12) RS(kUseCount);
  for (const Slot& s : tl.fields)
    if (In(s, rel_)) Put(s, &r);
  const std::size_t body = tl.recordSize[rel_] - (r_.checks ? 2 : 0);
  buf_.resize(std::max(buf_.size(), body), 0);
  if (r_.checks) PutRS(buf_, Crc16(buf_.data(), buf_.size(), kCrcSeed));
  Emit();
}

void Writer::WriteTable(Table t) {
  const TableLayout& tl = TableInfo(t);
  if (r_.checks) Sentinel(tl.begin, false);
  Rec r;
  switch (t) {
    case Table::Block:
      for (std::size_t b = 2; b < d_.blocks.size(); ++b) {
        r.blockOffset = blockOffset_[b];
        TableRecord(t, d_.blocks[b].flags, d_.blocks[b].name, r);
      }
      break;
    case Table::Layer:
      for (std::uint32_t i : layers_) {
        r.layerRow = &d_.layers[i];
        TableRecord(t, d_.layers[i].flags, d_.layers[i].name, r);
      }
      break;
    case Table::Style:
      for (const TextStyle& s : d_.styles) {
        r.styleRow = &s;
        TableRecord(t, s.flags, s.name, r);
      }
      break;
    case Table::Ltype:
      for (const Linetype& l : d_.linetypes) {
        r.ltype = &l;
        TableRecord(t, l.flags, l.name, r);
      }
      break;
    case Table::Vport:
      TableRecord(t, 0, "*ACTIVE", r);
      break;
    case Table::Appid:
      for (const Appid& a : d_.appids) TableRecord(t, 0, a.name, r);
      break;
    case Table::Dimstyle:
      for (const Dimstyle& s : d_.dimstyles) TableRecord(t, 0, s.name, r);
      break;
    case Table::View:
    case Table::Ucs:
    case Table::Vx:
      break;
  }
  if (r_.checks) Sentinel(tl.begin, true);
}

void Writer::BuildHeader(std::vector<std::uint8_t>& h) {
  h.clear();
  h.insert(h.end(), r_.marker, r_.marker + 6);
  h.insert(h.end(), 6, 0);
  h.push_back(1);
  PutRS(h, 3);  // entity sections: entities, blocks, extras
  PutRS(h, 5);  // tables with a locator here
  PutRS(h, r_.headerVars);
  h.push_back(0);
  PutRL(h, entitiesStart_);
  PutRL(h, entitiesEnd_);
  PutRL(h, blocksStart_);
  PutRL(h, blocksSize_ | kBlockAddressFlag);
  PutRL(h, extrasStart_);
  PutRL(h, kExtrasFlag);  // no extra entities
  for (int t = 0; t < 5; ++t) Locator(static_cast<Table>(t), h);
  buf_.swap(h);
  for (const Slot& s : HeaderSlots())
    if (In(s, rel_) && s.after < r_.headerVars) Put(s, nullptr);
  buf_.swap(h);
  if (r_.checks) PutRS(h, Crc16(h.data(), h.size(), kCrcSeed));
}

// R11's closing summary: where the sections and tables are, with its own CRC.
void Writer::WriteAux() {
  Sentinel(SectionBegin(Section::Aux), false);
  buf_.clear();
  RS(kAuxVariables);
  RS(kAuxSize);
  RL(entitiesStart_);
  RL(entitiesEnd_);
  RL(blocksStart_);
  RL(extrasStart_);
  RS(schema::HasHandles(rel_) ? 1 : 0);
  for (int i = 7; i >= 0; --i) RC(static_cast<int>((d_.nextHandle >> (8 * i)) & 0xFF));
  RS(kTableCount);
  for (int t = 0; t < kTableCount; ++t) {
    RS(TableInfo(static_cast<Table>(t)).id);
    const std::size_t at = buf_.size();
    Locator(static_cast<Table>(t), buf_);
    // Here the locator is size, count, address: no flags word.
    buf_.erase(buf_.begin() + static_cast<std::ptrdiff_t>(at + 4),
               buf_.begin() + static_cast<std::ptrdiff_t>(at + 6));
  }
  RL(auxAddress_);
  PutRS(buf_, Crc16(buf_.data(), buf_.size(), kCrcSeed));
  Emit();
  Sentinel(SectionBegin(Section::Aux), true);
}

bool Writer::Run(std::string& error) {
  if (!Prepare()) {
    error = error_;
    return false;
  }
  // First pass: the sizes of the entity and block sections.
  blockOffset_.assign(d_.blocks.size(), 0);
  counting_ = true;
  pos_ = 0;
  if (!WriteList(d_.blocks[0].entities)) {
    error = error_;
    return false;
  }
  const std::uint64_t entitiesSize = pos_;
  modelRecords_ = 0;
  for (const EntityRef& ref : d_.blocks[0].entities)
    modelRecords_ += ref.kind == EntityKind::Polyline && ref.index < d_.polylines.size()
                         ? d_.polylines[ref.index].vertexCount + 2
                         : 1;
  pos_ = 0;
  if (!WriteBlocks()) {
    error = error_;
    return false;
  }
  const std::uint64_t blocksSize = pos_;

  // Addresses, in file order.
  std::size_t headerSize = kFileHeaderSize;
  {
    std::vector<std::uint8_t> probe;
    buf_.clear();
    for (const Slot& s : HeaderSlots())
      if (In(s, rel_) && s.after < r_.headerVars) Put(s, nullptr);
    headerSize += buf_.size() + (r_.checks ? 2 : 0);
  }
  const std::uint64_t sentinel = r_.checks ? kSentinel : 0;
  std::uint64_t at = headerSize + sentinel;
  entitiesStart_ = static_cast<std::uint32_t>(at);
  at += entitiesSize;
  entitiesEnd_ = static_cast<std::uint32_t>(at);
  at += sentinel;
  for (int t = 0; t < kTableCount; ++t) {
    const TableLayout& tl = TableInfo(static_cast<Table>(t));
    if (rel_ < tl.first) continue;
    Place& p = tables_[t];
    p.count = Count(static_cast<Table>(t));
    p.address = static_cast<std::uint32_t>(at + sentinel);
    at += 2 * sentinel + std::uint64_t{p.count} * tl.recordSize[rel_];
  }
  blocksStart_ = static_cast<std::uint32_t>(at + sentinel);
  blocksSize_ = static_cast<std::uint32_t>(blocksSize);
  at += 2 * sentinel + blocksSize;
  extrasStart_ = static_cast<std::uint32_t>(at + sentinel);
  at += 2 * sentinel;
  auxAddress_ = static_cast<std::uint32_t>(at);
  if (at + kAuxSize + 2 * kSentinel > 0xFFFFFFFFu) {
    error = std::string("the drawing takes more than 4 GB, the most DWG ") +
            schema::Info(rel_).name + " can address";
    return false;
  }

  // Second pass: the file.
  counting_ = false;
  std::vector<std::uint8_t> header;
  BuildHeader(header);
  pos_ = 0;
  EmitBytes(header.data(), header.size());
  if (r_.checks) Sentinel(SectionBegin(Section::Entities), false);
  if (!WriteList(d_.blocks[0].entities)) {
    error = error_;
    return false;
  }
  if (r_.checks) Sentinel(SectionBegin(Section::Entities), true);
  for (int t = 0; t < kTableCount; ++t)
    if (rel_ >= TableInfo(static_cast<Table>(t)).first) WriteTable(static_cast<Table>(t));
  if (r_.checks) Sentinel(SectionBegin(Section::Blocks), false);
  if (!WriteBlocks()) {
    error = error_;
    return false;
  }
  if (r_.checks) {
    Sentinel(SectionBegin(Section::Blocks), true);
    Sentinel(SectionBegin(Section::Extras), false);
    Sentinel(SectionBegin(Section::Extras), true);
    WriteAux();
  }
  if (!out_.Failed() && pos_ != at + (r_.checks ? kAuxSize + 2 * kSentinel : 0)) {
    error = "internal error: the DWG's sections do not add up";
    return false;
  }
  return true;
}

}  // namespace

bool WritePre13(const Drawing& drawing, int release, OutputSink& out, std::string& error) {
  if (!IsPre13(release)) {
    error = "unsupported AutoCAD version " + std::to_string(release) + " for DWG before R13";
    return false;
  }
  Writer w(drawing, release, out);
  return w.Run(error);
}

}  // namespace tav2::dwg
