#include "tav2/src/dxf_writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "tav2/src/schema.h"

namespace tav2 {

namespace {

using schema::Field;
using schema::FieldSpec;
using schema::Kind;

constexpr double kDegrees = 180.0 / std::numbers::pi;

enum class ValueType { Text, Real, Int, Hex };

ValueType TypeOf(int code) {
  if (code <= 9 || code == 100 || code == 102 || (code >= 300 && code <= 309) ||
      (code >= 1000 && code <= 1009))
    return ValueType::Text;
  if (code == 5 || code == 105 || (code >= 310 && code <= 369) || (code >= 390 && code <= 399))
    return ValueType::Hex;
  if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
      (code >= 1010 && code <= 1059))
    return ValueType::Real;
  return ValueType::Int;
}

// Everything a record's fields can draw their value from. Filled per record
// with what applies; the schema decides what is written.
struct View {
  Handle handle = 0, owner = 0;
  uint32_t layer = 0, linetype = kNoIndex;
  int16_t color = 256;
  int flags = 0;
  double thickness = 0;
  const Vec3* p[4] = {};
  const Vec3* align = nullptr;
  double radius = 0, start = 0, end = 0;
  double height = 0, rotation = 0, widthFactor = 1, oblique = 0;
  int generation = 0, hAlign = 0, vAlign = 0;
  uint32_t style = 0;
  std::string_view text, name;
  double elevation = 0, startWidth = 0, endWidth = 0, bulge = 0;
  const Vec3* scale = nullptr;
  int columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
  const Linetype* ltype = nullptr;
  const Layer* layerRow = nullptr;
  const TextStyle* styleRow = nullptr;
};

class DxfWriter {
 public:
  DxfWriter(const Drawing& d, int release, OutputSink& out) : d_(d), rel_(release), o_(out) {
    for (size_t k = 0; k < static_cast<size_t>(Kind::Count); ++k)
      for (const FieldSpec& f : schema::Layout(static_cast<Kind>(k)).fields)
        if (schema::In(f, rel_)) fields_[k].push_back(f);
    const Vec3& lo = d.header.extMin;
    const Vec3& hi = d.header.extMax;
    haveExtents_ = hi.x >= lo.x && hi.y >= lo.y && (hi.x > lo.x || hi.y > lo.y);
    viewCenter_ = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, 0};
    viewHeight_ = haveExtents_ ? std::max(hi.y - lo.y, (hi.x - lo.x) / 1.5) * 1.05 : 1.0;
    if (!haveExtents_) viewCenter_ = {0, 0, 0};
  }

  bool Write(std::string& error) {
    Header();
    if (schema::HasObjects(rel_)) {
      Section("CLASSES");
      EndSection();
    }
    Tables();
    Blocks();
    Section("ENTITIES");
    const Block& model = d_.blocks[0];
    for (const EntityRef& ref : model.entities) {
      Entity(ref, model.handle);
      if (o_.Failed()) return true;  // the sink reports the write error
    }
    EndSection();
    if (schema::HasObjects(rel_)) Objects();
    Text(0, "EOF");
    return true;
  }

 private:
  // ---- group output -------------------------------------------------------

  // Group codes as DXF lays them out ("  0", " 10", "100", then CR LF),
  // formatted once for all codes.
  struct CodeText {
    char text[8];
    uint8_t size;
  };
  static const CodeText* CodeTable() {
    static const auto table = [] {
      static CodeText t[kMaxCode + 1];
      for (int code = 0; code <= kMaxCode; ++code) {
        char* p = t[code].text;
        if (code < 10) *p++ = ' ';
        if (code < 100) *p++ = ' ';
        p = std::to_chars(p, t[code].text + 8, code).ptr;
        *p++ = '\r';
        *p++ = '\n';
        t[code].size = static_cast<uint8_t>(p - t[code].text);
      }
      return t;
    }();
    return table;
  }
  static constexpr int kMaxCode = 1071;

  void Code(int code) {
    const CodeText& c = codes_[code];
    char* p = o_.Reserve(8);
    std::memcpy(p, c.text, 8);
    o_.Advance(p + c.size);
  }

