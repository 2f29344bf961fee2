#include "tav2/src/dwg/pre13_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>
#include <vector>

#include "tav2/src/drawing.h"
#include "tav2/src/dwg/bit_writer.h"
#include "tav2/src/dwg/pre13_layout.h"
#include "tav2/src/output.h"
#include "tav2/src/values.h"

namespace tav2::dwg {

namespace {

using namespace pre13;
using schema::Dwg;
using schema::DwgFieldSpec;
using schema::DwgVarSpec;
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
constexpr std::int16_t kUseCount = -1;  // R11 table rows: "not counted"
constexpr std::size_t kNameField = 32;  // a table row's name, NUL included

class Writer {
 public:
  Writer(const Drawing& d, int release, OutputSink& out)
      : d_(d), rel_(release), r_(Release(release)), values_(d, release), out_(out) {}

  bool Run(std::string& error);

 private:
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  bool Prepare();

  // ---- values
  double Number(const DwgFieldSpec& f, const Record& r, int i) const;
  double VarNumber(const DwgVarSpec& v, int i) const;
  int FieldRow(Field f, const Record& r) const;
  int VarRow(std::string_view name) const;
  bool Present(const DwgFieldSpec& f, const Record& r) const;

  // ---- byte output into buf_
  void RC(int v) { buf_.push_back(static_cast<std::uint8_t>(v)); }
  void RS(int v) { PutRS(buf_, static_cast<std::uint16_t>(v)); }
  void RL(std::uint32_t v) { PutRL(buf_, v); }
  void RD(double v) {
    std::uint8_t b[8];
    std::memcpy(b, &v, 8);
    buf_.insert(buf_.end(), b, b + 8);
  }
  void Handle8(std::uint64_t h) {
    for (int i = 7; i >= 0; --i) RC(static_cast<int>((h >> (8 * i)) & 0xFF));
  }
  void Date(double jd) {
    const double days = std::floor(jd);
    RL(static_cast<std::uint32_t>(days));
    RL(static_cast<std::uint32_t>(std::llround((jd - days) * 86400000.0)));
  }
  void FixedText(std::string_view s, std::size_t size);
  void Row(int row, bool oneByte) { oneByte ? RC(row) : RS(row); }
  void Put(const DwgFieldSpec& f, const Record& r);
  void PutVar(const DwgVarSpec& v);
  template <typename Num>
  bool PutNumber(Dwg type, const Num& num);

  // ---- records
  void Locator(Table t, std::vector<std::uint8_t>& into) const;
  std::uint32_t Count(Table t) const;
  void Emit() { EmitBytes(buf_.data(), buf_.size()); }
  void EmitBytes(const std::uint8_t* p, std::size_t n);
  void Sentinel(const std::uint8_t* begin, bool complement);
  bool EntityRecord(Kind kind, const Record& r);
  bool WriteList(const std::vector<EntityRef>& list);
  bool WriteEntity(const EntityRef& ref);
  bool WriteBlocks();
  void WriteTable(Table t);
  void TableRow(Table t, int flags, std::string_view name, const Record& r);
  void HeaderVariables();
  void BuildHeader(std::vector<std::uint8_t>& h);
  void WriteAux();

  const Drawing& d_;
  const int rel_;
  const ReleaseLayout& r_;
  const Values values_;
  OutputSink& out_;
  std::string error_;
  std::string context_;  // the record being written, for messages

  std::vector<std::uint8_t> buf_;  // the record being encoded
  bool counting_ = true;           // first pass: sizes only
  std::uint64_t pos_ = 0;          // file offset of the next byte
  std::uint32_t address_ = 0;      // the current record's Address field

  std::uint32_t modelRecords_ = 0;
  std::vector<std::uint32_t> blockOffset_;  // by block index, in the block section