  // A control character would end the line early and break the file; DXF
  // spells them in caret form (^J for a line feed).
  void Text(int code, std::string_view s) {
    Code(code);
    bool plain = true;
    for (unsigned char c : s)
      if (c < 0x20) plain = false;
    if (plain) {
      o_.Put(s);
    } else {
      for (unsigned char c : s) {
        if (c < 0x20) {
          o_.Put('^');
          o_.Put(static_cast<char>(c + 64));
        } else {
          o_.Put(static_cast<char>(c));
        }
      }
    }
    o_.Put("\r\n");
  }

  void Real(int code, double v) {
    Code(code);
    char* p = o_.Reserve(40);
    char* start = p;
    p = std::to_chars(p, p + 32, v).ptr;
    bool point = false;
    for (char* q = start; q != p; ++q)
      if (*q == '.' || *q == 'e' || *q == 'n' || *q == 'i') point = true;
    if (!point) {
      *p++ = '.';
      *p++ = '0';
    }
    *p++ = '\r';
    *p++ = '\n';
    o_.Advance(p);
  }

  void Int(int code, long v) {
    Code(code);
    char* p = o_.Reserve(24);
    p = std::to_chars(p, p + 20, v).ptr;
    *p++ = '\r';
    *p++ = '\n';
    o_.Advance(p);
  }

  void Hex(int code, uint64_t v) {
    Code(code);
    char* p = o_.Reserve(24);
    char* start = p;
    p = std::to_chars(p, p + 20, v, 16).ptr;
    for (char* q = start; q != p; ++q)
      if (*q >= 'a') *q = static_cast<char>(*q - 'a' + 'A');
    *p++ = '\r';
    *p++ = '\n';
    o_.Advance(p);
  }

  void Number(int code, double v) {
    switch (TypeOf(code)) {
      case ValueType::Real:
        return Real(code, v);
      case ValueType::Hex:
        return Hex(code, static_cast<uint64_t>(v));
      default:
        return Int(code, static_cast<long>(v));
    }
  }

  void Section(const char* name) {
    Text(0, "SECTION");
    Text(2, name);
  }
  void EndSection() { Text(0, "ENDSEC"); }

  // ---- records by schema --------------------------------------------------

  void Record(Kind kind, const View& v) {
    Text(0, schema::Layout(kind).dxfName);
    for (const FieldSpec& f : fields_[static_cast<size_t>(kind)]) Field1(f, v);
  }

  void Field1(const FieldSpec& f, const View& v) {
    const bool omit = f.flags & schema::kOmitDefault;
    auto num = [&](double x) {
      if (omit && x == f.def) return;
      Number(f.code, x);
    };
    switch (f.field) {
      case Field::Subclass:
      case Field::ConstText:
        return Text(f.code, f.text);
      case Field::Const:
        return Number(f.code, f.def);
      case Field::Handle:
        return Hex(f.code, v.handle);
      case Field::Owner:
        return Hex(f.code, v.owner);
      case Field::Layer:
        return Text(f.code, d_.layers[v.layer].name);
      case Field::Linetype:
        if (v.linetype == kNoIndex) return;
        return Text(f.code, d_.linetypes[v.linetype].name);
      case Field::Color:
        return num(v.color);
      case Field::Thickness:
        return num(v.thickness);
      case Field::P1X:
        return num(v.p[0]->x);
      case Field::P1Y:
        return num(v.p[0]->y);
      case Field::P1Z:
        return num(v.p[0]->z);
      case Field::P2X:
        return num(v.p[1]->x);
      case Field::P2Y:
        return num(v.p[1]->y);
      case Field::P2Z:
        return num(v.p[1]->z);
      case Field::P3X:
        return num(v.p[2]->x);
      case Field::P3Y:
        return num(v.p[2]->y);
      case Field::P3Z:
        return num(v.p[2]->z);
      case Field::P4X:
        return num(v.p[3]->x);
      case Field::P4Y:
        return num(v.p[3]->y);
      case Field::P4Z:
        return num(v.p[3]->z);
      case Field::Radius:
        return num(v.radius);
      case Field::StartAngle:
        return num(v.start * kDegrees);
      case Field::EndAngle:
        return num(v.end * kDegrees);
      case Field::TextHeight:
        return num(v.height);
      case Field::TextValue:
        return Text(f.code, v.text);
      case Field::TextRotation:
      case Field::Rotation:
        return num(v.rotation * kDegrees);
      case Field::TextWidthFactor:
        return num(v.widthFactor);
      case Field::TextOblique:
        return num(v.oblique * kDegrees);
      case Field::TextStyle:
        if (omit && v.style == 0) return;
        if (TypeOf(f.code) == ValueType::Hex) return Hex(f.code, d_.styles[v.style].handle);
        return Text(f.code, d_.styles[v.style].name);
      case Field::TextGeneration:
        return num(v.generation);
      case Field::TextHAlign:
        return num(v.hAlign);
      case Field::TextVAlign:
        return num(v.vAlign);
      case Field::AlignX:
      case Field::AlignY:
      case Field::AlignZ: {
        if (!v.align || (v.hAlign == 0 && v.vAlign == 0)) return;
        const double x = f.field == Field::AlignX   ? v.align->x
                         : f.field == Field::AlignY ? v.align->y
                                                    : v.align->z;
        return Real(f.code, x);
      }
      case Field::Elevation:
        return num(v.elevation);
      case Field::StartWidth:
        return num(v.startWidth);
      case Field::EndWidth:
        return num(v.endWidth);
      case Field::Bulge:
        return num(v.bulge);
      case Field::Flags:
        return num(v.flags);
      case Field::BlockName:
      case Field::Name:
        return Text(f.code, v.name);
      case Field::ScaleX:
        return num(v.scale->x);
      case Field::ScaleY:
        return num(v.scale->y);
      case Field::ScaleZ:
        return num(v.scale->z);
      case Field::Columns:
        return num(v.columns);
      case Field::Rows:
        return num(v.rows);
      case Field::ColumnSpacing:
        return num(v.columnSpacing);
      case Field::RowSpacing:
        return num(v.rowSpacing);
      case Field::LayerColor:
        return Int(f.code, v.layerRow->off ? -v.layerRow->color : v.layerRow->color);
      case Field::LayerLinetype:
        return Text(f.code, d_.linetypes[v.layerRow->linetype].name);
      case Field::LtypeDescription:
        return Text(f.code, v.ltype ? v.ltype->description : "");
      case Field::LtypeAlignment:
        return Int(f.code, v.ltype ? v.ltype->alignment : 'A');
      case Field::LtypeDashCount:
        return Int(f.code, v.ltype ? static_cast<long>(v.ltype->dashes.size()) : 0);
      case Field::LtypePatternLength:
        return Real(f.code, v.ltype ? v.ltype->patternLength : 0);
      case Field::LtypeDashes:
        if (!v.ltype) return;
        for (double dash : v.ltype->dashes) {
          Real(f.code, dash);
          if (schema::HasObjects(rel_)) Int(74, 0);
        }
        return;
      case Field::StyleHeight:
        return Real(f.code, v.styleRow->height);
      case Field::StyleWidthFactor:
        return Real(f.code, v.styleRow->widthFactor);
      case Field::StyleOblique:
        return Real(f.code, v.styleRow->oblique);
      case Field::StyleGeneration:
        return Int(f.code, v.styleRow->generation);
      case Field::StyleLastHeight:
        return Real(f.code, v.styleRow->lastHeight);
      case Field::StyleFont:
        return Text(f.code, v.styleRow->font);
      case Field::StyleBigFont:
        return Text(f.code, v.styleRow->bigFont);
      case Field::HeaderValue: {
        const HeaderValue* h = d_.header.Find(f.text);
        if (!h) return;
        if (TypeOf(f.code) == ValueType::Text) return Text(f.code, h->text);
        return Number(f.code, h->num[0]);
      }
      case Field::ViewValue:
        switch (f.code) {
          case 12:
            return Real(12, viewCenter_.x);
          case 22:
            return Real(22, viewCenter_.y);
          case 40:
            return Real(40, viewHeight_);
          case 41:
            return Real(41, 1.5);
        }
        return;
    }
  }

  // ---- header -------------------------------------------------------------