  struct Place {
    std::uint32_t address = 0, count = 0;
  };
  Place tables_[kTableCount];
  std::uint32_t entitiesStart_ = 0, entitiesEnd_ = 0, blocksStart_ = 0, blocksSize_ = 0,
                extrasStart_ = 0, auxAddress_ = 0;
};

// ---------------------------------------------------------------------------
// Preparation

bool Writer::Prepare() {
  if (d_.blocks.size() < 2 || d_.layers.empty() || d_.styles.empty())
    return Fail("the drawing lacks its standard tables");
  for (const Layer& l : d_.layers)
    if (l.linetype >= d_.linetypes.size())
      return Fail("layer \"" + l.name + "\": its line type is not in the drawing");
  // A TEXT names its style by a one-byte row number.
  if (d_.styles.size() > 256) return Fail("more than 256 text styles");
  for (Table t :
       {Table::Block, Table::Layer, Table::Style, Table::Ltype, Table::Appid, Table::Dimstyle})
    if (Count(t) > 0x7FFF)
      return Fail(std::string("more than 32767 rows in the ") + TableInfo(t).name + " table");
  return true;
}

std::uint32_t Writer::Count(Table t) const {
  switch (t) {
    case Table::Block:
      return static_cast<std::uint32_t>(d_.blocks.size() - 2);
    case Table::Layer:
      return static_cast<std::uint32_t>(d_.layers.size());
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

double Writer::Number(const DwgFieldSpec& f, const Record& r, int i) const {
  Field field = f.field;
  int code = f.code;
  if (i) schema::StepComponent(field, code, i);
  if (field == Field::Address) return address_;
  const double x = values_.Number(field, code, f.def, f.text, r);
  return IsAngleCode(code) && InDegrees(field) ? x * (std::numbers::pi / 180.0) : x;
}

double Writer::VarNumber(const DwgVarSpec& v, int i) const {
  const int code = v.code + 10 * i;
  if (!v.name) return v.def;
  const std::string_view name = v.name;
  if (name == schema::kRefUnitAxis) return (v.code - 10) / 10 == i ? 1 : 0;
  if (name == schema::kRefEntityCount) return modelRecords_;
  if (name == schema::kRefViewAspect) return values_.viewAspect;
  const double x = values_.HeaderNumber(name, code, v.def);
  return IsAngleCode(v.code) ? x * (std::numbers::pi / 180.0) : x;
}

int Writer::FieldRow(Field f, const Record& r) const {
  switch (f) {
    case Field::TextStyle:
      return static_cast<int>(r.style);
    case Field::BlockName:
      return static_cast<int>(r.block - 2);  // model and paper space have no row
    case Field::LayerLinetype:
      return static_cast<int>(r.layerRow->linetype);
    default:
      return 0;
  }
}

// The row a header variable names; a UCS is named by none, the drawing has no
// UCS rows.
int Writer::VarRow(std::string_view name) const {
  const HeaderValue* v = d_.header.Find(name);
  const std::string_view value = v ? std::string_view(v->text) : std::string_view();
  if (name == "$CLAYER") {
    const std::uint32_t i = d_.FindLayer(value);
    return i == kNoIndex ? 0 : static_cast<int>(i);
  }
  if (name == "$TEXTSTYLE") {
    for (std::size_t i = 0; i < d_.styles.size(); ++i)
      if (EqualsNoCase(d_.styles[i].name, value)) return static_cast<int>(i);
    return 0;
  }
  if (name == "$CELTYPE") {
    if (EqualsNoCase(value, schema::kRefByBlock)) return r_.linetypeByBlock;
    const std::uint32_t i = d_.FindLinetype(value);
    return i == kNoIndex ? r_.linetypeByLayer : static_cast<int>(i);
  }
  return -1;
}

bool Writer::Present(const DwgFieldSpec& f, const Record& r) const {
  if (!(f.flags & schema::kOmitDefault)) return true;
  if (f.field == Field::AlignX) return r.hAlign != 0 || r.vAlign != 0;
  if (f.type == Dwg::Row) return FieldRow(f.field, r) != 0;
  return Number(f, r, 0) != f.def;
}

// ---------------------------------------------------------------------------
// Encoding

void Writer::FixedText(std::string_view s, std::size_t size) {
  if (s.size() >= size)
    Fail(context_ + ": \"" + std::string(s) + "\" is longer than the " + std::to_string(size - 1) +
         " characters DWG " + schema::Info(rel_).name + " holds there");
  const std::size_t n = std::min(s.size(), size);
  buf_.insert(buf_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  buf_.insert(buf_.end(), size - n, 0);
}

// The numeric storage types, shared by record fields and header variables;
// false when `type` is not one of them.
template <typename Num>
bool Writer::PutNumber(Dwg type, const Num& num) {
  switch (type) {
    case Dwg::RC:
      RC(static_cast<int>(std::lround(num())));
      return true;
    case Dwg::RS:
      RS(static_cast<int>(std::lround(num())));
      return true;
    case Dwg::RL:
      RL(static_cast<std::uint32_t>(std::llround(num())));
      return true;
    case Dwg::RD:
      RD(num());
      return true;
    case Dwg::RD2:
      RD(num(0));
      RD(num(1));
      return true;
    case Dwg::RD3:
      RD(num(0));
      RD(num(1));
      RD(num(2));
      return true;
    default:
      return false;
  }
}

void Writer::Put(const DwgFieldSpec& f, const Record& r) {
  if (PutNumber(f.type, [&](int i = 0) { return Number(f, r, i); })) return;
  switch (f.type) {
    case Dwg::TF:
      return FixedText(values_.Text(f.field, f.text, r), static_cast<std::size_t>(f.def));
    case Dwg::TV: {
      const std::string_view t = values_.Text(f.field, f.text, r);
      RS(static_cast<int>(std::min<std::size_t>(t.size(), 0xFFFF)));
      buf_.insert(buf_.end(), t.begin(), t.end());
      return;
    }
    case Dwg::Row:
      return Row(FieldRow(f.field, r), f.def == 1);
    case Dwg::RDashes: {
      const std::size_t room = static_cast<std::size_t>(f.def);
      const std::size_t n = r.ltype ? r.ltype->dashes.size() : 0;
      if (n > room)
        Fail(context_ + " has " + std::to_string(n) + " dashes; DWG " + schema::Info(rel_).name +
             " holds at most " + std::to_string(room));
      for (std::size_t i = 0; i < room; ++i) RD(i < n ? r.ltype->dashes[i] : 0);
      return;
    }
    default:
      Fail(context_ + ": a field of a type these releases do not have");
  }
}

void Writer::PutVar(const DwgVarSpec& v) {
  const auto num = [&](int i = 0) { return VarNumber(v, i); };
  if (PutNumber(v.type, num)) return;
  switch (v.type) {
    case Dwg::TF:
      context_ = std::string("header variable ") + (v.name ? v.name : "");
      return FixedText(v.name ? values_.HeaderText(v.name) : std::string_view(v.text ? v.text : ""),
                       static_cast<std::size_t>(v.def));
    case Dwg::Row:
      return Row(VarRow(v.name ? v.name : ""), false);
    case Dwg::RDate:
      return Date(num());
    case Dwg::RH:
      return Handle8(values_.handseed);
    case Dwg::Locator:
      for (int t = 0; t < kTableCount; ++t)
        if (std::strcmp(TableInfo(static_cast<Table>(t)).name, v.text) == 0)
          return Locator(static_cast<Table>(t), buf_);
      return;
    default:
      Fail(std::string("header variable ") + (v.name ? v.name : "") +
           ": a type these releases do not have");
  }
}

void Writer::HeaderVariables() {
  for (const DwgVarSpec& v : schema::DwgHeaderVarsPre13())
    if (rel_ >= v.first && rel_ <= v.last) PutVar(v);
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

void Writer::Sentinel(const std::uint8_t* begin, bool complement) {
  std::uint8_t s[kSentinel];
  for (std::size_t i = 0; i < kSentinel; ++i)
    s[i] = complement ? static_cast<std::uint8_t>(~begin[i]) : begin[i];
  EmitBytes(s, kSentinel);
}

// Type, flags, size, layer and option bits, then what the flags announce,
// then the fields; R11 closes the record with its CRC.
bool Writer::EntityRecord(Kind kind, const Record& r) {
  const schema::KindSpec& k = schema::Layout(kind);
  context_ = k.dxfName;
  buf_.clear();
  RC(k.dwgTypePre13);
  RC(0);
  RS(0);
  RS(static_cast<int>(r.layer));
  RS(0);
  int flags = kind == Kind::Polyline ? kHasFollowers : 0;
  if (r.color != 256) {
    flags |= kHasColor;
    RC(r.color);
  }
  if (r.linetype != kNoIndex) {
    flags |= kHasLinetype;
    Row(static_cast<int>(r.linetype), rel_ < schema::kR12);
  }
  bool handle = false;
  for (const schema::FieldSpec& f : k.fields)
    if (f.field == Field::Handle && schema::In(f, rel_)) handle = r.handle != 0;
  if (handle) {
    flags |= kHasHandle;
    int n = 0;
    for (Handle h = r.handle; h; h >>= 8) ++n;
    RC(n);
    for (int i = n - 1; i >= 0; --i) RC(static_cast<int>((r.handle >> (8 * i)) & 0xFF));
  }
  int opts = 0;
  for (const DwgFieldSpec& f : k.dwg) {
    if (!schema::In(f, rel_) || rel_ >= schema::kR13) continue;
    if (f.opt && !Present(f, r)) continue;
    opts |= f.opt;
    Put(f, r);
  }
  const std::size_t size = buf_.size() + (r_.checks ? 2 : 0);
  if (size > 0xFFFF)
    return Fail(std::string(k.dxfName) + " on layer " + std::string(values_.LayerName(r.layer)) +
                " takes " + std::to_string(size) + " bytes; a DWG " + schema::Info(rel_).name +
                " record holds at most 65535");
  buf_[1] = static_cast<std::uint8_t>(flags);
  buf_[2] = static_cast<std::uint8_t>(size);
  buf_[3] = static_cast<std::uint8_t>(size >> 8);
  buf_[6] = static_cast<std::uint8_t>(opts);
  buf_[7] = static_cast<std::uint8_t>(opts >> 8);
  if (r_.checks) PutRS(buf_, Crc16(buf_.data(), buf_.size(), kCrcSeed));
  if (!error_.empty()) return false;
  Emit();
  return true;
}

bool Writer::WriteEntity(const EntityRef& ref) {
  Record r;
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
    r.handle = c.handle;
    r.layer = c.layer;
    r.linetype = c.linetype;
    r.color = c.color;
    return true;
  };
  switch (ref.kind) {
    case EntityKind::Line: {
      if (ref.index >= d_.lines.size()) return bad("LINE", d_.lines.size());
      const Line& e = d_.lines[ref.index];
      if (!common(e.c, "LINE")) return false;
      r.thickness = e.thickness;
      r.p[0] = &e.p1;
      r.p[1] = &e.p2;
      return EntityRecord(Kind::Line, r);
    }
    case EntityKind::Circle: {
      if (ref.index >= d_.circles.size()) return bad("CIRCLE", d_.circles.size());
      const Circle& e = d_.circles[ref.index];
      if (!common(e.c, "CIRCLE")) return false;
      r.p[0] = &e.center;
      r.radius = e.radius;
      return EntityRecord(Kind::Circle, r);
    }
    case EntityKind::Arc: {
      if (ref.index >= d_.arcs.size()) return bad("ARC", d_.arcs.size());
      const Arc& e = d_.arcs[ref.index];
      if (!common(e.c, "ARC")) return false;
      r.p[0] = &e.center;
      r.radius = e.radius;
      r.start = e.startAngle;
      r.end = e.endAngle;
      return EntityRecord(Kind::Arc, r);
    }
    case EntityKind::Solid: {
      if (ref.index >= d_.solids.size()) return bad("SOLID", d_.solids.size());
      const Solid& e = d_.solids[ref.index];
      if (!common(e.c, "SOLID")) return false;
      for (int i = 0; i < 4; ++i) r.p[i] = &e.corner[i];
      return EntityRecord(Kind::Solid, r);
    }
    case EntityKind::Text: {
      if (ref.index >= d_.texts.size()) return bad("TEXT", d_.texts.size());
      const tav2::Text& e = d_.texts[ref.index];
      if (!common(e.c, "TEXT")) return false;
      if (e.style >= d_.styles.size())
        return Fail("TEXT: style index " + std::to_string(e.style) + " is not in the drawing");
      if (static_cast<std::size_t>(e.textOffset) + e.textLength > d_.strings.size())
        return Fail("TEXT: its value lies outside the text store");
      SetTextFields(r, e);
      r.text = d_.TextValue(e);
      return EntityRecord(Kind::Text, r);
    }
    case EntityKind::Polyline: {
      if (ref.index >= d_.polylines.size()) return bad("POLYLINE", d_.polylines.size());
      const Polyline& e = d_.polylines[ref.index];
      if (!common(e.c, "POLYLINE")) return false;
      if (static_cast<std::size_t>(e.firstVertex) + e.vertexCount > d_.vertices.size())
        return Fail("POLYLINE: its vertices lie outside the vertex store");
      const auto start = static_cast<std::uint32_t>(pos_);
      r.flags = e.flags;
      r.startWidth = e.startWidth;
      r.endWidth = e.endWidth;
      r.elevation = e.elevation;
      if (!EntityRecord(Kind::Polyline, r)) return false;
      for (std::uint32_t i = 0; i < e.vertexCount; ++i) {
        const Vertex& x = d_.vertices[e.firstVertex + i];
        if (x.layer >= d_.layers.size()) return Fail("VERTEX: layer index is not in the drawing");
        const Vec3 p{x.x, x.y, x.z};
        Record v;
        v.handle = x.handle;
        v.layer = x.layer;
        v.p[0] = &p;
        v.startWidth = x.startWidth;
        v.endWidth = x.endWidth;
        v.bulge = x.bulge;
        v.flags = x.flags;
        if (!EntityRecord(Kind::Vertex, v)) return false;
      }
      if (e.seqendLayer >= d_.layers.size())
        return Fail("SEQEND: layer index is not in the drawing");
      Record s;
      s.handle = e.seqendHandle;
      s.layer = e.seqendLayer;
      address_ = start;
      return EntityRecord(Kind::Seqend, s);
    }
    case EntityKind::Insert: {
      if (ref.index >= d_.inserts.size()) return bad("INSERT", d_.inserts.size());
      const Insert& e = d_.inserts[ref.index];
      if (!common(e.c, "INSERT")) return false;
      if (e.block < 2 || e.block >= d_.blocks.size())
        return Fail("INSERT: block index " + std::to_string(e.block) +
                    " is not a block definition");
      SetInsertFields(r, e);
      r.name = values_.BlockName(e.block);
      return EntityRecord(Kind::Insert, r);
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
    Record r;
    r.handle = blk.beginHandle;
    r.layer = blk.beginLayer;
    r.p[0] = &blk.base;
    r.block = static_cast<std::uint32_t>(b);
    r.name = values_.BlockName(static_cast<std::uint32_t>(b));
    if (!EntityRecord(Kind::Block, r) || !WriteList(blk.entities)) return false;
    Record e;
    e.handle = blk.endHandle;
    e.layer = blk.endLayer;
    if (!EntityRecord(Kind::Endblk, e)) return false;
    if (pos_ - base > kBlockSectionLimit)
      return Fail("the block definitions take more than " + std::to_string(kBlockSectionLimit) +
                  " bytes, the most DWG " + schema::Info(rel_).name + " can address");
  }
  return true;
}

// Flags, name and (R11) use count, the table's own fields, zeros up to the
// table's record size; R11 closes the row with its CRC.
void Writer::TableRow(Table t, int flags, std::string_view name, const Record& r) {
  const TableLayout& tl = TableInfo(t);
  context_ = std::string(tl.name) + " \"" + std::string(name) + "\"";
  buf_.clear();
  RC(flags);
  FixedText(name, kNameField);
  if (rel_ >= schema::kR12) RS(kUseCount);
  if (tl.kind != Kind::Count)
    for (const DwgFieldSpec& f : schema::Layout(tl.kind).dwg)
      if (schema::In(f, rel_) && rel_ < schema::kR13) Put(f, r);
  const std::size_t body = tl.recordSize[rel_] - (r_.checks ? 2 : 0);
  if (buf_.size() > body) Fail(context_ + ": its fields outgrow the table's record size");
  buf_.resize(body, 0);
  if (r_.checks) PutRS(buf_, Crc16(buf_.data(), buf_.size(), kCrcSeed));
  Emit();
}

void Writer::WriteTable(Table t) {
  const TableLayout& tl = TableInfo(t);
  if (r_.checks) Sentinel(tl.begin, false);
  switch (t) {
    case Table::Block:
      for (std::size_t b = 2; b < d_.blocks.size(); ++b) {
        Record r;
        address_ = blockOffset_[b];
        TableRow(t, d_.blocks[b].flags, values_.BlockName(static_cast<std::uint32_t>(b)), r);
      }
      break;
    case Table::Layer:
      for (std::uint32_t i = 0; i < d_.layers.size(); ++i) {
        Record r;
        r.layerRow = &d_.layers[i];
        TableRow(t, d_.layers[i].flags, values_.LayerName(i), r);
      }
      break;
    case Table::Style:
      for (std::uint32_t i = 0; i < d_.styles.size(); ++i) {
        Record r;
        r.styleRow = &d_.styles[i];
        TableRow(t, d_.styles[i].flags, values_.StyleName(i), r);
      }
      break;
    case Table::Ltype:
      for (std::uint32_t i = 0; i < d_.linetypes.size(); ++i) {
        Record r;
        r.ltype = &d_.linetypes[i];
        TableRow(t, d_.linetypes[i].flags, values_.LinetypeName(i), r);
      }
      break;
    case Table::Vport:
      TableRow(t, 0, schema::kActiveVport, Record{});
      break;
    case Table::Appid:
      for (const Appid& a : d_.appids) TableRow(t, 0, a.name, Record{});
      break;
    case Table::Dimstyle:
      for (const Dimstyle& s : d_.dimstyles) TableRow(t, 0, s.name, Record{});
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
  const char* marker = schema::Info(rel_).marker;
  h.insert(h.end(), marker, marker + 6);
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
  HeaderVariables();
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
  RS(static_cast<int>(values_.HeaderNumber("$HANDLING", 70)));
  Handle8(values_.handseed);
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
  auto failed = [&] {
    error = error_;
    return false;
  };
  if (!Prepare()) return failed();
  // First pass: the sizes of the entity and block sections.
  blockOffset_.assign(d_.blocks.size(), 0);
  counting_ = true;
  pos_ = 0;
  if (!WriteList(d_.blocks[0].entities)) return failed();
  const std::uint64_t entitiesSize = pos_;
  for (const EntityRef& ref : d_.blocks[0].entities)
    modelRecords_ += ref.kind == EntityKind::Polyline && ref.index < d_.polylines.size()
                         ? d_.polylines[ref.index].vertexCount + 2
                         : 1;
  pos_ = 0;
  if (!WriteBlocks()) return failed();
  const std::uint64_t blocksSize = pos_;

  // Addresses, in file order.
  buf_.clear();
  HeaderVariables();
  if (!error_.empty()) return failed();
  const std::uint64_t sentinel = r_.checks ? kSentinel : 0;
  std::uint64_t at = kFileHeaderSize + buf_.size() + (r_.checks ? 2 : 0) + sentinel;
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
  const std::uint64_t end = at + (r_.checks ? kAuxSize + 2 * kSentinel : 0);
  if (end > 0xFFFFFFFFu) {
    Fail(std::string("the drawing takes more than 4 GB, the most DWG ") + schema::Info(rel_).name +
         " can address");
    return failed();
  }

  // Second pass: the file.
  counting_ = false;
  std::vector<std::uint8_t> header;
  BuildHeader(header);
  pos_ = 0;
  EmitBytes(header.data(), header.size());
  if (r_.checks) Sentinel(SectionBegin(Section::Entities), false);
  if (!WriteList(d_.blocks[0].entities)) return failed();
  if (r_.checks) Sentinel(SectionBegin(Section::Entities), true);
  for (int t = 0; t < kTableCount; ++t)
    if (rel_ >= TableInfo(static_cast<Table>(t)).first) WriteTable(static_cast<Table>(t));
  if (r_.checks) Sentinel(SectionBegin(Section::Blocks), false);
  if (!WriteBlocks()) return failed();
  if (r_.checks) {
    Sentinel(SectionBegin(Section::Blocks), true);
    Sentinel(SectionBegin(Section::Extras), false);
    Sentinel(SectionBegin(Section::Extras), true);
    WriteAux();
  }
  if (!error_.empty()) return failed();
  if (!out_.Failed() && pos_ != end) {
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