  void Header() {
    Section("HEADER");
    const auto& h = d_.header;
    for (const schema::HeaderVarSpec& var : schema::HeaderVars()) {
      if (rel_ < var.first || rel_ > var.last) continue;
      const std::string_view name = var.name;
      Text(9, name);
      if (name == "$ACADVER") {
        Text(1, schema::Info(rel_).marker);
      } else if (name == "$EXTMIN" || name == "$EXTMAX") {
        const Vec3& p = name == "$EXTMIN" ? h.extMin : h.extMax;
        Point(var, p);
      } else if (name == "$LIMMIN" || name == "$LIMMAX") {
        Vec3 p;
        if (haveExtents_)
          p = name == "$LIMMIN" ? h.extMin : h.extMax;
        else if (name == "$LIMMAX")
          p = h.measurement ? Vec3{420, 297, 0} : Vec3{12, 9, 0};
        Point(var, p);
      } else if (name == "$VIEWCTR") {
        Point(var, viewCenter_);
      } else if (name == "$VIEWSIZE") {
        Real(40, viewHeight_);
      } else if (name == "$HANDLING") {
        Int(70, 1);
      } else if (name == "$HANDSEED") {
        Hex(5, d_.nextHandle);
      } else if (name == "$MEASUREMENT") {
        Int(70, h.measurement);
      } else if (name == "$TILEMODE") {
        Int(70, h.tileMode);
      } else if (name == "$TDCREATE" || name == "$TDUPDATE") {
        Real(40, h.created);
      } else {
        const HeaderValue* v = h.Find(name);
        for (int i = 0; i < var.count; ++i) {
          const int code = var.code[i];
          if (TypeOf(code) == ValueType::Text) {
            Text(code, v ? std::string_view(v->text) : std::string_view());
            continue;
          }
          double x = 0;
          if (v)
            for (int k = 0; k < v->count; ++k)
              if (v->code[k] == code) x = v->num[k];
          Number(code, x);
        }
      }
    }
    EndSection();
  }

  void Point(const schema::HeaderVarSpec& var, const Vec3& p) {
    const double c[3] = {p.x, p.y, p.z};
    for (int i = 0; i < var.count; ++i) Real(var.code[i], c[i]);
  }

  // ---- tables -------------------------------------------------------------

  void TableHead(const char* name, Handle control, size_t count) {
    Text(0, "TABLE");
    Text(2, name);
    if (schema::HasObjects(rel_)) {
      Hex(5, control);
      Hex(330, 0);
      Text(100, "AcDbSymbolTable");
    }
    Int(70, static_cast<long>(count));
  }

  void Tables() {
    Section("TABLES");
    const StructuralHandles& hs = d_.handles;
    const bool objects = schema::HasObjects(rel_);
    for (const schema::TableSpec& t : schema::Tables()) {
      if (rel_ < t.first || rel_ > t.last) continue;
      const std::string_view name = t.name;
      if (name == "VPORT") {
        TableHead(t.name, hs.vportControl, 1);
        View v;
        v.handle = hs.activeVport;
        v.owner = hs.vportControl;
        v.name = "*ACTIVE";
        Record(Kind::Vport, v);
      } else if (name == "LTYPE") {
        static const Linetype kByBlock{0, "BYBLOCK", "", 0, 'A', 0, {}};
        static const Linetype kByLayer{0, "BYLAYER", "", 0, 'A', 0, {}};
        TableHead(t.name, hs.linetypeControl, d_.linetypes.size() + (objects ? 2 : 0));
        auto row = [&](const Linetype& lt, Handle h) {
          View v;
          v.handle = h;
          v.owner = hs.linetypeControl;
          v.name = lt.name;
          v.flags = lt.flags;
          v.ltype = &lt;
          Record(Kind::Ltype, v);
        };
        if (objects) {
          row(kByBlock, hs.linetypeByBlock);
          row(kByLayer, hs.linetypeByLayer);
        }
        for (const Linetype& lt : d_.linetypes) row(lt, lt.handle);
      } else if (name == "LAYER") {
        TableHead(t.name, hs.layerControl, d_.layers.size());
        for (const Layer& l : d_.layers) {
          View v;
          v.handle = l.handle;
          v.owner = hs.layerControl;
          v.name = l.name;
          v.flags = l.flags;
          v.layerRow = &l;
          Record(Kind::Layer, v);
        }
      } else if (name == "STYLE") {
        TableHead(t.name, hs.styleControl, d_.styles.size());
        for (const TextStyle& s : d_.styles) {
          View v;
          v.handle = s.handle;
          v.owner = hs.styleControl;
          v.name = s.name;
          v.flags = s.flags;
          v.styleRow = &s;
          Record(Kind::Style, v);
        }
      } else if (name == "VIEW") {
        TableHead(t.name, hs.viewControl, 0);
      } else if (name == "UCS") {
        TableHead(t.name, hs.ucsControl, 0);
      } else if (name == "APPID") {
        TableHead(t.name, hs.appidControl, d_.appids.size());
        for (const Appid& a : d_.appids) {
          View v;
          v.handle = a.handle;
          v.owner = hs.appidControl;
          v.name = a.name;
          Record(Kind::Appid, v);
        }
      } else if (name == "DIMSTYLE") {
        TableHead(t.name, hs.dimstyleControl, d_.dimstyles.size());
        for (const Dimstyle& s : d_.dimstyles) {
          View v;
          v.handle = s.handle;
          v.owner = hs.dimstyleControl;
          v.name = s.name;
          v.style = 0;
          Record(Kind::Dimstyle, v);
        }
      } else if (name == "BLOCK_RECORD") {
        TableHead(t.name, hs.blockRecordControl, d_.blocks.size());
        for (const Block& b : d_.blocks) {
          View v;
          v.handle = b.handle;
          v.owner = hs.blockRecordControl;
          v.name = b.name;
          Record(Kind::BlockRecord, v);
        }
      }
      Text(0, "ENDTAB");
    }
    EndSection();
  }

  // ---- blocks and entities --------------------------------------------------

  // Model and paper space are blocks from R12 on, spelt $MODEL_SPACE before R13.
  std::string_view BlockName(const Block& b, size_t index) const {
    if (index < 2 && rel_ < schema::kR13) return index == 0 ? "$MODEL_SPACE" : "$PAPER_SPACE";
    return b.name;
  }

  void Blocks() {
    Section("BLOCKS");
    for (size_t i = 0; i < d_.blocks.size(); ++i) {
      if (i < 2 && rel_ < schema::kR12) continue;
      const Block& b = d_.blocks[i];
      View v;
      v.handle = b.beginHandle;
      v.owner = b.handle;
      v.layer = b.beginLayer;
      v.name = BlockName(b, i);
      v.flags = b.flags;
      v.p[0] = &b.base;
      Record(Kind::Block, v);
      if (i >= 2)
        for (const EntityRef& ref : b.entities) Entity(ref, b.handle);
      View e;
      e.handle = b.endHandle;
      e.owner = b.handle;
      e.layer = b.endLayer;
      Record(Kind::Endblk, e);
    }
    EndSection();
  }

  static void Common(View& v, const EntityCommon& c, Handle owner) {
    v.handle = c.handle;
    v.owner = owner;
    v.layer = c.layer;
    v.linetype = c.linetype;
    v.color = c.color;
  }

  void Entity(const EntityRef& ref, Handle owner) {
    View v;
    switch (ref.kind) {
      case EntityKind::Line: {
        const Line& e = d_.lines[ref.index];
        Common(v, e.c, owner);
        v.thickness = e.thickness;
        v.p[0] = &e.p1;
        v.p[1] = &e.p2;
        return Record(Kind::Line, v);
      }
      case EntityKind::Circle: {
        const Circle& e = d_.circles[ref.index];
        Common(v, e.c, owner);
        v.thickness = e.thickness;
        v.p[0] = &e.center;
        v.radius = e.radius;
        return Record(Kind::Circle, v);
      }
      case EntityKind::Arc: {
        const Arc& e = d_.arcs[ref.index];
        Common(v, e.c, owner);
        v.thickness = e.thickness;
        v.p[0] = &e.center;
        v.radius = e.radius;
        v.start = e.startAngle;
        v.end = e.endAngle;
        return Record(Kind::Arc, v);
      }
      case EntityKind::Solid: {
        const Solid& e = d_.solids[ref.index];
        Common(v, e.c, owner);
        for (int i = 0; i < 4; ++i) v.p[i] = &e.corner[i];
        return Record(Kind::Solid, v);
      }
      case EntityKind::Text: {
        const tav2::Text& e = d_.texts[ref.index];
        Common(v, e.c, owner);
        v.p[0] = &e.insert;
        v.align = &e.align;
        v.height = e.height;
        v.rotation = e.rotation;
        v.widthFactor = e.widthFactor;
        v.oblique = e.oblique;
        v.generation = e.generation;
        v.hAlign = e.hAlign;
        v.vAlign = e.vAlign;
        v.style = e.style;
        v.text = d_.TextValue(e);
        return Record(Kind::Text, v);
      }
      case EntityKind::Polyline: {
        const Polyline& e = d_.polylines[ref.index];
        Common(v, e.c, owner);
        v.elevation = e.elevation;
        v.startWidth = e.startWidth;
        v.endWidth = e.endWidth;
        v.flags = e.flags;
        Record(Kind::Polyline, v);
        for (uint32_t i = 0; i < e.vertexCount; ++i) {
          const Vertex& x = d_.vertices[e.firstVertex + i];
          const Vec3 p{x.x, x.y, x.z};
          View w;
          w.handle = x.handle;
          w.owner = e.c.handle;
          w.layer = x.layer;
          w.p[0] = &p;
          w.startWidth = x.startWidth;
          w.endWidth = x.endWidth;
          w.bulge = x.bulge;
          w.flags = x.flags;
          Record(Kind::Vertex, w);
        }
        View s;
        s.handle = e.seqendHandle;
        s.owner = e.c.handle;
        s.layer = e.seqendLayer;
        return Record(Kind::Seqend, s);
      }
      case EntityKind::Insert: {
        const Insert& e = d_.inserts[ref.index];
        Common(v, e.c, owner);
        const Block& b = d_.blocks[e.block];
        v.name = BlockName(b, e.block);
        v.p[0] = &e.point;
        v.scale = &e.scale;
        v.rotation = e.rotation;
        v.columns = e.columns;
        v.rows = e.rows;
        v.columnSpacing = e.columnSpacing;
        v.rowSpacing = e.rowSpacing;
        return Record(Kind::Insert, v);
      }
    }
  }

  // ---- objects (R13+) ---------------------------------------------------------

  void Objects() {
    const StructuralHandles& hs = d_.handles;
    Section("OBJECTS");
    Text(0, "DICTIONARY");
    Hex(5, hs.rootDictionary);
    Hex(330, 0);
    Text(100, "AcDbDictionary");
    Text(3, "ACAD_GROUP");
    Hex(350, hs.groupDictionary);
    Text(3, "ACAD_MLINESTYLE");
    Hex(350, hs.mlinestyleDictionary);

    Text(0, "DICTIONARY");
    Hex(5, hs.groupDictionary);
    Hex(330, hs.rootDictionary);
    Text(100, "AcDbDictionary");

    Text(0, "DICTIONARY");
    Hex(5, hs.mlinestyleDictionary);
    Hex(330, hs.rootDictionary);
    Text(100, "AcDbDictionary");
    Text(3, "STANDARD");
    Hex(350, hs.standardMlinestyle);

    Text(0, "MLINESTYLE");
    Hex(5, hs.standardMlinestyle);
    Hex(330, hs.mlinestyleDictionary);
    Text(100, "AcDbMlineStyle");
    Text(2, "STANDARD");
    Int(70, 0);
    Text(3, "");
    Int(62, 256);
    Real(51, 90);
    Real(52, 90);
    Int(71, 2);
    for (double offset : {0.5, -0.5}) {
      Real(49, offset);
      Int(62, 256);
      Text(6, "BYLAYER");
    }
    EndSection();
  }

  const Drawing& d_;
  const int rel_;
  OutputSink& o_;
  const CodeText* const codes_ = CodeTable();
  std::array<std::vector<FieldSpec>, static_cast<size_t>(Kind::Count)> fields_;
  bool haveExtents_ = false;
  Vec3 viewCenter_;
  double viewHeight_ = 1;
};

}  // namespace

bool WriteDxf(const Drawing& d, int release, OutputSink& out, std::string& error) {
  if (release < 0 || release >= schema::kReleaseCount) {
    error = "unsupported AutoCAD version " + std::to_string(release);
    return false;
  }
  if (d.blocks.size() < 2 || d.layers.empty() || d.styles.empty()) {
    error = "the drawing lacks its standard tables";
    return false;
  }
  DxfWriter w(d, release, out);
  return w.Write(error);
}

}  // namespace tav2
